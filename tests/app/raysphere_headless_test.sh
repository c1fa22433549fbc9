#!/usr/bin/env bash
# raysphere without a display: frames from a raw waveform are exactly the
# renderer's, in a window of any whole multiple of the frame's size, at the
# plug-in's 320 x 200 and at a --size of its own; files
# that cannot be played are named with the reason and skipped; no sound
# device, no display, no sound server and bad arguments each say so.
set -euo pipefail
raysphere="$1" render_frames="$2" work="$3"
. "$(dirname "$0")/app_lib.sh"
rm -rf "$work"
mkdir -p "$work"

# --- Frames: the screenshot scaled back is the renderer's frame for the same blocks
"$render_frames" 40 "$work/frames" --write-waveform "$work/blocks.raw" >/dev/null
for size in 640x400 960x600; do
    "$raysphere" --headless --waveform "$work/blocks.raw" --frames 40 --window "$size" \
        --screenshot "$work/shot-$size.png" --write-waveform "$work/fed.raw"
    [ "$(identify -format %wx%h "$work/shot-$size.png")" = "$size" ] || fail "screenshot is not $size"
    same_picture "$work/shot-$size.png" "$work/frames/frame_0040.png"
    cmp -s "$work/blocks.raw" "$work/fed.raw" || fail "the blocks fed are not the file's"
done
ls "$work" | grep -q '\.part$' && fail "a temporary screenshot was left behind"

# --size: every pixel traced, the renderer's --size frame, on two threads or one
"$render_frames" 3 "$work/sized" --size 480x270 --waveform "$work/blocks.raw" >/dev/null
"$raysphere" --headless --waveform "$work/blocks.raw" --frames 3 --size 480x270 --threads 2 --window 960x540 \
    --screenshot "$work/sized.png"
convert "$work/sized.png" -sample 480x270\! "$work/sized-back.png"
[ "$(compare -metric AE "$work/sized-back.png" "$work/sized/frame_0003.png" null: 2>&1)" = "0" ] ||
    fail "the --size frame differs from the renderer's"

# --- Scenes: a built-in scene is the renderer's picture for the same blocks
# and not classic's; --cycle goes round them; a bad scene file is refused
# with its place before anything starts
"$render_frames" 40 "$work/glass" --scene glass --waveform "$work/blocks.raw" >/dev/null
"$raysphere" --headless --scene glass --waveform "$work/blocks.raw" --frames 40 --screenshot "$work/glass.png"
same_picture "$work/glass.png" "$work/glass/frame_0040.png"
[ "$(compare -metric AE "$work/glass/frame_0040.png" "$work/frames/frame_0040.png" null: 2>&1)" != "0" ] ||
    fail "the glass scene looks like classic"
"$raysphere" --list-scenes >"$work/scenes.txt"
[ "$(head -c 8 "$work/scenes.txt")" = "classic " ] || fail "--list-scenes does not start with classic"
"$raysphere" --headless --waveform "$work/blocks.raw" --frames 25 --fps 10 --cycle 1 --verbose >"$work/cycle.out"
[ "$(grep -c '^raysphere: scene ' "$work/cycle.out")" -eq 2 ] || fail "--cycle 1 did not change scenes twice: $(cat "$work/cycle.out")"
grep -q "scene $(sed -n 2p "$work/scenes.txt" | cut -d' ' -f1)" "$work/cycle.out" || fail "--cycle did not go to the second scene"
printf 'name = "broken"\n[camera]\neye = [0, 1, 2]\ntarget = "up"\n' >"$work/broken.toml"
status=0
"$raysphere" --headless --frames 3 --scene "$work/broken.toml" --screenshot "$work/broken.png" 2>"$work/broken.err" || status=$?
[ "$status" -eq 2 ] || fail "a bad scene file exited with $status"
grep -qF "$work/broken.toml:4: target must be an array of three numbers" "$work/broken.err" ||
    fail "the bad scene file's place: $(cat "$work/broken.err")"
[ -e "$work/broken.png" ] && fail "a screenshot was written with a bad scene file"

# --- Files: the unplayable are named and skipped, the rest play, then the program ends
sox -n -r 48000 -b 24 -c 2 "$work/good.wav" synth 1 sine 440
sox -n -r 44100 -b 16 -c 2 "$work/long.flac" synth 3 sine 220
head -c 20000 "$work/long.flac" >"$work/cut.flac"
head -c 3000 /dev/urandom >"$work/damaged.wav"
sox -n -r 44100 -c 2 "$work/whole.ogg" synth 4 pinknoise gain -6
head -c $(($(stat -c %s "$work/whole.ogg") / 2)) "$work/whole.ogg" >"$work/cutogg.ogg"
mkdir -p "$work/folder.wav"
# A tag with control characters: printed, they would reach the terminal
sox -n -r 44100 -b 16 -c 1 "$work/tone.wav" synth 0.3 sine 440
ffmpeg -v error -y -i "$work/tone.wav" -metadata title="$(printf 'Bell\a Esc\033[31m Line\nTwo')" "$work/tagged.flac"
status=0
"$raysphere" --headless --fps 20 --verbose "$work/missing.ogg" "$work/damaged.wav" "$work/folder.wav" \
    "$work/$(printf 'title\033]0;x\a.ogg')" \
    "$work/good.wav" "$work/cut.flac" "$work/cutogg.ogg" "$work/tagged.flac" >"$work/files.out" \
    2>"$work/files.err" || status=$?
