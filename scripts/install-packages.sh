#!/usr/bin/env bash
# Installs, as root on Debian 12, every package the builds and tests need that is not there yet.
set -euo pipefail

packages=(
    cmake make g++ pkg-config git
    libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine32:i386 wine64
    libsdl2-dev libmpg123-dev libopenal-dev
    sox lame valgrind clang libclang-rt-14-dev
)

installed() { [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]; }

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    echo "=== all packages present"
    exit 0
fi
echo "=== installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 is the i386 half of Wine, which runs the 32-bit DLL.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
