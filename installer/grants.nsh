; What the installation grants at run time, and nothing more (the README
; gives the reason for each line). Included by VendrolixSetup.nsi; the
; includer has LogicLib and x64 included.

!define SETTINGS_KEY "Software\Tervanic\Vendrolix"
!define BROWSER_KEY "Software\Tervanic\Vendrolix\Browser"
!define MANAGER_KEY "Software\Tervanic\Vendrolix\Manager"
;
; The three keys, in the programs' 32-bit view, each with a protected access
; list (nothing inherited from above adds to it):
;   SYSTEM, Administrators  everything (the installer and uninstaller);
; and for Users:
;   SETTINGS_KEY  read, and set or delete values (0x2001b: KEY_READ and
;                 KEY_SET_VALUE): the tray, running as the user, writes its
;                 menu settings, its window handles, Status, NSExist and
;                 AOLExist, and removes FirstStart. Medium label: nothing at
;                 low integrity writes here.
;   BROWSER_KEY   the same, with the Low label and no write-up, so that the
;                 browser helper inside a Protected Mode browser (low
;                 integrity) may write CountIE and LastBlocked, and nothing
;                 else.
;   MANAGER_KEY   read only: AutoClean, NSAutoClean, OptionCookie and
;                 PathNSCookie are set by the manager, which runs as an
;                 administrator, and act on every user's cookies.
!define SETTINGS_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)S:(ML;;NW;;;ME)"
!define BROWSER_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)S:(ML;;NW;;;LW)"
!define MANAGER_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)S:(ML;;NW;;;ME)"

; The installation folder: programs an administrator runs and DLLs every
; browser loads, so no one but SYSTEM and Administrators may change it,
; whatever folder it is and whatever its parent grants; Users read and run.
!define FOLDER_SDDL "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

; The tray in Internet Explorer's elevation policy: a Protected Mode browser
; starts it at the user's own integrity (Policy 3: silently), not at low
; integrity where it could write nothing.
!define ELEVATION_POLICY_KEY "SOFTWARE\Microsoft\Internet Explorer\Low Rights\ElevationPolicy\{CA70E4CD-4C0B-4918-9C21-BA831664B845}"

!define /ifndef HKEY_LOCAL_MACHINE 0x80000002
!define /ifndef KEY_WOW64_32KEY 0x0200
!define /ifndef WRITE_DAC 0x00040000
!define /ifndef WRITE_OWNER 0x00080000
!define /ifndef DACL_SECURITY_INFORMATION 0x4
!define /ifndef LABEL_SECURITY_INFORMATION 0x10
!define /ifndef SDDL_REVISION_1 1
!define /ifndef SE_FILE_OBJECT 1
!define /ifndef PROTECTED_DACL_SECURITY_INFORMATION 0x80000000

; Creates HKLM\KEY (32-bit view) when missing and gives it SDDL. Leaves "ok"
; or a short reason on the stack; $0-$3 are kept.
!macro GrantKey KEY SDDL
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 "ok"
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "${SDDL}", i ${SDDL_REVISION_1}, *p .r1, p 0) i .r0'
  ${If} $0 = 0
    StrCpy $3 "descriptor"
  ${Else}
    ; Setting the mandatory label needs the WRITE_OWNER right asked here.
    System::Call 'advapi32::RegCreateKeyEx(p ${HKEY_LOCAL_MACHINE}, t "${KEY}", i 0, p 0, i 0, i ${WRITE_DAC}|${WRITE_OWNER}|${KEY_WOW64_32KEY}, p 0, *p .r2, p 0) i .r0'
    ${If} $0 = 0
      System::Call 'advapi32::RegSetKeySecurity(p r2, i ${DACL_SECURITY_INFORMATION}|${LABEL_SECURITY_INFORMATION}, p r1) i .r0'
      ${If} $0 <> 0
        StrCpy $3 "set $0"
      ${EndIf}
      System::Call 'advapi32::RegCloseKey(p r2)'
    ${Else}
      StrCpy $3 "open $0"
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  Exch $3
  Exch 3
  Pop $0
  Pop $2
  Pop $1
!macroend

