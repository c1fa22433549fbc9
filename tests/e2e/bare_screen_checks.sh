# Sourced by the tests that run the real plug-in straight on a bare X screen
# (no Wine virtual desktop, which offers no 320 x 200 mode), after e2e_lib.sh.
# The test sets E2E_SCREEN (WxHxDEPTH) and PICTURE (WxH+X+Y, where the frame
# must land on the screen) and names the path in PATH_NAME.
#
# 1. The frame of N frames from a raw waveform, scaled down from the screen,
#    matches the native renderer's frame from the same bytes; the screen
#    outside the picture is black.
# 2. SPACE prints the title in the middle of the frame; pressing ESC does
#    nothing, releasing it ends the run, the player's window hears restored
#    and maximised, and the host exits 0.
# 3. Afterwards the X screen is as it was before, with no window left.

FRAMES=40
FUZZ=3%           # per-pixel colour tolerance of the comparison
MAX_DIFFERENT=58  # at most 0.1 % of the 57,920 pixels compared may differ beyond it

[ -x "$RENDERER" ] || fail "no native renderer at $RENDERER (build the native-release preset first)"
[[ "$PICTURE" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "bad PICTURE $PICTURE"
PW=${BASH_REMATCH[1]}
PH=${BASH_REMATCH[2]}
PX=${BASH_REMATCH[3]}
PY=${BASH_REMATCH[4]}
SCREEN=$(screen_size)
SW=${SCREEN%x*}
SH=${SCREEN#*x}
say "bare $SCREEN screen, expecting the $PATH_NAME with the frame at $PICTURE"

# Counts the pixels of the screenshot outside the picture that are not black.
lit_outside_picture() {
    local image=$1 total=0 area size count
    for area in "${SW}x${PY}+0+0" "${SW}x$((SH - PY - PH))+0+$((PY + PH))" \
        "${PX}x${PH}+0+${PY}" "$((SW - PX - PW))x${PH}+$((PX + PW))+${PY}"; do
        [[ "$area" =~ ^0x|x0\+ ]] && continue
        size=${area%%+*}
        count=$(count_colour "$image" "$area" '#000000')
        total=$((total + ${size%x*} * ${size#*x} - count))
    done
    echo "$total"
}

# Pixels of image A that differ by more than the fuzz from the pixel at the
# same place of image B and from its eight neighbours: a stretch by a factor
# that is not whole, sampled back, may land one pixel beside.
different_beyond_neighbours() {
    local a=$1 b=$2 masks=() dx dy mask
    for dx in -1 +0 +1; do
        for dy in -1 +0 +1; do
            mask=$WORK/mask_${dx}_${dy}.png
            convert "$b" -roll "${dx}${dy}" "$WORK/rolled.png"
            compare -fuzz "$FUZZ" -metric AE -highlight-color white -lowlight-color black \
                "$a" "$WORK/rolled.png" "$mask" 2>/dev/null || true
            masks+=("$mask")
        done
    done
    convert "${masks[@]}" -evaluate-sequence min -format '%[fx:round(mean*w*h)]' info:
}

# The frame of the screen shrunk back to 320 x 200 by point sampling.
shrink_picture() {
    convert "$1" -crop "$PICTURE" +repage -filter point -sample 320x200! "$2"
}

untouched=$(screenshot untouched)
windows_before=$(visible_windows) # the root window counts

# 1. The native frames and the waveform blocks that made them
"$RENDERER" "$FRAMES" "$WORK/native" --write-waveform "$WORK/waveform.raw" >"$WORK/renderer.out"
NATIVE_LAST=$(printf '%s/native/frame_%04d.png' "$WORK" "$FRAMES")
NATIVE_BEFORE=$(printf '%s/native/frame_%04d.png' "$WORK" $((FRAMES - 1)))

start_player_bare --frames "$FRAMES" --hold 120 --waveform "$(winpath "$WORK/waveform.raw")" "$(winpath "$PLUGIN")"
wait_for_log '^Hold ' 120
grep -q '^Init 0$' "$LOG" || fail "Init did not return 0"
grep -q "^Render $FRAMES calls: $FRAMES returned 0$" "$LOG" || fail "not exactly $FRAMES frames rendered"
sleep 1 # let the last frame reach the X screen
SHOT=$(screenshot frame)
shrink_picture "$SHOT" "$WORK/frame_small.png"
convert "$WORK/frame_small.png" -crop 320x181+0+0 +repage "$WORK/frame_top.png"
convert "$NATIVE_LAST" -crop 320x181+0+0 +repage "$WORK/native_top.png"
convert "$NATIVE_BEFORE" -crop 320x181+0+0 +repage "$WORK/native_before_top.png"
exact=$(compare -metric AE -fuzz "$FUZZ" "$WORK/frame_top.png" "$WORK/native_top.png" null: 2>&1 || true)
different=$(different_beyond_neighbours "$WORK/frame_top.png" "$WORK/native_top.png")
control=$(different_beyond_neighbours "$WORK/frame_top.png" "$WORK/native_before_top.png")
lit=$(lit_outside_picture "$SHOT")
say "frame $FRAMES shrunk from the screen vs native: $different pixels differ by more than $FUZZ from" \
    "their place and its neighbours (limit $MAX_DIFFERENT), $exact from their place alone;" \
    "vs native frame $((FRAMES - 1)): $control; $lit lit pixels outside the picture"
[[ "$different" =~ ^[0-9]+$ ]] || fail "compare gave no pixel count: $different"
[ "$different" -le "$MAX_DIFFERENT" ] || fail "the screen differs from the native frame in $different pixels"
[[ "$control" =~ ^[0-9]+$ ]] && [ "$control" -gt $((MAX_DIFFERENT * 10)) ] ||
    fail "the previous native frame matches as well ($control pixels differ): the comparison proves nothing"
[ "$lit" -eq 0 ] || fail "$lit pixels outside the picture are not black"

focus_bare_at $((SW / 2)) $((SH / 2))
xdotool key Escape
wait_for_log '^Hold ended by WM_QUIT$' 30
wait_for_exit 30

# 2. Title and ESC, with slow frames so that a screenshot falls inside the ten
LOG=$WORK/run2.log
start_player_bare --seconds 120 --delay 500 "$(winpath "$PLUGIN")"
wait_for_renders 3 60
focus_bare_at $((SW / 2)) $((SH / 2))
pressed_at=$(render_count)
xdotool key space
wait_for_renders $((pressed_at + 3)) 30
during=$(screenshot title)
now=$(render_count)
[ "$now" -le $((pressed_at + 9)) ] || fail "the screenshot came too late to be within the ten frames"
shrink_picture "$during" "$WORK/title_small.png"
box=$(convert "$WORK/title_small.png" -crop 160x40+80+80 +repage -fill black +opaque white -format %@ info:)
[[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no white title box in the middle ($box)"
cx=${BASH_REMATCH[1]}
cy=${BASH_REMATCH[2]}
x=$((80 + BASH_REMATCH[3]))
y=$((80 + BASH_REMATCH[4]))
dark=$(count_pixels "$WORK/title_small.png" "${cx}x${cy}+$x+$y" 'r < 0.5 && g < 0.5 && b < 0.5')
say "title box $cx x $cy at ($x, $y) of the shrunk frame, $dark dark pixels in it"
[ "$cx" -ge 30 ] && [ "$cy" -ge 8 ] && [ "$cy" -le 30 ] || fail "the white area is no title box"
[ $((x - (320 - cx) / 2)) -ge -1 ] && [ $((x - (320 - cx) / 2)) -le 1 ] &&
    [ $((y - (200 - cy) / 2)) -ge -1 ] && [ $((y - (200 - cy) / 2)) -le 1 ] ||
    fail "the box is not centred on the frame"
[ "$dark" -ge $((cx * cy / 10)) ] || fail "no dark text in the box"

# Pressed, ESC changes nothing; released, it ends the run.
xdotool keydown Escape
held_at=$(render_count)
wait_for_renders $((held_at + 3)) 30
grep -q '^End ' "$LOG" && fail "the run ended while ESC was only pressed"
windows_during=$(visible_windows)
xdotool keyup Escape
wait_for_log '^End WM_QUIT$' 30
wait_for_exit 30
events=$(sed -n '/^Init /,$p' "$LOG" | grep -Ev '^Render [0-9]+ returned' | tr '\n' '|')
[[ "$events" == "Init 0|"* ]] || fail "Init did not return 0: $events"
[[ "$events" =~ \|End\ WM_QUIT\|Player\ window\ WM_SIZE\ 0\|Player\ window\ WM_SIZE\ 2\|Quit\|Exit\ 0\|$ ]] ||
    fail "not WM_QUIT, restored, maximised, Quit, exit 0 in this order: $events"

# 3. The screen as it was
"$WINESERVER" -w 2>/dev/null || true
after=$(screenshot after)
changed=$(compare -metric AE "$untouched" "$after" null: 2>&1 || true)
windows_after=$(visible_windows)
say "after the runs: screen $(screen_size), $changed pixels differ from before;" \
    "$windows_after X windows shown, $windows_before before, $windows_during while running"
[ "$windows_during" -gt "$windows_before" ] && [ "$windows_after" -eq "$windows_before" ] ||
    fail "windows are left on the screen"
[ "$(screen_size)" = "$SCREEN" ] || fail "the screen is $(screen_size) now, was $SCREEN"
[ "$changed" = 0 ] || fail "the screen differs from before in $changed pixels"
say "passed; screenshots $SHOT $during $after"
