#!/usr/bin/env bash
# raysphere.exe under wine64: without a display its screenshots are the
# renderer's frames for the same blocks, pixel for pixel, at the plug-in's
# 320 x 200 and at a --size of its own; on a private X server its window
# answers the keys (I, W, F), follows a resize with W and quits on ESC with
# exit status 0; a file named in any script plays. Exits 77 (skipped)
# without the native renderer.
set -euo pipefail
raysphere="$1" render_frames="$2" work="$3"
. "$(dirname "$0")/app_lib.sh"
[ -x "$render_frames" ] || { echo "no native renderer at $render_frames: build the native-release preset"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
cd "$(dirname "$0")/../.." && . scripts/wine-env.sh && cd - >/dev/null
cd "$work"
run() { "$WINE64" "$raysphere" "$@"; }

# --- Frames: the screenshot scaled back is the renderer's frame
"$render_frames" 40 frames --write-waveform blocks.raw >/dev/null
run --headless --waveform blocks.raw --frames 40 --window 960x600 --screenshot shot.png --write-waveform fed.raw
[ "$(identify -format %wx%h shot.png)" = 960x600 ] || fail "screenshot is not 960x600"
same_picture shot.png frames/frame_0040.png
cmp -s blocks.raw fed.raw || fail "the blocks fed are not the file's"
"$render_frames" 3 sized --size 480x270 --waveform blocks.raw >/dev/null
run --headless --waveform blocks.raw --frames 3 --size 480x270 --threads 2 --window 960x540 --screenshot sized.png
convert sized.png -sample 480x270\! sized-back.png
[ "$(compare -metric AE sized-back.png sized/frame_0003.png null: 2>&1)" = "0" ] ||
    fail "the --size frame differs from the renderer's"

# --- The command line: help, the Windows differences, a bad option
run --help >help.txt
grep -q "not available on Windows" help.txt || fail "--help does not say --video is Linux's"
status=0
run --video out.mp4 song.flac 2>video.err || status=$?
[ "$status" -eq 2 ] && grep -q "not available on Windows" video.err || fail "--video: $status $(cat video.err)"
status=0
run --fps 0 2>bad.err || status=$?
[ "$status" -eq 2 ] || fail "a bad --fps exited with $status"

# --- A tagged file at a Unix-style path, named and written to outside the
# ANSI code page, plays under its tag or its name (Wine gives no tags)
ffmpeg -v error -f lavfi -i "sine=frequency=441:duration=1" -ac 2 -metadata title="Tone" "tön ♫.flac"
run --headless --frames 3 --verbose --screenshot "bild ♫.png" "$PWD/tön ♫.flac" >named.err 2>&1 ||
    fail "a file named outside the code page: $(cat named.err)"
grep -aq "playing \(Tone\|tön ♫\) (44100 Hz" named.err || fail "no title: $(cat named.err)"
[ "$(identify -format %wx%h "bild ♫.png")" = 640x400 ] || fail "no screenshot under a name outside the code page"

# --- The window: keys, full screen, a resize followed with W, ESC
start_xvfb
run --fps 10 --verbose >run.out 2>run.err &
app=$!
await_window
sleep 2
press() {
    xdotool mousemove --window "$window" 100 100
    xdotool key "$@"
    sleep 1
}
press i
import -window "$window" info.png
convert info.png -sample 320x200\! info-frame.png
lit=$(convert info-frame.png -crop 120x13+0+184 +repage -threshold 50% -format '%[fx:int(w*h*mean)]' info:)
[ "$lit" -gt 30 ] || fail "no frame rate shown ($lit pixels lit)"
press w
grep -q "tracing 640x400 for a 640x400 window" run.out || fail "W: $(cat run.out)"
xdotool windowsize "$window" 500 300
sleep 2
grep -q "tracing 500x300 for a 500x300 window" run.out || fail "the resize was not followed: $(cat run.out)"
press f
grep -q "full screen on" run.out || fail "F: $(cat run.out)"
[ "$(xdotool getwindowgeometry "$window" | grep -o '[0-9]*x[0-9]*$')" = 1024x768 ] ||
    fail "full screen is not the screen: $(xdotool getwindowgeometry "$window")"
grep -q "tracing 1024x768 for a 1024x768 window" run.out || fail "full screen not traced whole: $(cat run.out)"
press f
grep -q "full screen off" run.out || fail "F again: $(cat run.out)"
press Escape
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "ESC: exit status $status: $(cat run.err)"
echo "raysphere.exe: frames match the renderer's; keys, full screen, resize and W work"
