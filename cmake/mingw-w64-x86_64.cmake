# Cross-compiles Talvern for 64-bit Windows, for hosts that run no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TALVERN_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
