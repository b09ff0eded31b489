# Cross-compiles Talvern for 32-bit Windows, as it ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TALVERN_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
