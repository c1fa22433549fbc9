#!/bin/sh
# Installs raysphere @VERSION@ for this user under ~/.local: the program and
# its libraries in ~/.local/lib/raysphere, `raysphere` in ~/.local/bin, the
# desktop's menu entry, the icons and the manual page. Every file and folder
# it makes is listed in ~/.local/lib/raysphere/installed, which --uninstall
# reads to take them all away again.
# Usage: ./install.sh [--uninstall]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
local_dir=$HOME/.local
app=$local_dir/lib/raysphere
manifest=$app/installed

say() { printf 'install.sh: %s\n' "$*"; }
die() {
    printf 'install.sh: %s\n' "$*" >&2
    exit 1
}

# Takes away every file and then every folder the manifest lists, the
# deepest first; a folder the user has put files in since is kept.
uninstall() {
    [ -f "$manifest" ] || die "raysphere is not installed under $local_dir (no $manifest)"
    made=$(cat "$manifest.dirs" 2>/dev/null || true)
    grep '^f ' "$manifest" | cut -c3- | while IFS= read -r path; do rm -f "$path"; done
    printf '%s\n' "$made" | sed -n 's/^d //p' | sort -r | while IFS= read -r path; do
        rmdir "$path" 2>/dev/null || say "kept $path: it holds files of yours"
    done
}

# make_dir DIR: makes DIR and the folders above it, listing those it made
make_dir() {
    [ -d "$1" ] && return 0
    make_dir "$(dirname "$1")"
    mkdir "$1"
    echo "d $1" >>"$dirs"
}

# put SOURCE TARGET [MODE]: one file in place, listed
put() {
    make_dir "$(dirname "$2")"
    cp "$1" "$2.part"
    chmod "${3:-644}" "$2.part"
    mv -f "$2.part" "$2"
    echo "f $2" >>"$files"
}

case ${1:-} in
--uninstall)
    uninstall
    say "raysphere is uninstalled"
    exit 0
    ;;
"") ;;
*)
    echo "usage: ./install.sh [--uninstall]" >&2
    exit 2
    ;;
esac
[ $# -le 1 ] || {
    echo "usage: ./install.sh [--uninstall]" >&2
    exit 2
}
[ -x "$here/bin/raysphere" ] || die "run the install.sh of the unpacked raysphere-@VERSION@-linux-x86_64 folder"
[ "$(uname -m)" = x86_64 ] || die "this build is for x86-64 (amd64) machines; this one is $(uname -m)"

# The C library and what the desktop provides come from the system
glibc=$(getconf GNU_LIBC_VERSION 2>/dev/null | sed -n 's/^glibc \([0-9.]*\)$/\1/p')
[ -n "$glibc" ] || die "raysphere needs the GNU C library (glibc) 2.36 or newer; this system has none"
major=${glibc%%.*} minor=${glibc#*.}
minor=${minor%%.*}
[ "$major" -gt 2 ] || { [ "$major" -eq 2 ] && [ "$minor" -ge 36 ]; } ||
    die "raysphere needs the GNU C library 2.36 or newer; this system has $glibc"
missing=$(ldd "$here/bin/raysphere" 2>/dev/null | sed -n 's/^\t\([^ ]*\) => not found$/\1/p' | sort -u | tr '\n' ' ')
if [ -n "$missing" ]; then
    die "raysphere needs these libraries of the system, which are missing: $missing
(libgbm and libdrm come with Mesa, libstdc++ and libgcc_s with GCC: install your distribution's packages of them)"
fi

[ -f "$manifest" ] && uninstall
dirs=$(mktemp) files=$(mktemp)
trap 'rm -f "$dirs" "$files"' EXIT
make_dir "$app"

# The program and its libraries
put "$here/bin/raysphere" "$app/bin/raysphere" 755
for library in "$here"/lib/*; do
    put "$library" "$app/lib/$(basename "$library")"
done
put "$here/README.txt" "$app/README.txt"
put "$here/install.sh" "$app/install.sh" 755
(cd "$here/share/doc" && find raysphere -type f) | sort | while IFS= read -r doc; do
    put "$here/share/doc/$doc" "$app/doc/${doc#raysphere/}"
done
make_dir "$local_dir/bin"
ln -sf ../lib/raysphere/bin/raysphere "$local_dir/bin/raysphere"
echo "f $local_dir/bin/raysphere" >>"$files"

# The menu entry runs the program by its full path: ~/.local/bin is not on
# every desktop session's path
make_dir "$local_dir/share/applications"
sed "s|^Exec=raysphere |Exec=$app/bin/raysphere |" "$here/share/applications/raysphere.desktop" \
    >"$local_dir/share/applications/raysphere.desktop"
echo "f $local_dir/share/applications/raysphere.desktop" >>"$files"
(cd "$here/share" && find icons man metainfo -type f) | sort | while IFS= read -r file; do
    put "$here/share/$file" "$local_dir/share/$file"
done

# The lists go last, once everything is in place
cp "$dirs" "$manifest.dirs"
echo "f $manifest.dirs" >>"$files"
cp "$files" "$manifest"
echo "f $manifest" >>"$manifest"

"$app/bin/raysphere" --version >/dev/null || die "the installed program does not start; ldd $app/bin/raysphere says why"
say "raysphere @VERSION@ is installed: run raysphere (in $local_dir/bin), or choose it in the desktop's menu; man raysphere"
case ":$PATH:" in
*":$local_dir/bin:"*) ;;
*) say "NOTE: $local_dir/bin is not on your PATH; add it, or run $local_dir/bin/raysphere" ;;
esac
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] ||
    say "NOTE: no display here (neither X11 nor Wayland): the window needs a desktop; raysphere --headless and --video work without one"
runtime=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}
[ -S "$runtime/pulse/native" ] || [ -S "$runtime/pipewire-0" ] || [ -n "${PULSE_SERVER:-}" ] ||
    say "NOTE: no sound server found (PulseAudio or PipeWire): raysphere --capture needs one; files play silent without one"
say "./install.sh --uninstall takes every file away again"
