# Shared by raysphere's test scripts: a private X server and a private sound
# server, each started by the test and stopped when it exits, and checks.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

pids_to_stop=()
stop_started() {
    local pid
    for pid in "${pids_to_stop[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_started EXIT

# Xvfb on the first free display number from 150; sets DISPLAY.
start_xvfb() {
    local number
    for number in $(seq 150 199); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        local pid=$!
        sleep 1
        if kill -0 "$pid" 2>/dev/null; then
            pids_to_stop+=("$pid")
            export DISPLAY=":$number"
            return 0
        fi
    done
    fail "no free X display for Xvfb"
}

# A PulseAudio server of the test's own with one null sink, vis_test, whose
# monitor records what is played into it. Root may run it too: everything
# lives under a private runtime folder.
start_pulse() {
    local runtime="$1"
    mkdir -p "$runtime"
    export XDG_RUNTIME_DIR="$runtime" HOME="$runtime" PULSE_RUNTIME_PATH="$runtime/pulse"
    export PULSE_STATE_PATH="$runtime/state" PULSE_SERVER="unix:$runtime/pulse/native"
    unset PULSE_COOKIE
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
        -L "module-native-protocol-unix" -L "module-null-sink sink_name=vis_test" \
        >"$runtime/pulseaudio.log" 2>&1 &
    local pid=$!
    pids_to_stop+=("$pid")
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    cat "$runtime/pulseaudio.log" >&2
    fail "the test's PulseAudio server did not start"
}

# The frame `index` (from 1) of a window-sized screenshot, scaled back to
# 320 x 200 by taking every n-th pixel, must equal the renderer's frame.
same_picture() {
    local screenshot="$1" reference="$2"
    local differing
    differing=$(convert "$screenshot" -sample 320x200\! png:- |
        compare -metric AE png:- "$reference" null: 2>&1 || true)
    [ "$differing" = "0" ] || fail "$screenshot differs from $reference in $differing pixels"
}
