#!/usr/bin/env bash
# The host program itself, with a stand-in plug-in that reports each callback:
# its error messages and exit codes, the waveform each Render gets (raw blocks,
# mono and stereo WAV files through the playlist), the title queries, and
# the end of a run when Render asks for it.
. "$(dirname "$0")/e2e_lib.sh"

REPORT=$WORK/report.txt
export FAKE_VIS_REPORT
FAKE_VIS_REPORT=$(winpath "$REPORT")

# Runs the host under Wine (without a virtual desktop unless --desktop is
# given); sets STATUS, and keeps stderr in $WORK/stderr.txt.
run_host() {
    rm -f "$REPORT" "$LOG"
    STATUS=0
    (cd "$WORK" && "$WINE" "$(winpath "$PLAYER")" --log "$(winpath "$LOG")" "$@" >"$WORK/stdout.txt" \
        2>"$WORK/stderr.txt") || STATUS=$?
}

expect_failure() {
    local status=$1 message=$2
    [ "$STATUS" -eq "$status" ] || fail "exit $STATUS, not $status, for: $message"
    grep -qF -- "$message" "$WORK/stderr.txt" || fail "no message '$message' but: $(cat "$WORK/stderr.txt")"
    say "exit $status: $(grep -F -- "$message" "$WORK/stderr.txt" | head -1)"
}

# Checks that the report is exactly the given lines.
expect_report() {
    local expected
    expected=$(printf '%s\n' "$@")
    [ "$(cat "$REPORT" 2>/dev/null)" == "$expected" ] ||
        fail "the plug-in saw:"$'\n'"$(cat "$REPORT" 2>/dev/null)"$'\n'"instead of:"$'\n'"$expected"
}

# Little-endian numbers as bytes.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() {
    le16 $(($1 & 65535))
    le16 $((($1 >> 16) & 65535))
}

# write_wav FILE CHANNELS RATE BITS FRAMES: sample f of channel c has the
# high byte (f + 64 c) % 128 and the low byte 0.
write_wav() {
    local file=$1 channels=$2 rate=$3 bits=$4 frames=$5
    local block=$((channels * bits / 8))
    {
        printf 'RIFF'
        le32 $((36 + frames * block))
        printf 'WAVEfmt '
        le32 16
        le16 1
        le16 "$channels"
        le32 "$rate"
        le32 $((rate * block))
        le16 "$block"
        le16 "$bits"
        printf 'data'
        le32 $((frames * block))
        local f c high
        for ((f = 0; f < frames; f++)); do
            for ((c = 0; c < channels; c++)); do
                printf -v high '%02x' $(((f + 64 * c) % 128))
                printf "\\x00\\x$high"
            done
        done
    } >"$file"
}

FAKE=$(winpath "$PLUGIN")

# Command line and loading
run_host --help
[ "$STATUS" -eq 0 ] && grep -q '^usage: vis_player' "$WORK/stdout.txt" || fail "--help did not print the usage"
STATUS=0
(cd "$WORK" && "$WINE" "$(winpath "$PLAYER")" --help >/dev/full 2>"$WORK/stderr.txt") || STATUS=$?
expect_failure 1 "vis_player: cannot write the standard output"
run_host --frames many "$FAKE"
expect_failure 2 "--frames needs a whole number from 1 to 1000000000"
run_host "$(winpath "$WORK/missing.dll")"
expect_failure 1 "cannot load the plug-in Z:$WORK/missing.dll"
grep -q "(error 126)" "$WORK/stderr.txt" || fail "the loader's error code is not named"
run_host user32.dll
expect_failure 1 "user32.dll is not a visualisation plug-in: it has no winampVisGetHeader export"
printf 'not a library\n' >"$WORK/text.dll"
run_host "$(winpath "$WORK/text.dll")"
expect_failure 1 "cannot load the plug-in Z:$WORK/text.dll: Bad EXE format for Z:$WORK/text.dll (error 193)"
grep -qF '%1' "$WORK/stderr.txt" && fail "an unfilled insert in the message: $(cat "$WORK/stderr.txt")"
FAKE_VIS_MODE=no-module run_host "$FAKE"
expect_failure 1 "offers no module 0"
FAKE_VIS_MODE=bad-version run_host "$FAKE"
expect_failure 1 "header version 0x100, the player speaks 0x101"
FAKE_VIS_MODE=init-fails run_host --frames 3 "$FAKE"
expect_failure 1 "the plug-in's Init failed with code 7 (0x00000007)"
expect_report "Init parent window instance self nCh 2 sRate 44100"

