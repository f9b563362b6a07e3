; Vendrolix setup: one installer for both Windows bitnesses.
;
; makensis -DDIST32=<dist/i686> -DDIST64=<dist/x86_64> -DOUTFILE=<exe> -DVERSION=<x.y.z>
;          -DCOMPANY=<...> -DCOPYRIGHT=<...> -DMSI_UPGRADE_CODE=<guid> [-DMANAGER_ICON=<ico>]
;          [-DSIGN=<command>] [-DUNINSTALLER_COPY=<file>] VendrolixSetup.nsi
; (installer/package.sh gives them from the build)
;
; The 32-bit programs and components go into one folder under the 32-bit
; Program Files; on 64-bit Windows the 64-bit browser helper and cookie
; cleaner join them under their own names so that 64-bit browser windows
; are covered too. Programs that are not built yet are left out, so the
; installer can be made from whatever the build has produced.

Unicode false
SetCompressor /SOLID lzma
; Setup and uninstaller ask for elevation (their manifest says
; requireAdministrator): they write Program Files and HKEY_LOCAL_MACHINE.
RequestExecutionLevel admin
ManifestSupportedOS Win7 Win8 Win8.1 Win10

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "WinVer.nsh"

!ifndef DIST32
  !error "DIST32 (the i686 dist folder) must be defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "VendrolixSetup.exe"
!endif

!define PRODUCT "Vendrolix"
!define PUBLISHER "${COMPANY}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrolix"
!define BHO_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects"
!define HELPER_CLSID "{A94EDD52-85B3-472F-8BC0-D651D760FBF8}"
!define TRAY_CAPTION "Vendrolix Tray Form"

!include "${__FILEDIR__}/grants.nsh"
!include "${__FILEDIR__}/settings.nsh"
!define DESCRIPTION "${PRODUCT} Setup"
!include "${__FILEDIR__}/buildinfo.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Vendrolix"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; The manager's program icon for the setup program and the uninstaller.
!ifdef MANAGER_ICON
  !define MUI_ICON "${MANAGER_ICON}"
  !define MUI_UNICON "${MANAGER_ICON}"
!endif

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A file of a dist folder, when the build has produced it.
!macro OptionalFile SOURCE TARGET
  !if /FileExists "${SOURCE}"
    File "/oname=${TARGET}" "${SOURCE}"
  !endif
!macroend

; regsvr32 of the component's own bitness, silently; a component that is
; missing is skipped.
!macro Register32 FILE ARGS
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGS} "$INSTDIR\${FILE}"'
  ${EndIf}
!macroend
!macro Register64 FILE ARGS
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${ARGS} "$INSTDIR\${FILE}"'
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

; A browser still running holds the helper (and perhaps the cleaner) open.
; A loaded DLL cannot be overwritten but can be renamed: move it aside so the
; new one can take its name, and let the old one go at the next restart.
!macro MoveAsideIfInUse NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    Delete "$INSTDIR\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      Delete "$INSTDIR\${NAME}.old"
      Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.old"
      Delete /REBOOTOK "$INSTDIR\${NAME}.old"
    ${EndIf}
  ${EndIf}
!macroend

; The tray holds the installation folder's programs open: ask it to close
; (it ends as if the last browser window had gone) and give it a moment.
!macro CloseTray UN
  Function ${UN}CloseTray
    Push $0
    Push $1
    StrCpy $1 0
    ${Do}
      System::Call 'user32::FindWindowA(p 0, t "${TRAY_CAPTION}") p .r0'
      ${If} $0 P= 0
        ${Break}
      ${EndIf}
      ${If} $1 = 0
        System::Call 'user32::PostMessageA(p r0, i ${WM_CLOSE}, p 0, p 0)'
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 > 50
        ${Break}
      ${EndIf}
      Sleep 100
    ${Loop}
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro CloseTray ""
!insertmacro CloseTray "un."

; The programs use Windows 7 calls; on an older Windows they would not start.
Function .onInit
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs Windows 7 or later." /SD IDOK
    Abort
  ${EndIf}
  ; An installation from the Windows Installer package owns the same folder
  ; and settings: a second installation beside it would leave two entries
  ; and two uninstallers fighting over one set of files.
  !ifdef MSI_UPGRADE_CODE
    System::Call 'msi::MsiEnumRelatedProductsA(t "${MSI_UPGRADE_CODE}", i 0, i 0, t .r1) i .r0'
    ; Compared as text: a call that could not be made leaves "error", which
    ; counts as 0 in a number comparison.
    ${If} $0 == "0"
    ${AndIf} $1 != ""
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is already installed from its Windows Installer package (VendrolixSetup.msi). Remove it in Add/Remove Programs first, or install a newer package over it." /SD IDOK
      Abort
    ${EndIf}
  !endif
