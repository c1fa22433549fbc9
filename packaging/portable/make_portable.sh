#!/usr/bin/env bash
# Makes the portable build for any x86-64 Linux with glibc 2.36 or newer:
# the program installed by the Debian 12 package, with every library it
# loads beside it in lib/ (each library's Debian copyright file in
# share/doc/raysphere/libraries/), found through a relative run path.
# Left out: the C library, and what must be the desktop's own because its
# graphics drivers are loaded into the same process (libgbm and libdrm, which
# come with Mesa, and the GCC runtime libstdc++ and libgcc_s, which every
# system of that age has in a version at least as new as the one built with).
# Usage: make_portable.sh PACKAGE_TREE VERSION OUTPUT.tar.gz
# (PACKAGE_TREE: the files of the Debian package, debian/raysphere.)
set -euo pipefail
package_tree=$1 version=$2 output=$3
here=$(cd "$(dirname "$0")" && pwd)
name=raysphere-$version-linux-x86_64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/$name
share=$tree/share
mkdir -p "$tree/bin" "$tree/lib" "$share/doc/raysphere/libraries"

cp "$package_tree/usr/bin/raysphere" "$tree/bin/"
cp -r "$package_tree/usr/share/applications" "$package_tree/usr/share/icons" "$package_tree/usr/share/man" \
    "$package_tree/usr/share/metainfo" "$share/"
cp "$package_tree/usr/share/doc/raysphere/copyright" "$share/doc/raysphere/"
# The package keeps it compressed, as Debian does its documents
zcat "$package_tree/usr/share/doc/raysphere/NOTICES.md.gz" >"$share/doc/raysphere/NOTICES.md"
sed "s/@VERSION@/$version/g" "$here/README.txt" >"$tree/README.txt"
sed "s/@VERSION@/$version/g" "$here/install.sh" >"$tree/install.sh"
chmod 755 "$tree/install.sh"

# Not bundled: the C library's parts, and what comes with the desktop
not_bundled='^(linux-vdso\.so|ld-linux-x86-64\.so|libc\.so|libm\.so|libmvec\.so|libpthread\.so|libdl\.so|librt\.so|libresolv\.so|libutil\.so|libanl\.so|libstdc\+\+\.so|libgcc_s\.so|libgbm\.so|libdrm\.so)'
listing=$share/doc/raysphere/libraries.txt
sonames=() paths=() candidates=()
while read -r soname path; do
    [[ $soname =~ $not_bundled ]] && continue
    [ -f "$path" ] || {
        echo "make_portable: $soname not found" >&2
        exit 1
    }
    cp -L "$path" "$tree/lib/$soname"
    chmod 644 "$tree/lib/$soname"
    sonames+=("$soname") paths+=("$path")
    # The folder dpkg knows it by may be /lib or /usr/lib
    real=$(realpath "$path")
    candidates+=("$real" "${real#/usr}" "/usr$real" "$path")
done < <(ldd "$tree/bin/raysphere" | sed -n 's/^\t\([^ ]*\) => \(\/[^ ]*\) .*/\1 \2/p')
# Which Debian package each came from: one query for all, as each reads
# dpkg's whole database (most of a second)
declare -A package_of
while IFS= read -r line; do
    package_of[${line#*: }]=${line%%:*}
done < <(dpkg -S "${candidates[@]}" 2>/dev/null | grep -v ', ')
packages=()
for i in "${!sonames[@]}"; do
    package=
    for candidate in "${candidates[@]:4*i:4}"; do
        package=${package_of[$candidate]:-}
        [ -n "$package" ] && break
    done
    [ -n "$package" ] || {
        echo "make_portable: no Debian package holds ${paths[i]}" >&2
        exit 1
    }
    packages+=("$package")
done
# Their versions, also in one query
declare -A version_of
while read -r package package_version; do
    version_of[$package]=$package_version
done < <(dpkg-query -W -f='${Package} ${Version}\n' $(printf '%s\n' "${packages[@]}" | sort -u))
for i in "${!sonames[@]}"; do
    printf '%s %s %s\n' "${sonames[i]}" "${packages[i]}" "${version_of[${packages[i]}]}"
done | sort | column -t >"$listing"
for package in $(printf '%s\n' "${packages[@]}" | sort -u); do
    cp "/usr/share/doc/$package/copyright" "$share/doc/raysphere/libraries/$package.copyright"
done

# Every library finds the others beside it, the program finds them in ../lib
patchelf --set-rpath '$ORIGIN/../lib' "$tree/bin/raysphere"
for library in "$tree"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$library"
done

# The same bytes from the same files: sorted, dated by the commit, no owner
tar -C "$work" --sort=name --format=gnu --mtime="@${SOURCE_DATE_EPOCH:?}" --owner=0 --group=0 --numeric-owner \
    --mode='u+rw,go+r,go-w' -cf - "$name" | gzip -9 -n >"$output.part"
mv "$output.part" "$output"
