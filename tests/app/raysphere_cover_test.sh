#!/usr/bin/env bash
# The cover scene shows the song's cover art: an MP3 with an ID3 picture
# (JPEG), a FLAC with a PICTURE block and an Ogg Vorbis with a picture
# comment (PNG), live and in a video, give frames in the picture's colours;
# pictures that cannot be shown (not an image, a huge declared size, a JPEG
# cut short) are named and the scene's own texture shows instead, as for a
# song without one.
set -euo pipefail
raysphere="$1" work="$3"
. "$(dirname "$0")/app_lib.sh"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# The picture: magenta over green, colours no scene has of its own.
convert -size 64x32 xc:'#ff00ff' -size 64x32 xc:'#00ff00' -append cover.png
convert cover.png -quality 95 cover.jpg
convert -size 320x320 plasma:magenta-green -quality 90 big.jpg
head -c $(($(stat -c %s big.jpg) / 2)) big.jpg >cut.jpg
printf 'this is not a picture\n' >text.bin
# A PNG whose header declares 100000 x 100000 pixels
python3 - <<'PY'
import struct, zlib
data = bytearray(open("cover.png", "rb").read())
data[16:24] = struct.pack(">II", 100000, 100000)
data[29:33] = struct.pack(">I", zlib.crc32(bytes(data[12:29])))
open("huge.png", "wb").write(data)
PY

sox -n -r 44100 -c 2 tone.wav synth 1 sine 220 sine 330 vol 0.5
ffmpeg -v error -y -i tone.wav -i cover.jpg -map 0:a -map 1:v -c:a libmp3lame -c:v copy -id3v2_version 3 \
    -metadata:s:v comment="Cover (front)" song.mp3
ffmpeg -v error -y -i tone.wav -i cover.png -map 0:a -map 1:v -c:a flac -c:v copy -disposition:v attached_pic song.flac
ffmpeg -v error -y -i tone.wav -c:a libmp3lame bare.mp3
# Ogg Vorbis: the picture as a FLAC picture block, in base64, in a comment
python3 - <<'PY' >picture.b64
import base64, struct
data = open("cover.png", "rb").read()
block = struct.pack(">II", 3, 9) + b"image/png" + struct.pack(">IIIIII", 0, 64, 64, 24, 0, len(data)) + data
print(base64.b64encode(block).decode())
PY
ffmpeg -v error -y -i tone.wav -c:a libvorbis -metadata METADATA_BLOCK_PICTURE="$(cat picture.b64)" song.ogg
# MP3s with an ID3v2.3 APIC frame holding the given bytes, written here so
# that no tool checks the picture first.
with_picture() {
    python3 - "$1" "$2" "$3" <<'PY'
import struct, sys
picture = open(sys.argv[2], "rb").read()
body = b"\0image/png\0\x03\0" + picture
frame = b"APIC" + struct.pack(">I", len(body)) + b"\0\0" + body
size = len(frame)
syncsafe = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
open(sys.argv[3], "wb").write(b"ID3\3\0\0" + syncsafe + frame + open(sys.argv[1], "rb").read())
PY
}
with_picture bare.mp3 text.bin text.mp3
with_picture bare.mp3 huge.png huge.mp3
with_picture bare.mp3 cut.jpg cut.mp3
with_picture bare.mp3 cover.png handmade.mp3

# Pixels of a picture within 25 % of a colour.
count_colour() {
    convert "$1" -fuzz 25% -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}
# The frame shows the cover: both its colours, each in many pixels.
shows_cover() {
    local magenta green
    magenta=$(count_colour "$1" '#ff00ff')
    green=$(count_colour "$1" '#00ff00')
    [ "$magenta" -gt 2000 ] && [ "$green" -gt 2000 ] || fail "$1 does not show the cover ($magenta magenta, $green green pixels)"
}
shows_no_cover() {
    local magenta green
    magenta=$(count_colour "$1" '#ff00ff')
    green=$(count_colour "$1" '#00ff00')
    [ "$magenta" -lt 50 ] && [ "$green" -lt 50 ] || fail "$1 shows the cover's colours without one ($magenta, $green)"
}
play() {
    local song="$1"
    "$raysphere" --headless --scene cover --frames 20 --fps 20 --screenshot "${song%.*}.png" "$song" 2>"${song%.*}.err" ||
        fail "$song: exit status $?: $(cat "${song%.*}.err")"
}

# --- Live: the cover of each song; none without
for song in song.mp3 song.flac song.ogg handmade.mp3; do
    play "$song"
    shows_cover "${song%.*}.png"
    grep -q 'cover art' "${song%.*}.err" && fail "$song: $(cat "${song%.*}.err")"
done
play bare.mp3
shows_no_cover bare.png

# --- Pictures that cannot be shown: named, the scene's own texture instead
play text.mp3
grep -qF "raysphere: cover art of text.mp3: a picture that is neither PNG nor JPEG" text.err || fail "text: $(cat text.err)"
play huge.mp3
grep -qF "raysphere: cover art of huge.mp3: a picture of 100000 x 100000 pixels" huge.err || fail "huge: $(cat huge.err)"
play cut.mp3
grep -qF "raysphere: cover art of cut.mp3: a JPEG" cut.err || fail "cut: $(cat cut.err)"
for song in text huge cut; do
    shows_no_cover "$song.png"
done

# --- A video of the FLAC: its last frame shows the cover
"$raysphere" --video cover.mp4 song.flac --scene cover --scale 2 --fps 20 2>video.err || fail "video: $(cat video.err)"
ffmpeg -v error -y -sseof -0.2 -i cover.mp4 -frames:v 1 video.png
shows_cover video.png
echo "cover art shown from MP3, FLAC and Ogg Vorbis and in the video; refused pictures fall back"
