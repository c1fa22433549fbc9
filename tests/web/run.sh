#!/usr/bin/env bash
# The web page's tests in Chromium: makes the inputs (a known waveform and
# the native renderer's frames of it, a tone, tagged files, a broken one),
# serves the built site isolated and plain, and runs page_test.js.
# Usage: run.sh SITE_DIR RENDER_FRAMES WORK_DIR PACKAGE_DIR
set -euo pipefail
built_site=$1
render_frames=$2
work=$3
package=$(cd "$4" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

[ -x "$render_frames" ] || { echo "run.sh: no native renderer at $render_frames (build native-release first)"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# The site as built, with the tests' look inside added beside it.
site=$work/site
cp -r "$built_site" "$site"
cp "$here/test_hook.js" "$site/"

# Eight blocks of two different waves whose first bytes change.
python3 - "$work/waveform.raw" <<'PY'
import math, sys
with open(sys.argv[1], "wb") as out:
    for k in range(8):
        left = [int(110 * math.sin(i * 0.07 + k * 0.9)) & 0xFF for i in range(576)]
        right = [int(60 * math.sin(i * 0.23 - k)) & 0xFF for i in range(576)]
        out.write(bytes(left + right))
PY
"$render_frames" 8 "$work/native" --waveform "$work/waveform.raw" --raw >/dev/null
"$render_frames" 8 "$work/native-sharp" --waveform "$work/waveform.raw" --raw --size 400x250 >/dev/null
"$render_frames" 8 "$work/native-planets" --scene planets --waveform "$work/waveform.raw" --raw >/dev/null
"$render_frames" 8 "$work/native-planets-sharp" --scene planets --waveform "$work/waveform.raw" --raw --size 400x250 >/dev/null
sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 20 sine 441 vol 0.5
sox -n -r 44100 -c 2 -b 16 --comment "ARTIST=Test Artist" --comment "TITLE=Blue Sky" "$work/song.flac" \
    synth 30 sine 330 sine 495 vol 0.7
sox "$work/song.flac" -t raw -e signed -b 16 -L "$work/song.raw"
sox -n -r 44100 -c 2 -b 16 "$work/tagged.wav" synth 30 sine 220 vol 0.6
lame --quiet --tt "Song Two" --ta "Second Artist" --id3v2-only "$work/tagged.wav" "$work/tagged.mp3"
# Two hours of sound, as WAV (1.3 GB) and FLAC: a second of two tones repeated.
python3 - "$work/long.wav" <<'PY'
import math, struct, sys
rate, seconds = 44100, 7200
second = b"".join(struct.pack("<hh", int(12000 * math.sin(2 * math.pi * 300 * i / rate)),
                              int(9000 * math.sin(2 * math.pi * 440 * i / rate))) for i in range(rate))
data = len(second) * seconds
with open(sys.argv[1], "wb") as out:
    out.write(b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", data))
    for _ in range(seconds):
        out.write(second)
PY
sox "$work/long.wav" -C 0 "$work/long.flac"
printf 'ID3 this is not a sound file at all\n%.0s' {1..64} >"$work/broken.mp3"

# puppeteer-core and esbuild, pinned in package-lock.json (no browser download)
if [ ! -d "$here/node_modules/puppeteer-core" ] || [ ! -d "$here/node_modules/esbuild" ]; then
    (cd "$here" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)
fi

# The library as a user takes it: the packed tarball installed into an empty
# folder, a ten-line page bundled with esbuild, the library's worker, tap and
# core copied beside the bundle (esbuild leaves import.meta.url's files to
# the user), served under the site.
(cd "$work" && npm pack "$package" --pack-destination "$work" --json >"$work/pack.json" 2>/dev/null)
tarball=$(ls "$work"/raysphere-*.tgz)
mkdir -p "$work/embed" "$site/embed"
echo '{ "name": "embed-test", "private": true }' >"$work/embed/package.json"
(cd "$work/embed" && npm install --offline --no-audit --no-fund "$tarball" >/dev/null)
cp "$here/embed_main.js" "$work/embed/main.js"
"$here/node_modules/.bin/esbuild" "$work/embed/main.js" --bundle --format=esm --log-level=warning \
    --outfile="$site/embed/bundle.js"
(cd "$work/embed/node_modules/raysphere" && cp trace_worker.js tap_worklet.js raysphere_core_* "$site/embed/")
cat >"$site/embed/index.html" <<'HTML'
<!DOCTYPE html>
<meta charset="utf-8">
<title>two visualisers</title>
<style>canvas { width: 320px; height: 200px; margin: 0 4px; }</style>
<canvas></canvas><canvas></canvas>
<script type="module" src="bundle.js"></script>
HTML

servers=()
stop_servers() {
    for pid in "${servers[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap stop_servers EXIT
serve() { # serve PORT_FILE [--plain]: starts a server on a free port, writes its URL
    python3 -u "$here/../../web/serve.py" --port 0 --site "$site" "${@:2}" >"$1" 2>&1 &
    servers+=($!)
}
serve "$work/isolated.log"
serve "$work/plain.log" --plain
url_of() {
    for _ in $(seq 50); do
        url=$(grep -o 'http://localhost:[0-9]*/' "$1" || true)
        [ -n "$url" ] && { echo "$url"; return; }
        sleep 0.1
    done
    echo "run.sh: the server did not start: $(cat "$1")" >&2
    exit 1
}
isolated=$(url_of "$work/isolated.log")
plain=$(url_of "$work/plain.log")
NODE_PATH="$here/node_modules" node "$here/page_test.js" "$isolated" "$plain" "$work" "${@:5}"
