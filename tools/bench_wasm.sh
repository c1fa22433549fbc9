#!/usr/bin/env bash
# The WebAssembly core against the native one, one thread, in one run: the
# native SSE2 tracer and the WebAssembly ones (WASM SIMD, and SSE2 through
# emscripten's headers) timed by turns, each time the best of its rounds, on
# the plug-in's 320 x 200 frame (161 x 91 rays) and a full 1920 x 1080 one,
# each with the packet tracers' culling off and on; the table keeps each
# one's best turn.
# Usage: tools/bench_wasm.sh [TURNS]   (builds native-release and web first)
set -euo pipefail
cd "$(dirname "$0")/.."
turns=${1:-3}
if ! [[ $turns =~ ^[1-9][0-9]?$ ]]; then
    echo "usage: tools/bench_wasm.sh [TURNS from 1 to 99]" >&2
    exit 2
fi
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target bench_core >/dev/null
cmake --preset web >/dev/null
cmake --build --preset web --target bench_core >/dev/null
native=(build/native-release/bench_core)
wasm=(node --no-experimental-fetch build/web/bench_core.js)

# One figure: milliseconds per frame
measure() {
    "$@" | awk '{ print $3 }'
}

sizes=(320x200 1920x1080)
# The plug-in's frame is composeFrame's, without --size
size_options() {
    [ "$1" = 320x200 ] || echo --size "$1"
}
declare -A best
echo "Load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((turn = 1; turn <= turns; turn++)); do
    for size in "${sizes[@]}"; do
        seconds=1
        [ "$size" = 320x200 ] || seconds=3
        for run in native:sse2 wasm:wasm128 wasm:sse2; do
            program=${run%%:*}
            tracer=${run#*:}
            for culling in off on; do
                if [ "$program" = native ]; then
                    # shellcheck disable=SC2046
                    ms=$(measure "${native[@]}" --tracer "$tracer" $(size_options "$size") --seconds $seconds \
                        --culling $culling)
                else
                    # shellcheck disable=SC2046
                    ms=$(measure "${wasm[@]}" --tracer "$tracer" $(size_options "$size") --seconds $seconds \
                        --culling $culling)
                fi
                key="$size $run $culling"
                if [ -z "${best[$key]:-}" ] || awk -v a="$ms" -v b="${best[$key]}" 'BEGIN { exit !(a < b) }'; then
                    best[$key]=$ms
                fi
            done
        done
    done
    echo "turn $turn of $turns done"
done
echo "Load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "Milliseconds per frame, one thread, processor time, best of $turns turns (demo tune, frame 300);"
echo "ratios against native sse2 with the same culling; cull gain: culling off over on"
printf '%-10s %-8s %12s %14s %8s %14s %8s\n' frame culling "native sse2" "wasm wasm128" ratio "wasm sse2" ratio
for size in "${sizes[@]}"; do
    for culling in off on; do
        n=${best["$size native:sse2 $culling"]}
        w=${best["$size wasm:wasm128 $culling"]}
        e=${best["$size wasm:sse2 $culling"]}
        awk -v s="$size" -v c="$culling" -v n="$n" -v w="$w" -v e="$e" \
            'BEGIN { printf "%-10s %-8s %12.3f %14.3f %7.2fx %14.3f %7.2fx\n", s, c, n, w, w / n, e, e / n }'
    done
    awk -v s="$size" -v n0="${best["$size native:sse2 off"]}" -v n1="${best["$size native:sse2 on"]}" \
        -v w0="${best["$size wasm:wasm128 off"]}" -v w1="${best["$size wasm:wasm128 on"]}" \
        -v e0="${best["$size wasm:sse2 off"]}" -v e1="${best["$size wasm:sse2 on"]}" \
        'BEGIN { printf "%-10s %-8s %11.2fx %13.2fx %8s %13.2fx\n", s, "gain", n0 / n1, w0 / w1, "", e0 / e1 }'
done
