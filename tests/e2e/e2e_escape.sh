#!/usr/bin/env bash
# ESC ends the visualisation when it is released, not when it is pressed:
# the host then calls Quit, the plug-in hands the screen back (the player's
# window hears restored and maximised), and the host exits 0.
. "$(dirname "$0")/e2e_lib.sh"

start_player --seconds 120 "$(winpath "$PLUGIN")"
wait_for_renders 3 60
focus_window_at

# Pressed: the frames go on.
xdotool keydown Escape
pressed_at=$(render_count)
wait_for_renders $((pressed_at + 5)) 30
grep -q '^End ' "$LOG" && fail "the run ended while ESC was only pressed"
running=$(screenshot running)

# Released: the run ends.
xdotool keyup Escape
wait_for_log '^End WM_QUIT$' 30
wait_for_exit 30
say "ended after $(render_count) frames"

# The order of events, from Init on, as the log tells it.
events=$(sed -n '/^Init /,$p' "$LOG" | grep -Ev '^Render [0-9]+ returned' | tr '\n' '|')
[[ "$events" == "Init 0|"* ]] || fail "Init did not return 0: $events"
[[ "$events" =~ \|End\ WM_QUIT\|Player\ window\ WM_SIZE\ 0\|Player\ window\ WM_SIZE\ 2\|Quit\|Exit\ 0\|$ ]] ||
    fail "not WM_QUIT, restored, maximised, Quit, exit 0 in this order: $events"
grep -q '^Player window WM_SIZE 1$' "$LOG" || fail "the player's window never heard it was minimised"
say "passed; screenshot $running"
