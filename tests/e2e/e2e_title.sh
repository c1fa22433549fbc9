#!/usr/bin/env bash
# SPACE in the display window prints the song title, black on white in the
# middle of the 320 x 200 frame, on the next ten frames; then it is gone.
. "$(dirname "$0")/e2e_lib.sh"

# The middle of the frame, where the title box of "Demo tune" in the system
# font lies, whatever the font's exact size; it is searched for here.
MIDDLE=160x40+80+80
MIDDLE_X=80
MIDDLE_Y=80

# Slow frames, so that a screenshot falls well inside the ten.
start_player --seconds 120 --delay 500 "$(winpath "$PLUGIN")"
wait_for_renders 3 60
focus_window_at

# Before: the traced picture has next to no pure white in the middle.
before=$(screenshot before)
white_before=$(count_colour "$before" "$MIDDLE" '#FFFFFF')
say "before SPACE: $white_before white pixels in the middle"
[ "$white_before" -lt 32 ] || fail "the middle is white before any SPACE"

# During the ten frames: a white box of black text, placed at
# ((320 - cx) / 2, (200 - cy) / 2) for its own size cx x cy.
pressed_at=$(render_count)
xdotool key space
wait_for_renders $((pressed_at + 3)) 30
during=$(screenshot title)
now=$(render_count)
say "SPACE before Render $((pressed_at + 1)), screenshot after Render $now"
[ "$now" -le $((pressed_at + 9)) ] || fail "the screenshot came too late to be within the ten frames"
box=$(convert "$during" -crop "$MIDDLE" +repage -fill black +opaque white -format %@ info:)
[[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no white title box in the middle ($box)"
cx=${BASH_REMATCH[1]}
cy=${BASH_REMATCH[2]}
x=$((MIDDLE_X + BASH_REMATCH[3]))
y=$((MIDDLE_Y + BASH_REMATCH[4]))
area="${cx}x${cy}+$x+$y"
# Text may be smoothed: its pixels are greys between black and white.
grey=$(count_pixels "$during" "$area" 'r == g && g == b')
dark=$(count_pixels "$during" "$area" 'r == g && g == b && r < 0.5')
say "title box $cx x $cy at ($x, $y): $grey grey pixels, $dark of them dark, of $((cx * cy))"
[ "$cx" -ge 30 ] && [ "$cy" -ge 8 ] && [ "$cy" -le 30 ] || fail "the white area is no title box"
[ "$x" -eq $(((320 - cx) / 2)) ] && [ "$y" -eq $(((200 - cy) / 2)) ] ||
    fail "the box is not at ((320 - $cx) / 2, (200 - $cy) / 2)"
[ "$grey" -eq $((cx * cy)) ] || fail "the box holds colours other than black, white and greys"
[ "$dark" -ge $((cx * cy / 10)) ] || fail "no dark text in the box"

# After the ten frames (and one for the key's way in): gone.
wait_for_renders $((pressed_at + 13)) 60
after=$(screenshot after)
white_after=$(count_colour "$after" "$area" '#FFFFFF')
say "after ten frames: $white_after white pixels where the box was"
[ "$white_after" -lt $((cx * cy / 10)) ] || fail "the title is still there after ten frames"

# ESC ends the run.
xdotool key Escape
wait_for_exit 30
say "passed; screenshots $before $during $after"
