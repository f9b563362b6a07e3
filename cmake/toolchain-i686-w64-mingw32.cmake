# Cross-compiling the Windows deliverables with MinGW-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VENDROLIX_TRIPLET i686-w64-mingw32)
set(VENDROLIX_ARCH i686)
# 32-bit DLL exports are stdcall-decorated; the .def files name them plain.
set(VENDROLIX_SHARED_LINK_EXTRA -Wl,--enable-stdcall-fixup)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
