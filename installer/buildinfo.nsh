; What the build gives every program made by makensis: its version resource,
; from the build's one version and maker (makensis -DVERSION=<x.y.z>
; -DCOMPANY=<...> -DCOPYRIGHT=<...>, and the includer's DESCRIPTION), and
; its signature.
!ifndef VERSION
  !error "VERSION (x.y.z) comes from the build"
!endif
!ifndef COMPANY
  !error "COMPANY comes from the build"
!endif
!ifndef COPYRIGHT
  !error "COPYRIGHT comes from the build"
!endif
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vendrolix"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileDescription" "${DESCRIPTION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

; With -DSIGN=<command>, the build's signing command runs on the finished
; program and on its uninstaller before makensis packs it in.
!ifdef SIGN
  !finalize '${SIGN} "%1"'
  !uninstfinalize '${SIGN} "%1"'
!endif
; With -DUNINSTALLER_COPY=<file>, the finished uninstaller is also kept
; there, so that the build's checks can read it without installing.
!ifdef UNINSTALLER_COPY
  !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"'
!endif
