#!/usr/bin/env bash
# raysphere --size window on a private X server with a window manager, in the
# build whose RAYSPHERE_TEST_DELAY slows its first frames down: the traced
# size starts as the window's, drops to the smallest level while the frames
# are slow and climbs back once they are not, follows a resize in the new
# shape and full screen, and W goes back to the plug-in's frame.
set -euo pipefail
raysphere="$1" work="$3"
. "$(dirname "$0")/app_lib.sh"
rm -rf "$work"
mkdir -p "$work"
start_xvfb_with_wm

# Ten frames a second; the first twenty take 300 ms longer each, enough for
# three measures of slow frames whenever the measures fall.
RAYSPHERE_TEST_DELAY=300:20 SDL_AUDIODRIVER=dummy "$raysphere" --size window --window 640x400 --fps 10 --verbose \
    >"$work/run.out" 2>"$work/run.err" &
app=$!
await_window

# Waits up to `seconds` for a line of the output matching `pattern`.
await() {
    local pattern="$1" seconds="$2"
    for _ in $(seq $((seconds * 10))); do
        grep -qE "$pattern" "$work/run.out" && return 0
        kill -0 "$app" 2>/dev/null || fail "raysphere ended: $(cat "$work/run.err")"
        sleep 0.1
    done
    fail "no '$pattern' in $seconds s; it said: $(cat "$work/run.out")"
}
# The traced sizes reported so far, one "WxH for a WxH window" a line.
sizes() {
    grep -oE 'tracing [0-9]+x[0-9]+ for a [0-9]+x[0-9]+ window' "$work/run.out" | sed 's/tracing //'
}

# At the window's size first; down to a sixteenth of its sides while slow; up again after
await 'tracing 640x400 for a 640x400 window' 10
await 'tracing 40x25 for a 640x400 window' 20
grep -q 'lowering the traced size' "$work/run.out" || fail "no word of lowering the traced size"
await 'raising the traced size' 20
await 'tracing (80x50|120x75|160x100|240x150|320x200|480x300|640x400) for a 640x400 window' 10
[ "$(sizes | head -1)" = "640x400 for a 640x400 window" ] || fail "did not start at the window's size: $(sizes)"

# A resize: the new shape, taller than wide, traced at its level
xdotool windowsize "$window" 300 480
await 'for a 300x480 window' 10
shape=$(sizes | grep 'for a 300x480 window' | tail -1)
traced=${shape%% *}
[ "${traced%x*}" -lt "${traced#*x}" ] || fail "traced $traced for a 300x480 window"

# Full screen: the screen's pixels
xdotool mousemove --window "$window" 100 100
xdotool key f
await 'for a 1024x768 window' 10
xdotool key f
sleep 1

# W: the plug-in's frame again, then the window's size
xdotool mousemove --window "$window" 100 100
xdotool key w
await 'tracing 320x200$' 10
xdotool key w
await 'tracing [0-9]+x[0-9]+ for a 300x480 window' 10
n_before=$(sizes | wc -l)

# ESC: exit status 0
xdotool key Escape
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after ESC: $(cat "$work/run.err")"
[ "$n_before" -ge 5 ] || fail "only $n_before traced sizes"
echo "PASS"
