#!/usr/bin/env bash
# Builds everything and runs every test: formatting, the portable core under
# sanitizers, the release files (scripts/release.sh) built and checked, the
# core in WebAssembly under node and the web page in Chromium, and, beside
# those, the Windows plug-in and host under wine64 and the shipped 32-bit DLL
# with the 32-bit host under 32-bit Wine (skipped, and said so, where this
# machine cannot execute 32-bit code).
# Usage: scripts/test.sh [--full]
#   --full: also the exhaustive checks: x^32 in packets against each C
#           library's powf on every float up to 2 (minutes per build; by
#           default a sample and every input near a rounding boundary), and
#           the release built twice and compared byte for byte
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
"") ;;
--full) export RAYSPHERE_FULL_TESTS=1 ;;
*)
    echo "usage: scripts/test.sh [--full]" >&2
    exit 2
    ;;
esac
scripts/install-deps.sh

# Each stage's wall time and the processor time (user plus system) its
# commands took, printed as a table at the end: on a shared machine the wall
# time says little alone, the processor time says what the stage costs
stage_names=() stage_seconds=() stage_cpu=() stage_started=$SECONDS stage_cpu_started=0
times_file=$(mktemp)
trap 'rm -f "$times_file"*' EXIT
# Sets cpu_spent to the processor seconds of every command this script has
# waited for; `times` runs in this shell, as a subshell would count none.
# Each track its own file, as the tracks beside read theirs meanwhile
cpu_spent=0
read_cpu() {
    local user system file=$times_file.$BASHPID
    times >"$file"
    { read -r _ _ && read -r user system; } <"$file"
    cpu_spent=$(awk -v u="$user" -v s="$system" 'function sec(t, m) { split(t, m, "m"); return m[1] * 60 + m[2] }
        BEGIN { printf "%d", sec(u) + sec(s) }')
}
step() {
    close_stage
    stage_names+=("$*")
    stage_started=$SECONDS
    read_cpu
    stage_cpu_started=$cpu_spent
    printf '\n== %s\n' "$*"
}
close_stage() {
    if [ "${#stage_names[@]}" -gt "${#stage_seconds[@]}" ]; then
        read_cpu
        stage_seconds+=($((SECONDS - stage_started)))
        stage_cpu+=($((cpu_spent - stage_cpu_started)))
        printf '== %s: %d s wall, %d s processor\n' "${stage_names[-1]%%:*}" "${stage_seconds[-1]}" "${stage_cpu[-1]}"
    fi
    return 0
}
stage_table() {
    close_stage
    printf '\n== Time per stage (wall, processor user+system)\n'
    for i in "${!stage_names[@]}"; do
        printf '%4d:%02d %6d s  %s\n' $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60)) "${stage_cpu[i]}" \
            "${stage_names[i]%%:*}"
    done
    read_cpu
    printf '%4d:%02d %6d s  in all\n' $((SECONDS / 60)) $((SECONDS % 60)) "$cpu_spent"
}

step "Formatting, and the folders' floors"
scripts/check-format.sh
scripts/check-floors.py

step "Renderer and benchmark (optimised)"
cmake --preset native-release >/dev/null
# The programs only: the later stages run these, and the tests' own programs
# are built and run under the sanitizers (built again here, they would never
# be run)
cmake --build --preset native-release --target raysphere render_frames core_frames bench_frame bench_core \
    make_about_bitmap icons

# Three tracks after this: the portable core and the web here; the Windows
# stages, which spend most of their time waiting on Wine and X, beside them;
# and the releases, beside them too and niced, as their builds may wait while
# the tests that keep time run. Each track beside writes a log of its own,
# shown at the end; each test has its own Wine prefix, X display and sound
# server, so the tracks do not meet.
beside_pids=() beside_logs=() beside_rows=()
# On a failure here the tracks beside are stopped, and what they said so far shown
stop_tracks() {
    local i
    for i in "${!beside_pids[@]}"; do
        if kill -- -"${beside_pids[i]}" 2>/dev/null; then
            printf '\n== Stopped beside, after:\n'
            tail -n 40 "${beside_logs[i]}"
        fi
    done
    rm -f "$times_file"* "${beside_logs[@]}" "${beside_rows[@]}"
}
trap stop_tracks EXIT
# beside TRACK: runs the routine TRACK in a process group of its own (set -m),
# so that a failure anywhere stops all of it
beside() {
    local log rows
    log=$(mktemp) rows=$(mktemp)
    beside_logs+=("$log") beside_rows+=("$rows")
    set -m
    (
        stage_names=() stage_seconds=() stage_cpu=()
        # The rows are written on a failure too: the stage that failed
        # shows, with the time it took
        write_rows() {
            close_stage
            for i in "${!stage_names[@]}"; do
                printf '%s\t%s\t%s\n' "${stage_seconds[i]}" "${stage_cpu[i]}" "${stage_names[i]%%:*}" >>"$rows"
            done
        }
        trap write_rows EXIT
        "$1"
    ) >"$log" 2>&1 &
    beside_pids+=($!)
    set +m
}
# Waits for the tracks beside, shows their output and adds their stages to the table
join_tracks() {
    local i status failed=0 seconds cpu name
    close_stage
    for i in "${!beside_pids[@]}"; do
        status=0
        wait "${beside_pids[i]}" || status=$?
        cat "${beside_logs[i]}"
        while IFS=$'\t' read -r seconds cpu name; do
            stage_names+=("$name (beside)") stage_seconds+=("$seconds") stage_cpu+=("$cpu")
        done <"${beside_rows[i]}"
        if [ "$status" -ne 0 ]; then
            echo "FAILED: the track above stopped with exit status $status" >&2
            failed=1
        fi
    done
    return "$failed"
}

windows_track() {
    step "Windows 64-bit plug-in and host, under wine64"
    # Here, not first thing: booting the Wine prefix takes some 15 s
    . scripts/wine-env.sh
    cmake --preset mingw64 >/dev/null
    nice cmake --build --preset mingw64
    ctest --preset mingw64

    step "Windows 32-bit plug-in and host, the DLL the player loads, under 32-bit Wine"
    . scripts/wine32-check.sh
    cmake --preset mingw32 >/dev/null
    if wine32_usable; then
        nice cmake --build --preset mingw32
        ctest --preset mingw32
        return
    fi
    # Nothing to run the tests on, so nothing is built: the shipped 32-bit
    # DLLs and player, built by the release track from the same sources
    # (warnings as errors), have their machine, version, imports, exports,
    # about box and bitmap checked there, in the Windows zip
    wine32_note
    echo "      The shipped 32-bit files are checked in the release's Windows zip. Not built, so not run:"
    ctest --preset mingw32 -N | sed -n 's/^ *Test *#[0-9]*: /      SKIPPED /p'
}
wine32_note() {
    echo "NOTE: the 32-bit tests cannot run here and are reported as SKIPPED, not passed:"
    echo "      $WINE32_REASON"
}
release_track() {
    step "Releases: built and checked, the Debian 12 and 13 packages and the portable build tried in fresh chroots, the Windows zip"
    nice tests/release/release_test.sh build/native-release/raysphere build/native-release/render_frames \
        build/release-test
}
beside windows_track
beside release_track
printf '\n== The Windows stages and the releases run beside the next ones; their output follows at the end\n'

step "Portable core (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset native-test >/dev/null
cmake --build --preset native-test
ctest --preset native-test -j2

step "Web: the core in WebAssembly under node against the native frames, x^32 against powf; the page in Chromium"
cmake --preset web >/dev/null
cmake --build --preset web
ctest --preset web

status=0
join_tracks || status=$?
stage_table
exit "$status"
