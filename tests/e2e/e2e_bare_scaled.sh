#!/usr/bin/env bash
# The real plug-in on a bare 1024 x 768 X screen. Wine offers no 320 x 200
# there, only the screen's own mode, so the plug-in takes that mode and shows
# the frame scaled by 3 (960 x 600), centred between black bars.
E2E_SCREEN=1024x768x24
PICTURE=960x600+32+84
PATH_NAME="scaled exclusive mode"
. "$(dirname "$0")/e2e_lib.sh"
. "$(dirname "$0")/bare_screen_checks.sh"
