#!/usr/bin/env bash
# raysphere --video as a user runs it: a short song in, a video with its sound
# out, checked with ffprobe and by decoding frames back and comparing them
# with the renderer's frames from the same blocks; bad inputs, unusable
# outputs and an interrupted export leave no file under the requested name.
# Usage: video_export_test.sh RAYSPHERE RENDER_FRAMES WORK_DIR
set -uo pipefail

raysphere=$1
renderer=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

program=$raysphere
. "$here/../program_checks.sh"

# No file under the name asked for, and no temporary file beside it.
expect_nothing_written() {
    local name=$1
    [ ! -e "$name" ] || fail "'$name' exists after a failed export"
    local leftovers
    leftovers=$(find . -name '*.part')
    [ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"
}

# expect_export_error CODE TEXT ARGS...: the export fails with exit code
# CODE, says TEXT on stderr and writes nothing.
expect_export_error() {
    expect_error "$@"
    expect_nothing_written out.mp4
}

# probe FILE ENTRIES [OPTIONS...]: ffprobe's answer as KEY=VALUE lines.
# Lines are looked for with here-strings, not `echo | grep -q`: grep -q ends
# at the first match, and under pipefail a writer still writing gets SIGPIPE
# and fails the check.
probe() {
    ffprobe -v error -count_packets -show_entries "$2" -of default=noprint_wrappers=1 "${@:3}" "$1"
}

# decode VIDEO K NAME: frame K (from 0) as NAME.png to look at and NAME.rgb to compare.
decode() {
    ffmpeg -v error -y -i "$1" -vf "select=eq(n\\,$2)" -frames:v 1 "$3.png" &&
        ffmpeg -v error -y -i "$1" -vf "select=eq(n\\,$2)" -frames:v 1 -f rawvideo -pix_fmt rgb24 "$3.rgb"
}

# within A B LIMIT: |A - B| <= LIMIT, in decimals.
within() {
    python3 -c "import sys; sys.exit(0 if abs($1 - ($2)) <= $3 else 1)"
}

# A song of two seconds, tagged: a rising tone on the left, a steady one on the right.
sox -V1 -n -r 44100 -c 2 -b 16 untagged.flac synth 2 sine 110-880 sine 330 gain -3 &&
    ffmpeg -v error -i untagged.flac -metadata artist="Test Band" -metadata title="Sine Song" song.flac ||
    fail "cannot make the song"

# ---- Command line
run --video --help
[ "$status" -eq 0 ] || fail "--help exited with $status"
grep -q "usage: raysphere --video OUT SONG" out.txt || fail "--help does not print the usage"
expect_export_error 2 "--video needs the video file to write" --video
expect_export_error 2 "expected the SONG to render after --video OUT" --video out.mp4
expect_export_error 2 "--fps must be a whole number from 1 to 240, not 0" --video out.mp4 song.flac --fps 0
expect_export_error 2 "--scale must be a whole number from 1 to 8, not 9" --video out.mp4 song.flac --scale 9
expect_export_error 2 "--size must be WIDTHxHEIGHT, each from 2 to 8192, like 1920x1080, not 1920" \
    --video out.mp4 song.flac --size 1920
expect_export_error 2 "--scale and --size exclude each other" --video out.mp4 song.flac --scale 2 --size 640x400
expect_export_error 2 "--title-at needs seconds from 0 on, like 12.5 or 3,40.2, not 1,x" \
    --video out.mp4 song.flac --title-at 1,x
expect_export_error 2 "unknown option --colour" --video out.mp4 song.flac --colour
expect_export_error 2 "would replace the song" --video song.flac song.flac
expect_export_error 2 "--write-waveform 'song.flac' is the song" --video out.mp4 song.flac --write-waveform song.flac
[ -s song.flac ] || fail "the song was emptied"

# ---- Unreadable songs, unusable outputs, unknown formats and codecs
expect_export_error 1 "cannot play missing.flac: no such file" --video out.mp4 missing.flac
head -c 5000 /dev/urandom >noise.wav
expect_export_error 1 "cannot play noise.wav: not a sound file libsndfile can read" --video out.mp4 noise.wav
expect_export_error 1 "cannot play .: is a directory" --video out.mp4 .
expect_export_error 2 "cannot come from standard input ('-')" --video out.mp4 -
expect_export_error 2 "--video no/such/folder/out.mp4: the folder no/such/folder/ does not exist" \
    --video no/such/folder/out.mp4 song.flac
mkdir -p folder.mp4
expect_export_error 2 "--video folder.mp4: is a directory" --video folder.mp4 song.flac
expect_export_error 2 "cannot tell a video format from the name 'out.xyz'; end it in .mp4, .mkv or .webm" \
    --video out.xyz song.flac
expect_nothing_written out.xyz
expect_export_error 2 "'out.wav' names a sound file (wav format), which holds no video" --video out.wav song.flac
expect_nothing_written out.wav
# Sound files' names, though libav would write them (a cover picture, Theora)
for name in out.flac out.mp3 out.ogg out.opus out.m4a; do
    expect_export_error 2 "'$name' names a sound file" --video "$name" song.flac
    expect_nothing_written "$name"
done
# An existing file that is not a video is the user's: kept unless --force
cp song.flac other.mkv
expect_export_error 2 "--video other.mkv: the file exists and is not a video; choose another name, or add --force" \
    --video other.mkv song.flac
cmp -s song.flac other.mkv || fail "the song under other.mkv was changed"
expect_export_error 1 "--crf 52 is beyond the video codec 'libx264': it takes 0 to 51" --video out.mp4 song.flac --crf 52
# Huge pictures: the memory they need is said before anything else is done
expect_export_error 1 "cannot play missing.flac" --video out.webm missing.flac --size 8192x8192
grep -qx "raysphere: a 8192x8192 video takes up to about 5.[0-9] GB of memory" err.txt || fail "no word of the memory: $(cat err.txt)"
expect_export_error 1 "unknown video codec 'nonesuch'" --video out.mp4 song.flac --video-codec nonesuch
expect_export_error 1 "'aac' is not a video codec" --video out.mp4 song.flac --video-codec aac
expect_export_error 1 "the webm format cannot hold h264 (codec 'libx264')" --video out.webm song.flac --video-codec libx264
expect_nothing_written out.webm
expect_export_error 1 "the video encoder 'libx264' refuses --preset nonesuch" --video out.mp4 song.flac --preset nonesuch
expect_export_error 1 "the video codec 'libvpx-vp9' has no --preset speed setting" --video out.webm song.flac --preset fast
expect_nothing_written out.webm

# ---- A whole export to MP4, with its blocks written out and the title asked for at 0.5 s
run --video out.mp4 song.flac --write-waveform blocks.bin --title-at 0.5
[ "$status" -eq 0 ] || fail "the MP4 export exited with $status: $(cat err.txt)"
grep -q "frame 120 of 120 (100%)" err.txt || fail "no final progress line: $(cat err.txt)"
grep -q "wrote out.mp4: 120 frames, 0:02.00 at 60 fps, 1280x800, libx264 crf 18 preset veryfast + aac 44100 Hz" out.txt ||
    fail "unexpected summary: $(cat out.txt)"
grep -q "tracing .* s (.* fps), encoding .* s (.* fps)" out.txt || fail "no split of the time: $(cat out.txt)"
expect_nothing_written none.mp4
[ "$(stat -c %s blocks.bin)" -eq $((120 * 1152)) ] || fail "blocks.bin does not hold 120 blocks"

video=$(probe out.mp4 stream=codec_type,codec_name,width,height,pix_fmt,color_space,color_range,nb_read_packets,duration,r_frame_rate,start_time \
    -select_streams v)
grep -qx "codec_name=h264" <<<"$video" || fail "video is not H.264: $video"
for expected in width=1280 height=800 pix_fmt=yuv420p color_space=bt709 color_range=tv r_frame_rate=60/1 \
    nb_read_packets=120; do
    grep -qx "$expected" <<<"$video" || fail "video stream lacks $expected: $video"
done
audio=$(probe out.mp4 stream=codec_name,sample_rate,channels,duration,start_time -select_streams a)
grep -qx "codec_name=aac" <<<"$audio" || fail "sound is not AAC: $audio"
grep -qx "channels=2" <<<"$audio" || fail "sound is not stereo: $audio"
video_seconds=$(echo "$video" | sed -n 's/^duration=//p')
audio_seconds=$(echo "$audio" | sed -n 's/^duration=//p')
within "$video_seconds" 2.0 0.0001 || fail "video lasts $video_seconds s, not 120 frames / 60 fps"
within "$audio_seconds" "$video_seconds" "1 / 60" || fail "sound lasts $audio_seconds s, video $video_seconds s"
video_start=$(echo "$video" | sed -n 's/^start_time=//p')
audio_start=$(echo "$audio" | sed -n 's/^start_time=//p')
within "$audio_start" "$video_start" "1 / 60" || fail "sound starts at $audio_start s, video at $video_start s"

# ---- Frame 70 decoded back: close to the renderer's frame 70, clearly farther from 71
"$renderer" 72 frames --waveform blocks.bin --raw >/dev/null || fail "render_frames failed"
decode out.mp4 70 frame70 || fail "ffmpeg cannot decode frame 70"
read -r -a distances <<<"$(python3 "$here/compare_frames.py" frame70.rgb 1280 800 320 200 frames/frame_0071.raw \
    frames/frame_0072.raw | tr '\n' ' ')"
echo "frame 70: mean difference ${distances[0]}, far pixels ${distances[1]}; to frame 71: ${distances[2]}"
within "${distances[0]}" 0 1.5 || fail "decoded frame 70 differs from the renderer's by ${distances[0]} on average"
within "${distances[1]}" 0 0.01 || fail "decoded frame 70 has ${distances[1]} of its pixels far off"
python3 -c "import sys; sys.exit(0 if ${distances[2]} > 2.5 * ${distances[0]} else 1)" ||
    fail "frame 71 (${distances[2]}) is not clearly farther than frame 70 (${distances[0]})"

# ---- The title on frames 30 to 39, as ten frames after SPACE at 0.5 s; on no other
for k in 29 30 39 40; do
    decode out.mp4 $k "frame$k" || fail "ffmpeg cannot decode frame $k"
    far=$(python3 "$here/compare_frames.py" "frame$k.rgb" 1280 800 320 200 "frames/frame_00$((k + 1)).raw" | cut -d' ' -f2)
    shown=$(python3 -c "print(1 if $far > 0.02 else 0)")
    expected=$([ $k -ge 30 ] && [ $k -le 39 ] && echo 1 || echo 0)
    [ "$shown" -eq "$expected" ] || fail "frame $k: title shown $shown, expected $expected (far pixels $far)"
done

# ---- The scene traced at the video's size: frame 40 against the renderer's at that size
run --video traced.mp4 song.flac --size 160x100 --fps 30 --threads 2 --crf 10 --preset fast \
    --write-waveform traced.bin
[ "$status" -eq 0 ] || fail "the --size export exited with $status: $(cat err.txt)"
grep -q "wrote traced.mp4: 60 frames, 0:02.00 at 30 fps, 160x100, libx264 crf 10 preset fast + aac" out.txt ||
    fail "unexpected summary of the --size export: $(cat out.txt)"
"$renderer" 42 traced --size 160x100 --waveform traced.bin --raw >/dev/null || fail "render_frames --size failed"
decode traced.mp4 40 traced40 || fail "ffmpeg cannot decode frame 40"
read -r -a distances <<<"$(python3 "$here/compare_frames.py" traced40.rgb 160 100 160 100 traced/frame_0041.raw \
    traced/frame_0042.raw | tr '\n' ' ')"
echo "traced frame 40: mean difference ${distances[0]}; to frame 41: ${distances[2]}"
within "${distances[0]}" 0 3.0 || fail "decoded traced frame 40 differs from the renderer's by ${distances[0]}"
python3 -c "import sys; sys.exit(0 if ${distances[2]} > 2 * ${distances[0]} else 1)" ||
    fail "traced frame 41 (${distances[2]}) is not clearly farther than frame 40 (${distances[0]})"

# ---- WebM: VP9 and Opus, and VP8 when asked, with the scene traced at its own size
run --video out.webm song.flac --scale 1 --fps 30
[ "$status" -eq 0 ] || fail "the WebM export exited with $status: $(cat err.txt)"
streams=$(probe out.webm stream=codec_name,width,height,sample_rate,nb_read_packets)
for expected in codec_name=vp9 width=320 height=200 nb_read_packets=60 codec_name=opus sample_rate=48000; do
    grep -qx "$expected" <<<"$streams" || fail "WebM lacks $expected: $streams"
done
sox -V1 -n -r 22050 -c 1 -b 16 mono.wav synth 1.5 sine 440 gain -3 || fail "sox cannot make the mono song"
run --video vp8.webm mono.wav --video-codec libvpx --size 160x90 --fps 20
[ "$status" -eq 0 ] || fail "the VP8 export exited with $status: $(cat err.txt)"
streams=$(probe vp8.webm stream=codec_name,width,height,nb_read_packets,channels,sample_rate)
for expected in codec_name=vp8 width=160 height=90 nb_read_packets=30 codec_name=opus channels=1 sample_rate=48000; do
    grep -qx "$expected" <<<"$streams" || fail "VP8 WebM lacks $expected: $streams"
done

# ---- Songs cut short, every format one rule: the readable part, one warning
# naming the file and the time it breaks off, exit 0. Ogg Vorbis cut short
# gives libsndfile no length at all (the largest number there is).
sox -V1 -n -r 44100 -c 2 -b 16 whole.wav synth 4 pinknoise gain -6 &&
    sox -V1 whole.wav whole.flac && sox -V1 whole.wav whole.ogg && ffmpeg -v error -i whole.wav whole.mp3 ||
    fail "cannot make the songs to cut"
for format in wav flac mp3 ogg; do
    head -c $(($(stat -c %s whole.$format) / 2)) whole.$format >cut.$format
    run --video cut-$format.mp4 cut.$format --scale 1 --fps 10 --title-at 1,30
    [ "$status" -eq 0 ] || fail "the export of cut.$format exited with $status: $(cat err.txt)"
    frames=$(probe cut-$format.mp4 stream=nb_read_packets -select_streams v | cut -d= -f2)
    { [ "${frames:-0}" -ge 15 ] && [ "$frames" -le 25 ]; } || fail "cut.$format: $frames frames, not about 20"
    grep -q "^frame" err.txt && sed -i '/^frame/d' err.txt
    grep -qx "raysphere: warning: --title-at 30 is past the song's end (.*); no title then" err.txt ||
        fail "cut.$format: no warning of the title past the end: $(cat err.txt)"
    sed -i '/--title-at 30/d' err.txt
    [ "$(wc -l <err.txt)" = 1 ] &&
        grep -qx "raysphere: warning: cut.$format ends early, at 0:0[12].* (truncated or damaged); the video holds the part before" err.txt ||
        fail "cut.$format: not one warning of where it breaks off: $(cat err.txt)"
done

# ---- A write that fails half-way (file size limit, as on a full disk)
(
    ulimit -f 100
    trap '' XFSZ
    "$raysphere" --video big.mp4 song.flac >out.txt 2>err.txt
)
status=$?
[ "$status" -eq 1 ] || fail "the export beyond the size limit exited with $status"
grep -qF "cannot write 'big.mp4': File too large" err.txt || fail "no message on a failed write: $(cat err.txt)"
expect_nothing_written big.mp4

# ---- Interrupted: nothing under the name asked for, an older file kept
sox -V1 -n -r 44100 -c 2 -b 16 long.wav synth 60 sine 220 || fail "sox cannot make the long song"
echo "an older video" >kept.mp4
"$raysphere" --video kept.mp4 long.wav --write-waveform kept.bin --force >out.txt 2>err.txt &
exporter=$!
for _ in $(seq 1 100); do
    grep -q "^frame" err.txt && break
    sleep 0.2
done
ls ./*.part >/dev/null 2>&1 || fail "no temporary file while exporting"
kill -INT "$exporter"
wait "$exporter"
status=$?
[ "$status" -eq 130 ] || fail "the interrupted export exited with $status"
grep -qF "interrupted; 'kept.mp4' was not written" err.txt || fail "no message on interrupt: $(cat err.txt)"
[ "$(cat kept.mp4)" = "an older video" ] || fail "the older kept.mp4 was changed"
[ ! -e kept.bin ] || fail "the blocks of an unfinished video were left in kept.bin"
leftovers=$(find . -name '*.part')
[ -z "$leftovers" ] || fail "temporary files left after the interrupt: $leftovers"

# Termination requests end it as the shell reports them: 128 and the signal
for signal in TERM:143 HUP:129; do
    "$raysphere" --video signalled.mp4 long.wav >out.txt 2>err.txt &
    exporter=$!
    for _ in $(seq 1 100); do
        grep -q "^frame" err.txt && break
        sleep 0.2
    done
    kill -"${signal%:*}" "$exporter"
    wait "$exporter"
    status=$?
    [ "$status" -eq "${signal#*:}" ] || fail "the export ended by SIG${signal%:*} exited with $status"
    expect_nothing_written signalled.mp4
done

finish_checks "raysphere --video"
