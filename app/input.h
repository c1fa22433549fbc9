// Where the frames' waveform comes from: the playlist (sound files, or the
// demo tune, heard through the sound output), capture of what the desktop
// plays, or a raw waveform file. The kind is chosen once at start-up; the
// frame loop then goes through its row of routines.
#pragma once
#include <cstdint>
#include "app/options.h"
#include "audio/audio_source.h"
#include "audio/raw_waveform.h"

enum InputKind { INPUT_PLAYLIST, INPUT_CAPTURE, INPUT_WAVEFORM, INPUT_KIND_COUNT };

constexpr int32_t HISTORY_FRAMES = 1 << 16; // frames given out that a block may still show, about 1.5 s
constexpr int64_t QUIET_MS = 300;           // capture without news this long counts as silence

struct AppInput {
    int32_t kind;                        // InputKind, set by startInput
    const AppOptions* options;           // the command line
    AudioSource source;                  // the entry playing, or the capture; read by the sound thread
    int32_t entry;                       // index into options->files; -1 for the demo tune
    int32_t playedCount;                 // entries that could be opened
    bool soundOpen;                      // the sound output plays the source; false when silent
    bool soundAvailable;                 // false once no device could be had: silent, timed by the clock
    int64_t fedFrames;                   // frames given out (to the device or by the clock), silence included
    int64_t endFrame;                    // fedFrames when the source ran out, -1 while it plays
    uint64_t startTicks;                 // platform clock when the entry started (silent timing)
    uint64_t lastNewsTicks;              // platform clock when capture last delivered frames
    bool quiet;                          // capture has delivered nothing for QUIET_MS
    RawWaveformFile waveform;            // --waveform, read whole
    int16_t history[HISTORY_FRAMES * 2]; // the latest frames given out, as stereo
};

// Opens the input the options ask for, through the sound output when
// `soundAvailable`; false, reported, when there is nothing to play (no
// display is needed yet).
bool startInput(AppInput* input, const AppOptions* options, bool soundAvailable);

// Once a frame, before the block: notices, the end of an entry and the next
// one. False when nothing is left to play.
bool followInput(AppInput* input);

// The block for frame `frameIndex` (from 0): what is heard now.
void inputBlock(AppInput* input, int64_t frameIndex, WaveformBlock block);

// N and P: the next (+1) or previous (-1) entry of the playlist.
void skipInput(AppInput* input, int32_t step);

// The sound device went away: the rest plays silent, timed by the clock.
void loseSound(AppInput* input);

// What SPACE shows.
const char* inputTitle(const AppInput* input);

// Closes the sound device and the source; safe in any state.
void stopInput(AppInput* input);
