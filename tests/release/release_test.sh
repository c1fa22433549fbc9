#!/usr/bin/env bash
# The release as a user gets it: scripts/release.sh run twice gives the same
# bytes; the Debian package passes lintian, its desktop entry, AppStream
# metadata, manual page and icons are checked, it installs with apt-get, its
# program draws the build tree's frames, and purging it leaves no file
# behind; the Windows zip's members are checked one by one.
# Usage: release_test.sh RAYSPHERE RENDER_FRAMES WORK_DIR
# (RAYSPHERE and RENDER_FRAMES: the programs of the build tree.) Needs root,
# or sudo, for apt-get.
set -uo pipefail
raysphere=$(realpath "$1") render_frames=$(realpath "$2") work=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
program=$raysphere
. "$root/tests/program_checks.sh"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

version=$(sed -n 's/^project(raysphere VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
deb=raysphere_${version}-1_amd64.deb
grep -q "^## $version " "$root/CHANGELOG.md" || fail "CHANGELOG.md has no entry for $version"
zip=raysphere-$version-windows.zip

# ---- Two release builds, byte for byte
cd "$root" || exit 1
scripts/release.sh --skip-deps --skip-exhaustive >"$work/release-1.log" 2>&1 || { tail -30 "$work/release-1.log"; fail "release.sh failed"; finish_checks release; }
cp -a dist "$work/first"
scripts/release.sh --skip-deps --skip-exhaustive >"$work/release-2.log" 2>&1 || { tail -30 "$work/release-2.log"; fail "second release.sh failed"; finish_checks release; }
cp -a dist "$work/second"
echo "first build:"
cat "$work/first/SHA256SUMS"
echo "second build:"
cat "$work/second/SHA256SUMS"
[ "$(ls "$work/first")" = "$(ls "$work/second")" ] || fail "the two builds made different files"
for file in "$work"/first/*; do
    cmp -s "$file" "$work/second/$(basename "$file")" || fail "$(basename "$file") differs between two builds"
done
(cd "$work/first" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
for file in "$deb" "$zip"; do
    [ -f "$work/first/$file" ] || fail "dist/ holds no $file"
done
cd "$work" || exit 1
deb=$work/first/$deb
zip=$work/first/$zip

# ---- The package: lintian, its fields and its files
lintian --pedantic --info "$deb" >lintian.txt 2>&1
echo "lintian:"
grep -v '^N:' lintian.txt
grep -qE '^[EW]: ' lintian.txt && fail "lintian reports errors or warnings"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "package version is not $version-1"
dpkg-deb -f "$deb" Depends | grep -q libsdl2 || fail "Depends does not name the libraries the program links"
dpkg-deb -x "$deb" tree
for path in usr/bin/raysphere usr/share/man/man1/raysphere.1.gz usr/share/applications/raysphere.desktop \
    usr/share/doc/raysphere/copyright usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/raysphere.png; do
    [ -f "tree/$path" ] || fail "the package holds no /$path"
done
[ "$(tree/usr/bin/raysphere --version)" = "raysphere $version" ] || fail "raysphere --version is not $version"

desktop=tree/usr/share/applications/raysphere.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
grep -qx 'Exec=raysphere --capture' "$desktop" || fail "the desktop entry does not run raysphere --capture"
grep -qx 'Icon=raysphere' "$desktop" || fail "the desktop entry names another icon"
metainfo=$(ls tree/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the AppStream metadata"
grep -q '<image[^>]*>https://' "$metainfo" || fail "the AppStream metadata has no screenshot"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream metadata has no release $version"
grep -q '<launchable type="desktop-id">raysphere.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not point at the desktop entry"

# The icons: the renderer's square frames at each size
for size in 48 128 256; do
    "$render_frames" 1 "icon-$size" --size "${size}x$size" >/dev/null
    cmp -s "icon-$size/frame_0001.png" "tree/usr/share/icons/hicolor/${size}x$size/apps/raysphere.png" ||
        fail "the ${size} px icon is not the renderer's ${size} x $size frame"
done

# The manual page: renders cleanly and describes every option --help names
zcat tree/usr/share/man/man1/raysphere.1.gz >raysphere.1
man --warnings -E UTF-8 -l raysphere.1 >man.txt 2>man-warnings.txt || fail "man cannot show the manual page"
[ -s man-warnings.txt ] && fail "the manual page has faults: $(cat man-warnings.txt)"
grep -q "raysphere $version" man.txt || fail "the manual page does not give version $version"
tree/usr/bin/raysphere --help >help.txt
tree/usr/bin/raysphere --video --help >>help.txt
sed -n 's/^  \(--[a-z-]*\).*/\1/p' help.txt | sort -u >help-options.txt
sed 's/\\-/-/g' raysphere.1 | grep -oE -- '--[a-z][a-z-]*' | sort -u >man-options.txt
[ "$(wc -l <help-options.txt)" -ge 20 ] || fail "found only $(wc -l <help-options.txt) options in --help"
missing=$(comm -23 help-options.txt man-options.txt | tr '\n' ' ')
[ -z "$missing" ] || fail "the manual page does not describe $missing"
extra=$(comm -13 help-options.txt man-options.txt | tr '\n' ' ')
[ -z "$extra" ] || fail "the manual page describes options --help does not know: $extra"

# ---- Installed with apt-get, run, purged
if dpkg-query -W -f='${Status}' raysphere 2>/dev/null | grep -q "install ok installed"; then
    fail "raysphere is installed on this machine already: not installing over it"
else
    snapshot() { find /usr /etc /opt -xdev 2>/dev/null | grep -v '^/etc/ld.so.cache$' | sort; }
    snapshot >before.txt
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >apt-install.txt 2>&1 ||
        fail "apt-get install failed: $(tail -5 apt-install.txt)"
    dpkg-query -L raysphere >listed.txt
    [ -x /usr/bin/raysphere ] || fail "no /usr/bin/raysphere after installing"

    # The installed program draws the build tree's frames
    "$render_frames" 10 blocks --write-waveform blocks.raw >/dev/null
    /usr/bin/raysphere --headless --frames 10 --waveform blocks.raw --screenshot installed.png >/dev/null 2>&1 ||
        fail "the installed raysphere did not run headless"
    "$raysphere" --headless --frames 10 --waveform blocks.raw --screenshot built.png >/dev/null 2>&1 ||
        fail "the build tree's raysphere did not run headless"
    differing=$(compare -metric AE installed.png built.png null: 2>&1)
    [ "$differing" = "0" ] || fail "the installed program's frame differs from the build tree's in $differing pixels"
    man -w raysphere >/dev/null 2>&1 || fail "man does not find raysphere(1) once installed"

    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq raysphere >apt-purge.txt 2>&1 ||
        fail "apt-get purge failed: $(tail -5 apt-purge.txt)"
    while read -r path; do
        [ "$path" = "/." ] || [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is left after purging"
    done <listed.txt
    snapshot >after.txt
    left=$(comm -13 before.txt after.txt | head -20 | tr '\n' ' ')
    [ -z "$left" ] || fail "purging left behind: $left"
    status=$(dpkg-query -W -f='${Status}' raysphere 2>/dev/null)
    [ -z "$status" ] || [ "$status" = "unknown ok not-installed" ] || fail "dpkg still knows raysphere: $status"
fi

# ---- The Windows zip, and that its check finds faults
echo "zip members:"
unzip -Z1 "$zip"
python3 "$here/check_zip.py" "$zip" "$version" i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump ||
    fail "the Windows zip is not as it should be"
python3 - "$zip" <<'PYTHON'
import sys, zipfile
source = zipfile.ZipFile(sys.argv[1])
members = {info.filename: source.read(info) for info in source.infolist()}
faults = {
    "swapped.zip": dict(members, **{"vis_raysphere.dll": members["64-bit/vis_raysphere.dll"],
                                    "64-bit/vis_raysphere.dll": members["vis_raysphere.dll"]}),
    "unix-readme.zip": dict(members, **{"README.txt": members["README.txt"].replace(b"\r\n", b"\n")}),
    "no-licence.zip": {k: v for k, v in members.items() if k != "LICENSE.txt"},
}
for name, contents in faults.items():
    with zipfile.ZipFile(name, "w") as out:
        for member in sorted(contents):
            out.writestr(zipfile.ZipInfo(member, (2026, 1, 1, 0, 0, 0)), contents[member])
PYTHON
for faulty in swapped unix-readme no-licence; do
    python3 "$here/check_zip.py" "$faulty.zip" "$version" i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump \
        >"$faulty.txt" && fail "the zip check passed $faulty.zip"
done

# ---- The web site, when there is one
web=$work/first/raysphere-$version-web.tar.gz
if [ -f "$web" ]; then
    tar -tzf "$web" >web.txt || fail "the web archive cannot be read"
    grep -q "^raysphere-$version-web/index.html$" web.txt || fail "the web archive has no index.html"
    echo "web archive: $(wc -l <web.txt) entries"
fi

finish_checks release
