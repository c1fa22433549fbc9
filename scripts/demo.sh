#!/usr/bin/env bash
# The demo: installs what the build needs, builds the optimised native
# programs, renders frames of the built-in demo tune as PNG images and shows
# them live with raysphere.
# FRAMES=120 scripts/demo.sh renders more (or fewer) frames.
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${FRAMES:-60}
frames_dir=out/frames

step() { printf '\n== %s\n' "$*"; }

step "Installing what the build needs"
scripts/install-deps.sh

step "Building (preset native-release)"
cmake --preset native-release >/dev/null
cmake --build --preset native-release

step "Rendering $frames frames of the demo tune"
mkdir -p "$frames_dir"
rm -f "$frames_dir"/frame_*.png "$frames_dir"/frame_*.raw
build/native-release/render_frames "$frames" "$frames_dir"
echo "The frames are in $PWD/$frames_dir: frame_0001.png .. frame_$(printf %04d "$frames").png (320 x 200)"

# --- raysphere, the native program: installed with cmake --install, run on the
# demo tune for a few seconds (in a window when there is a display, headless
# otherwise), its last frame saved. RAYSPHERE_FRAMES=600 runs longer.
raysphere_frames=${RAYSPHERE_FRAMES:-180}
raysphere_shot=out/raysphere.png
step "Installing raysphere into out/install and running it on the demo tune"
cmake --install build/native-release --prefix out/install >/dev/null
raysphere_mode=(--headless)
[ -n "${DISPLAY:-}" ] && raysphere_mode=()
rm -f "$raysphere_shot"
out/install/bin/raysphere "${raysphere_mode[@]}" --frames "$raysphere_frames" --verbose --screenshot "$raysphere_shot"
echo "raysphere ran ${raysphere_mode[*]:-in a window} for $raysphere_frames frames; its last frame: $PWD/$raysphere_shot"
echo "Run it on your own music: out/install/bin/raysphere --capture, or out/install/bin/raysphere *.flac"

# --- The plug-in under Wine: both DLLs, the host, a few seconds of the
# visualisation on the demo tune, and a screenshot. DEMO_SECONDS=10 runs longer.
seconds=${DEMO_SECONDS:-5}
screenshot=out/screenshot.png

step "Building the plug-in DLLs and the host (presets mingw32, mingw64)"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 --target vis_raysphere vis_player
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 --target vis_raysphere vis_player

# The DLL users install is the 32-bit one: it runs through the 32-bit host
# where this machine executes 32-bit code; elsewhere the 64-bit pair shows
# the same plug-in.
. scripts/wine-env.sh
. scripts/wine32-check.sh
if wine32_usable; then
    pair=mingw32
    wine=$WINE32
else
    pair=mingw64
    wine=$WINE64
    echo "Not the 32-bit DLL: $WINE32_REASON."
    echo "Running the 64-bit DLL through the 64-bit host instead."
fi
step "Running the visualisation ($pair) under Wine for $seconds seconds"
xvfb_pid=
# The private X server goes last, once Wine's processes have ended.
stop_xvfb() {
    [ -n "$xvfb_pid" ] || return 0
    timeout 15 /usr/lib/wine/wineserver -w 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
}
trap stop_xvfb EXIT
if [ -z "${DISPLAY:-}" ]; then
    # No display of the user's: a private X server on the first free number.
    for number in $(seq 70 89); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        sleep 1
        if kill -0 "$xvfb_pid" 2>/dev/null; then
            export DISPLAY=":$number"
            break
        fi
        xvfb_pid=
    done
    [ -n "${DISPLAY:-}" ] || { echo "no free X display for Xvfb" >&2; exit 1; }
    echo "No DISPLAY: running on a private Xvfb display $DISPLAY"
fi
run_log=out/demo-run.log
rm -f "$run_log" "$screenshot"
# Exclusive 320 x 200 mode works inside a Wine virtual desktop, which the
# host opens itself (--desktop); the last frame stays up three seconds for
# the screenshot.
"$wine" "build/$pair/vis_player.exe" --desktop 640x480 --seconds "$seconds" --hold 3 \
    --log "$run_log" "build/$pair/vis_raysphere.dll" &
player_pid=$!
for _ in $(seq $(((seconds + 60) * 10))); do
    grep -q '^Hold ' "$run_log" 2>/dev/null && break
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.1
done
window=$(xdotool search --name "vis_player - Wine desktop" 2>/dev/null | head -1 || true)
if grep -q '^Hold ' "$run_log" 2>/dev/null && [ -n "$window" ]; then
    xwd -id "$window" -silent | convert xwd:- -crop 320x200+0+0 +repage "$screenshot"
fi
player_status=0
wait "$player_pid" || player_status=$?
frames=$(grep -Eo '^Render [0-9]+ calls' "$run_log" 2>/dev/null | grep -Eo '[0-9]+' || echo 0)
[ -f "$screenshot" ] || { echo "the visualisation did not run; see $run_log" >&2; exit 1; }
[ "$player_status" -eq 0 ] || { echo "the host exited $player_status; see $run_log" >&2; exit 1; }
echo "Rendered $frames frames in $seconds s; screenshot of the last one: $PWD/$screenshot"

step "The visualisation in a web browser"
cmake --preset web >/dev/null
cmake --build --preset web
echo "The web site (any static host serves it): $PWD/build/web/site"
echo "To open it here: web/serve.py, then http://localhost:8080/ in a browser"

step "Installing the plug-in in Winamp"
echo "The DLL for the player (32-bit): $PWD/build/mingw32/vis_raysphere.dll"
echo "Copy it into Winamp's Plugins folder (e.g. C:\\Program Files (x86)\\Winamp\\Plugins), then choose"
echo "\"nox raytracer winamp plugin\" under Options > Preferences > Plug-ins > Visualization and start it."
echo "In the visualisation: SPACE shows the song title, ESC ends it."
