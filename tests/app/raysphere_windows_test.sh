#!/usr/bin/env bash
# raysphere.exe under wine64: without a display its screenshots are the
# renderer's frames for the same blocks, pixel for pixel, at the plug-in's
# 320 x 200 and at a --size of its own; on a private X server its window
# answers the keys (I, W, F), follows a resize with W and quits on ESC with
# exit status 0; a file named in any script plays, and files named outside
# the ANSI code page are read, written and guarded as any other. Exits 77
# (skipped) without the native renderer.
set -euo pipefail
raysphere="$1" render_frames="$2" work="$3"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/app_lib.sh"
[ -x "$render_frames" ] || { echo "no native renderer at $render_frames: build the native-release preset"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
cd "$source_dir" && . scripts/wine-env.sh && cd - >/dev/null
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

# --- Every file named outside the ANSI code page: a WAV file read, blocks
# written and read back, a scene file, and the refusals that keep the user's
# files (an input, a file of another kind, a missing folder) still refusing
name="Ünïcødé ♪ 日本"
ffmpeg -v error -f lavfi -i "sine=frequency=330:duration=2" -ac 2 -c:a pcm_s16le "$name.wav"
run --headless --frames 20 --write-waveform "$name.raw" "$name.wav" || fail "the WAV file was not read"
python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); sys.exit(len(d) != 20 * 1152 or len(set(d[-1152:])) < 8)" \
    "$name.raw" || fail "the blocks written from the WAV file are missing or flat"
run --headless --frames 20 --waveform "$name.raw" --write-waveform "again ♪.raw" --screenshot "frame ♪.png"
cmp -s "$name.raw" "again ♪.raw" || fail "the blocks read back are not those written"
run --headless --frames 20 --waveform "$name.raw" --screenshot frame.png
cmp -s frame.png "frame ♪.png" || fail "the screenshot under a name outside the code page differs"
cp "$source_dir/scenes/builtin/glass.toml" "scène ♪.toml"
run --headless --frames 20 --waveform "$name.raw" --scene "scène ♪.toml" --screenshot scene-file.png
run --headless --frames 20 --waveform "$name.raw" --scene glass --screenshot scene-named.png
cmp -s scene-file.png scene-named.png || fail "the scene file named outside the code page is not the built-in one"
mkdir "dossier ♪"
run --headless --frames 3 --screenshot 'dossier ♪\vue.png' && [ -s "dossier ♪/vue.png" ] ||
    fail "no screenshot in a folder named with a backslash"
printf 'P6 1 1 255\n\377\0\0' >"dossier ♪/tex ♪.ppm"
printf '%s\n' 'name = "t"' '[camera]' 'eye = [0, 50, -200]' 'target = [0, 0, 0]' 'zoom = 2.5' 'roll = 0' '[light]' \
    'position = [0, 90, 0]' '[[texture]]' 'name = "red"' 'kind = "image"' 'file = "tex ♪.ppm"' '[[object]]' \
    'kind = "floor"' 'texture = "red"' >"dossier ♪/scène.toml"
run --headless --frames 3 --scene 'dossier ♪\scène.toml' 2>scene.err || fail "a texture beside its scene: $(cat scene.err)"
cp "$name.wav" "kept ♪.png"
refused() {
    local text="$1"
    shift
    status=0
    run --headless --frames 3 "$@" 2>refused.err || status=$?
    [ "$status" -eq 2 ] && grep -qF -- "$text" refused.err || fail "'$*' exited with $status: $(cat refused.err)"
}
refused "--screenshot kept ♪.png: the file exists and is not a PNG picture" --screenshot "kept ♪.png"
refused "--write-waveform $name.wav is the file $name.wav, one of those to play" \
    --write-waveform "$name.wav" "$name.wav"
refused "--write-waveform again ♪.raw is also the --waveform read" --waveform "again ♪.raw" --write-waveform "again ♪.raw"
refused "--screenshot absent ♪\\x.png: the folder absent ♪\\ does not exist" --screenshot 'absent ♪\x.png'
cmp -s "$name.wav" "kept ♪.png" && cmp -s "$name.raw" "again ♪.raw" || fail "a refused run changed a file"

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
echo "raysphere.exe: frames match the renderer's; names outside the code page work; keys, full screen, resize and W work"
