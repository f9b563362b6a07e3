; The Windows Installer package's settings steps, the ones Windows Installer
; cannot take by itself: the installation folder's access list, the settings
; keys' first values, access lists and labels, the tray's elevation-policy entry, and at removal all of these and,
; when asked, the user's lists. The same steps as the setup program's, from
; the same include files. A 64-bit program, as the package is for 64-bit
; Windows; the package installs it and runs it as a deferred custom action
; with system rights.
;
;   VendrolixSettings.exe /install [/level=<0-4>] [/autoclean=<0|1>] [/D=<folder>]
;   VendrolixSettings.exe /repair
;   VendrolixSettings.exe /remove [/keeplists=0] [/family=<upgrade code> /product=<product code>]
;                         [/D=<folder>]
;   VendrolixSettings.exe /rejoin /family=<upgrade code> /product=<product code>
;   VendrolixSettings.exe /folder /D=<folder>
;
; <folder> is the installation folder, by default this program's own. An
; empty option counts as not given. /install is for the first installation
; and an upgrade; /repair, for a repair or a change, applies the access
; lists, labels and the elevation-policy entry again and writes no value: a
; standard user may start a repair of a per-machine package, with
; properties of their own. /remove changes nothing while another
; product of the family is installed: it is the removal of an older version
; after a newer one took its place, and the settings are the newer one's.
; /rejoin files the product under its family again when Windows Installer
; no longer finds it there: Wine's, removing the older version of an
; upgrade, drops the family's whole entry, and an installation that is not
; found there escapes the next upgrade, the downgrade refusal and the setup
; program's test. Where the product is found it changes nothing. /folder
; creates the installation folder when missing and gives it its access
; list and owner, and refuses a folder reached through a reparse point
; (the package runs it before copying files). Exit code
; 0: done; 2: no mode or a wrong value, nothing done; 3: a step failed (the
; package then rolls back).
;
; makensis -DOUTFILE=<exe> -DVERSION=<x.y.z> -DCOMPANY=<...> -DCOPYRIGHT=<...>
;          [-DSIGN=<command>] VendrolixSettings.nsi

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
ManifestSupportedOS Win7 Win8 Win8.1 Win10
SilentInstall silent
OutFile "${OUTFILE}"

!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "${__FILEDIR__}/grants.nsh"
!include "${__FILEDIR__}/settings.nsh"
!define DESCRIPTION "Vendrolix settings steps of the Windows Installer package"
!include "${__FILEDIR__}/buildinfo.nsh"

Var Params  ; the command line's options
Var Failed  ; the first step that failed, or empty
Var GivenFolder  ; the folder named by /D=, or empty

; The value of OPTION in the command line, or empty when it is not there.
!macro Option OPTION RESULT
  ${GetOptions} $Params "${OPTION}" ${RESULT}
  ${If} ${Errors}
    StrCpy ${RESULT} ""
  ${EndIf}
  ClearErrors
!macroend

!macro NoteFailure STEP
  ${If} ${Errors}
  ${AndIf} $Failed == ""
    StrCpy $Failed "${STEP}"
  ${EndIf}
  ClearErrors
!macroend

Function .onInit
  ${GetParameters} $Params
  StrCpy $GivenFolder $INSTDIR
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR $EXEDIR
  ${EndIf}
FunctionEnd

