#!/usr/bin/env bash
# WASAPI loopback capture run for real: Debian 12's Wine 8 has none (it came
# with Wine 9.12), so the check program runs under Debian 13's Wine 10 in a
# chroot (scripts/wine10-chroot.sh makes it on first need), against a
# PulseAudio server of the test's own on this side with a null sink, while
# paplay plays a tone into it. Both the default output (--capture) and the
# output named as --list-sources names it are taken through loopback, never
# through a stand-in input; so is a 48 kHz six-channel output of floats,
# turned into 44.1 kHz stereo 16-bit. Skipped, with the reason, where the chroot
# cannot be made or entered.
set -euo pipefail
check_exe=$(realpath "$1") work="$2"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
. "$source_dir/tests/app/app_lib.sh"
in_chroot="$source_dir/scripts/wine10-chroot.sh"
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
work=$(realpath "$work")

status=0
"$in_chroot" -- true || status=$?
if [ "$status" = 77 ]; then
    exit 77 # the reason is said above
fi
[ "$status" = 0 ] || fail "the Wine 10 chroot does not run"

start_pulse "$work/pulse"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine10() {
    "$in_chroot" --bind "$work" --bind "$(dirname "$check_exe")" -- sh -c "\$WINE10 \"\$@\"" wine10 "$@"
}
# The prefix: a copy of one booted once and kept beside the chroot, as
# booting takes some 20 s of processor time and copying one
template="${WINE10_CHROOT:-/srv/chroots/deb13-wine}.prefix"
(
    flock 9
    if [ ! -f "$template/system.reg" ]; then
        rm -rf "$template.part"
        mkdir -p "$template.part"
        WINEPREFIX="$template.part" "$in_chroot" --bind "$template.part" -- \
            sh -c '$WINE10 wineboot --init >/dev/null 2>&1; /usr/lib/wine/wineserver -w' || true
        [ -f "$template.part/system.reg" ] && mv "$template.part" "$template"
    fi
) 9>"$template.lock"
[ -f "$template/system.reg" ] || fail "Wine 10 made no prefix in $template"
export WINEPREFIX="$work/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX" "$WINEPREFIX.part"
    cp -a "$template" "$WINEPREFIX.part" && mv "$WINEPREFIX.part" "$WINEPREFIX"
fi
wine10 --version

sox -n -r 44100 -b 16 -c 2 "$work/tone.wav" synth 2.5 sine 441 remix 1v0.5 1v0.25

# Captures while the tone plays, once the program says it is capturing;
# with "lose", the sink goes away and comes back before the tone. (Wine 10
# tells a loopback stream that its output went away in some runs only, so
# the loss is tested under Debian's Wine, on the input that stands in.)
capture_tone() {
    local name="$1" lose="$2"
    shift 2
    wine10 "$check_exe" capture 14 441 --loopback "$@" >"$work/$name.out" 2>&1 &
    local capture=$!
    for _ in $(seq 300); do
        grep -q "capturing from" "$work/$name.out" && break
        kill -0 "$capture" 2>/dev/null || break
        sleep 0.1
    done
    sleep 1.5
    if [ "$lose" = lose ]; then
        pactl unload-module module-null-sink
        sleep 3
        pactl load-module module-null-sink sink_name=vis_test >/dev/null
        sleep 2
    fi
    paplay --device="${sink:-vis_test}" "$work/tone.wav"
    wait "$capture" || {
        cat "$work/$name.out"
        fail "$name: see above"
    }
    cat "$work/$name.out"
    grep -q "refuses loopback" "$work/$name.out" && fail "$name: loopback was refused"
    return 0
}

echo "== the default output's loopback"
capture_tone default keep
echo "== the loopback of the output named Null Output"
capture_tone named keep "Null Output"
grep -q "^capturing from Null Output.\?$" "$work/named.out" || fail "the named output was not the one captured"
echo "== the loopback of a 48 kHz six-channel output of floats, turned into 44.1 kHz stereo 16-bit"
pactl load-module module-null-sink sink_name=vis48 rate=48000 format=float32le channels=6 \
    sink_properties=device.description=Surround48 >/dev/null
sink=vis48 capture_tone surround keep Surround48
echo PASS
