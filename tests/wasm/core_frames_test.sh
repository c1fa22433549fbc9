#!/usr/bin/env bash
# The WebAssembly core's frames against the native core's, for several
# waveforms, at 320 x 200 and another size, on one and two threads, from the
# first frames to past the wrap of the motion's angle, and of every built-in
# scene. Every sinf/cosf call of the WebAssembly frames is recorded: the
# native program answering its
# calls from that record must give the WebAssembly bytes exactly, so where
# the two builds' frames differ, only the C libraries' sinf/cosf differ,
# and then only in frames where some call's result does.
# The WebAssembly core built without SIMD and SSE2 must give the same bytes.
# Usage: core_frames_test.sh "NODE [FLAGS]" CORE_FRAMES.js NATIVE_CORE_FRAMES WORK_DIR CORE_FRAMES_SCALAR.js
set -euo pipefail
read -r -a node <<<"$1"
wasm_program=$2
native_program=$3
work=$4
scalar_program=$5
if [ ! -x "$native_program" ]; then
    echo "FAILED: no native program at $native_program (build the native-release preset first)"
    exit 1
fi
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# Compares one case: NAME FRAME_BYTES, then the programs' arguments
compare() {
    local name=$1 frame_bytes=$2
    shift 2
    local dir=$work/$name
    mkdir -p "$dir"
    if ! "${node[@]}" "$wasm_program" "$@" --out "$dir/wasm.raw" --record-math "$dir/calls.bin" >"$dir/wasm.txt" ||
        ! "$native_program" "$@" --out "$dir/native.raw" >"$dir/native.txt" ||
        ! "$native_program" "$@" --out "$dir/replayed.raw" --replay-math "$dir/calls.bin" >"$dir/replayed.txt"; then
        fail "$name: a program failed"
        return
    fi
    local expected=wasm128 frames
    [[ " $* " != *" --tracer "* ]] || expected=$(awk '{ for (i = 1; i < NF; i++) if ($i == "--tracer") print $(i + 1) }' <<<"$*")
    local threads=1
    [[ " $* " != *" --threads 2 "* ]] || threads=2
    grep -q "with the $expected tracer on $threads threads" "$dir/wasm.txt" ||
        fail "$name: the WebAssembly frames were not traced by $expected on $threads threads"
    frames=$(grep -c '^frame ' "$dir/wasm.txt")
    if [ "$(stat -c %s "$dir/wasm.raw")" -ne $((frames * frame_bytes)) ] || [ "$frames" -eq 0 ]; then
        fail "$name: $frames frames but $(stat -c %s "$dir/wasm.raw") bytes"
        return
    fi
    if ! cmp -s "$dir/wasm.raw" "$dir/replayed.raw"; then
        fail "$name: the native frames with the WebAssembly build's sinf/cosf results differ from its frames"
    fi
    # Per frame: pixels that differ between the builds, and the calls whose results differ
    local differing
    differing=$(cmp -l "$dir/wasm.raw" "$dir/native.raw" | awk -v fb="$frame_bytes" \
        '{ f = int(($1 - 1) / fb); p = int(($1 - 1) % fb / 4); if (!((f, p) in seen)) { seen[f, p] = 1; n[f]++ } }
         END { for (f in n) print f, n[f] }' | sort -n || true)
    local report="" unexplained=""
    local frame_numbers calls_differing
    mapfile -t frame_numbers < <(awk '/^frame / { print $2 }' "$dir/replayed.txt")
    mapfile -t calls_differing < <(awk '/^frame / { print $6 }' "$dir/replayed.txt")
    local index pixels
    while read -r index pixels; do
        [ -n "$index" ] || continue
        report+=" ${frame_numbers[$index]} ($pixels px, ${calls_differing[$index]} calls)"
        [ "${calls_differing[$index]}" -gt 0 ] || unexplained+=" ${frame_numbers[$index]}"
    done <<<"$differing"
    local math_frames
    math_frames=$(printf '%s\n' "${calls_differing[@]}" | awk '$1 > 0' | wc -l)
    local count
    count=$(grep -c . <<<"$differing" || true)
    echo "$name: $count of $frames frames differ from native:${report:- none}; sinf/cosf differ in $math_frames frames"
    [ -z "$unexplained" ] || fail "$name: frames$unexplained differ with every sinf/cosf result alike"
}

long="1-40,194,100001-100002,wrap"
for waveform in silence noise sweep square demo; do
    compare "plugin-$waveform" 256000 --waveform "$waveform" --frames "$long"
done
compare "plugin-demo-sse2" 256000 --waveform demo --frames "1-40,194" --tracer sse2
compare "plugin-demo-reference" 256000 --waveform demo --frames "1-3,13,194" --tracer reference
for threads in 1 2; do
    compare "640x360-noise-$threads" $((640 * 360 * 4)) --waveform noise --frames "1-3,13,194,wrap" --size 640x360 \
        --threads $threads
done
compare "1280x720-demo-2" $((1280 * 720 * 4)) --waveform demo --frames "194,100001" --size 1280x720 --threads 2
# Every other built-in scene: glass, tubes, parallelograms and textures
for scene in glass spectrum colonnade planets mirrors fountain cover; do
    compare "scene-$scene" $((333 * 187 * 4)) --waveform demo --frames "1-2,194" --size 333x187 --threads 2 \
        --scene $scene
done

# The threads change nothing: the WebAssembly frames on one and two threads
cmp -s "$work/640x360-noise-1/wasm.raw" "$work/640x360-noise-2/wasm.raw" ||
    fail "the WebAssembly frames on one thread and on two differ"

# Without SIMD or SSE2: the reference tracer and byte-at-a-time upsampling
if ! "${node[@]}" "$scalar_program" --waveform demo --frames "1-40,194" --out "$work/scalar.raw" >"$work/scalar.txt"; then
    fail "the WebAssembly core without SIMD failed"
elif ! grep -q "with the reference tracer" "$work/scalar.txt" ||
    ! cmp -s "$work/scalar.raw" "$work/plugin-demo-sse2/wasm.raw"; then
    fail "the WebAssembly core without SIMD gives other frames, or another tracer"
else
    echo "without SIMD or SSE2 (reference tracer): the same bytes as with them"
fi

if [ $failures -ne 0 ]; then
    echo "$failures FAILED"
    exit 1
fi
echo "passed"