Function Install
  !insertmacro Option "/level=" $R1
  !insertmacro Option "/autoclean=" $R2
  ${Select} $R1
    ${Case5} "" "0" "1" "2" "3"
    ${Case} "4"
    ${CaseElse}
      SetErrorLevel 2
      Return
  ${EndSelect}
  ${Select} $R2
    ${Case3} "" "0" "1"
    ${CaseElse}
      SetErrorLevel 2
      Return
  ${EndSelect}

  SetRegView 32
  !insertmacro MoveOlderSettings
  ClearErrors
  ${If} $R1 != ""
    ; A level given: the tray's first start must not put its default over it.
    WriteRegStr HKLM "${SETTINGS_KEY}" "Popup" $R1
    !insertmacro NoteFailure "Popup"
    DeleteRegValue HKLM "${SETTINGS_KEY}" "FirstStart"
    ClearErrors
  ${Else}
    ; The tray's first start sets the default level, as after the setup
    ; program. A level the tray already stored (an upgrade) is kept.
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Popup"
    ${If} ${Errors}
      ClearErrors
      WriteRegStr HKLM "${SETTINGS_KEY}" "FirstStart" "1"
      !insertmacro NoteFailure "FirstStart"
    ${EndIf}
  ${EndIf}
  ClearErrors
  ${If} $R2 != ""
    WriteRegStr HKLM "${MANAGER_KEY}" "AutoClean" $R2
    !insertmacro NoteFailure "AutoClean"
    WriteRegStr HKLM "${MANAGER_KEY}" "NSAutoClean" $R2
    !insertmacro NoteFailure "NSAutoClean"
  ${Else}
    ; Off unless a user already chose, as the setup program leaves them.
    !insertmacro SettingDefault "${MANAGER_KEY}" "AutoClean" "0"
    !insertmacro NoteFailure "AutoClean"
    !insertmacro SettingDefault "${MANAGER_KEY}" "NSAutoClean" "0"
    !insertmacro NoteFailure "NSAutoClean"
  ${EndIf}

  Call GrantAgain
FunctionEnd

; What both an installation and a repair apply; sets the exit code.
Function GrantAgain
  !insertmacro GrantSettingsKey
  Pop $0
  ${If} $0 != "ok"
  ${AndIf} $Failed == ""
    StrCpy $Failed "access list ($0)"
  ${EndIf}
  ClearErrors
  !insertmacro AddElevationPolicy
  !insertmacro NoteFailure "elevation policy"
  ${If} $Failed != ""
    SetErrorLevel 3
  ${Else}
    SetErrorLevel 0
  ${EndIf}
FunctionEnd

Function Repair
  SetRegView 32
  !insertmacro DropManagerCopies
  Call GrantAgain
FunctionEnd

; Runs from the package's own tables before any file is copied, so the
; folder must be named: this program's folder is then a temporary one.
Function Folder
  ${If} $GivenFolder == ""
    SetErrorLevel 2
    Return
  ${EndIf}
  !insertmacro GrantInstallFolder "$GivenFolder"
  Pop $0
  ${If} $0 == "ok"
    SetErrorLevel 0
  ${Else}
    SetErrorLevel 3
  ${EndIf}
FunctionEnd

; Whether a product of the family other than this one is installed.
Function OtherInstallation
  !insertmacro Option "/family=" $R3
  !insertmacro Option "/product=" $R4
  StrCpy $R5 0
  StrCpy $R6 "no"
  ${If} $R3 != ""
    ${Do}
      System::Call 'msi::MsiEnumRelatedProductsW(w r13, i 0, i r15, w .r17) i .r18'
      ; Compared as text: a call that could not be made leaves "error".
      ${IfNot} $R8 == "0"
        ${Break}
      ${EndIf}
      ${If} $R7 != $R4
        StrCpy $R6 "yes"
        ${Break}
      ${EndIf}
      IntOp $R5 $R5 + 1
    ${Loop}
  ${EndIf}
FunctionEnd

; Whether PRODUCT is among the installed products of FAMILY (yes or no).
!macro FamilyHolds FAMILY PRODUCT RESULT
  StrCpy $R5 0
  StrCpy ${RESULT} "no"
  ${Do}
    System::Call 'msi::MsiEnumRelatedProductsW(w "${FAMILY}", i 0, i r15, w .r17) i .r18'
    ${IfNot} $R8 == "0"
      ${Break}
    ${EndIf}
    ${If} $R7 == "${PRODUCT}"
      StrCpy ${RESULT} "yes"
      ${Break}
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
!macroend

; Appends to $R9 LENGTH characters of $R0 from START, last first: how
; Windows Installer packs a GUID for its registry keys.
!macro PackedPart START LENGTH
  StrCpy $R8 ${LENGTH}
  ${Do}
    IntOp $R8 $R8 - 1
    IntOp $R7 ${START} + $R8
    StrCpy $R6 $R0 1 $R7
    StrCpy $R9 "$R9$R6"
  ${LoopUntil} $R8 = 0
