#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need,
# only those missing. Runs apt-get as root (through sudo when not root).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    googletest libgtest-dev libbenchmark-dev libpng-dev libjpeg-dev libtag1-dev libtomlplusplus-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
    wine64 wine32:i386 xvfb xdotool x11-apps imagemagick python3 evilwm
    libsdl2-dev libsndfile1-dev libpulse-dev
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
    pulseaudio pulseaudio-utils sox ffmpeg lame
    emscripten nodejs chromium
    debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream zip unzip debootstrap patchelf
    pipewire pipewire-pulse wireplumber dbus-daemon dbus-bin
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav debootstrap
)
# Wine decodes MP3, FLAC and AAC for Media Foundation through GStreamer: its
# parsers and decoders (FLAC, mpg123, the MP4 demuxer) are in -good, AAC in
# -libav. debootstrap makes the Wine 10 chroot of the loopback test.
# npm: Debian's node comes without it, other builds of node (NodeSource's) with it.
command -v npm >/dev/null || packages+=(npm)

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi

# The player's DLL is 32-bit: its tests run under 32-bit Wine.
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
    need_update=1
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
