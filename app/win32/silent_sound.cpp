// No sound output in this build: every run is silent, timed by the clock.
#include <cstdio>
#include "app/win32/win32_sound.h"

bool startWin32Sound(char* error, size_t errorSize) {
    snprintf(error, errorSize, "this build has no sound output");
    return false;
}

bool openWin32Sound(int32_t, int32_t, SoundFill, void*, char* error, size_t errorSize) {
    return startWin32Sound(error, errorSize);
}

void lockWin32Sound() {}

void unlockWin32Sound() {}

int64_t win32SoundLatencyFrames() {
    return 0;
}

void closeWin32Sound() {}
