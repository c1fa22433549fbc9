#!/usr/bin/env bash
# Runs a 32-bit Windows program under 32-bit Wine, as ctest's emulator for the
# mingw32 build. Where this machine cannot execute 32-bit (i386) code, it says
# why and exits 77, which ctest reports as a skipped test, never a pass.
# Usage: wine32-run.sh PROGRAM.exe [ARGUMENTS...]
set -uo pipefail
. "$(dirname "$0")/wine32-check.sh"
if ! wine32_usable; then
    echo "SKIPPED: $WINE32_REASON"
    exit "$WINE32_SKIP"
fi
exec "$WINE32" "$@"
