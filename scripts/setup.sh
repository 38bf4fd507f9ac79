# Shared by ./run, ./test and the other scripts: installs what the station needs from Debian's
# packages when it is missing. The builds themselves are CMake's presets (CMakePresets.json).
# shellcheck shell=bash

QUORLAN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-svg-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libsqlite3-dev libssl-dev socat python3 fonts-dejavu-core
    libmosquitto-dev mosquitto mosquitto-clients openssl
    xvfb xdotool libzint-dev libzxing-dev poppler-utils dpkg-dev file strace
    clang-14 libclang-rt-14-dev clang-format)

# What only ./test needs: the Windows cross compilers and Wine, for the programs that run on the
# control's PC and their tests. (32-bit programs are built too; running them would need the i386
# architecture and wine32, which these scripts do not add to the system.)
QUORLAN_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64)

quorlan_install_missing() {
    local missing=() package
    for package in "${QUORLAN_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
