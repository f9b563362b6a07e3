# Cross-compiling the Windows deliverables with MinGW-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VENDROLIX_TRIPLET i686-w64-mingw32)
set(VENDROLIX_ARCH i686)
# 32-bit DLL exports are stdcall-decorated; the .def files name them plain.
# The runtime's calls a 32-bit DLL makes at load and unload go through
# shared/win32/dll_runtime.cpp, which every DLL's DllMain pulls in.
set(VENDROLIX_SHARED_LINK_EXTRA "-Wl,--enable-stdcall-fixup -Wl,--wrap=pthread_once -Wl,--wrap=pthread_mutex_init -Wl,--wrap=__register_frame_info -Wl,--wrap=__deregister_frame_info")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
