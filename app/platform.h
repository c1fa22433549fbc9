// What raysphere needs from the system it runs on, behind one record of
// routines: the window and its events, the sound output, the clock. Each
// system has one back end (app/sdl/ for Linux, app/win32/ for Windows) that
// fills the record; the rest of the program is the same everywhere and never
// includes a system's headers. Capture and sound files go through the audio
// layer's own table (audio/audio_source.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include "app/options.h"
#include "frame/frame_image.h"

// The keys the program answers; every other key is KEY_OTHER.
enum AppKey {
    KEY_ESCAPE,
    KEY_SPACE,
    KEY_F,
    KEY_ENTER,
    KEY_N,
    KEY_P,
    KEY_I,
    KEY_W,
    KEY_NEXT_SCENE,
    KEY_PREVIOUS_SCENE,
    KEY_OTHER,
    KEY_COUNT
};

enum AppEventKind {
    APP_EVENT_QUIT,         // the window was closed
    APP_EVENT_KEY,          // a key went down (or repeats)
    APP_EVENT_DOUBLE_CLICK, // the left button, twice
    APP_EVENT_SOUND_LOST,   // the sound output's device went away
    APP_EVENT_KIND_COUNT
};

struct AppEvent {
    int32_t kind; // AppEventKind
    int32_t key;  // AppKey, for APP_EVENT_KEY
    bool repeat;  // the key is held down: an automatic repeat
    bool alt;     // Alt is held with the key
};

// Called on the sound output's own thread for the next `frames` frames of
// interleaved 16-bit samples.
typedef void (*SoundFill)(void* context, int16_t* samples, int32_t frames);

struct Platform {
    // The command line in UTF-8, taken again where the C library's is not
    // (Windows gives it in the ANSI code page); false, the line unchanged,
    // where it cannot be.
    bool (*utf8Arguments)(int* argc, char*** argv);
    // Start-up: the display (none needed with --headless); false with the
    // reason in `error`. Safe to stop in any state.
    bool (*start)(const AppOptions* options, char* error, size_t errorSize);
    // The sound system, needed only when the program plays sound; false with
    // the reason in `error` (the run goes on silent).
    bool (*startSound)(char* error, size_t errorSize);
    void (*stop)();

    // The window for frames of `width` x `height`: the frame scaled without
    // smoothing, in its shape, centred on black; false with the reason.
    bool (*openWindow)(const AppOptions* options, int32_t width, int32_t height, char* error, size_t errorSize);
    // Frames of another size from now on; false, the old size kept, with the reason.
    bool (*resizeFrame)(int32_t width, int32_t height, char* error, size_t errorSize);
    void (*draw)(const FrameImage* image); // hands the frame over; nothing shows until present
    void (*present)();
    void (*toggleFullscreen)();
    bool (*isFullscreen)();
    void (*pixelSize)(int32_t* width, int32_t* height);  // the pixels the window shows, at least 1 x 1
    void (*windowSize)(int32_t* width, int32_t* height); // the window's size, for messages
    // What the window shows now, at its own size, saved as PNG.
    bool (*saveScreenshot)(const FrameImage* image, const char* path, char* error, size_t errorSize);
    const char* (*describeWindow)(); // how it draws, for --verbose
    bool (*hasVsync)();
    bool (*pollEvent)(AppEvent* event); // the next event, false when none is waiting
    void (*closeWindow)();

    // Sound out: `fill` is called for each buffer on the output's thread.
    // False with the reason when no device can be opened.
    bool (*openSound)(int32_t sampleRate, int32_t channels, SoundFill fill, void* context, char* error,
                      size_t errorSize);
    void (*lockSound)(); // around what the fill routine shares with the frame loop
    void (*unlockSound)();
    int64_t (*soundLatencyFrames)(); // frames filled so far and not yet heard, now
    void (*closeSound)();

    // The clock
    uint64_t (*ticks)(); // a counter of high resolution
    uint64_t (*tickFrequency)();
    void (*sleepMilliseconds)(uint32_t milliseconds);
};

// The back end this build links.
extern const Platform platform;