[ "$status" -eq 0 ] || fail "playing the files failed ($status): $(cat "$work/files.err")"
grep -qx "raysphere: cannot play $work/missing.ogg: no such file" "$work/files.err" || fail "missing file: $(cat "$work/files.err")"
grep -qx "raysphere: cannot play $work/damaged.wav: not a sound file libsndfile can read" "$work/files.err" ||
    fail "damaged file: $(cat "$work/files.err")"
grep -qx "raysphere: cannot play $work/folder.wav: is a directory" "$work/files.err" || fail "folder: $(cat "$work/files.err")"
grep -qx "raysphere: cannot play $work/title?]0;x?.ogg: no such file" "$work/files.err" ||
    fail "a name with control characters: $(cat -v "$work/files.err")"
grep -qx "raysphere: $work/cut.flac ends early, at 0:00 of 0:03 (truncated or damaged)" "$work/files.err" ||
    fail "cut file: $(cat "$work/files.err")"
# Cut Ogg Vorbis has no length: it plays what it holds, and no nonsense length is told
[ "$(grep -c cutogg "$work/files.err")" = 1 ] &&
    grep -qE "^raysphere: $work/cutogg.ogg ends early, at 0:0[0-2] \(truncated or damaged\)$" "$work/files.err" ||
    fail "cut Ogg file: $(cat "$work/files.err")"
played=$(grep -oE 'playing (good|cut|cutogg|Bell.*) \([0-9]+ Hz' "$work/files.out" | paste -sd'|')
[ "$played" = "playing good (48000 Hz|playing cut (44100 Hz|playing cutogg (44100 Hz|playing Bell? Esc?[31m Line?Two (44100 Hz" ] ||
    fail "played: $played"
LC_ALL=C grep -q "$(printf '[\a\033]')" "$work/files.out" "$work/files.err" && fail "control characters printed"

# --- Outputs: never an input (through a link too), never a file of another
# kind unless --force, the folder and the extension checked before the run
ln -sf good.wav "$work/link.png"
cp "$work/good.wav" "$work/song.png"
expect_refused() {
    local text="$1"
    shift
    status=0
    "$raysphere" --headless --frames 3 "$@" >/dev/null 2>"$work/refused.err" || status=$?
    [ "$status" -eq 2 ] || fail "'$*' exited with $status, not 2"
    grep -qF -- "$text" "$work/refused.err" || fail "'$*' did not say \"$text\": $(cat "$work/refused.err")"
}
expect_refused "--screenshot $work/link.png is the file $work/good.wav, one of those to play" \
    --screenshot "$work/link.png" "$work/good.wav"
expect_refused "--write-waveform $work/good.wav is the file $work/good.wav" --write-waveform "$work/good.wav" "$work/good.wav"
expect_refused "--write-waveform $work/blocks.raw is also the --waveform read" \
    --waveform "$work/blocks.raw" --write-waveform "$work/blocks.raw"
expect_refused "--screenshot $work/song.png: the file exists and is not a PNG picture; choose another name, or add --force" \
    --screenshot "$work/song.png"
expect_refused "--write-waveform $work/long.flac: the file exists and is not waveform blocks" \
    --write-waveform "$work/long.flac"
expect_refused "--screenshot $work/shot.jpg: the extension .jpg names another format" --screenshot "$work/shot.jpg"
expect_refused "--screenshot /nonexistent/x.png: the folder /nonexistent/ does not exist" --screenshot /nonexistent/x.png
cmp -s "$work/good.wav" "$work/song.png" || fail "the song under song.png was changed"
cmp -s "$work/blocks.raw" "$work/fed.raw" || fail "the --waveform file was changed"
"$raysphere" --headless --frames 3 --screenshot "$work/song.png" --force || fail "--force did not replace"
[ "$(head -c 4 "$work/song.png" | tail -c 3)" = PNG ] || fail "--force did not write a PNG over song.png"
"$raysphere" --headless --frames 3 --write-waveform "$work/fed.raw" --threads 0 --size 64x40 ||
    fail "an older waveform file is not replaced, or --threads 0 refused"

# The picture follows what the sound device has played: at 10 frames a
# second, a file silent for its first second shows its tone from about frame
# 10 on (SDL's dummy device sleeps after each buffer, so it runs a little slow).
# A second of tone more than the 20 frames need: a loaded machine may show them slower.
sox -n -r 44100 -b 16 -c 2 "$work/late.wav" synth 1 sine 440 vol 0 : synth 2 sine 440 vol 0.5
"$raysphere" --headless --fps 10 --frames 20 "$work/late.wav" --write-waveform "$work/late.raw"
python3 - "$work/late.raw" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
def loud(k):
    return max(b - 256 if b > 127 else b for b in data[k * 1152:k * 1152 + 576]) > 50
