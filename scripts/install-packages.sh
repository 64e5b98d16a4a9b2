#!/usr/bin/env bash
# Installs, on Debian 12, the packages a task needs that are not there yet: as root, or through sudo.
#   scripts/install-packages.sh         everything the builds and tests need (native, mingw-w64, Wine, sanitizers)
#   scripts/install-packages.sh play    only what building and playing through zorva-play needs
set -euo pipefail

play=(cmake make g++ pkg-config libsdl2-dev libmpg123-dev libgsm1-dev)
everything=(
    "${play[@]}" git
    libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine32:i386 wine64
    libopenal-dev
    sox lame twolame ffmpeg python3-mutagen valgrind clang libclang-rt-14-dev clang-format
    pulseaudio pulseaudio-utils libpulse0:i386
)
case "${1:-all}" in
play) packages=("${play[@]}") ;;
all) packages=("${everything[@]}") ;;
*)
    echo "usage: $0 [play|all]" >&2
    exit 2
    ;;
esac

installed() { [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]; }

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
    echo "=== all packages present"
    exit 0
fi

as_root=()
if ((EUID != 0)); then
    command -v sudo >/dev/null || { echo "$0: missing ${missing[*]}; run as root to install them" >&2; exit 1; }
    as_root=(sudo)
fi
echo "=== installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 is the i386 half of Wine, which runs the 32-bit DLL.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
