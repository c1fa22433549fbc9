#!/usr/bin/env bash
# The web page's tests in Chromium: makes the inputs (a known waveform and
# the native renderer's frames of it, a tone, tagged files, a broken one),
# serves the built site isolated and plain, and runs page_test.js.
# Usage: run.sh SITE_DIR RENDER_FRAMES WORK_DIR PACKAGE_DIR
set -euo pipefail
built_site=$1
render_frames=$2
work=$3
package=$4
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
sox -n -r 48000 -c 1 -b 16 "$work/tone.wav" synth 20 sine 441 vol 0.5
sox -n -r 44100 -c 2 -b 16 --comment "ARTIST=Test Artist" --comment "TITLE=Blue Sky" "$work/song.flac" \
    synth 30 sine 330 sine 495 vol 0.7
sox "$work/song.flac" -t raw -e signed -b 16 -L "$work/song.raw"
sox -n -r 44100 -c 2 -b 16 "$work/tagged.wav" synth 30 sine 220 vol 0.6
lame --quiet --tt "Song Two" --ta "Second Artist" --id3v2-only "$work/tagged.wav" "$work/tagged.mp3"
printf 'ID3 this is not a sound file at all\n%.0s' {1..64} >"$work/broken.mp3"

# puppeteer-core, pinned in package-lock.json, without a browser of its own
if [ ! -d "$here/node_modules/puppeteer-core" ]; then
    (cd "$here" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)
fi

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
