# Sourced: a quiet Wine prefix of the project's own, made once.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE64=/usr/lib/wine/wine64
export WINE64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    echo "Creating the Wine prefix in $WINEPREFIX"
    "$WINE64" wineboot --init >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