first = next(k for k in range(20) if loud(k))
assert 6 <= first <= 16, "the tone shows from frame %d, not about 10" % first
assert all(loud(k) for k in range(first + 1, 20)), "the tone did not stay"
PY

# None playable: a non-zero exit
status=0
"$raysphere" --headless "$work/missing.ogg" "$work/damaged.wav" 2>"$work/none.err" || status=$?
[ "$status" -eq 1 ] || fail "exit status $status with nothing playable"
grep -q "none of the files could be played" "$work/none.err" || fail "$(cat "$work/none.err")"

# --- No sound device: silent, timed by the clock, frames all the same
SDL_AUDIODRIVER=no-such-driver "$raysphere" --headless --frames 30 --fps 30 --screenshot "$work/silent.png" \
    --write-waveform "$work/silent.raw" 2>"$work/silent.err" || fail "no sound device: $(cat "$work/silent.err")"
grep -q "no sound device (.*): running silent, timed by the clock" "$work/silent.err" || fail "$(cat "$work/silent.err")"
[ -s "$work/silent.png" ] || fail "no screenshot of the silent run"
# The demo tune's blocks went on: loud and changing.
python3 - "$work/silent.raw" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
blocks = [data[k * 1152:(k + 1) * 1152] for k in range(len(data) // 1152)]
assert len(blocks) == 30, len(blocks)
assert len(set(blocks[5:])) >= 20, "the blocks did not change"
assert sum(1 for b in blocks if any(x not in (0, 255) for x in b)) >= 25, "the blocks are silent"
PY

# --- No display: a clear message and a non-zero exit
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$raysphere" --frames 1 2>"$work/nodisplay.err" || status=$?
[ "$status" -eq 1 ] || fail "exit status $status without a display"
grep -q "^raysphere: no display to open a window on (.*); --headless runs without one" "$work/nodisplay.err" ||
    fail "$(cat "$work/nodisplay.err")"

# --- No sound server for --list-sources and --capture
for args in "--list-sources" "--headless --capture --frames 1"; do
    status=0
    # shellcheck disable=SC2086
    PULSE_SERVER=unix:$work/no-server "$raysphere" $args 2>"$work/noserver.err" || status=$?
    [ "$status" -eq 1 ] || fail "$args: exit status $status without a sound server"
    grep -qE "^raysphere: cannot (list the sources|capture from the default output): no sound server" \
        "$work/noserver.err" || fail "$(cat "$work/noserver.err")"
done

# --- Bad arguments: exit status 2 and what was wrong
check_refused() {
    local expected="$1"
    shift
    local status=0
    "$raysphere" "$@" 2>"$work/args.err" || status=$?
    [ "$status" -eq 2 ] || fail "$*: exit status $status"
    grep -qF -- "$expected" "$work/args.err" || fail "$*: $(cat "$work/args.err")"
}
check_refused "--fps needs a whole number from 1 to 1000, not '0'" --fps 0
check_refused "--frames needs a whole number" --frames
check_refused "choose one of FILE..., --capture and --waveform" --capture "$work/good.wav"
check_refused "unknown option --bogus" --bogus
check_refused "--size needs WxH with W and H from 2 to 8192, or window, not '1x5'" --size 1x5
check_refused "--threads works with --size only" --threads 2
"$raysphere" --help | grep -q "^usage: raysphere" || fail "--help"

# SIGTERM and SIGHUP end the run as ESC does, the blocks written whole, and
# the exit code tells which, as a shell reports it
for signal in TERM:143 HUP:129; do
    rm -f "$work/signalled.raw"
    "$raysphere" --headless --fps 20 --write-waveform "$work/signalled.raw" &
    app=$!
    sleep 2
    kill -"${signal%:*}" "$app"
    status=0
    wait "$app" || status=$?
    [ "$status" -eq "${signal#*:}" ] || fail "SIG${signal%:*} ended the run with $status"
    size=$(stat -c %s "$work/signalled.raw")
    [ "$size" -gt 0 ] && [ $((size % 1152)) -eq 0 ] || fail "SIG${signal%:*}: $size bytes of blocks"
done

# A rate no machine keeps (a 1920 x 1080 frame a millisecond), however fast
# or loaded it is: said once, after two seconds measured, naming what limits
# it and the window's size; the run then ends on SIGINT.
"$raysphere" --headless --fps 1000 --size 1920x1080 2>"$work/behind.err" &
app=$!
limit="frames per second asked for are shown.* to show in the 640x400 window, so tracing is the limit"
for _ in $(seq 60); do
    grep -q "$limit" "$work/behind.err" && break
    sleep 0.5
done
kill -INT "$app"
wait "$app" || true
grep -q "$limit" "$work/behind.err" || fail "not keeping up: $(cat "$work/behind.err")"
[ "$(grep -c "asked for are shown" "$work/behind.err")" -eq 1 ] || fail "not keeping up said more than once"
echo "PASS"
