// The player's visualisation plug-in interface (header version 0x101).
// Field order and types are the player's and must not change. The handle
// types are declared the way windows.h declares them, so this header serves
// the plug-in and its hosts and tests on any system alike.
#pragma once
#include <cstdint>
#include <type_traits>
#include "frame/waveform_block.h"

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

constexpr int32_t VIS_HEADER_VERSION = 0x101;
constexpr int32_t VIS_SAMPLES_PER_CHANNEL = 576;
constexpr int32_t VIS_CHANNEL_SLOTS = 2; // channels the record holds

struct winampVisModule {
    char* description;      // window title of the display window
    HWND hwndParent;        // player's window, filled by the player
    HINSTANCE hDllInstance; // this library, filled by the player
    int32_t sRate;          // sample rate, filled by the player
    int32_t nCh;            // channels of the playing audio, filled by the player
    int32_t latencyMs;      // read by the player
    int32_t delayMs;        // read by the player
    int32_t spectrumNch;    // spectrum channels wanted
    int32_t waveformNch;    // waveform channels wanted
    uint8_t spectrumData[VIS_CHANNEL_SLOTS][VIS_SAMPLES_PER_CHANNEL];
    uint8_t waveformData[VIS_CHANNEL_SLOTS][VIS_SAMPLES_PER_CHANNEL]; // signed 8-bit samples
    void (*Config)(winampVisModule* module);
    int32_t (*Init)(winampVisModule* module);
    int32_t (*Render)(winampVisModule* module);
    void (*Quit)(winampVisModule* module);
    void* userData;
};

// The waveform the player fills is the block every frame is made from.
static_assert(VIS_SAMPLES_PER_CHANNEL == BLOCK_SAMPLES && VIS_CHANNEL_SLOTS == BLOCK_CHANNELS, "block shape");
static_assert(std::is_same<decltype(winampVisModule::waveformData), WaveformBlock>::value,
              "waveformData is a WaveformBlock");

struct winampVisHeader {
    int32_t version;
    char* description;
    winampVisModule* (*getModule)(int32_t index);
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(winampVisModule) == 2360, "module record must match the player's");
static_assert(__builtin_offsetof(winampVisModule, waveformData) == 1188, "waveformData offset");
static_assert(__builtin_offsetof(winampVisModule, Config) == 2340, "Config offset");
static_assert(sizeof(winampVisHeader) == 12, "header must match the player's");
#endif

// The exported entry point the player looks up.
extern "C" winampVisHeader* winampVisGetHeader();
