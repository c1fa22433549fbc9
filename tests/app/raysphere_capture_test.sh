#!/usr/bin/env bash
# raysphere --capture with a real sound server: a null sink of the test's own
# PulseAudio, a known tone played into it with paplay, captured from its
# monitor. The blocks carry the tone, the centre sphere follows them, the
# scope goes flat when the tone stops, and frames go on while the source goes
# away and comes back. The same against PipeWire when the fourth argument
# says "pipewire": there the stream must not move to another source when
# its own goes, but stop and say so.
set -euo pipefail
raysphere="$1" render_frames="$2" work="$3" server="${4:-pulseaudio}"
. "$(dirname "$0")/app_lib.sh"
rm -rf "$work"
mkdir -p "$work"
if [ "$server" = pipewire ]; then
    start_pipewire "$work/pipewire"
else
    start_pulse "$work/pulse"
fi
pactl info | grep -i '^Server Name'

# The sources, with the default output's monitor marked
sources=$("$raysphere" --list-sources)
grep -q '^\* vis_test.monitor$' <<<"$sources" || fail "--list-sources: $sources"

# An unknown source is refused with its name
if "$raysphere" --headless --capture=nowhere --frames 1 2>"$work/unknown.err"; then
    fail "--capture=nowhere ran"
fi
grep -q "cannot capture from nowhere: no such source" "$work/unknown.err" || fail "$(cat "$work/unknown.err")"

# 441 Hz, left at half scale, right at a quarter
sox -n -r 44100 -b 16 -c 2 "$work/tone.wav" synth 2.5 sine 441 remix 1v0.5 1v0.25

# 10 s at 10 frames a second: the tone from about 1 s to 3.5 s, then silence,
# then the sink goes away at 5 s and comes back at 7 s.
"$raysphere" --headless --capture=vis_test.monitor --fps 10 --frames 100 --verbose --write-waveform "$work/blocks.raw" \
    --screenshot "$work/capture.png" >"$work/run.out" 2>"$work/run.err" &
app=$!
sleep 1
paplay --device=vis_test "$work/tone.wav"
sleep 1.5
pactl unload-module module-null-sink
sleep 2
pactl load-module module-null-sink sink_name=vis_test >/dev/null
wait "$app" || fail "the capture run failed: $(cat "$work/run.err")"
cat "$work/run.err"

# What the program said
grep -q "capturing from" "$work/run.out" || fail "no word of the source"
grep -q "no sound from" "$work/run.err" || fail "silence not reported"
grep -q "capture from vis_test.monitor stopped" "$work/run.err" || fail "the lost source not reported"
grep -q "capture from vis_test.monitor running again" "$work/run.err" || fail "the source's return not reported"
[ "$(grep -c "capture from vis_test.monitor stopped" "$work/run.err")" = 1 ] || fail "the loss reported more than once"

# The blocks: the tone while it played, flat after it, all 100 frames shown
python3 - "$work/blocks.raw" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
assert len(data) == 100 * 1152, "blocks written: %d bytes" % len(data)
def signed(b):
    return b - 256 if b > 127 else b
tone = []
counts = []
levels = []
for k in range(100):
    block = data[k * 1152:(k + 1) * 1152]
    left = [signed(b) for b in block[:576]]
    right = [signed(b) for b in block[576:]]
    if max(left) > 40:
        crossings = sum(1 for i in range(1, 576) if (left[i - 1] < 0) != (left[i] < 0))
        assert max(left) <= 66 and min(left) >= -67 and max(right) <= 34 and min(right) >= -35, ("too loud", k)
        levels.append(60 <= max(left) and min(left) <= -61 and 29 <= max(right) and min(right) <= -30)
        counts.append(crossings)
        tone.append(k)
assert len(tone) >= 10, "blocks with the tone: %s" % tone
# 441 Hz has 11.5 crossings in a block, left at half scale, right at a
# quarter. The blocks where the tone starts and stops hold part of it (the
# last may end inside a half wave); on a loaded machine a sound server may
# drop a piece of a block (PipeWire's graph then skips a cycle): most blocks
# count and measure right.
inner = sorted(counts[1:-1])
steady = [c for c in inner if 10 <= c <= 13]
assert len(steady) >= 0.8 * len(inner) and 10 <= inner[len(inner) // 2] <= 13, ("crossings", counts)
assert sum(levels[1:-1]) >= 0.8 * len(levels[1:-1]), ("levels", tone, levels)
assert tone == list(range(tone[0], tone[-1] + 1)), "the tone's blocks are not one run: %s" % tone
# The centre sphere's radius follows byte 0 of channel 0: it moves with the tone.
firsts = set(data[k * 1152] >> 1 for k in tone)
assert len(firsts) >= 5, "the first byte hardly changed: %s" % firsts
# After the tone: flat, every byte 0, to the end.
after = data[(tone[-1] + 3) * 1152:]
assert len(after) >= 40 * 1152 and after == bytes(len(after)), "the scope did not go flat after the tone"
print("tone in blocks %d..%d; first bytes %d different; flat from block %d to 100" %
      (tone[0], tone[-1], len(firsts), tone[-1] + 3))
PY

# The frames are the renderer's frames for those blocks
"$render_frames" 100 "$work/frames" --waveform "$work/blocks.raw" >/dev/null
same_picture "$work/capture.png" "$work/frames/frame_0100.png"
# raysphere's own sound output: a file it plays through the sound server is
# heard on the sink's monitor (here by a second raysphere capturing it).
# SDL's PulseAudio output keeps a few of libpulse's allocations to the end:
# this one run, which captures nothing, may leave them.
# The capture starts first and lasts well past the 2.5 s tone, so a slow
# start of either program under load still leaves the whole tone inside it.
"$raysphere" --headless --capture --fps 10 --frames 70 --write-waveform "$work/heard.raw" 2>/dev/null &
listener=$!
sleep 1
LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan-sdl-pulse.supp:print_suppressions=0" SDL_AUDIODRIVER=pulse \
    "$raysphere" --headless --fps 10 "$work/tone.wav" 2>"$work/player.err" ||
    fail "playing through the sound server failed: $(cat "$work/player.err")"
wait "$listener" || fail "capturing what was played failed"
grep -q "no sound device" "$work/player.err" && fail "no sound device: $(cat "$work/player.err")"
python3 - "$work/heard.raw" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
loud = [k for k in range(len(data) // 1152) if max(b - 256 if b > 127 else b for b in data[k * 1152:k * 1152 + 576]) > 55]
assert len(loud) >= 10, "the played tone was heard in blocks %s only" % loud
PY
echo "PASS"