# Audio files the host cannot play
printf 'not audio at all\n' >"$WORK/text.wav"
run_host "$FAKE" "$(winpath "$WORK/text.wav")"
expect_failure 1 "text.wav: not a RIFF file"
write_wav "$WORK/eight.wav" 1 8000 8 10
run_host "$FAKE" "$(winpath "$WORK/eight.wav")"
expect_failure 1 "eight.wav: not 16-bit (8 bits per sample), only 16-bit PCM is supported"
write_wav "$WORK/cut.wav" 2 8000 16 100
head -c 300 "$WORK/cut.wav" >"$WORK/truncated.wav"
run_host "$FAKE" "$(winpath "$WORK/truncated.wav")"
expect_failure 1 "truncated.wav: truncated (a chunk runs past the end of the file)"
run_host "$FAKE" "$(winpath "$WORK/absent.wav")"
expect_failure 1 "cannot open Z:$WORK/absent.wav"
[ ! -f "$REPORT" ] || fail "the plug-in was started although the audio was refused"

# A log that is one of the inputs is refused before anything is written:
# by the same name, through a symbolic or a hard link; the inputs stay whole.
write_wav "$WORK/song.wav" 1 8000 16 400
cp "$WORK/song.wav" "$WORK/song.copy"
cp "$PLUGIN" "$WORK/plugin.dll"
ln -sf song.wav "$WORK/symbolic.log"
ln -f "$WORK/song.wav" "$WORK/hard.log"
printf '%1152s' '' >"$WORK/one.raw"
for log in song.wav symbolic.log hard.log; do
    run_host --log "$(winpath "$WORK/$log")" "$FAKE" "$(winpath "$WORK/song.wav")"
    expect_failure 2 "the log Z:$WORK/$log is the input Z:$WORK/song.wav; choose another file for --log"
done
run_host --log "$(winpath "$WORK/plugin.dll")" "$(winpath "$WORK/plugin.dll")"
expect_failure 2 "is the input Z:$WORK/plugin.dll"
run_host --waveform "$(winpath "$WORK/one.raw")" --log "$(winpath "$WORK/one.raw")" "$FAKE"
expect_failure 2 "is the input Z:$WORK/one.raw"
cmp -s "$WORK/song.wav" "$WORK/song.copy" || fail "the refused log damaged the WAV file"
cmp -s "$WORK/plugin.dll" "$PLUGIN" || fail "the refused log damaged the plug-in"
[ "$(stat -c %s "$WORK/one.raw")" -eq 1152 ] || fail "the refused log damaged the waveform file"
[ ! -f "$REPORT" ] || fail "the plug-in was started although the log was refused"

# Through the virtual desktop (--desktop) the host's exit status is kept:
# a failing run exits 1, a good one 0, with the same messages.
FAKE_VIS_MODE=init-fails run_host --desktop 640x480 --frames 3 "$FAKE"
expect_failure 1 "the plug-in's Init failed with code 7 (0x00000007)"
run_host --desktop 640x480 "$(winpath "$WORK/missing.dll")"
expect_failure 1 "cannot load the plug-in Z:$WORK/missing.dll"
run_host --desktop 640x480 --frames 2 --delay 0 "$FAKE"
[ "$STATUS" -eq 0 ] || fail "a good run through --desktop exited $STATUS: $(cat "$WORK/stderr.txt")"
[ "$(grep -c '^Render' "$REPORT")" -eq 2 ] || fail "the run through --desktop did not make 2 Render calls"
run_host --desktop 100x100 "$FAKE"
expect_failure 2 "--desktop needs a size WxH"
say "--desktop: exit 1 for a failed Init and a missing plug-in, 0 for a good run"

# A raw waveform file: Render k (from 1) gets block k - 1, the last repeats.
# Block k holds 16 k + c in every byte of channel c.
for k in 0 1 2; do
    for c in 0 1; do
        head -c 576 /dev/zero | tr '\0' "\\$(printf %03o $((16 * k + c)))"
    done