FunctionEnd

Section "Vendrolix" SecMain
  SectionIn RO
  Call CloseTray
  ; The folder's access list comes before its first file: a folder chosen
  ; under C:\ would otherwise let any user replace a program an
  ; administrator runs, or plant a DLL beside it.
  !insertmacro GrantInstallFolder "$INSTDIR"
  Pop $0
  ${If} $0 != "ok"
    StrCpy $1 $0 13
    ${If} $1 == "reparse point"
      DetailPrint "$INSTDIR is reached through a junction or link ($0)."
      MessageBox MB_OK|MB_ICONSTOP "The installation folder is, or lies in, a junction or symbolic link, so Vendrolix is not installed there: whoever made it decides where the programs would go. Choose another folder." /SD IDOK
    ${Else}
      DetailPrint "The access rights of $INSTDIR could not be set ($0)."
      MessageBox MB_OK|MB_ICONSTOP "The access rights of the installation folder could not be set, so Vendrolix is not installed there: any user could change its programs. Choose another folder." /SD IDOK
    ${EndIf}
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro MoveAsideIfInUse "VendrolixIEDLL.dll"
  !insertmacro MoveAsideIfInUse "VendrolixIEDLL64.dll"
  !insertmacro MoveAsideIfInUse "CookieCleaner.dll"
  !insertmacro MoveAsideIfInUse "CookieCleaner64.dll"

  !insertmacro OptionalFile "${DIST32}\VendrolixTray.exe" "VendrolixTray.exe"
  !insertmacro OptionalFile "${DIST32}\VendrolixPro.exe" "VendrolixPro.exe"
  !insertmacro OptionalFile "${DIST32}\VendrolixIEDLL.dll" "VendrolixIEDLL.dll"
  File "/oname=CookieCleaner.dll" "${DIST32}\CookieCleaner.dll"
  File "/oname=Block.wav" "${DIST32}\Block.wav"
  File "/oname=VendrolixHelp.chm" "${DIST32}\VendrolixHelp.chm"
  ; The Group Policy templates, for administrators to copy into a policy store.
  SetOutPath "$INSTDIR\PolicyDefinitions\en-US"
  File "/oname=Vendrolix.adml" "${__FILEDIR__}\policy\en-US\Vendrolix.adml"
  SetOutPath "$INSTDIR\PolicyDefinitions"
  File "/oname=Vendrolix.admx" "${__FILEDIR__}\policy\Vendrolix.admx"
  SetOutPath "$INSTDIR"
  !ifdef DIST64
    ${If} ${RunningX64}
      !insertmacro OptionalFile "${DIST64}\VendrolixIEDLL.dll" "VendrolixIEDLL64.dll"
      !insertmacro OptionalFile "${DIST64}\CookieCleaner.dll" "CookieCleaner64.dll"
    ${EndIf}
  !endif

  ; The settings key: no program of the suite creates it. Automatic cleaning
  ; starts off, as the cookie manager shows it; the browser helper and the
  ; tray would otherwise read the missing switches as on and delete every
  ; cookie at the first browser exit. Switches a user already set are kept.
  SetRegView 32
  !insertmacro MoveOlderSettings
  WriteRegStr HKLM "${SETTINGS_KEY}" "FirstStart" "1"
  !insertmacro SettingDefault "${MANAGER_KEY}" "AutoClean" "0"
  !insertmacro SettingDefault "${MANAGER_KEY}" "NSAutoClean" "0"

  ; Users may write the values the tray and the browser helper write, and
  ; nothing else.
  !insertmacro GrantSettingsKey
  Pop $0
  ${If} $0 != "ok"
    DetailPrint "The access rights of the settings key could not be set ($0)."
    MessageBox MB_OK|MB_ICONEXCLAMATION "The access rights of the settings could not be set. Users without administrator rights may find their tray settings not kept." /SD IDOK
  ${EndIf}
  !insertmacro AddElevationPolicy

  !insertmacro Register32 "VendrolixIEDLL.dll" ""
  !insertmacro Register32 "CookieCleaner.dll" ""
  ${If} ${FileExists} "$INSTDIR\VendrolixIEDLL.dll"
    WriteRegStr HKLM "${BHO_KEY}\${HELPER_CLSID}" "" "${PRODUCT}"
  ${EndIf}
  ${If} ${RunningX64}
    !insertmacro Register64 "VendrolixIEDLL64.dll" ""
    !insertmacro Register64 "CookieCleaner64.dll" ""
    ${If} ${FileExists} "$INSTDIR\VendrolixIEDLL64.dll"
      SetRegView 64
      WriteRegStr HKLM "${BHO_KEY}\${HELPER_CLSID}" "" "${PRODUCT}"
      SetRegView 32
    ${EndIf}
  ${EndIf}

  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Vendrolix"
  ${If} ${FileExists} "$INSTDIR\VendrolixPro.exe"
    CreateShortCut "$SMPROGRAMS\Vendrolix\Vendrolix Pro.lnk" "$INSTDIR\VendrolixPro.exe"
  ${EndIf}
  CreateShortCut "$SMPROGRAMS\Vendrolix\Vendrolix Help.lnk" "$INSTDIR\VendrolixHelp.chm"
  CreateShortCut "$SMPROGRAMS\Vendrolix\Uninstall Vendrolix.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  ${If} ${FileExists} "$INSTDIR\VendrolixPro.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VendrolixPro.exe"
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Call un.CloseTray
  !insertmacro RemoveElevationPolicy

  ; Nothing is unregistered (regsvr32 would load the DLL) or deleted
  ; through a reparse point: what it leads to is not ours.
  !insertmacro ReparsePointOnPath "$INSTDIR"
  Pop $R0
  ${If} $R0 != "no"
    DetailPrint "$INSTDIR is reached through a junction or link ($R0): its files are left."
  ${EndIf}
  SetRegView 32
  DeleteRegKey HKLM "${BHO_KEY}\${HELPER_CLSID}"
  ${If} ${RunningX64}
    SetRegView 64
    DeleteRegKey HKLM "${BHO_KEY}\${HELPER_CLSID}"
    SetRegView 32
  ${EndIf}
  ${If} $R0 == "no"
    !insertmacro Register32 "VendrolixIEDLL.dll" "/u"
    !insertmacro Register32 "CookieCleaner.dll" "/u"
    ${If} ${RunningX64}
      !insertmacro Register64 "VendrolixIEDLL64.dll" "/u"
      !insertmacro Register64 "CookieCleaner64.dll" "/u"
    ${EndIf}

    ; A browser still running may hold the helper; then it goes at the next
    ; restart.
    Delete /REBOOTOK "$INSTDIR\VendrolixIEDLL.dll"
    Delete /REBOOTOK "$INSTDIR\VendrolixIEDLL64.dll"
    Delete /REBOOTOK "$INSTDIR\CookieCleaner.dll"
    Delete /REBOOTOK "$INSTDIR\CookieCleaner64.dll"
    Delete /REBOOTOK "$INSTDIR\VendrolixIEDLL.dll.old"
    Delete /REBOOTOK "$INSTDIR\VendrolixIEDLL64.dll.old"
    Delete /REBOOTOK "$INSTDIR\CookieCleaner.dll.old"
    Delete /REBOOTOK "$INSTDIR\CookieCleaner64.dll.old"
    Delete "$INSTDIR\VendrolixTray.exe"
    Delete "$INSTDIR\VendrolixPro.exe"
    Delete "$INSTDIR\Block.wav"
    Delete "$INSTDIR\VendrolixHelp.chm"
    Delete "$INSTDIR\PolicyDefinitions\en-US\Vendrolix.adml"
    RMDir "$INSTDIR\PolicyDefinitions\en-US"
    Delete "$INSTDIR\PolicyDefinitions\Vendrolix.admx"
    RMDir "$INSTDIR\PolicyDefinitions"

    ; The white list and the keep lists are the user's own work.
    MessageBox MB_YESNO|MB_ICONQUESTION "Do you want to keep your white list and the lists of cookies to keep, for a later installation?" /SD IDYES IDYES keep
      Delete "$INSTDIR\WebSite.dat"
      Delete "$INSTDIR\IECookieURL.dat"
      Delete "$INSTDIR\NSCookieURL.dat"
    keep:

    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}

  SetShellVarContext all
  Delete "$SMPROGRAMS\Vendrolix\Vendrolix Pro.lnk"
  Delete "$SMPROGRAMS\Vendrolix\Vendrolix Help.lnk"
  Delete "$SMPROGRAMS\Vendrolix\Uninstall Vendrolix.lnk"
  RMDir "$SMPROGRAMS\Vendrolix"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Tervanic"
SectionEnd
