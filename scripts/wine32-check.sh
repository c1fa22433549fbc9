# Sourced: whether 32-bit Windows programs run here. Debian's 32-bit Wine
# loader is an i386 program: when the kernel cannot execute i386 code (IA-32
# emulation off) or the loader is missing, no 32-bit Windows program runs.
WINE32=/usr/lib/wine/wine
WINE32_SKIP=77 # the exit code the 32-bit tests are registered to be skipped with
WINE32_REASON=

# True when the 32-bit loader starts; otherwise false with WINE32_REASON set.
wine32_usable() {
    local output
    if [ ! -e "$WINE32" ]; then
        WINE32_REASON="this machine cannot run 32-bit Windows programs: no 32-bit Wine loader $WINE32 (package wine32:i386)"
        return 1
    fi
    if output=$("$WINE32" --version 2>&1); then
        return 0
    fi
    output=$(printf '%s' "$output" | tail -1 | sed -E 's/^.*line [0-9]+: //')
    WINE32_REASON="this machine cannot run 32-bit Windows programs: the 32-bit Wine loader does not start ($output)"
    if [[ "$output" == *"Exec format error"* ]]; then
        WINE32_REASON+="; the kernel does not execute i386 code (IA-32 emulation is off)"
    fi
    return 1
}
