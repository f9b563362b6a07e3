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
;                 integrity) may write CountIE, and nothing else.
;   MANAGER_KEY   read only: AutoClean, NSAutoClean, OptionCookie and
;                 PathNSCookie are set by the manager, which runs as an
;                 administrator, and act on every user's cookies.
!define SETTINGS_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)S:(ML;;NW;;;ME)"
!define BROWSER_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)S:(ML;;NW;;;LW)"
!define MANAGER_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)S:(ML;;NW;;;ME)"

; The installation folder: programs an administrator runs and DLLs every
; browser loads, so no one but SYSTEM and Administrators may change it,
; whatever folder it is and whatever its parent grants; Users read and run.
; Administrators own it: a folder a user made beforehand stays the user's
; otherwise, and an owner may always write the list again.
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

; The tray in Internet Explorer's elevation policy: a Protected Mode browser
; starts it at the user's own integrity (Policy 3: silently), not at low
; integrity where it could write nothing.
!define ELEVATION_POLICY_KEY "SOFTWARE\Microsoft\Internet Explorer\Low Rights\ElevationPolicy\{CA70E4CD-4C0B-4918-9C21-BA831664B845}"

!define /ifndef HKEY_LOCAL_MACHINE 0x80000002
!define /ifndef KEY_WOW64_32KEY 0x0200
!define /ifndef WRITE_DAC 0x00040000
!define /ifndef WRITE_OWNER 0x00080000
!define /ifndef OWNER_SECURITY_INFORMATION 0x1
!define /ifndef DACL_SECURITY_INFORMATION 0x4
!define /ifndef LABEL_SECURITY_INFORMATION 0x10
!define /ifndef SDDL_REVISION_1 1
!define /ifndef SE_FILE_OBJECT 1
!define /ifndef PROTECTED_DACL_SECURITY_INFORMATION 0x80000000
!define /ifndef FILE_ATTRIBUTE_REPARSE_POINT 0x400
!define /ifndef KEY_QUERY_VALUE 0x0001
!define /ifndef ERROR_FILE_NOT_FOUND 2

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

; Whether PATH, or a folder on the way to it, is a reparse point (a
; junction, a symbolic link, a mount point): whoever made it chose where it
; leads, and what is granted, copied or deleted through it lands there.
; Every part of the path that exists is looked at (a drive's root is not a
; reparse point). Leaves "no" or the first such part on the stack; $0-$3 are
; kept.
!macro ReparsePointOnPath PATH
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 "no"
  StrCpy $0 0
  ${Do}
    IntOp $0 $0 + 1
    StrCpy $1 "${PATH}" 1 $0
    ${If} $1 == "\"
    ${OrIf} $1 == ""
      StrCpy $1 "${PATH}" $0
      StrCpy $2 $1 1 -1
      ${If} $2 != ":"
        System::Call 'kernel32::GetFileAttributes(t r1) i .r2'
        ${If} $2 <> -1
          IntOp $2 $2 & ${FILE_ATTRIBUTE_REPARSE_POINT}
          ${If} $2 <> 0
            StrCpy $3 $1
            ${Break}
          ${EndIf}
        ${EndIf}
      ${EndIf}
      StrCpy $1 "${PATH}" 1 $0
      ${If} $1 == ""
        ${Break}
      ${EndIf}
    ${EndIf}
  ${Loop}
  Exch $3
  Exch 3
  Pop $0
  Pop $2
  Pop $1
!macroend

