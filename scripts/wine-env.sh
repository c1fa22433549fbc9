# Sourced: a quiet Wine prefix, made once; by default the project's own.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE64=/usr/lib/wine/wine64
export WINE64
wine_template_prefix=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix

# Makes the Wine prefix PREFIX unless it is made. Only the project's own is
# booted; any other is a copy of it, as booting takes some 15 s of processor
# time and copying one. A lock keeps two makers apart.
wine_prefix_make() {
    local prefix=$1
    [ -f "$prefix/system.reg" ] && return 0
    mkdir -p "$wine_template_prefix" "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$wine_template_prefix/system.reg" ]; then
            echo "Creating the Wine prefix in $wine_template_prefix"
            WINEPREFIX=$wine_template_prefix "$WINE64" wineboot --init >/dev/null 2>&1 || true
            WINEPREFIX=$wine_template_prefix /usr/lib/wine/wineserver -w 2>/dev/null || true
        fi
        if [ ! -f "$prefix/system.reg" ]; then
            # Under another name until complete: a stopped copy is made again
            rm -rf "$prefix.part"
            cp -a "$wine_template_prefix" "$prefix.part" && rm -rf "$prefix" && mv "$prefix.part" "$prefix"
        fi
    ) 9>"$wine_template_prefix.lock"
}
wine_prefix_make "$WINEPREFIX"
