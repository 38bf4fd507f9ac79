# The Windows build (toolchains: cmake/mingw-w64-x86_64.cmake, cmake/mingw-w64-i686.cmake), tested
# under Wine: the Qt-free core as far as it builds for Windows, with its tests, and the stand-in for
# the control's automation server. There is no Qt here; the station's windows stay on Linux.

target_compile_definitions(quorlan_options INTERFACE _WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# The core's libraries from the same sources as on Linux, but for the files that still need POSIX
# and those built on them: they wait for Windows versions of what they ask of the system. Every
# file listed here stays out, as the linker may take any file of a library that it links.
set(posix_only
    platform/device_access.cpp   # owners and groups of serial devices
    platform/file_lookup.cpp     # fstatat, ENOMEDIUM
    platform/ini_file.cpp        # O_CLOEXEC, fchown
    platform/path_mapper.cpp     # drive folders under the user's home (pwd.h)
    platform/private_file.cpp    # owner and mode bits; Windows keeps secrets by access lists
    platform/runtime_folder.cpp  # the XDG runtime folder
    platform/zlib_codec.cpp      # zlib, and temporary files opened the POSIX way
    cnc/program_store.cpp        # fchmod
    config/common.cpp            # the file lookup
    config/comm_settings.cpp     # config/common.cpp
    config/configuration.cpp     # the INI file
    cnc/compressed_payload.cpp   # zlib
    cnc/work_list_link.cpp       # config/common.cpp
    platform/openssl_crypto.cpp  # Windows has its own: tools/quorlan-bridge/bcrypt_crypto.cpp
)
function(quorlan_windows_library name folder)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    foreach(file ${posix_only})
        list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/src/${file})
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC quorlan_options ${ARGN})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE quorlan_options ${ARGN})
    endif()
endfunction()

quorlan_windows_library(quorlan_platform platform)
# What Windows does its own way, beside the bridge that needs it.
target_sources(quorlan_platform PRIVATE ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/bcrypt_crypto.cpp
                                        ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/windows_path_mapper.cpp)
target_link_libraries(quorlan_platform PRIVATE bcrypt)
quorlan_windows_library(quorlan_config config quorlan_platform)
quorlan_windows_library(quorlan_cnc cnc quorlan_config)
quorlan_windows_library(quorlan_fieldsel fieldsel quorlan_platform)
# scan/ and shell/ compile for Windows, but build on most of what is listed above, so nothing of
# them is linked yet.

add_subdirectory(tools/quorlan-bridge)
add_subdirectory(tools/cnc-standin)

# GoogleTest from Debian's sources, built for Windows.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

add_subdirectory(tests/windows)
