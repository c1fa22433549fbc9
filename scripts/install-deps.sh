#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need,
# only those missing. Runs apt-get as root (through sudo when not root).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    googletest libgtest-dev libbenchmark-dev libpng-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
    wine64 xvfb xdotool x11-apps imagemagick python3
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
