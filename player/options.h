// The host program's command line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include "cli/option_table.h"
#include "player/playlist.h"

struct PlayerOptions {
    const char* pluginPath;                       // the plug-in DLL
    const char* audioPaths[PLAYLIST_MAX_ENTRIES]; // WAV files; none plays the demo tune
    int32_t audioCount;                           // used entries of audioPaths
    int64_t frames;                               // Render calls to make; 0 for no limit
    int64_t seconds;                              // seconds to run; 0 for no limit
    int64_t holdSeconds;                          // after the last frame, seconds to keep the window up
    int64_t delayMs;                              // pause between frames; -1 for the module's delayMs
    int64_t module;                               // index of the module to run, from 0
    const char* waveformPath;                     // raw waveform file feeding frame k block k, or null
    const char* logPath;                          // callback log, or null
    int32_t desktopWidth;                         // --desktop: virtual desktop width, 0 when not asked for
    int32_t desktopHeight;                        // --desktop: its height
    int32_t desktopArgument;                      // argv index of --desktop, 0 when not given
    bool config;                                  // show the about box instead of running
    bool sound;                                   // play the audio through the wave output
};

extern const char* const PLAYER_USAGE;
void printPlayerUsage(FILE* out);

// Reads argv[1..argc-1]. On OPTIONS_ERROR `error` says what was wrong.
OptionsStatus parseOptions(int argc, const char* const* argv, PlayerOptions* options, char* error, size_t errorSize);

// The command line of the same run without --desktop and its size, for the
// copy of the program started inside the virtual desktop: argv[0..argc-1],
// each argument quoted as the C runtime's parser reads it back. False when it
// does not fit.
bool commandLineWithoutDesktop(int argc, const char* const* argv, const PlayerOptions* options, char* line,
                               size_t lineSize);
