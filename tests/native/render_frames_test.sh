#!/usr/bin/env bash
# The frame renderer as a program: arguments, error messages and exit codes,
# the files it writes, and waveform files fed back in.
# Usage: render_frames_test.sh RENDER_FRAMES WORK_DIR
set -uo pipefail

renderer=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

program=$renderer
. "$here/../program_checks.sh"

# One waveform block: channel 0 a ramp, channel 1 its mirror.
make_block() {
    local i hex escapes=""
    for ((i = 0; i < 576; i++)); do
        printf -v hex '\\x%02x' $(((i * 3) & 255))
        escapes+=$hex
    done
    for ((i = 0; i < 576; i++)); do
        printf -v hex '\\x%02x' $(((255 - i * 5) & 255))
        escapes+=$hex
    done
    printf '%b' "$escapes" >"$1"
}

file_size() { stat -c %s "$1"; }

# ---- Help and bad arguments
run --help
[ "$status" -eq 0 ] || fail "--help exited with $status"
grep -q "usage: render_frames FRAMES OUTPUT_DIR" out.txt || fail "--help does not print the usage"
run 3 out --version
[ "$status" -eq 0 ] || fail "--version exited with $status"
grep -qxE "render_frames [0-9]+\.[0-9]+\.[0-9]+" out.txt || fail "--version printed: $(cat out.txt)"
[ ! -e out ] || fail "--version rendered frames"

expect_error 2 "expected FRAMES and OUTPUT_DIR"
expect_error 2 "expected FRAMES and OUTPUT_DIR" 3
expect_error 2 "FRAMES must be a whole number from 1 to 1000000, not abc" abc out
expect_error 2 "FRAMES must be a whole number from 1 to 1000000, not 0" 0 out
expect_error 2 "FRAMES must be a whole number from 1 to 1000000, not -3" -- -3 out
expect_error 2 "unknown option --colour" 1 out --colour
expect_error 2 "--waveform needs a FILE" 1 out --waveform
expect_error 2 "unexpected argument extra" 1 out extra
[ ! -e out ] || fail "a bad command line created the output folder"

# ---- Unusable input and output files
expect_error 1 "cannot read waveform file 'missing.bin': No such file or directory" 1 frames --waveform missing.bin
head -c 1000 /dev/zero >short.bin
expect_error 1 "waveform file 'short.bin' is too short: 1000 bytes, less than one block of 1152 bytes" \
    1 frames --waveform short.bin
: >empty.bin
expect_error 1 "waveform file 'empty.bin' is too short: 0 bytes" 1 frames --waveform empty.bin
head -c 2000 /dev/zero >ragged.bin
expect_error 1 "waveform file 'ragged.bin' has 2000 bytes, not a whole number of 1152-byte blocks (848 bytes over)" \
    1 frames --waveform ragged.bin
mkdir -p adir
expect_error 1 "cannot read waveform file 'adir'" 1 frames --waveform adir
# A path under a regular file cannot be created, even by root
touch plainfile
expect_error 1 "cannot create output folder 'plainfile/out'" 1 plainfile/out
expect_error 1 "cannot create output folder 'plainfile'" 1 plainfile
expect_error 1 "cannot write waveform file 'plainfile/w.bin'" 1 frames --write-waveform plainfile/w.bin
make_block block.bin
cp block.bin precious.bin
expect_error 1 "is the waveform input" 1 frames --waveform precious.bin --write-waveform precious.bin
cmp -s block.bin precious.bin || fail "--write-waveform onto the input damaged it"

# ---- Images and raw frames of the demo tune; the folder is made with its parents
run 3 deep/er/demo --raw --write-waveform demo.bin
[ "$status" -eq 0 ] || fail "rendering the demo tune exited with $status: $(cat err.txt)"
grep -qF "wrote 3 frames to deep/er/demo" out.txt || fail "no final report: $(cat out.txt)"
for n in 0001 0002 0003; do
    [ "$(file_size deep/er/demo/frame_$n.raw)" -eq 256000 ] || fail "frame_$n.raw is not 256,000 bytes"
    head -c 8 deep/er/demo/frame_$n.png | od -An -tx1 | grep -q "89 50 4e 47 0d 0a 1a 0a" ||
        fail "frame_$n.png is not a PNG"
done
[ -e deep/er/demo/frame_0004.png ] && fail "a fourth frame was written"
[ "$(file_size demo.bin)" -eq $((3 * 1152)) ] || fail "demo.bin is not three blocks"
cmp -s deep/er/demo/frame_0001.raw deep/er/demo/frame_0002.raw && fail "two frames of the demo are identical"
# 320 x 200, 8-bit RGB: width and height, then bit depth 8 and colour type 2 in the header chunk
od -An -tx1 -j16 -N10 deep/er/demo/frame_0001.png | tr -d ' \n' | grep -q "00000140000000c80802" ||
    fail "frame_0001.png is not a 320 x 200 RGB image"

# ---- The written waveform fed back in gives the same frames
run 3 replay --raw --waveform demo.bin
[ "$status" -eq 0 ] || fail "replaying demo.bin exited with $status: $(cat err.txt)"
for n in 0001 0002 0003; do
    cmp -s deep/er/demo/frame_$n.raw replay/frame_$n.raw || fail "replayed frame $n differs from the demo's"
done

# ---- One block repeats: the same as the block written out three times
run 3 once --raw --waveform block.bin --write-waveform fed.bin
[ "$status" -eq 0 ] || fail "rendering block.bin exited with $status: $(cat err.txt)"
cat block.bin block.bin block.bin >thrice.bin
cmp -s fed.bin thrice.bin || fail "the blocks fed are not the one block three times"
run 3 three --raw --waveform thrice.bin
[ "$status" -eq 0 ] || fail "rendering thrice.bin exited with $status: $(cat err.txt)"
for n in 0001 0002 0003; do
    cmp -s once/frame_$n.raw three/frame_$n.raw || fail "frame $n of the repeated block differs"
