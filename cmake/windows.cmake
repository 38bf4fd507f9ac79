# The Windows build (toolchains: cmake/mingw-w64-x86_64.cmake, cmake/mingw-w64-i686.cmake), tested
# under Wine: the Qt-free core as far as it builds for Windows, with its tests, and the stand-in for
# the control's automation server. There is no Qt here; the station's windows stay on Linux.
# The core's layers and tests come from their own lists (src/*/CMakeLists.txt, tests/CMakeLists.txt),
# less what does not build for Windows yet.

target_compile_definitions(quorlan_options INTERFACE _WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# Not on Windows yet: what still calls POSIX, and what builds on that. Every such file stays out,
# as the linker may take any file of a library that it links.
set(QUORLAN_UNPORTED_LAYERS
    history # SQLite
    events  # libmosquitto, and POSIX sockets
    scan    # most of what is listed below
    shell)
set(unported_sources
    platform/device_access.cpp  # owners and groups of serial devices
    platform/file_lookup.cpp    # fstatat, ENOMEDIUM
    platform/file_write.cpp     # links never followed, owners kept, names from getrandom
    platform/ini_file.cpp       # O_CLOEXEC, fchown
    platform/open_ordinary_file.cpp # FIFOs, devices and links; Windows has its own
    platform/path_mapper.cpp    # drive folders under the user's home (pwd.h); Windows has its own
    platform/private_file.cpp   # owner and mode bits; Windows keeps secrets by access lists
    platform/runtime_folder.cpp # the XDG runtime folder
    platform/socket_peer.cpp    # local sockets' peers (SO_PEERCRED) and hang-ups (POLLRDHUP)
    platform/zlib_codec.cpp     # zlib, and temporary files opened the POSIX way
    platform/openssl_crypto.cpp # Windows has its own cryptography
    config/common.cpp           # the file lookup
    config/comm_settings.cpp    # config/common.cpp
    config/configuration.cpp    # the INI file
    cnc/compressed_payload.cpp  # zlib
    cnc/program_store.cpp       # fchmod
    cnc/work_list_link.cpp      # config/common.cpp
)
set(unported_tests
    platform/file_lookup_test.cpp platform/ini_file_test.cpp platform/path_mapper_test.cpp
    platform/private_file_test.cpp platform/runtime_folder_test.cpp
    platform/text_test.cpp # with the hint for a serial device's permissions
    config/comm_settings_test.cpp config/common_test.cpp config/configuration_test.cpp
    cnc/compressed_payload_test.cpp cnc/program_file_test.cpp cnc/work_list_link_test.cpp
    cnc/known_outcome_test.cpp # the work-list link, over config/common.cpp
    cnc/program_store_test.cpp # links, FIFOs, owners and modes
    cnc/program_editor_test.cpp # paths mapped the Linux way
    # temporary folders made with mkdtemp
    cnc/control_key_test.cpp cnc/remote_control_test.cpp cnc/simulator_test.cpp)

# Called by quorlan_layer (src/CMakeLists.txt) on Windows: the layer's library without its Qt
# adapters and without what is not ported; a layer left empty still carries its links.
function(quorlan_windows_layer name over sources)
    set(ported)
    foreach(source IN LISTS sources)
        if(NOT "${name}/${source}" IN_LIST unported_sources)
            list(APPEND ported ${source})
        endif()
    endforeach()
    list(TRANSFORM over PREPEND quorlan_)
    if(ported)
        add_library(quorlan_${name} STATIC ${ported})
        target_link_libraries(quorlan_${name} PUBLIC quorlan_options ${over})
    else()
        add_library(quorlan_${name} INTERFACE)
        target_link_libraries(quorlan_${name} INTERFACE quorlan_options ${over})
    endif()
endfunction()

# Each test program runs under Wine (tests/windows/wine-run, the toolchain's emulator) in the
# prefix that the fixture "wine" makes for the test run (tests/windows/CMakeLists.txt).
set(QUORLAN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
function(quorlan_wine_test name)
    add_test(NAME ${name} COMMAND ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT WINEPREFIX=${QUORLAN_WINE_PREFIX}
                                            TIMEOUT 120)
endfunction()

# Called by quorlan_core_tests (tests/CMakeLists.txt) on Windows: one program per layer, as on
# Linux, of the ported tests, run as one test.
function(quorlan_windows_core_tests folder links sources)
    if(folder IN_LIST QUORLAN_UNPORTED_LAYERS)
        return()
    endif()
    set(ported)
    foreach(source IN LISTS sources)
        if(NOT "${folder}/${source}" IN_LIST unported_tests)
            list(APPEND ported ${folder}/${source})
        endif()
    endforeach()
    if(NOT ported)
        return()
    endif()
    set(target core_${folder}_tests)
    add_executable(${target} ${ported})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${links} GTest::gmock GTest::gtest_main)
    quorlan_wine_test(${target} ${target})
endfunction()

# GoogleTest from Debian's sources, built for Windows.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

add_subdirectory(src)
# What Windows does its own way, beside the bridge that needs it.
target_sources(quorlan_platform PRIVATE ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/bcrypt_crypto.cpp
                                        ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/windows_open_file.cpp
                                        ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/windows_path_mapper.cpp
                                        ${PROJECT_SOURCE_DIR}/tools/quorlan-bridge/windows_private_file.cpp)
target_link_libraries(quorlan_platform PRIVATE bcrypt advapi32)
add_subdirectory(tools/quorlan-bridge)
add_subdirectory(tools/cnc-standin)
add_subdirectory(tests/windows)
add_subdirectory(tests)
