// The Windows back end's sound output: the audio layer's WASAPI output.
// Where none can be opened the run goes on silent, timed by the clock.
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
