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

# Sets `window` to raysphere's window once it is shown, within ten seconds.
await_window() {
    window=
    for _ in $(seq 100); do
        window=$(xdotool search --name '^raysphere$' 2>/dev/null | head -1 || true)
        [ -n "$window" ] && return 0
        sleep 0.1
    done
    fail "no window: $(cat "$work/run.err")"
}

# Xvfb with a window manager, for resizes and full screen.
start_xvfb_with_wm() {
    start_xvfb
    evilwm >/dev/null 2>&1 &
    pids_to_stop+=($!)
    sleep 0.5
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

# The same through PipeWire, as Debian's desktops run it: pipewire, its
# session manager and its PulseAudio server (pipewire-pulse) under a private
# runtime folder and D-Bus session bus, with the null sink vis_test made the
# default output. Works headless, as root too.
start_pipewire() {
    local runtime="$1"
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    export XDG_RUNTIME_DIR="$runtime" HOME="$runtime" PULSE_SERVER="unix:$runtime/pulse/native"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
    unset PULSE_RUNTIME_PATH PULSE_STATE_PATH PULSE_COOKIE
    dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork >"$runtime/dbus.log" 2>&1 &
    pids_to_stop+=("$!")
    local program
    for program in pipewire wireplumber pipewire-pulse; do
        for _ in $(seq 50); do
            [ -S "$runtime/bus" ] && { [ "$program" = pipewire ] || [ -S "$runtime/pipewire-0" ]; } && break
            sleep 0.1
        done
        "$program" >"$runtime/$program.log" 2>&1 &
        pids_to_stop+=("$!")
    done
    for _ in $(seq 100); do
        if pactl info >/dev/null 2>&1; then
            pactl load-module module-null-sink sink_name=vis_test >/dev/null
            for _ in $(seq 50); do
                pactl set-default-sink vis_test 2>/dev/null && pactl info | grep -q '^Default Sink: vis_test$' &&
                    return 0
                sleep 0.1
            done
        fi
        sleep 0.1
    done
    cat "$runtime"/*.log >&2
    fail "the test's PipeWire server did not start"
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
