; What the installation grants at run time, and nothing more (the README
; gives the reason for each line). Included by VendrolixSetup.nsi; the
; includer has LogicLib and x64 included.

!define SETTINGS_KEY "Software\Tervanic\Vendrolix"
;
; The settings key, in the programs' 32-bit view:
;   SYSTEM, Administrators  everything (the installer and uninstaller);
;   Users                   read, and set or delete values (0x2001b: KEY_READ
;                           and KEY_SET_VALUE): the tray, running as the user,
;                           writes its menu settings, its window handles,
;                           Status, NSExist and AOLExist, and removes
;                           FirstStart;
;   Low mandatory label,    so that the browser helper inside a Protected Mode
;   no write-up             browser (low integrity) may write CountIE and
;                           LastBlocked.
; The access list is protected: nothing inherited from HKLM\Software adds to it.
!define SETTINGS_SDDL "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)S:(ML;;NW;;;LW)"

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

; Applies SETTINGS_SDDL to HKLM\SETTINGS_KEY (32-bit view). Leaves "ok" or a
; short reason on the stack; $0-$3 are kept.
!macro GrantSettingsKey
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 "ok"
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "${SETTINGS_SDDL}", i ${SDDL_REVISION_1}, *p .r1, p 0) i .r0'
  ${If} $0 = 0
    StrCpy $3 "descriptor"
  ${Else}
    System::Call 'advapi32::RegOpenKeyEx(p ${HKEY_LOCAL_MACHINE}, t "${SETTINGS_KEY}", i 0, i ${WRITE_DAC}|${WRITE_OWNER}|${KEY_WOW64_32KEY}, *p .r2) i .r0'
    ${If} $0 = 0
      ; Setting the mandatory label needs the WRITE_OWNER right asked above.
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
