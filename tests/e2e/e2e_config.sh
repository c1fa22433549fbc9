#!/usr/bin/env bash
# --config shows the plug-in's about box, picture included, instead of
# running it; OK (Return) closes it, Config returns and the host exits 0.
. "$(dirname "$0")/e2e_lib.sh"

PICTURE=$SOURCE_DIR/resources/about.bmp
[ -f "$PICTURE" ] || fail "no about picture at $PICTURE"
# The picture's top-left pixel is sky; its colour finds the picture on the screen.
sky="#$(convert "$PICTURE" -depth 8 -format '%[hex:p{0,0}]' info:)"

# Where the sky colour lies on a screenshot, as WIDTHxHEIGHT+X+Y.
sky_area() { convert "$1" -fill black +opaque "$sky" -format %@ info:; }

start_player --config "$(winpath "$PLUGIN")"
wait_for_log '^Config$' 60

# Wait for the box to be drawn: a wide area of sky appears.
width=0
for _ in $(seq 60); do
    shot=$(screenshot about)
    if [[ "$(sky_area "$shot")" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge 200 ]; then
        width=${BASH_REMATCH[1]}
        x=${BASH_REMATCH[3]}
        y=${BASH_REMATCH[4]}
        break
    fi
    sleep 0.5
done
[ "$width" -gt 0 ] || fail "no picture appeared; screenshot $shot"
grep -q '^Config returned$' "$LOG" && fail "Config returned while the box was up"

# The picture may be scaled to its frame: compare small copies of both,
# the screen's taken at the picture's proportions from its top-left corner.
height=$((width * 181 / 320))
convert "$shot" -crop "${width}x${height}+$x+$y" +repage -resize '32x18!' "$WORK/picture_small.png"
convert "$PICTURE" -resize '32x18!' "$WORK/expected_small.png"
rmse=$(compare -metric RMSE "$WORK/picture_small.png" "$WORK/expected_small.png" null: 2>&1 || true)
say "picture ${width}x$height at ($x, $y); RMSE of the small copies $rmse"
[[ "$rmse" =~ \(([0-9.e-]+)\) ]] || fail "compare gave no figure: $rmse"
awk -v r="${BASH_REMATCH[1]}" 'BEGIN { exit !(r < 0.06) }' || fail "the picture on the screen is not the about picture"

# OK, the default button, by Return; the box goes and the host ends.
focus_window_at $((x + width / 2)) $((y - 20))
xdotool key Return
wait_for_log '^Config returned$' 30
wait_for_exit 30
grep -q '^Init' "$LOG" && fail "--config started the visualisation"
say "passed; screenshot $shot"
