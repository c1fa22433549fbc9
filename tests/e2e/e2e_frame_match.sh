#!/usr/bin/env bash
# The real 64-bit plug-in, run by the host for N frames from a raw waveform
# file, shows on the screen the frame the native renderer makes from the same
# waveform bytes: the top 181 rows (the traced picture and the oscilloscope)
# must match within a small tolerance.
. "$(dirname "$0")/e2e_lib.sh"

FRAMES=40
FUZZ=2%           # per-pixel colour tolerance of the comparison
MAX_DIFFERENT=58  # at most 0.1 % of the 57,920 pixels compared may differ beyond it
AREA=320x181+0+0

[ -x "$RENDERER" ] || fail "no native renderer at $RENDERER (build the native-release preset first)"

# The native side: the frames, and the waveform blocks it fed them.
"$RENDERER" "$FRAMES" "$WORK/native" --write-waveform "$WORK/waveform.raw" >"$WORK/renderer.out"
NATIVE_LAST=$(printf '%s/native/frame_%04d.png' "$WORK" "$FRAMES")
NATIVE_BEFORE=$(printf '%s/native/frame_%04d.png' "$WORK" $((FRAMES - 1)))

# The same bytes through the host and the DLL; the last frame stays up.
start_player --frames "$FRAMES" --hold 120 --waveform "$(winpath "$WORK/waveform.raw")" "$(winpath "$PLUGIN")"
wait_for_log '^Hold ' 120
grep -q "^Render $FRAMES calls: $FRAMES returned 0$" "$LOG" || fail "not exactly $FRAMES frames rendered"
sleep 1 # let the last flip reach the X screen
SHOT=$(screenshot frame)
convert "$SHOT" -crop "$AREA" +repage "$WORK/frame_top.png"

convert "$NATIVE_LAST" -crop "$AREA" +repage "$WORK/native_top.png"
convert "$NATIVE_BEFORE" -crop "$AREA" +repage "$WORK/native_before_top.png"

# AE: pixels differing by more than the fuzz; RMSE for the record.
compare_area() { compare -metric AE -fuzz "$FUZZ" "$1" "$2" null: 2>&1 || true; }
different=$(compare_area "$WORK/frame_top.png" "$WORK/native_top.png")
rmse=$(compare -metric RMSE "$WORK/frame_top.png" "$WORK/native_top.png" null: 2>&1 || true)
say "frame $FRAMES on screen vs native frame $FRAMES: $different pixels differ by more than $FUZZ" \
    "(limit $MAX_DIFFERENT), RMSE $rmse"

# The comparison must be able to tell neighbouring frames apart.
control=$(compare_area "$WORK/frame_top.png" "$WORK/native_before_top.png")
say "control: vs native frame $((FRAMES - 1)): $control pixels differ"

[[ "$different" =~ ^[0-9]+$ ]] || fail "compare gave no pixel count: $different"
[ "$different" -le "$MAX_DIFFERENT" ] || fail "the screen differs from the native frame in $different pixels"
[[ "$control" =~ ^[0-9]+$ ]] && [ "$control" -gt $((MAX_DIFFERENT * 10)) ] ||
    fail "the previous native frame matches as well ($control pixels differ): the comparison proves nothing"

# ESC ends the hold; the host calls Quit and exits 0.
focus_window_at
xdotool key Escape
wait_for_log '^Hold ended by WM_QUIT$' 30
wait_for_exit 30
grep -q '^Quit$' "$LOG" || fail "Quit was not called"
say "passed; screenshot $SHOT"
