// Windows only. The audio that plays, through the wave output: a ring of
// buffers refilled from the frame loop.
#pragma once
#ifndef _WIN32
#error "player/sound_output.h is Windows-only"
#endif
#include <cstddef>
#include <windows.h>
#include <mmsystem.h>
#include "audio/audio_source.h"

constexpr int32_t SOUND_BUFFERS = 4;
constexpr int32_t SOUND_BUFFER_FRAMES = 4096; // about a tenth of a second each at 44.1 kHz

struct SoundOutput {
    HWAVEOUT device;                // open device, or null when silent
    WAVEHDR headers[SOUND_BUFFERS]; // prepared on open, unprepared on close
    const AudioSource* source;      // what is queued
    int32_t entry;                  // its playlist entry, -1 when closed
    int64_t nextFrame;              // first frame of the next buffer
};

// Opens the device for `source` and queues audio from `startFrame`; on
// failure says why and leaves the output closed.
bool openSound(SoundOutput* sound, const AudioSource* source, int32_t entry, int64_t startFrame, char* error,
               size_t errorSize);
// Refills and queues the buffers the device has played.
void feedSound(SoundOutput* sound);
void closeSound(SoundOutput* sound);
