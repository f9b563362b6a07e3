# Cross-compiling the Windows deliverables with MinGW-w64 (i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VENDROLIX_TRIPLET i686-w64-mingw32)
set(VENDROLIX_ARCH i686)

set(CMAKE_C_COMPILER   ${VENDROLIX_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VENDROLIX_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${VENDROLIX_TRIPLET}-windres)
set(VENDROLIX_WIDL     ${VENDROLIX_TRIPLET}-widl)
set(VENDROLIX_OBJDUMP  ${VENDROLIX_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VENDROLIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything the C++ runtime needs is linked in, so a deliverable imports
# nothing but system DLLs and can be copied onto any Windows machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
