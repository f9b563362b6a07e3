# Cross-compiling the Windows deliverables with MinGW-w64 (x86_64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VENDROLIX_TRIPLET x86_64-w64-mingw32)
set(VENDROLIX_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
