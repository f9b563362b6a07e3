# What both MinGW-w64 toolchains share; each toolchain file names its
# processor and triplet first.
set(CMAKE_SYSTEM_NAME Windows)

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
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
if(VENDROLIX_SHARED_LINK_EXTRA)
  string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " ${VENDROLIX_SHARED_LINK_EXTRA}")
endif()
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
