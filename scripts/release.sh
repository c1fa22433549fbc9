#!/usr/bin/env bash
# Builds the release files of the last commit into dist/:
#   raysphere_VERSION-1~deb12_amd64.deb    the Linux program for Debian 12, built the Debian way here
#   raysphere_VERSION-1~deb13_amd64.deb    the same for Debian 13, built in a Debian 13 chroot
#   raysphere-VERSION-linux-x86_64.tar.gz  the program with its libraries, for other distributions
#   raysphere-VERSION-windows.zip      raysphere.exe, the plug-in DLLs and the host, 32- and 64-bit
#   raysphere-VERSION-web.tar.gz       the web page, once the project has one
#   SHA256SUMS
# From a clean copy of the commit (git archive), dated by the commit: two
# runs give the same bytes. Uncommitted changes are not in the release.
# The Debian 13 chroot is made on first need under /srv/chroots
# (packaging/chroot.sh) and kept; this needs root.
# Before the checksums, the shipped builds' x^32 in packets is checked against
# each C library's powf on every float up to 2 (a few minutes).
# Usage: scripts/release.sh [--skip-deps] [--skip-exhaustive]
#   --skip-exhaustive: without that check (scripts/test.sh --full runs it anyway)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

step() { printf '\n== release: %s\n' "$*"; }
die() {
    echo "release: $*" >&2
    exit 1
}

skip_deps=false
exhaustive=true
for option in "$@"; do
    case "$option" in
    --skip-deps) skip_deps=true ;;
    --skip-exhaustive) exhaustive=false ;;
    *)
        echo "release: unknown option $option (usage: scripts/release.sh [--skip-deps] [--skip-exhaustive])" >&2
        exit 2
        ;;
    esac
done
$skip_deps || scripts/install-deps.sh
git rev-parse --verify -q HEAD >/dev/null || die "not in a git checkout with a commit"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release: NOTE: uncommitted changes are left out; the release is of $(git rev-parse --short HEAD)"

# The version, from the one place it is set
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^project(raysphere VERSION \([0-9][0-9.]*\) .*/\1/p')
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
debian_version=$(git show HEAD:debian/changelog | sed -n '1s/^raysphere (\([^)]*\)).*/\1/p')
[ "${debian_version%-*}" = "$version" ] ||
    die "debian/changelog is at $debian_version, CMakeLists.txt at $version: add a changelog entry"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export TZ=UTC LC_ALL=C.UTF-8

# A clean tree of the commit, always at the same path so that nothing a
# compiler records of its folder differs between runs
work=$root/build/release
source_tree=$work/raysphere-$version
staging=$work/dist
rm -rf "$work"
mkdir -p "$source_tree" "$staging"
git archive --format=tar HEAD | tar -x -C "$source_tree"

# set_release TREE SUITE: the package version and distribution of one Debian
# release, e.g. 1.0.0-1~deb12 for bookworm, lower than 1.0.0-1~deb13 as an
# upgrade from Debian 12 to 13 expects
set_release() {
    sed -i "1s/^raysphere ([^)]*) [a-z]*;/raysphere ($debian_version~$2) $(suite_of "$2");/" "$1/debian/changelog"
}

step "Debian 12 package"
. "$root/packaging/chroot.sh"
trap chroot_unmount_all EXIT
set_release "$source_tree" deb12
(
    cd "$source_tree"
    DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)" dpkg-buildpackage -b -us -uc
)
deb=raysphere_${debian_version}~deb12_amd64.deb
[ -f "$work/$deb" ] || die "dpkg-buildpackage made no $deb"
mv "$work/$deb" "$staging/"

step "Debian 13 package, in a Debian 13 chroot"
build_root=$(build_chroot deb13)
chroot_build=$build_root/build
chroot_remove "$chroot_build"
mkdir -p "$chroot_build/raysphere-$version"
git archive --format=tar HEAD | tar -x -C "$chroot_build/raysphere-$version"
set_release "$chroot_build/raysphere-$version" deb13
chroot_mount "$build_root"
chroot_run "$build_root" apt-get build-dep -y -qq "/build/raysphere-$version" >"$work/deb13-build-dep.log" 2>&1 ||
    die "cannot install the build dependencies in $build_root: $(tail -5 "$work/deb13-build-dep.log")"
