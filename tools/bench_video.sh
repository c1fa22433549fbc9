#!/usr/bin/env bash
# Speed of whole video exports on this machine, side by side in one run:
# frames per second of each export, split into tracing (composing the
# pictures) and encoding (colour conversion, encoders, writing). The bare
# 320 x 200 frame is the baseline; then the default (the frame enlarged four
# times, 1280 x 800), the same with H.264's slower medium preset, and the scene
# traced at 1280 x 800 by the tracer pool.
# Usage: bench_video.sh RAYSPHERE [SECONDS]
# Build RAYSPHERE with the native-release preset; SECONDS of song (default 10).
set -euo pipefail

raysphere=$1
seconds=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -V1 -n -r 44100 -c 2 -b 16 "$work/song.flac" synth "$seconds" sine 110-880 sine 330 gain -3

# export NAME ARGS...: one export, its figures as one row of the table.
export_row() {
    local name=$1
    shift
    "$raysphere" --video "$work/out.mp4" "$work/song.flac" "$@" >"$work/summary.txt" 2>/dev/null
    local wrote took
    wrote=$(sed -n 's/^wrote [^:]*: //p' "$work/summary.txt")
    took=$(sed -n 's/^took //p' "$work/summary.txt")
    printf '%-26s %s\n%-26s   (%s)\n' "$name" "$took" "" "$wrote"
}

echo "video export, ${seconds} s of song at 60 fps, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
export_row "baseline: 320x200" --scale 1
export_row "default: --scale 4" --scale 4
export_row "--scale 4 --preset medium" --scale 4 --preset medium
export_row "traced: --size 1280x800" --size 1280x800