!macroend

; $R0: a GUID in braces -> $R9: its packed form, or empty for anything else.
Function PackGuid
  StrCpy $R9 ""
  StrLen $R8 $R0
  StrCpy $R7 $R0 1
  StrCpy $R6 $R0 1 37
  ${If} $R8 != 38
  ${OrIf} $R7 != "{"
  ${OrIf} $R6 != "}"
    Return
  ${EndIf}
  !insertmacro PackedPart 1 8
  !insertmacro PackedPart 10 4
  !insertmacro PackedPart 15 4
  !insertmacro PackedPart 20 2
  !insertmacro PackedPart 22 2
  !insertmacro PackedPart 25 2
  !insertmacro PackedPart 27 2
  !insertmacro PackedPart 29 2
  !insertmacro PackedPart 31 2
  !insertmacro PackedPart 33 2
  !insertmacro PackedPart 35 2
FunctionEnd

Function Rejoin
  !insertmacro Option "/family=" $R3
  !insertmacro Option "/product=" $R4
  StrCpy $R0 $R3
  Call PackGuid
  StrCpy $R1 $R9
  StrCpy $R0 $R4
  Call PackGuid
  StrCpy $R2 $R9
  ${If} $R1 == ""
  ${OrIf} $R2 == ""
    SetErrorLevel 2
    Return
  ${EndIf}
  !insertmacro FamilyHolds $R3 $R4 $R6
  ${If} $R6 == "yes"
    SetErrorLevel 0
    Return
  ${EndIf}
  ; Where Windows Installer itself files a per-machine product's family.
  SetRegView 64
  ClearErrors
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes\$R1" $R2 ""
  WriteRegStr HKLM "Software\Classes\Installer\UpgradeCodes\$R1" $R2 ""
  ${If} ${Errors}
    SetErrorLevel 3
  ${Else}
    SetErrorLevel 0
  ${EndIf}
  SetRegView 32
FunctionEnd

; An uninstallation always finishes: what could not be removed stays, and
; the exit code says so.
Function Remove
  Call OtherInstallation
  ${If} $R6 == "yes"
    SetErrorLevel 0
    Return
  ${EndIf}
  ClearErrors
  !insertmacro RemoveElevationPolicy
  !insertmacro NoteFailure "elevation policy"
  SetRegView 32
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  !insertmacro NoteFailure "settings key"
  DeleteRegKey /ifempty HKLM "Software\Tervanic"
  ClearErrors
  ; The white list and the keep lists are the user's own work: they go only
  ; when the administrator says so.
  !insertmacro Option "/keeplists=" $R1
  ${If} $R1 S== "0"
    ; Never through a reparse point: the lists it leads to are not ours.
    !insertmacro ReparsePointOnPath "$INSTDIR"
    Pop $0
    ${If} $0 == "no"
      Delete "$INSTDIR\WebSite.dat"
      Delete "$INSTDIR\IECookieURL.dat"
      Delete "$INSTDIR\NSCookieURL.dat"
      !insertmacro NoteFailure "lists"
    ${ElseIf} $Failed == ""
      StrCpy $Failed "lists"
    ${EndIf}
  ${EndIf}
  ${If} $Failed != ""
    SetErrorLevel 3
  ${Else}
    SetErrorLevel 0
  ${EndIf}
FunctionEnd

Section
  ; Started without a mode (by hand, say) it changes nothing.
  SetErrorLevel 2
  ClearErrors
  ${GetOptions} $Params "/install" $0
  ${IfNot} ${Errors}
    Call Install
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $Params "/repair" $0
  ${IfNot} ${Errors}
    Call Repair
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $Params "/remove" $0
  ${IfNot} ${Errors}
    Call Remove
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $Params "/folder" $0
  ${IfNot} ${Errors}
    Call Folder
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $Params "/rejoin" $0
  ${IfNot} ${Errors}
    Call Rejoin
  ${EndIf}
SectionEnd
