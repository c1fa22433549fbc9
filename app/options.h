// The command line of raysphere, the native Linux program.
#pragma once
#include <cstddef>
#include <cstdint>
#include "cli/option_table.h"

constexpr int32_t APP_MAX_FILES = 4096;
constexpr int32_t APP_DEFAULT_FPS = 60;

// What the command line asks for: run, help, version or a refusal.
typedef OptionsStatus AppOptionsStatus;
constexpr AppOptionsStatus APP_OPTIONS_RUN = OPTIONS_RUN;
constexpr AppOptionsStatus APP_OPTIONS_HELP = OPTIONS_HELP;
constexpr AppOptionsStatus APP_OPTIONS_VERSION = OPTIONS_VERSION;
constexpr AppOptionsStatus APP_OPTIONS_ERROR = OPTIONS_ERROR;

struct AppOptions {
    const char* files[APP_MAX_FILES]; // sound files to play in turn; none plays the demo tune
    int32_t fileCount;                // used entries of files
    bool capture;                     // record what the desktop plays instead
    const char* captureDevice;        // --capture=SOURCE, or null for the default output's monitor
    bool listSources;                 // list the capture sources and stop
    const char* waveformPath;         // raw waveform blocks, frame k block k; or null
    int32_t fps;                      // frames per second to keep
    int64_t frames;                   // frames to show, then stop; 0 for no limit
    const char* screenshotPath;       // PNG of the last frame as shown, or null
    const char* writeWaveformPath;    // every frame's block, in the format --waveform reads; or null
    bool headless;                    // SDL's offscreen video and dummy audio: no display needed
    bool fullscreen;                  // start in full screen
    int32_t frameWidth;               // --size: trace every pixel of a frame this size; 0 for the plug-in's 320 x 200
    int32_t frameHeight;              // --size
    bool windowSized;                 // --size window: trace at the window's own pixel size
    int32_t threads;                  // --threads: tracer threads for a --size frame, 0 for one per core
    int32_t windowWidth;              // initial window size in pixels
    int32_t windowHeight;
    bool verbose; // frame rate and events on stdout
    bool force;   // --force: replace an existing file of another kind

    // Scenes
    const char* scene;    // --scene NAME|FILE: a built-in scene or a scene file; null for classic
    bool listScenes;      // list the built-in scenes and stop
    int32_t cycleSeconds; // --cycle: go on to the next scene every so many seconds; 0 never
};

extern const char* const APP_USAGE;

// Reads argv[1..argc-1]; on APP_OPTIONS_ERROR `error` says what was wrong.
AppOptionsStatus parseAppOptions(int argc, char** argv, AppOptions* options, char* error, size_t errorSize);
