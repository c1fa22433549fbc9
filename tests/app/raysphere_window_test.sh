#!/usr/bin/env bash
# raysphere's window and keys on a private X server with a window manager,
# driven by xdotool: SPACE shows the title black on white in the middle, I the
# frame rate, PageDown and [ change the scene, N and P the file, F, Alt+Enter
# and a double-click toggle full screen, ESC quits with exit status 0.
set -euo pipefail
raysphere="$1" work="$3"
. "$(dirname "$0")/app_lib.sh"
rm -rf "$work"
mkdir -p "$work"
start_xvfb_with_wm

# Two short files whose names are their titles
sox -n -r 44100 -b 16 -c 2 "$work/alpha.wav" synth 30 sine 330
sox -n -r 22050 -b 16 -c 1 "$work/beta.flac" synth 30 square 110

# Five frames a second leaves two seconds to see the title's ten frames.
SDL_AUDIODRIVER=dummy "$raysphere" --fps 5 --verbose "$work/alpha.wav" "$work/beta.flac" \
    >"$work/run.out" 2>"$work/run.err" &
app=$!
await_window
sleep 1

# Keys go to the window under the pointer.
press() {
    xdotool mousemove --window "$window" 320 200
    xdotool key "$@"
}

# A frame-sized picture of the window: its 640 x 400 pixels taken two by two.
frame_of_window() {
    import -window "$window" "$work/window.png"
    convert "$work/window.png" -sample 320x200\! "$1"
}

# The colour of one pixel as "r,g,b".
pixel() {
    convert "$1" -format "%[fx:int(255*u.p{$2,$3}.r)],%[fx:int(255*u.p{$2,$3}.g)],%[fx:int(255*u.p{$2,$3}.b)]" info:
}

# SPACE: the scene's name and the title, "classic - alpha", is 15 x 8 = 120
# pixels wide, 13 high: the box spans x 100..219 and y 93..105 of the frame,
# black ink on white and nothing else.
press space
sleep 0.5
frame_of_window "$work/title.png"
colours=$(convert "$work/title.png" -crop 120x13+100+93 +repage -unique-colors -depth 8 txt:- | tail -n +2 |
    grep -oE '#[0-9A-F]{6}' | sort | tr '\n' ' ')
[ "$colours" = "#000000 #FFFFFF " ] || fail "the title box has colours $colours"
ink=$(convert "$work/title.png" -crop 120x13+100+93 +repage -fill white +opaque black -format '%[fx:int(w*h*(1-mean))]' info:)
[ "$ink" -gt 180 ] || fail "the title box has only $ink black pixels"
[ "$(pixel "$work/title.png" 99 99)" != "255,255,255" ] || [ "$(pixel "$work/title.png" 220 99)" != "255,255,255" ] ||
    fail "the title box is wider than its text"
# Ten frames later the title is gone.
sleep 3.5
frame_of_window "$work/after.png"
[ "$(pixel "$work/after.png" 101 94)" != "255,255,255" ] || [ "$(pixel "$work/after.png" 218 104)" != "255,255,255" ] ||
    fail "the title stayed"

# I: the frame rate in the rows below the picture
press i
sleep 0.6
frame_of_window "$work/info.png"
lit=$(convert "$work/info.png" -crop 120x13+0+184 +repage -threshold 50% -format '%[fx:int(w*h*mean)]' info:)
[ "$lit" -gt 30 ] || fail "no frame rate shown ($lit pixels lit)"
press i

# PageDown and [: the next scene and back
press Next
sleep 0.6
press bracketleft
sleep 0.6
grep -qx "raysphere: scene glass" "$work/run.out" || fail "PageDown did not show the next scene: $(cat "$work/run.out")"
[ "$(grep -c "^raysphere: scene " "$work/run.out")" -eq 2 ] && [ "$(grep "^raysphere: scene " "$work/run.out" | tail -1)" = "raysphere: scene classic" ] ||
    fail "[ did not go back to classic: $(cat "$work/run.out")"

# N and P: the next file and back
press n
sleep 0.6
press p
sleep 0.6

# Full screen: the picture spans the screen's width; back in the window it does not.
wide() {
    import -window root "$work/root.png"
    [ "$(pixel "$work/root.png" 8 384)" != "0,0,0" ] && [ "$(pixel "$work/root.png" 1015 384)" != "0,0,0" ]
}
press f
sleep 1
wide || fail "F did not fill the screen"
press f
sleep 1
wide && fail "F did not leave full screen"
press alt+Return
sleep 1
wide || fail "Alt+Enter did not fill the screen"
xdotool mousemove 512 384 click --repeat 2 --delay 80 1
sleep 1
wide && fail "a double-click did not leave full screen"

# ESC: exit status 0
press Escape
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after ESC: $(cat "$work/run.err")"

# What it said, in order
expected="playing alpha|playing beta|playing alpha|full screen on|full screen off|full screen on|full screen off"
said=$(grep -oE 'playing (alpha|beta)|full screen (on|off)' "$work/run.out" | paste -sd'|')
[ "$said" = "$expected" ] || fail "said '$said', expected '$expected'"
echo "PASS"
