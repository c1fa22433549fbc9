#!/usr/bin/env bash
# Runs a command under Debian 13's Wine 10, in a chroot made with debootstrap
# from Debian's archive on first need and kept for later runs (outside the
# tree, in /srv/chroots/deb13-wine). Debian 12's Wine 8 has no WASAPI loopback
# capture; Wine 10 has. The command runs as root in a private mount namespace,
# so /proc and the folders bound in vanish with it:
#
#   scripts/wine10-chroot.sh [--bind DIR]... -- COMMAND [ARG]...
#
# Each DIR appears inside at the same path. Exits 77 with the reason when the
# chroot cannot be made or entered here (not root, no network, no debootstrap).
set -euo pipefail

root="${WINE10_CHROOT:-/srv/chroots/deb13-wine}"
mirror="${WINE10_MIRROR:-http://deb.debian.org/debian}"
skip=77

binds=()
while [ $# -gt 0 ]; do
    case "$1" in
    --bind)
        binds+=("$(realpath "$2")")
        shift 2
        ;;
    --)
        shift
        break
        ;;
    *)
        echo "usage: $0 [--bind DIR]... -- COMMAND [ARG]..." >&2
        exit 2
        ;;
    esac
done
[ $# -gt 0 ] || {
    echo "usage: $0 [--bind DIR]... -- COMMAND [ARG]..." >&2
    exit 2
}

cannot() {
    echo "SKIPPED: no Wine 10 chroot: $*" >&2
    exit $skip
}

[ "$(id -u)" -eq 0 ] || cannot "making and entering a chroot needs root"
command -v unshare >/dev/null || cannot "unshare (util-linux) is missing"

# Wine 10 (64-bit), what its sound driver talks to, and the GStreamer
# plug-ins it decodes files with; no recommends, so no desktop comes along.
packages="wine64 libwine libpulse0 pulseaudio-utils ca-certificates"
packages="$packages gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav"
install_packages() {
    unshare --mount --propagation private sh -c "
        mount -t proc proc '$1/proc' &&
        chroot '$1' sh -c 'DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages'"
}

# One run at a time makes or changes the chroot.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9

# Made once, under a temporary name, and renamed when complete: an
# interrupted run leaves nothing that looks ready. The packages it holds are
# noted in it, so that a chroot made before a package was added gets it.
if [ -e "$root/.complete" ] && [ "$(cat "$root/.complete")" != "$packages" ]; then
    echo "Adding packages to the Wine 10 chroot in $root" >&2
    if ! install_packages "$root" >>"$root.log" 2>&1; then
        tail -5 "$root.log" >&2
        cannot "installing packages into the chroot failed (see $root.log)"
    fi
    echo "$packages" >"$root/.complete"
fi
if [ ! -e "$root/.complete" ]; then
    command -v debootstrap >/dev/null || cannot "debootstrap is not installed"
    building="$root.part"
    rm -rf "$building"
    mkdir -p "$(dirname "$root")"
    echo "Making the Wine 10 chroot in $root (once; a few minutes)" >&2
    if ! debootstrap --variant=minbase trixie "$building" "$mirror" >"$building.log" 2>&1; then
        tail -5 "$building.log" >&2
        cannot "debootstrap of Debian 13 from $mirror failed (see $building.log)"
    fi
    if ! install_packages "$building" >>"$building.log" 2>&1; then
        tail -5 "$building.log" >&2
        cannot "installing Wine 10 into the chroot failed (see $building.log)"
    fi
    echo "$packages" >"$building/.complete"
    rm -rf "$root"
    mv "$building" "$root"
    mv "$building.log" "$root.log"
fi

flock -u 9
exec 9>&-

# Wine 10's loader, wherever the package puts it.
inside_wine=
for candidate in /usr/lib/wine/wine64 /usr/lib/wine/wine /usr/bin/wine; do
    if [ -x "$root$candidate" ]; then
        inside_wine="$candidate"
        break
    fi
done
[ -n "$inside_wine" ] || cannot "$root holds no Wine loader"

mounts="mount -t proc proc '$root/proc' && mount --rbind /dev '$root/dev' && mount -t tmpfs tmpfs '$root/tmp'"
for dir in "${binds[@]}"; do
    mounts="$mounts && mkdir -p '$root$dir' && mount --bind '$dir' '$root$dir'"
done
export WINE10="$inside_wine"
exec unshare --mount --propagation private sh -c "$mounts && exec chroot '$root' \"\$@\"" wine10-chroot "$@"
