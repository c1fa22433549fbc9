#!/usr/bin/env bash
# The release as a user gets it: scripts/release.sh (run twice giving the
# same bytes, under RAYSPHERE_FULL_TESTS); the Debian 12 and 13 packages pass
# lintian (each its own release's), their desktop entry, AppStream metadata,
# manual page and icons are checked; each installs with apt-get into a fresh
# minimal chroot of its release, its program draws the build tree's frames
# there, and purging it leaves no file behind. The portable build runs in
# fresh minimal Debian 12 and 13 chroots from its own libraries, and its
# install.sh and --uninstall leave the home folder as they found it. The
# Windows zip's members are checked one by one.
# Usage: release_test.sh RAYSPHERE RENDER_FRAMES WORK_DIR
# (RAYSPHERE and RENDER_FRAMES: the programs of the build tree.) Needs root
# for the chroots (packaging/chroot.sh), which are made once and kept.
set -uo pipefail
raysphere=$(realpath "$1") render_frames=$(realpath "$2") work=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
program=$raysphere
. "$root/tests/program_checks.sh"
. "$root/packaging/chroot.sh"
trap chroot_unmount_all EXIT
[ "$(id -u)" -eq 0 ] || fail "the release test makes chroots: run it as root"

version=$(sed -n 's/^project(raysphere VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
deb12=raysphere_${version}-1~deb12_amd64.deb
deb13=raysphere_${version}-1~deb13_amd64.deb
portable=raysphere-$version-linux-x86_64.tar.gz
grep -q "^## $version " "$root/CHANGELOG.md" || fail "CHANGELOG.md has no entry for $version"
zip=raysphere-$version-windows.zip

# ---- The release build; with RAYSPHERE_FULL_TESTS (scripts/test.sh --full)
# a second one, byte for byte the same
cd "$root" || exit 1
scripts/release.sh --skip-deps --skip-exhaustive >"$work/release-1.log" 2>&1 || { tail -30 "$work/release-1.log"; fail "release.sh failed"; finish_checks release; }
cp -a dist "$work/first"
echo "release build:"
cat "$work/first/SHA256SUMS"
if [ -n "${RAYSPHERE_FULL_TESTS:-}" ]; then
    scripts/release.sh --skip-deps --skip-exhaustive >"$work/release-2.log" 2>&1 || { tail -30 "$work/release-2.log"; fail "second release.sh failed"; finish_checks release; }
    cp -a dist "$work/second"
    echo "second build:"
    cat "$work/second/SHA256SUMS"
    [ "$(ls "$work/first")" = "$(ls "$work/second")" ] || fail "the two builds made different files"
    for file in "$work"/first/*; do
        cmp -s "$file" "$work/second/$(basename "$file")" || fail "$(basename "$file") differs between two builds"
    done
else
    echo "(one build: scripts/test.sh --full builds the release twice and compares the bytes)"
fi
(cd "$work/first" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
for file in "$deb12" "$deb13" "$portable" "$zip"; do
    [ -f "$work/first/$file" ] || fail "dist/ holds no $file"
done
[ "$(ls "$work/first" | grep -vc SHA256SUMS)" -eq "$(wc -l <"$work/first/SHA256SUMS")" ] ||
    fail "SHA256SUMS does not list every file"
[ "$failures" -eq 0 ] || finish_checks release
cd "$work" || exit 1
deb12=$work/first/$deb12
deb13=$work/first/$deb13
portable=$work/first/$portable
zip=$work/first/$zip

# ---- The packages: lintian of their own release, their fields and files
lintian --pedantic --info "$deb12" >lintian-deb12.txt 2>&1
build_root=$(build_chroot deb13)
cp "$deb13" "$build_root/tmp/"
chroot_mount "$build_root"
chroot_run "$build_root" lintian --pedantic --info "/tmp/$(basename "$deb13")" >lintian-deb13.txt 2>&1
chroot_unmount "$build_root"
rm "$build_root/tmp/$(basename "$deb13")"
for release in deb12 deb13; do
    echo "lintian ($release):"
    grep -v '^N:' "lintian-$release.txt"
    grep -qE '^[EW]: ' "lintian-$release.txt" && fail "lintian reports errors or warnings for the $release package"
done
[ "$(dpkg-deb -f "$deb12" Version)" = "$version-1~deb12" ] || fail "the Debian 12 package's version is not $version-1~deb12"
[ "$(dpkg-deb -f "$deb13" Version)" = "$version-1~deb13" ] || fail "the Debian 13 package's version is not $version-1~deb13"
dpkg --compare-versions "$version-1~deb12" lt "$version-1~deb13" || fail "the Debian 12 package is not older than 13's"
for depends in "$deb12 libavcodec59 libswscale6" "$deb13 libavcodec61 libswscale8"; do
    set -- $depends
    for library in libsdl2-2.0-0 "$2" "$3"; do
        dpkg-deb -f "$1" Depends | grep -q "\\b$library\\b" || fail "$(basename "$1")'s Depends does not name $library"
    done
done
for release in deb12 deb13; do
    deb=$release
    dpkg-deb -c "${!deb}" | awk '{print $6}' | sort >"files-$release.txt"
done
cmp -s files-deb12.txt files-deb13.txt || fail "the two packages hold different files: $(diff files-deb12.txt files-deb13.txt)"
dpkg-deb -x "$deb12" tree
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

# ---- In fresh minimal chroots: each package in its own release, the
# portable build in both, each drawing the build tree's frames
"$render_frames" 10 blocks --write-waveform blocks.raw >/dev/null
"$raysphere" --headless --frames 10 --waveform blocks.raw --screenshot built.png >/dev/null 2>&1 ||
    fail "the build tree's raysphere did not run headless"

# same_frame NAME PNG: the frame the build tree's program drew
same_frame() {
    local differing
    differing=$(compare -metric AE "$2" built.png null: 2>&1)
    [ "$differing" = "0" ] || fail "$1: the frame differs from the build tree's in $differing pixels"
    echo "$1: the frame is the build tree's ($differing pixels differ)"
}

# files_in DIR: what a package or install could have touched in a chroot
files_in() {
    (cd "$1" && find usr etc opt -xdev | grep -vx 'etc/ld.so.cache' | sort)
}

# The package of each release: apt-get fetches its dependencies from Debian's
# archive, the program runs, and purging takes every file away
for release in deb12 deb13; do
    deb=$release
    dir=$chroots/$release-test
    fresh_chroot "$release" "$dir"
    files_in "$dir" >"before-$release.txt"
    cp "${!deb}" blocks.raw "$dir/tmp/"
    if chroot_apt "$dir" install --no-install-recommends "/tmp/$(basename "${!deb}")" >"apt-$release.txt" 2>&1; then
        chroot_run "$dir" dpkg-query -L raysphere >"listed-$release.txt"
        chroot_run "$dir" /usr/bin/raysphere --headless --frames 10 --waveform /tmp/blocks.raw \
            --screenshot /tmp/installed.png >"run-$release.txt" 2>&1 ||
            fail "the $release package's raysphere did not run headless: $(tail -3 "run-$release.txt")"
        same_frame "the $release package in a fresh $(suite_of "$release") chroot" "$dir/tmp/installed.png"
        chroot_apt "$dir" purge --autoremove raysphere >>"apt-$release.txt" 2>&1 || fail "apt-get purge failed in $release"
        while read -r path; do
            [ "$path" = "/." ] || [ -d "$dir$path" ] || [ ! -e "$dir$path" ] || fail "$release: $path is left after purging"
        done <"listed-$release.txt"
        files_in "$dir" >"after-$release.txt"
        # Files of other packages apt brought up to date on the way are theirs
        left=$(comm -13 "before-$release.txt" "after-$release.txt" | while read -r path; do
            chroot_run "$dir" dpkg -S "/$path" >/dev/null 2>&1 || echo "$path"
        done | head -20 | tr '\n' ' ')
        [ -z "$left" ] || fail "$release: purging left behind: $left"
        [ -z "$(chroot_run "$dir" dpkg-query -W -f='${Status}' raysphere 2>/dev/null)" ] ||
            fail "$release: dpkg still knows raysphere after purging"
        echo "the $release package: installed with $(grep -c '^Unpacking' "apt-$release.txt" || true) packages, ran, purged"
    else
        fail "apt-get install of the $release package failed: $(tail -5 "apt-$release.txt")"
    fi
    chroot_remove "$dir"
done

# The portable build: its layout, its libraries' run paths and licences
name=raysphere-$version-linux-x86_64
tar -xzf "$portable"
for path in bin/raysphere install.sh README.txt share/applications/raysphere.desktop share/man/man1/raysphere.1.gz \
    share/doc/raysphere/{copyright,NOTICES.md,libraries.txt} share/icons/hicolor/{48x48,128x128,256x256}/apps/raysphere.png; do
    [ -f "$name/$path" ] || fail "the portable build holds no $path"
done
[ "$(patchelf --print-rpath "$name/bin/raysphere")" = '$ORIGIN/../lib' ] || fail "the portable program's run path is not \$ORIGIN/../lib"
for library in "$name"/lib/*; do
    [ "$(patchelf --print-rpath "$library")" = '$ORIGIN' ] || fail "$(basename "$library")'s run path is not \$ORIGIN"
done
echo "portable build: $(ls "$name/lib" | wc -l) libraries, $(du -sh "$name/lib" | cut -f1)"
while read -r soname package _; do
    [ -f "$name/lib/$soname" ] || fail "libraries.txt names $soname, which lib/ lacks"
    [ -f "$name/share/doc/raysphere/libraries/$package.copyright" ] || fail "no copyright file of $package"
    grep -q "\`$package\`" "$root/NOTICES.md" || fail "NOTICES.md does not name $package, which the portable build carries"
done <"$name/share/doc/raysphere/libraries.txt"
[ "$(ls "$name/lib" | wc -l)" -eq "$(wc -l <"$name/share/doc/raysphere/libraries.txt")" ] ||
    fail "libraries.txt does not list every library of lib/"

# In each release's fresh chroot with only what a desktop brings of its own
# (Mesa's libgbm and libdrm, and what they stand on): every other library
# comes from lib/
system_libraries='^(linux-vdso\.so|/lib64/ld-linux-x86-64\.so|libc\.so|libm\.so|libpthread\.so|libdl\.so|librt\.so|libresolv\.so|libstdc\+\+\.so|libgcc_s\.so|libgbm\.so|libdrm\.so|libwayland-server\.so|libexpat\.so)'
for release in deb12 deb13; do
    dir=$chroots/$release-test
    fresh_chroot "$release" "$dir"
    for library in libSDL2-2.0.so.0 libavcodec.so.59 libavformat.so.59 libsndfile.so.1 libpulse.so.0 libpng16.so.16 \
        libasound.so.2 libwayland-client.so.0 libxkbcommon.so.0 libX11.so.6 libvorbis.so.0; do
        [ -e "$dir/usr/lib/x86_64-linux-gnu/$library" ] && fail "$release: $library is installed in the chroot"
    done
    chroot_apt "$dir" install --no-install-recommends libgbm1 libdrm2 >"apt-portable-$release.txt" 2>&1 ||
        fail "cannot install Mesa's libraries in $release: $(tail -3 "apt-portable-$release.txt")"
    mkdir -p "$dir/home/user/.config"
    echo "the user's own" >"$dir/home/user/.config/settings"
    tar -xzf "$portable" -C "$dir/tmp"
    cp blocks.raw "$dir/tmp/"
    program=/tmp/$name/bin/raysphere
    chroot_run "$dir" ldd "$program" >"ldd-$release.txt" 2>&1
    grep -q 'not found' "ldd-$release.txt" && fail "$release: libraries not found: $(grep 'not found' "ldd-$release.txt")"
    outside=$(sed -n 's/^\t\([^ ]*\) => \([^ ]*\) .*/\1 \2/p' "ldd-$release.txt" | grep -v " /tmp/$name/" |
        grep -vE "$system_libraries" | tr '\n' ' ')
    [ -z "$outside" ] || fail "$release: the portable program loads these from the system: $outside"
    chroot_run "$dir" "$program" --headless --frames 10 --waveform /tmp/blocks.raw --screenshot /tmp/portable.png \
        >"run-portable-$release.txt" 2>&1 || fail "the portable raysphere did not run in $release: $(tail -3 "run-portable-$release.txt")"
    same_frame "the portable build in a fresh $(suite_of "$release") chroot" "$dir/tmp/portable.png"
    # What it says when the desktop is missing
    chroot_run "$dir" "$program" --frames 1 >/dev/null 2>"no-display-$release.txt" &&
        fail "$release: the portable raysphere ran a window without a display"
    grep -q "no display to open a window on" "no-display-$release.txt" ||
        fail "$release: no clear message without a display: $(cat "no-display-$release.txt")"
    chroot_run "$dir" "$program" --capture --headless --frames 1 --screenshot /tmp/x.png >/dev/null 2>"no-sound-$release.txt" &&
        fail "$release: the portable raysphere captured without a sound server"
    grep -q "no sound server" "no-sound-$release.txt" ||
        fail "$release: no clear message without a sound server: $(cat "no-sound-$release.txt")"

    # install.sh under ~/.local, then --uninstall: the home folder as it was
    home_state() { (cd "$dir/home/user" && find . -printf '%y %m %s %p\n' | sort); }
    home_state >"home-before-$release.txt"
    chroot_run "$dir" env HOME=/home/user sh "/tmp/$name/install.sh" >"install-$release.txt" 2>&1 ||
        fail "$release: install.sh failed: $(tail -3 "install-$release.txt")"
    for path in .local/bin/raysphere .local/share/applications/raysphere.desktop .local/share/man/man1/raysphere.1.gz \
        .local/share/icons/hicolor/256x256/apps/raysphere.png .local/lib/raysphere/install.sh; do
        [ -e "$dir/home/user/$path" ] || fail "$release: install.sh put no ~/$path"
    done
    grep -qx "Exec=/home/user/.local/lib/raysphere/bin/raysphere --capture" \
        "$dir/home/user/.local/share/applications/raysphere.desktop" || fail "$release: the installed menu entry runs another program"
    chroot_run "$dir" env HOME=/home/user /home/user/.local/bin/raysphere --headless --frames 10 \
        --waveform /tmp/blocks.raw --screenshot /tmp/local.png >/dev/null 2>&1 || fail "$release: ~/.local/bin/raysphere did not run"
    same_frame "the portable build installed under ~/.local in $release" "$dir/tmp/local.png"
    chroot_run "$dir" env HOME=/home/user sh /home/user/.local/lib/raysphere/install.sh --uninstall \
        >"uninstall-$release.txt" 2>&1 || fail "$release: install.sh --uninstall failed: $(tail -3 "uninstall-$release.txt")"
    home_state >"home-after-$release.txt"
    cmp -s "home-before-$release.txt" "home-after-$release.txt" ||
        fail "$release: install.sh and --uninstall changed the home folder: $(diff "home-before-$release.txt" "home-after-$release.txt" | head -10)"
    chroot_remove "$dir"
done
program=$raysphere

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
