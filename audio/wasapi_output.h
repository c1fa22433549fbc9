// Windows only. The sound that plays, through WASAPI's shared mode on the
// default output: a thread of the output's own asks for samples as the
// device needs them, as SDL's audio callback does. It follows a change of
// default output, and while there is no device at all it goes on asking at
// the pace the device would, so that what is "heard" keeps time.
#pragma once
#ifndef _WIN32
#error "audio/wasapi_output.h is Windows-only"
#endif
#include <cstddef>
#include <cstdint>

struct SoundOutput; // the output's state: device, thread and lock

// Fills `frames` frames of interleaved 16-bit samples; called on the
// output's own thread with the output's lock held.
typedef void (*SoundFill)(void* context, int16_t* samples, int32_t frames);

// Opens the default output for `channels` (1 or 2) channels of 16-bit
// samples at `sampleRate` and starts asking `fill` for them. On failure
// `error` says "no sound output: REASON" and `*output` stays null.
bool openSoundOutput(SoundOutput** output, int32_t sampleRate, int32_t channels, SoundFill fill, void* context,
                     char* error, size_t errorSize);

// Around state shared with `fill`: while the lock is held, fill is not called.
void lockSoundOutput(SoundOutput* output);
void unlockSoundOutput(SoundOutput* output);

// Frames between the last sample `fill` wrote and the moment it is heard:
// what the device still has queued plus its own latency.
int64_t soundOutputLatencyFrames(SoundOutput* output);

// Stops the thread, releases the device and sets `*output` to null; safe
// on a null output.
void closeSoundOutput(SoundOutput** output);
