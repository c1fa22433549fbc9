# Debian chroots for building and trying the release, kept outside the source
# tree under $RAYSPHERE_CHROOTS (default /srv/chroots), made once with
# debootstrap from Debian's archive and reused:
#   SUITE-build          a build chroot (debootstrap's buildd variant, lintian)
#   SUITE-minbase.tar    a pristine minimal system (--variant=minbase), from
#                        which every test unpacks a fresh copy
#   cache/SUITE          the .deb files apt fetched, kept between fresh copies
# Sourced by scripts/release.sh and tests/release/release_test.sh. Needs root.
# While a chroot is in use /proc and /dev are mounted inside it; the caller
# runs `trap chroot_unmount_all EXIT` so that they are always unmounted.

chroots=${RAYSPHERE_CHROOTS:-/srv/chroots}
mirror=${RAYSPHERE_MIRROR:-http://deb.debian.org/debian}
mounted=()

chroot_die() {
    echo "chroot: $*" >&2
    exit 1
}

# The Debian release a suite name stands for, and back
suite_of() {
    case $1 in
    deb12) echo bookworm ;;
    deb13) echo trixie ;;
    *) chroot_die "no Debian suite for $1" ;;
    esac
}

# chroot_mount DIR: /proc, /dev and the name server inside DIR
chroot_mount() {
    local dir=$1
    mountpoint -q "$dir/proc" || mount -t proc proc "$dir/proc"
    mountpoint -q "$dir/dev" || mount --bind /dev "$dir/dev"
    mounted+=("$dir")
    cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
    # Packages installed here start no services
    printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
    chmod 755 "$dir/usr/sbin/policy-rc.d"
}

# chroot_unmount DIR: undoes chroot_mount (lazily when something still holds it)
chroot_unmount() {
    local dir=$1 point
    for point in "$dir/dev" "$dir/proc" "$dir/var/cache/apt/archives"; do
        mountpoint -q "$point" && { umount "$point" 2>/dev/null || umount -l "$point"; }
    done
    return 0
}

chroot_unmount_all() {
    local dir
    for dir in "${mounted[@]}"; do chroot_unmount "$dir"; done
    mounted=()
}

# chroot_run DIR COMMAND...: runs COMMAND inside DIR with a plain environment
chroot_run() {
    local dir=$1
    shift
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 TZ=UTC DEBIAN_FRONTEND=noninteractive \
        ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} chroot "$dir" "$@"
}

# chroot_remove DIR: deletes a chroot, never crossing into what is mounted there
chroot_remove() {
    chroot_unmount "$1"
    [ -e "$1" ] && rm -rf --one-file-system "$1"
    return 0
}

# debootstrap_into SUITE VARIANT DIR: a new system, made under DIR.part and
# renamed when complete, so that an interrupted run leaves no half chroot
debootstrap_into() {
    local suite=$1 variant=$2 dir=$3
    command -v debootstrap >/dev/null || chroot_die "debootstrap is not installed (scripts/install-deps.sh installs it)"
    chroot_remove "$dir.part"
    mkdir -p "$chroots"
    echo "chroot: making $dir (debootstrap --variant=$variant $(suite_of "$suite")), once" >&2
    debootstrap --variant="$variant" "$(suite_of "$suite")" "$dir.part" "$mirror" >"$dir.part.log" 2>&1 ||
        chroot_die "debootstrap failed, see $dir.part.log"
    chroot_mount "$dir.part"
    chroot_run "$dir.part" apt-get update -qq || chroot_die "apt-get update failed in $dir.part"
}

# build_chroot SUITE: echoes the build chroot's folder, made on first need
build_chroot() {
    local dir=$chroots/$1-build
    if [ ! -d "$dir" ]; then
        debootstrap_into "$1" buildd "$dir" >&2
        chroot_run "$dir.part" apt-get install -y -qq --no-install-recommends lintian >/dev/null ||
            chroot_die "cannot install lintian in $dir.part"
        chroot_unmount "$dir.part"
        mv "$dir.part" "$dir"
    fi
    echo "$dir"
}

# fresh_chroot SUITE DIR: DIR becomes a fresh minimal system of SUITE,
# unpacked from the pristine copy (made on first need), mounted, with apt's
# package cache shared with earlier fresh copies
fresh_chroot() {
    local suite=$1 dir=$2 pristine=$chroots/$1-minbase.tar
    if [ ! -f "$pristine" ]; then
        debootstrap_into "$suite" minbase "$chroots/$suite-minbase"
        chroot_run "$chroots/$suite-minbase.part" apt-get clean
        chroot_unmount "$chroots/$suite-minbase.part"
        tar -C "$chroots/$suite-minbase.part" -cf "$pristine.part" . && mv "$pristine.part" "$pristine"
        chroot_remove "$chroots/$suite-minbase.part"
    fi
    chroot_remove "$dir"
    mkdir -p "$dir" "$chroots/cache/$suite"
    tar -C "$dir" -xf "$pristine"
    chroot_mount "$dir"
    mount --bind "$chroots/cache/$suite" "$dir/var/cache/apt/archives"
}

# chroot_apt DIR ARGS...: apt-get in DIR; when the package lists have gone
# stale (the archive moved on), they are fetched anew and apt tried again
chroot_apt() {
    local dir=$1
    shift
    chroot_run "$dir" apt-get -y -qq -o APT::Keep-Downloaded-Packages=true "$@" && return 0
    chroot_run "$dir" apt-get update -qq && chroot_run "$dir" apt-get -y -qq "$@"
}
