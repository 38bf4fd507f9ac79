# 32-bit Windows, for old control PCs: cmake -B build-windows-i686 --toolchain cmake/mingw-w64-i686.cmake
set(QUORLAN_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
