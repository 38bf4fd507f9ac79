# Shared by ./run and ./test: installs what the station needs from Debian's packages when it is
# missing, and configures and builds the project.
# shellcheck shell=bash

QUORLAN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libsqlite3-dev socat python3 fonts-dejavu-core
    xvfb xdotool libzint-dev libzxing-dev poppler-utils dpkg-dev file
    clang-14 libclang-rt-14-dev)

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

# Ninja's "[n/m] ..." lines as a line per target built, and one every tenth of the way between.
quorlan_progress() {
    local line count total percent step=0 rest target
    while IFS= read -r line; do
        case $line in
        "ninja: no work to do"*) echo "[100%] up to date" ;;
        \[*/*\]\ *)
            count=${line#[} && count=${count%%/*}
            total=${line#*/} && total=${total%%]*}
            [[ $count =~ ^[0-9]+$ && $total =~ ^[0-9]+$ && $total -gt 0 ]] || continue
            percent=$((100 * count / total))
            rest=${line#*] }
            if [[ $rest == Linking* ]]; then
                target=${rest##* }
                printf '[%3d%%] %s\n' "$percent" "${target##*/}"
            elif [[ $rest == Building* ]] && ((percent >= step)); then
                printf '[%3d%%] compiling\n' "$percent"
            fi
            while ((step <= percent)); do step=$((step + 10)); done
            ;;
        esac
    done
}

# quorlan_build BUILD_DIR [cmake options...] -- [targets...]
quorlan_build() {
    local dir=$1
    shift
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        options+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    targets=("$@")
    echo "Building in $dir (log: $dir/build.log) ..."
    mkdir -p "$dir"
    local - status=0
    set -o pipefail
    { cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" &&
        cmake --build "$dir" -j "$(nproc)" ${targets[@]+--target "${targets[@]}"}; } 2>&1 |
        tee "$dir/build.log" | quorlan_progress || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$dir/build.log"
        echo "The build failed; the whole log is $dir/build.log." >&2
        return 1
    fi
}
