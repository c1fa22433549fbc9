#!/usr/bin/env bash
# The scenes plug-in, one run of the host per module: module k, named after
# built-in scene k, shows on the screen the frame the native renderer makes
# of that scene from the same waveform bytes (the top 181 rows, within a
# small tolerance), and not the frame of the scene before it.
. "$(dirname "$0")/e2e_lib.sh"

FRAMES=12
FUZZ=2%           # per-pixel colour tolerance of the comparison
MAX_DIFFERENT=58  # at most 0.1 % of the 57,920 pixels compared may differ beyond it
AREA=320x181+0+0

[ -x "$RENDERER" ] || fail "no native renderer at $RENDERER (build the native-release preset first)"
mapfile -t SCENES < <("$RENDERER" --list-scenes | cut -d' ' -f1)
[ "${#SCENES[@]}" -ge 2 ] && [ "${SCENES[0]}" = classic ] || fail "the renderer lists no scenes after classic"

compare_area() { compare -metric AE -fuzz "$FUZZ" "$1" "$2" null: 2>&1 || true; }

previous=
for index in "${!SCENES[@]}"; do
    scene=${SCENES[$index]}
    "$RENDERER" "$FRAMES" "$WORK/$scene" --scene "$scene" --write-waveform "$WORK/$scene.raw" >/dev/null
    convert "$(printf '%s/%s/frame_%04d.png' "$WORK" "$scene" "$FRAMES")" -crop "$AREA" +repage "$WORK/$scene-native.png"

    rm -f "$LOG"
    start_player --module "$index" --frames "$FRAMES" --hold 120 --waveform "$(winpath "$WORK/$scene.raw")" \
        "$(winpath "$PLUGIN")"
    wait_for_log '^Hold ' 120
    grep -q "module $index \"$scene\"" "$LOG" || fail "module $index is not named $scene"
    grep -q "^Render $FRAMES calls: $FRAMES returned 0$" "$LOG" || fail "module $index: not $FRAMES frames rendered"
    sleep 1 # let the last flip reach the X screen
    convert "$(screenshot "$scene")" -crop "$AREA" +repage "$WORK/$scene-shown.png"
    focus_window_at
    xdotool key Escape
    wait_for_log '^Hold ended by WM_QUIT$' 30
    wait_for_exit 30

    different=$(compare_area "$WORK/$scene-shown.png" "$WORK/$scene-native.png")
    say "module $index ($scene): $different pixels differ from the native frame by more than $FUZZ"
    [[ "$different" =~ ^[0-9]+$ ]] && [ "$different" -le "$MAX_DIFFERENT" ] ||
        fail "module $index differs from the native $scene frame in $different pixels"
    if [ -n "$previous" ]; then
        control=$(compare_area "$WORK/$scene-shown.png" "$WORK/$previous-native.png")
        [[ "$control" =~ ^[0-9]+$ ]] && [ "$control" -gt $((MAX_DIFFERENT * 10)) ] ||
            fail "module $index shows $previous as well ($control pixels differ)"
    fi
    previous=$scene
done
say "passed: ${SCENES[*]}"