done
# Without --raw only the images are written
run 1 images
[ "$status" -eq 0 ] || fail "rendering one image exited with $status"
if [ ! -e images/frame_0001.png ] || [ -e images/frame_0001.raw ]; then
    fail "without --raw: expected only frame_0001.png"
fi

# ---- Full-resolution frames of any size, on any number of threads
expect_error 2 "--size must be WxH with W and H from 2 to 8192, not 12" 1 out --size 12
expect_error 2 "--size must be WxH with W and H from 2 to 8192, not 1x5" 1 out --size 1x5
expect_error 2 "--size must be WxH with W and H from 2 to 8192, not 9000x5" 1 out --size 9000x5
expect_error 2 "--size needs WxH" 1 out --size
expect_error 2 "--threads must be a whole number from 1 to 64, not 0" 1 out --size 8x8 --threads 0
run 2 sized1 --size 67x37 --threads 1 --raw
[ "$status" -eq 0 ] || fail "--size 67x37 exited with $status: $(cat err.txt)"
run 2 sized3 --size 67x37 --threads 3 --raw
[ "$status" -eq 0 ] || fail "--size 67x37 --threads 3 exited with $status: $(cat err.txt)"
[ "$(file_size sized1/frame_0002.raw)" -eq $((67 * 37 * 4)) ] || fail "a 67 x 37 raw frame is not 9,916 bytes"
od -An -tx1 -j16 -N10 sized1/frame_0001.png | tr -d ' \n' | grep -q "00000043000000250802" ||
    fail "frame_0001.png is not a 67 x 37 RGB image"
for n in 0001 0002; do
    cmp -s sized1/frame_$n.raw sized3/frame_$n.raw || fail "frame $n differs between 1 and 3 threads"
done

# ---- Scenes and tracers: the list, a built-in scene and a scene file, a bad
# file refused with its place before anything is written, and the reference
# tracer's bytes from every other for classic and for a scene of tubes and glass
"$renderer" --list-scenes >scenes.txt 2>err.txt || fail "--list-scenes failed: $(cat err.txt)"
[ "$(head -c 8 scenes.txt)" = "classic " ] || fail "--list-scenes does not start with classic: $(head -1 scenes.txt)"
[ "$(wc -l <scenes.txt)" -ge 7 ] || fail "--list-scenes lists fewer than 7 scenes"
printf 'name = "bad"\n[camera]\neye = [0, 1, 2]\ntarget = [0, 0, 0]\nzoom = -1\n' >bad.toml
run 1 badscene --scene bad.toml
[ "$status" -eq 2 ] || fail "a bad scene file exited with $status"
grep -qF "bad.toml:5: zoom must lie between" err.txt || fail "no FILE:LINE for the bad scene: $(cat err.txt)"
[ -e badscene ] && fail "a bad scene file still made the output folder"
run 1 noscene --scene no-such-scene
[ "$status" -eq 2 ] || fail "an unknown scene exited with $status"
for scene in classic spectrum glass; do
    for tracer in reference sse2 avx2 avx512; do
        run 2 "$scene-$tracer" --scene "$scene" --tracer "$tracer" --raw
        if [ "$status" -eq 2 ] && grep -qF "has no tracer" err.txt; then
            continue # not on this processor
        fi
        [ "$status" -eq 0 ] || fail "--scene $scene --tracer $tracer exited with $status: $(cat err.txt)"
        cmp -s "$scene-reference/frame_0002.raw" "$scene-$tracer/frame_0002.raw" ||
            fail "$scene: --tracer $tracer differs from the reference"
    done
done
run 2 default --raw
cmp -s classic-reference/frame_0002.raw default/frame_0002.raw || fail "--scene classic is not the default picture"
cmp -s classic-reference/frame_0002.raw spectrum-reference/frame_0002.raw && fail "spectrum looks like classic"

# ---- Output that cannot be written whole: a failure, never a truncated file
# Standard output on a full device
"$renderer" 2 tofull >/dev/full 2>err.txt
status=$?
[ "$status" -eq 1 ] || fail "writing the report to /dev/full exited with $status"
grep -qF "render_frames: cannot write the standard output: No space left on device" err.txt ||
    fail "no message about the standard output: $(cat err.txt)"
"$renderer" --help >/dev/full 2>err.txt
[ $? -eq 1 ] || fail "--help into /dev/full did not fail"
# Files larger than the size limit (200 KiB) fail with EFBIG, as on a full
# disk: the PNG (smaller) is complete, the raw frame (256,000 bytes) fails,
# and neither it nor the copy of the blocks is left under its final name.
(
    trap '' XFSZ
    ulimit -f 200
    exec "$renderer" 2 limited --raw --write-waveform limited.bin >out.txt 2>err.txt
)
status=$?
[ "$status" -eq 1 ] || fail "a write beyond the size limit exited with $status"
grep -qF "cannot write 'limited/frame_0001.raw': File too large" err.txt ||
    fail "no message about the raw frame: $(cat err.txt)"
[ -e limited/frame_0001.raw ] && fail "a truncated frame_0001.raw was left ($(file_size limited/frame_0001.raw) bytes)"
[ -e limited.bin ] && fail "the copy of the blocks was left after a failed run"
leftovers=$(find . -name '*.part' | head -3)
[ -z "$leftovers" ] || fail "temporary files were left: $leftovers"
cmp -s limited/frame_0001.png images/frame_0001.png || fail "the PNG written before the failure is not complete"
[ -e limited/frame_0002.png ] && fail "frames went on after a failed write"

finish_checks render_frames