chroot_run "$build_root" sh -c "cd /build/raysphere-$version &&
    DEB_BUILD_OPTIONS='nocheck noddebs parallel=$(nproc)' dpkg-buildpackage -b -us -uc"
chroot_unmount "$build_root"
deb=raysphere_${debian_version}~deb13_amd64.deb
[ -f "$chroot_build/$deb" ] || die "dpkg-buildpackage in $build_root made no $deb"
mv "$chroot_build/$deb" "$staging/"
chroot_remove "$chroot_build"

step "Portable build for other distributions"
"$source_tree/packaging/portable/make_portable.sh" "$source_tree/debian/raysphere" "$version" \
    "$staging/raysphere-$version-linux-x86_64.tar.gz"

step "Windows zip"
(
    cd "$source_tree"
    for preset in mingw32 mingw64; do
        cmake --preset $preset >/dev/null
        cmake --build --preset $preset --target vis_raysphere vis_raysphere_scenes vis_player
    done
    cmake --build --preset mingw64 --target raysphere
)
zip=raysphere-$version-windows.zip
sed "s/@VERSION@/$version/g" "$source_tree/data/windows-readme.txt" >"$work/README.txt"
python3 "$source_tree/scripts/make_zip.py" "$staging/$zip" \
    raysphere.exe="$source_tree/build/mingw64/raysphere.exe" \
    vis_raysphere.dll="$source_tree/build/mingw32/vis_raysphere.dll" \
    vis_raysphere_scenes.dll="$source_tree/build/mingw32/vis_raysphere_scenes.dll" \
    vis_player.exe="$source_tree/build/mingw32/vis_player.exe" \
    64-bit/vis_raysphere.dll="$source_tree/build/mingw64/vis_raysphere.dll" \
    64-bit/vis_raysphere_scenes.dll="$source_tree/build/mingw64/vis_raysphere_scenes.dll" \
    64-bit/vis_player.exe="$source_tree/build/mingw64/vis_player.exe" \
    README.txt="$work/README.txt" LICENSE.txt="$source_tree/LICENSE" NOTICES.txt="$source_tree/NOTICES.md" \
    --text README.txt LICENSE.txt NOTICES.txt

# The web page: the preset `web` builds the static site into build/web/site
if grep -q '"name": "web"' "$source_tree/CMakePresets.json" && [ -f "$source_tree/cmake/web.cmake" ]; then
    step "Web site"
    (
        cd "$source_tree"
        cmake --preset web >/dev/null
        cmake --build --preset web --target web_page # the site alone, not the tests
    )
    site=$source_tree/build/web/site
    [ -d "$site" ] || die "the web build made no build/web/site"
    web=raysphere-$version-web.tar.gz
    tar -C "$site" --transform "s|^\.|raysphere-$version-web|" --sort=name --format=gnu \
        --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --mode='u+rw,go+r,go-w' -cf - . |
        gzip -9 -n >"$staging/$web"
else
    echo "release: no web front end in this commit: no web archive"
fi

if $exhaustive; then
    step "x^32 in packets against powf on every float up to 2: Linux, Windows 64- and 32-bit, WebAssembly"
    (
        cd "$source_tree"
        export RAYSPHERE_FULL_TESTS=1
        export WINEPREFIX=$root/build/wineprefix # the one scripts/test.sh uses, made once
        . scripts/wine-env.sh
        cmake --preset native-release >/dev/null
        cmake --build --preset native-release --target pow32_test
        build/native-release/pow32_test
        for preset in mingw64 mingw32; do
            cmake --build --preset $preset --target pow32_test
            ctest --preset $preset -R '^pow32_test$'
        done
        if [ -d build/web ]; then
            cmake --build --preset web --target pow32_wasm_test
            ctest --preset web -R '^pow32_wasm_test$'
        fi
    ) || die "x^32 in packets differs from powf"
fi

step "Checksums"
(cd "$staging" && sha256sum -- * >SHA256SUMS.part && mv SHA256SUMS.part SHA256SUMS)

# dist/ holds this release alone, put in place whole
rm -rf "$root/dist.part"
mv "$staging" "$root/dist.part"
rm -rf "$root/dist"
mv "$root/dist.part" "$root/dist"
rm -rf "$work"
echo
echo "release: $version of $(git rev-parse --short HEAD), in dist/:"
cat "$root/dist/SHA256SUMS"
