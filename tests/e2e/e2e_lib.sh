# Sourced by the end-to-end tests: a private X server and a Wine virtual
# desktop for the host program, screenshots, and the log to follow the run.
# Arguments of every test: PLAYER_EXE PLUGIN_DLL NATIVE_RENDERER OUTPUT_DIR.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 PLAYER_EXE PLUGIN_DLL NATIVE_RENDERER OUTPUT_DIR" >&2
    exit 2
fi
PLAYER=$(realpath "$1")
PLUGIN=$(realpath "$2")
RENDERER=$3
OUT=$(mkdir -p "$4" && realpath "$4")
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TEST_NAME=$(basename "$0" .sh)
WORK=$OUT/$TEST_NAME
rm -rf "$WORK"
mkdir -p "$WORK"
LOG=$WORK/run.log

# A Wine prefix of the tests' own: its server and processes are the tests'
# alone, so the clean-up can end them all without touching anyone else's.
export WINEPREFIX=$OUT/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64 # makes the prefix
WINESERVER=/usr/lib/wine/wineserver
# The loader that runs the host: wine64, or the 32-bit loader for the 32-bit pair.
WINE=${E2E_WINE:-$WINE64}

XVFB_PID=
PLAYER_PID=
DISPLAY_NUMBER=

say() { printf '%s: %s\n' "$TEST_NAME" "$*"; }

# A 32-bit pair needs a machine that executes 32-bit code: where it cannot,
# the test is skipped (exit 77), with the reason, rather than passed.
if [ "$WINE" != "$WINE64" ]; then
    . "$SOURCE_DIR/scripts/wine32-check.sh"
    if ! wine32_usable; then
        say "SKIPPED: $WINE32_REASON"
        exit "$WINE32_SKIP"
    fi
fi

fail() {
    say "FAILED: $*"
    if [ -f "$LOG" ]; then
        say "log of the run:"
        sed 's/^/    /' "$LOG" | grep -v ' returned 0$' || true
    fi
    if [ -s "$WORK/player.out" ]; then
        say "output of the host:"
        sed 's/^/    /' "$WORK/player.out"
    fi
    exit 1
}

# Ends the host, Wine and the X server, whatever state the test left.
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k 2>/dev/null || true
    fi
    if [ -n "$PLAYER_PID" ]; then
        kill "$PLAYER_PID" 2>/dev/null || true
        wait "$PLAYER_PID" 2>/dev/null || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# Makes the Wine prefix once (a copy of the project's own; see wine-env.sh).
prepare_wine() {
    . "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
}

# Starts Xvfb on the first free display from :70 to :89.
start_display() {
    for number in $(seq 70 89); do
        if [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; then
            continue
        fi
        Xvfb ":$number" -screen 0 "${E2E_SCREEN:-640x480x24}" -nolisten tcp >"$WORK/xvfb.out" 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 50); do
            if [ -e "/tmp/.X11-unix/X$number" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
                DISPLAY_NUMBER=$number
                export DISPLAY=":$number"
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        # Another server took the number meanwhile: try the next one.
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    done
    fail "no free X display between :70 and :89"
}

# The Windows name of a file: Wine's drive Z: is the Unix root.
winpath() { printf 'Z:%s' "$1"; }

# The Wine virtual desktop's window: the host's --desktop names it after itself.
DESKTOP_WINDOW_NAME="vis_player - Wine desktop"

# Starts the host in a 640 x 480 Wine virtual desktop of its own (--desktop,
# which keeps the host's exit status) with the given arguments, logging to $LOG.
start_player() {
    (cd "$WORK" && exec "$WINE" "$(winpath "$PLAYER")" --desktop 640x480 --log "$(winpath "$LOG")" "$@" \
        >"$WORK/player.out" 2>&1) &
    PLAYER_PID=$!
}

# Starts the host straight on the X screen, without a Wine virtual desktop,
# with the given arguments, logging to $LOG.
start_player_bare() {
    (cd "$WORK" && exec "$WINE" "$(winpath "$PLAYER")" --log "$(winpath "$LOG")" "$@" >"$WORK/player.out" 2>&1) &
    PLAYER_PID=$!
}

# Gives the keyboard to the Windows window at X,Y of a bare X screen: with
# no window manager the window under the pointer gets the keys.
focus_bare_at() {
    xdotool mousemove "$1" "$2" click 1
    sleep 0.3
}

# Waits until a line of the log matches the extended regular expression.
wait_for_log() {
    local pattern=$1 seconds=$2
    local tries=$((seconds * 10))
    for _ in $(seq "$tries"); do
        if [ -f "$LOG" ] && grep -Eq "$pattern" "$LOG"; then
            return 0
        fi
        sleep 0.1
    done
    fail "no log line matching '$pattern' within $seconds s"
}

# Render calls made so far.
render_count() { grep -Ec '^Render [0-9]+ returned' "$LOG" || true; }

# Waits until the host has made at least `count` Render calls.
wait_for_renders() {
    local count=$1 seconds=$2
    wait_for_log "^Render $count returned" "$seconds"
}

# Waits for the host to end and checks that it exited 0 after Quit.
wait_for_exit() {
    local seconds=$1
    for _ in $(seq $((seconds * 10))); do
        if ! kill -0 "$PLAYER_PID" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    if kill -0 "$PLAYER_PID" 2>/dev/null; then
        fail "the host did not end within $seconds s"
    fi
    local status=0
    wait "$PLAYER_PID" 2>/dev/null || status=$?
    PLAYER_PID=
    grep -q '^Exit 0$' "$LOG" || fail "the host did not exit 0"
    [ "$status" -eq 0 ] || fail "the host logged exit 0 but its exit status was $status"
}

# Saves the whole X screen as $WORK/NAME.png and prints the path.
screenshot() {
    local file=$WORK/$1.png
    xwd -root -display "$DISPLAY" -silent | convert xwd:- "$file"
    printf '%s' "$file"
}

# Gives the keyboard to the Windows window at X,Y of the Wine desktop
# (default: the middle of the 320 x 200 display): X focus on the desktop's
# window, then a click, which makes Wine activate the window under it.
focus_window_at() {
    local x=${1:-160} y=${2:-100} window
    window=$(xdotool search --name "$DESKTOP_WINDOW_NAME" 2>/dev/null | head -1 || true)
    [ -n "$window" ] || fail "no Wine desktop window on $DISPLAY"
    xdotool windowfocus "$window"
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}

# Pixels of an area (WIDTHxHEIGHT+X+Y) of an image that have exactly the
# colour given as #RRGGBB.
count_colour() {
    local image=$1 area=$2 colour=$3
    convert "$image" -crop "$area" +repage -depth 8 -alpha off -format %c histogram:info:- |
        awk -v colour="$colour" 'toupper($3) == toupper(colour) { sub(":", "", $1); n += $1 } END { print n + 0 }'
}

# Pixels of an area of an image for which an ImageMagick -fx condition on
# r, g and b (0 to 1) holds.
count_pixels() {
    local image=$1 area=$2 condition=$3
    convert "$image" -crop "$area" +repage -alpha off -fx "($condition) ? 1 : 0" -format '%[fx:round(mean*w*h)]' info:
}

# WIDTHxHEIGHT of the X screen.
screen_size() { xwd -root -display "$DISPLAY" -silent | convert xwd:- -format '%wx%h' info:; }

# X windows mapped on the screen, Wine's included.
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }

prepare_wine
start_display
say "display :$DISPLAY_NUMBER, output in $WORK"
