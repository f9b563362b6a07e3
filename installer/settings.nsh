; The settings key's first values, as the setup program and the Windows
; Installer package's settings tool write them. Needs LogicLib and
; SETTINGS_KEY (grants.nsh); the caller has the suite's 32-bit view set.

; NAME in KEY gets DATA unless KEY already holds a NAME: what a user chose is
; kept. Afterwards the error flag tells whether a needed write failed. Uses $0.
!macro SettingDefault KEY NAME DATA
  ClearErrors
  ReadRegStr $0 HKLM "${KEY}" "${NAME}"
  ${If} ${Errors}
    ClearErrors
    WriteRegStr HKLM "${KEY}" "${NAME}" "${DATA}"
  ${EndIf}
!macroend
