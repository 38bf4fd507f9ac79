# Windows programs cross-built on Debian with mingw-w64 and run under Wine; included by the
# toolchain file of each architecture, which names QUORLAN_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORLAN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLAN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLAN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORLAN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: with the posix compilers even -static-libgcc -static-libstdc++ leave an import
# of libwinpthread-1.dll, which a control's PC does not have.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# ctest runs each Windows program under Wine, in the test run's own prefix (tests/windows/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run)
