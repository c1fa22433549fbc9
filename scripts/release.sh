#!/usr/bin/env bash
# Builds the release files of the last commit into dist/:
#   raysphere_VERSION-1_amd64.deb     the Linux program, built the Debian way
#   raysphere-VERSION-windows.zip      raysphere.exe, the plug-in DLLs and the host, 32- and 64-bit
#   raysphere-VERSION-web.tar.gz       the web page, once the project has one
#   SHA256SUMS
# From a clean copy of the commit (git archive), dated by the commit: two
# runs give the same bytes. Uncommitted changes are not in the release.
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

step "Debian package"
(
    cd "$source_tree"
    DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)" dpkg-buildpackage -b -us -uc
)
deb=raysphere_${debian_version}_amd64.deb
[ -f "$work/$deb" ] || die "dpkg-buildpackage made no $deb"
mv "$work/$deb" "$staging/"

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
        cmake --build --preset web
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
