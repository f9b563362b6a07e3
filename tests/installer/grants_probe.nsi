; The installer's grant steps alone, built as a 64-bit program so that they
; run where the 32-bit setup program cannot. Silent; exit code 0 when every
; step succeeded.
;   grants_probe.exe /S [/D=<folder>]          grant and add the policy entry
;   grants_probe.exe /S /remove [/D=<folder>]  remove the policy entry
;
; makensis -DOUTFILE=<exe> -DGRANTS=<installer/grants.nsh> grants_probe.nsi

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SilentInstall silent
OutFile "${OUTFILE}"
; Where the 32-bit setup program installs.
InstallDir "$PROGRAMFILES32\Vendrolix"

!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "${GRANTS}"

Section
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/remove" $R1
  ${If} ${Errors}
    SetRegView 32
    WriteRegStr HKLM "${SETTINGS_KEY}" "FirstStart" "1"
    !insertmacro GrantSettingsKey
    Pop $0
    ${If} $0 != "ok"
      DetailPrint $0
      SetErrorLevel 3
    ${EndIf}
    !insertmacro AddElevationPolicy
  ${Else}
    !insertmacro RemoveElevationPolicy
  ${EndIf}
SectionEnd
