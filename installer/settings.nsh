; The settings key's first values, as the setup program and the Windows
; Installer package's settings tool write them. Needs LogicLib and
; SETTINGS_KEY (grants.nsh); the caller has the suite's 32-bit view set.

; NAME gets DATA unless the key already holds a NAME: what a user chose is
; kept. Afterwards the error flag tells whether a needed write failed. Uses $0.
!macro SettingDefault NAME DATA
  ClearErrors
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "${NAME}"
  ${If} ${Errors}
    ClearErrors
    WriteRegStr HKLM "${SETTINGS_KEY}" "${NAME}" "${DATA}"
  ${EndIf}
!macroend