; Creates FOLDER when missing and gives it FOLDER_SDDL, owner and list,
; before anything is copied into it; what it already holds takes the
; inheritable entries. A folder reached through a reparse point is refused
; untouched; the path is looked at again afterwards, as a folder made
; beforehand might have been swapped for one in between. Leaves "ok" or a
; short reason on the stack; $0-$4 are kept.
!macro GrantInstallFolder FOLDER
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 "ok"
  !insertmacro ReparsePointOnPath "${FOLDER}"
  Pop $0
  ${If} $0 != "no"
    StrCpy $4 "reparse point $0"
  ${Else}
    CreateDirectory "${FOLDER}"
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "${FOLDER_SDDL}", i ${SDDL_REVISION_1}, *p .r1, p 0) i .r0'
    ${If} $0 = 0
      StrCpy $4 "descriptor"
    ${Else}
      StrCpy $3 0
      System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r3, *p .r2, *i .r0) i .r0'
      ${If} $0 <> 0
        System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r3, *i 0) i .r0'
      ${EndIf}
      ${If} $0 = 0
      ${OrIf} $2 P= 0
      ${OrIf} $3 P= 0
        StrCpy $4 "dacl"
      ${Else}
        ; Run elevated or with system rights, the installers may name
        ; Administrators as owner; the folder's inherited list lets them.
        System::Call 'advapi32::SetNamedSecurityInfo(t "${FOLDER}", i ${SE_FILE_OBJECT}, i ${OWNER_SECURITY_INFORMATION}|${DACL_SECURITY_INFORMATION}|${PROTECTED_DACL_SECURITY_INFORMATION}, p r3, p 0, p r2, p 0) i .r0'
        ${If} $0 <> 0
          StrCpy $4 "set $0"
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::LocalFree(p r1)'
    ${EndIf}
    !insertmacro ReparsePointOnPath "${FOLDER}"
    Pop $0
    ${If} $0 != "no"
      StrCpy $4 "reparse point $0"
    ${EndIf}
  ${EndIf}
  Exch $4
  Exch 4
  Pop $0
  Pop $3
  Pop $2
  Pop $1
!macroend

; A value an older version kept machine-wide that is now a user's or a
; logon session's own: deleted from both keys it was kept in.
!macro DropMachineCopy NAME
  DeleteRegValue HKLM "${SETTINGS_KEY}" "${NAME}"
  DeleteRegValue HKLM "${BROWSER_KEY}" "${NAME}"
  ClearErrors
!macroend

; The manager's values have no place in the settings key, which users may
; write: one found there is deleted unread.
!macro DropManagerCopies
  DeleteRegValue HKLM "${SETTINGS_KEY}" "AutoClean"
  DeleteRegValue HKLM "${SETTINGS_KEY}" "NSAutoClean"
  DeleteRegValue HKLM "${SETTINGS_KEY}" "OptionCookie"
  DeleteRegValue HKLM "${SETTINGS_KEY}" "PathNSCookie"
  ClearErrors
!macroend

; An older version kept every value in the settings key. The manager's are
; read there once, on the upgrade from that layout (no Manager key yet), and
; only as far as no user can turn them against another: the cookie view when
; it is one of its two values, the cleaning switches as off whatever the old
; copy says (anyone may have written a "1"), the Netscape profile's path not
; at all (the manager finds the profile again). Uses $0 and $1.
!macro CarryManagerValues
  System::Call 'advapi32::RegOpenKeyEx(p ${HKEY_LOCAL_MACHINE}, t "${MANAGER_KEY}", i 0, i ${KEY_QUERY_VALUE}|${KEY_WOW64_32KEY}, *p .r1) i .r0'
  ${If} $0 = 0
    System::Call 'advapi32::RegCloseKey(p r1)'
  ${ElseIf} $0 = ${ERROR_FILE_NOT_FOUND}
    ClearErrors
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "OptionCookie"
    ${If} $0 S== "0"
    ${OrIf} $0 S== "1"
      WriteRegStr HKLM "${MANAGER_KEY}" "OptionCookie" $0
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "AutoClean"
    ${IfNot} ${Errors}
      WriteRegStr HKLM "${MANAGER_KEY}" "AutoClean" "0"
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "NSAutoClean"
    ${IfNot} ${Errors}
      WriteRegStr HKLM "${MANAGER_KEY}" "NSAutoClean" "0"
    ${EndIf}
  ${EndIf}
  ClearErrors
!macroend

; Every installation: the browser's values into their key, the manager's
; carried once, and none left in the settings key. Uses $0 and $1.
!macro MoveOlderSettings
  ; Each user's and each logon session's own now, never the machine's: an
  ; older version's machine-wide copy is deleted, not handed to anyone.
  ; Popup, PopupSave and Sound stay, as the defaults of users without a
  ; choice of their own.
  !insertmacro DropMachineCopy "CountIE"
  !insertmacro DropMachineCopy "LastBlocked"
  !insertmacro DropMachineCopy "hForm"
  !insertmacro DropMachineCopy "hButton"
  !insertmacro DropMachineCopy "hNSAOLButton"
  !insertmacro DropMachineCopy "Status"
  !insertmacro CarryManagerValues
  !insertmacro DropManagerCopies
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
