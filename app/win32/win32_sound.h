// The Windows back end's sound output, one of two files: WASAPI
// (win32_sound.cpp), or none where the build has no sound output
// (silent_sound.cpp): the run goes on silent, timed by the clock.
#pragma once
#include <cstddef>
#include <cstdint>
#include "app/platform.h"

bool startWin32Sound(char* error, size_t errorSize);
bool openWin32Sound(int32_t sampleRate, int32_t channels, SoundFill fill, void* context, char* error, size_t errorSize);
void lockWin32Sound();
void unlockWin32Sound();
int64_t win32SoundLatencyFrames();
void closeWin32Sound();
