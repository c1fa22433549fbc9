#!/usr/bin/env bash
# The real plug-in on a bare 600 x 800 (portrait) X screen. Wine offers only
# that mode, too narrow for the frame scaled by 2, so the plug-in makes its
# window borderless over the screen and stretches the frame over its width
# (600 x 375), centred between black bars.
E2E_SCREEN=600x800x24
PICTURE=600x375+0+212
PATH_NAME="borderless window"
. "$(dirname "$0")/e2e_lib.sh"
. "$(dirname "$0")/bare_screen_checks.sh"
