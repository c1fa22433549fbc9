#!/usr/bin/env bash
# The Windows audio kinds under Debian's Wine with a PulseAudio server of the
# test's own (a null sink, vis_test): files of four formats made here with
# ffmpeg decoded through Media Foundation (GStreamer inside Wine), broken,
# missing and cut files named as on Linux; capture while paplay plays a tone
# into the sink (this Wine refuses loopback, so its "Monitor of" input
# stands in, and says so), the sink going away and coming back; and the
# sound output heard on the sink's monitor.
set -euo pipefail
check_exe=$(realpath "$1") work="$2"
. "$(dirname "$0")/../app/app_lib.sh"
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
work=$(realpath "$work")

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/../../scripts/wine-env.sh"
wine=/usr/lib/wine/wine64
stop_wine() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    stop_started
}
trap stop_wine EXIT

# The files: 3 s of 441 Hz, left at half scale, right at a quarter, tagged.
files="$work/files"
mkdir -p "$files/folder.wav"
ffmpeg -v error -f lavfi -i "sine=frequency=441:duration=3:sample_rate=44100" \
    -filter_complex "[0]volume=4,asplit[a][b];[b]volume=0.5[c];[a][c]join=inputs=2:channel_layout=stereo" \
    -metadata artist="Test Artist" -metadata title="Test Tone" "$files/tone.wav"
for format in flac mp3 m4a; do
    ffmpeg -v error -i "$files/tone.wav" -metadata artist="Test Artist" -metadata title="Test Tone" "$files/tone.$format"
done
head -c 20000 /dev/urandom >"$files/broken.mp3"
head -c "$(($(stat -c %s "$files/tone.wav") / 2))" "$files/tone.wav" >"$files/cut.wav"
head -c "$(($(stat -c %s "$files/tone.flac") / 2))" "$files/tone.flac" >"$files/cut.flac"

# The sound server first: Wine's driver looks for it when Wine starts.
start_pulse "$work/pulse"
"$wine" wineboot --init >/dev/null 2>&1 || true

echo "== files"
"$wine" "$check_exe" files "Z:${files//\//\\}" | tee "$work/files.out" || fail "files: see above"

echo "== capture while a tone plays"
sox -n -r 44100 -b 16 -c 2 "$work/tone.wav" synth 2.5 sine 441 remix 1v0.5 1v0.25
"$wine" "$check_exe" capture 13 441 >"$work/capture.out" 2>&1 &
capture=$!
for _ in $(seq 300); do
    grep -q "capturing from" "$work/capture.out" && break
    kill -0 "$capture" 2>/dev/null || break
    sleep 0.1
done
sleep 0.5
paplay --device=vis_test "$work/tone.wav"
# The sink, and with it the input that records it, goes away and comes back.
sleep 1
pactl unload-module module-null-sink
sleep 3
pactl load-module module-null-sink sink_name=vis_test >/dev/null
wait "$capture" || {
    cat "$work/capture.out"
    fail "capture: see above"
}
cat "$work/capture.out"
grep -q "refuses loopback capture of .*: capturing from Monitor of Null Output" "$work/capture.out" ||
    fail "the stand-in for loopback not said"
[ "$(grep -c "capture from Monitor of Null Output stopped" "$work/capture.out")" = 1 ] ||
    fail "the lost source not reported once"
grep -q "capture from Monitor of Null Output running again" "$work/capture.out" || fail "the source's return not reported"

echo "== sound output, heard on the sink's monitor"
parecord --device=vis_test.monitor --raw --format=s16le --rate=44100 --channels=2 "$work/heard.raw" &
recorder=$!
sleep 0.5
"$wine" "$check_exe" output 4 331 || fail "output: see above"
sleep 0.5
kill "$recorder"
wait "$recorder" 2>/dev/null || true
python3 - "$work/heard.raw" <<'PY'
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
left, right = samples[0::2], samples[1::2]
loud = [i for i, v in enumerate(left) if abs(v) > 8000]
# A loaded machine starts Wine and the recorder late: a part of the 4 s is enough.
assert loud and loud[-1] - loud[0] > 1.5 * 44100, "the output was heard for %.2f s" % ((loud[-1] - loud[0]) / 44100 if loud else 0)
middle = (loud[0] + loud[-1]) // 2
part = left[middle - 22050:middle + 22050]
# The pitch from the usual distance between rising crossings of zero: a gap
# where a loaded machine made Wine late does not count.
rising = [i for i in range(1, len(part)) if part[i - 1] < 0 <= part[i]]
periods = sorted(b - a for a, b in zip(rising, rising[1:]))
hertz = 44100 / periods[len(periods) // 2]
peak_left, peak_right = max(part), max(right[middle - 22050:middle + 22050])
assert abs(hertz - 331) < 10, "heard %.1f Hz" % hertz
assert 15000 < peak_left < 16500 and 7500 < peak_right < 8500, "heard peaks %d %d" % (peak_left, peak_right)
print("heard for %.2f s: %.1f Hz, peaks %d %d" % ((loud[-1] - loud[0]) / 44100, hertz, peak_left, peak_right))
PY
echo PASS