done >"$WORK/blocks.raw"
run_host --frames 5 --delay 0 --waveform "$(winpath "$WORK/blocks.raw")" "$FAKE"
[ "$STATUS" -eq 0 ] || fail "a raw waveform run exited $STATUS: $(cat "$WORK/stderr.txt")"
beyond='beyond null'
expect_report "Init parent window instance self nCh 2 sRate 44100" \
    "Render 1 nCh 2 sRate 44100 bytes 00 00 01 01 position 0 title \"Demo tune\" $beyond" \
    "Render 2 nCh 2 sRate 44100 bytes 10 10 11 11 position 0 title \"Demo tune\" $beyond" \
    "Render 3 nCh 2 sRate 44100 bytes 20 20 21 21 position 0 title \"Demo tune\" $beyond" \
    "Render 4 nCh 2 sRate 44100 bytes 20 20 21 21 position 0 title \"Demo tune\" $beyond" \
    "Render 5 nCh 2 sRate 44100 bytes 20 20 21 21 position 0 title \"Demo tune\" $beyond" \
    "Quit"
grep -q '^Render 5 calls: 5 returned 0$' "$LOG" || fail "the log does not count 5 Render calls"
say "raw waveform: blocks 0, 1, 2, 2, 2 in Render 1 to 5"

# Two files, a tenth of a second each: mono at 22050 Hz (2205 frames), stereo
# at 8000 Hz (800 frames). A frame-counted run steps 1/30 s per Render, so
# Render k starts at sample (k - 1) * rate / 30 of the entry playing:
# 0, 735, 1470 in the first file; 0, 266, 533 in the second (silence from
# frame 800 on), then the first again.
write_wav "$WORK/first.wav" 1 22050 16 2205
write_wav "$WORK/second.wav" 2 8000 16 800
run_host --frames 7 --delay 0 "$FAKE" "$(winpath "$WORK/first.wav")" "$(winpath "$WORK/second.wav")"
[ "$STATUS" -eq 0 ] || fail "a WAV run exited $STATUS: $(cat "$WORK/stderr.txt")"
expect_report "Init parent window instance self nCh 1 sRate 22050" \
    "Render 1 nCh 1 sRate 22050 bytes 00 3F 00 3F position 0 title \"first\" $beyond" \
    "Render 2 nCh 1 sRate 22050 bytes 5F 1E 5F 1E position 0 title \"first\" $beyond" \
    "Render 3 nCh 1 sRate 22050 bytes 3E 7D 3E 7D position 0 title \"first\" $beyond" \
    "Render 4 nCh 2 sRate 8000 bytes 00 3F 40 7F position 1 title \"second\" $beyond" \
    "Render 5 nCh 2 sRate 8000 bytes 0A 00 4A 00 position 1 title \"second\" $beyond" \
    "Render 6 nCh 2 sRate 8000 bytes 15 00 55 00 position 1 title \"second\" $beyond" \
    "Render 7 nCh 1 sRate 22050 bytes 00 3F 00 3F position 0 title \"first\" $beyond" \
    "Quit"
say "playlist: mono and stereo files, positions and titles as hand-computed"

# Render asking to stop ends the run: Quit, exit 0, said on stderr.
FAKE_VIS_MODE=render-stops run_host --frames 10 --delay 0 "$FAKE"
[ "$STATUS" -eq 0 ] || fail "a run ended by Render exited $STATUS"
grep -q "the plug-in asked to stop (Render returned 1)" "$WORK/stderr.txt" || fail "the stop is not told"
[ "$(grep -c '^Render' "$REPORT")" -eq 3 ] || fail "Render was called after it returned 1"
[ "$(tail -1 "$REPORT")" == "Quit" ] || fail "Quit did not follow"
grep -q '^End Render$' "$LOG" || fail "the log does not say Render ended the run"
grep -q '^Render 3 calls: 2 returned 0, 1 returned non-zero (last 1)$' "$LOG" || fail "the log miscounts"
say "Render returning 1 ends the run after 3 calls, then Quit"

# --config calls Config alone.
run_host --config "$FAKE"
[ "$STATUS" -eq 0 ] || fail "--config exited $STATUS"
expect_report "Config"
say "passed"