; Gives the three keys their access lists. Leaves "ok" or the first failure
; ("<key>: <reason>") on the stack; $0 is kept.
!macro GrantSettingsKey
  Push $0
  !insertmacro GrantKey "${SETTINGS_KEY}" "${SETTINGS_SDDL}"
  Pop $0
  ${If} $0 == "ok"
    !insertmacro GrantKey "${BROWSER_KEY}" "${BROWSER_SDDL}"
    Pop $0
    ${If} $0 != "ok"
      StrCpy $0 "Browser: $0"
    ${EndIf}
  ${Else}
    StrCpy $0 "settings: $0"
  ${EndIf}
  ${If} $0 == "ok"
    !insertmacro GrantKey "${MANAGER_KEY}" "${MANAGER_SDDL}"
    Pop $0
    ${If} $0 != "ok"
      StrCpy $0 "Manager: $0"
    ${EndIf}
  ${EndIf}
  Exch $0
!macroend

; Creates FOLDER when missing and gives it FOLDER_SDDL, before anything is
; copied into it; what it already holds takes the inheritable entries.
; Leaves "ok" or a short reason on the stack; $0-$4 are kept.
!macro GrantInstallFolder FOLDER
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 "ok"
  CreateDirectory "${FOLDER}"
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "${FOLDER_SDDL}", i ${SDDL_REVISION_1}, *p .r1, p 0) i .r0'
  ${If} $0 = 0
    StrCpy $4 "descriptor"
  ${Else}
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r3, *p .r2, *i .r0) i .r0'
    ${If} $0 = 0
      StrCpy $4 "dacl"
    ${Else}
      System::Call 'advapi32::SetNamedSecurityInfo(t "${FOLDER}", i ${SE_FILE_OBJECT}, i ${DACL_SECURITY_INFORMATION}|${PROTECTED_DACL_SECURITY_INFORMATION}, p 0, p 0, p r2, p 0) i .r0'
      ${If} $0 <> 0
        StrCpy $4 "set $0"
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  Exch $4
  Exch 4
  Pop $0
  Pop $3
  Pop $2
  Pop $1
!macroend

; Carries NAME over from the settings key into KEY, as an older version kept
; it there: a value already in KEY wins, and the old copy goes, since users
; may write the settings key. Uses $0 and $1.
!macro MoveSetting NAME KEY
  ClearErrors
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "${NAME}"
  ${IfNot} ${Errors}
    ReadRegStr $1 HKLM "${KEY}" "${NAME}"
    ${If} ${Errors}
      WriteRegStr HKLM "${KEY}" "${NAME}" $0
    ${EndIf}
    DeleteRegValue HKLM "${SETTINGS_KEY}" "${NAME}"
  ${EndIf}
  ClearErrors
!macroend
!macro MoveOlderSettings
  !insertmacro MoveSetting "CountIE" "${BROWSER_KEY}"
  !insertmacro MoveSetting "LastBlocked" "${BROWSER_KEY}"
  !insertmacro MoveSetting "AutoClean" "${MANAGER_KEY}"
  !insertmacro MoveSetting "NSAutoClean" "${MANAGER_KEY}"
  !insertmacro MoveSetting "OptionCookie" "${MANAGER_KEY}"
  !insertmacro MoveSetting "PathNSCookie" "${MANAGER_KEY}"
!macroend

; The elevation-policy entry in both registry views on 64-bit Windows, as
; each bitness of the browser reads its own.
!macro ElevationPolicyValues
  WriteRegStr HKLM "${ELEVATION_POLICY_KEY}" "AppName" "VendrolixTray.exe"
  WriteRegStr HKLM "${ELEVATION_POLICY_KEY}" "AppPath" "$INSTDIR"
  WriteRegDWORD HKLM "${ELEVATION_POLICY_KEY}" "Policy" 3
!macroend
!macro AddElevationPolicy
  SetRegView 32
  !insertmacro ElevationPolicyValues
  ${If} ${RunningX64}
    SetRegView 64
    !insertmacro ElevationPolicyValues
    SetRegView 32
  ${EndIf}
!macroend
!macro RemoveElevationPolicy
  SetRegView 32
  DeleteRegKey HKLM "${ELEVATION_POLICY_KEY}"
  ${If} ${RunningX64}
    SetRegView 64
    DeleteRegKey HKLM "${ELEVATION_POLICY_KEY}"
    SetRegView 32
  ${EndIf}
!macroend
