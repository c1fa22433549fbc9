#!/usr/bin/env bash
# A real run of the 64-bit plug-in under Wine: starts a virtual X screen of
# its own, runs smoke.exe in a 640 x 480 Wine desktop, takes a screenshot of
# the about box and one of the full-screen frames, checks that the frame shows
# the traced picture, and cleans up everything it started.
#
# Usage: run_smoke.sh SMOKE_EXE PLUGIN_DLL OUTPUT_FOLDER
# Leaves about.png and frame.png (and the program's log) in OUTPUT_FOLDER.
# Wine runs in a prefix of its own inside OUTPUT_FOLDER (made on the first
# run), so that stopping its server at the end touches no other Wine program.
set -euo pipefail

[ $# -eq 3 ] || {
    echo "usage: $0 SMOKE_EXE PLUGIN_DLL OUTPUT_FOLDER" >&2
    exit 2
}
smoke_exe=$(realpath "$1")
plugin_dll=$(realpath "$2")
out=$(realpath -m "$3")
source_dir=$(realpath "$(dirname "$0")/../..")
readonly WAIT_SECONDS=180

mkdir -p "$out"
signals="$out/signals"
rm -rf "$signals"
mkdir -p "$signals"
rm -f "$out/about.png" "$out/frame.png" "$out/smoke.log"

xvfb_pid=""
wine_pid=""
cleanup() {
    if [ -n "$wine_pid" ] && kill -0 "$wine_pid" 2>/dev/null; then
        kill "$wine_pid" 2>/dev/null || true
    fi
    if [ -n "${WINEPREFIX:-}" ]; then
        /usr/lib/wine/wineserver -k 2>/dev/null || true
        /usr/lib/wine/wineserver -w 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

fail() {
    echo "smoke: $*" >&2
    [ -f "$out/smoke.log" ] && sed 's/^/  | /' "$out/smoke.log" >&2
    exit 1
}

# Waits until a file exists, at most WAIT_SECONDS; fails at once when the
# program has ended without making it.
wait_for() {
    local file=$1 tenths=$((WAIT_SECONDS * 10))
    while [ ! -e "$file" ]; do
        # The file may have come just before the result
        [ -e "$signals/result" ] && [ ! -e "$file" ] && fail "the program ended without $(basename "$file")"
        kill -0 "$wine_pid" 2>/dev/null || [ -e "$file" ] || fail "Wine ended without $(basename "$file")"
        tenths=$((tenths - 1))
        [ $tenths -gt 0 ] || fail "timed out waiting for $(basename "$file")"
        sleep 0.1
    done
}

# The first free display number from :90 on, with an X server of our own on it.
start_xvfb() {
    local number
    for number in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$number" ] && break
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$number" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
            export DISPLAY=":$number"
            return 0
        fi
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    done
    fail "no free X display between :90 and :130"
}

# The top-left corner of the screen as a PNG.
screenshot() {
    xwd -root -silent -display "$DISPLAY" >"$out/screen.xwd"
    convert "$out/screen.xwd" "$1"
    rm -f "$out/screen.xwd"
}

# Unix path to the Windows path Wine's drive Z: gives it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Start
start_xvfb
export WINEPREFIX="$out/wineprefix"
cd "$source_dir"
. scripts/wine-env.sh
/usr/lib/wine/wine64 explorer /desktop=smoke,640x480 "$(windows_path "$smoke_exe")" \
    "$(windows_path "$plugin_dll")" "$(windows_path "$signals")" >"$out/smoke.log" 2>&1 &
wine_pid=$!

# The about box
wait_for "$signals/about-shown"
sleep 1 # let the box paint
screenshot "$out/about.png"
touch "$signals/about-taken"

# The full-screen frames
wait_for "$signals/frames-shown"
screenshot "$out/frame.png"
touch "$signals/frames-taken"

# The program's verdict
wait_for "$signals/result"
result=$(tr -d "\r\n" <"$signals/result")
cat "$out/smoke.log"
[ "$result" = "0" ] || fail "smoke.exe reported failure ($result)"

# The traced picture fills the top-left 320 x 181 pixels: a good share of
# them is the sky's exact colour (red 128, green 128, blue 255) and some are
# dark (every channel below 64).
region=(-crop 320x181+0+0 +repage)
total=$((320 * 181))
sky=$(convert "$out/frame.png" "${region[@]}" -fill black +opaque '#8080FF' -fill white -opaque '#8080FF' \
    -format '%[fx:round(mean*w*h)]' info:)
dark=$(convert "$out/frame.png" "${region[@]}" -channel RGB -separate -evaluate-sequence max \
    -threshold 25% -negate -format '%[fx:round(mean*w*h)]' info:)
echo "smoke: frame.png, top-left 320 x 181: $sky sky pixels, $dark dark pixels of $total"
[ "$sky" -ge $((total / 20)) ] || fail "too few sky-coloured pixels in the frame ($sky)"
[ "$dark" -ge $((total / 100)) ] || fail "too few dark pixels in the frame ($dark)"
[ $((sky + dark)) -lt "$total" ] || fail "the frame is only sky and dark pixels"
echo "smoke: passed; screenshots in $out"
