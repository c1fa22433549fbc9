// Windows only. Taking the screen without the 320 x 200 mode: a larger
// exclusive mode, else a borderless window over the monitor.
#ifndef _WIN32
#error "display/fallback.cpp is Windows-only"
#endif
#include "display/fallback.h"

#include <cstring>
#include "display/display_state.h"
#include "display/platform.h"

namespace {

constexpr int32_t MODE_CAPACITY = 32; // candidate modes kept, the smallest ones
constexpr DWORD SMALLEST_SCALE = 2;

struct DisplayMode {
    DWORD width;
    DWORD height;
};

// Modes that hold the frame scaled by 2 or more, smallest first.
struct ModeList {
    DisplayMode modes[MODE_CAPACITY];
    int32_t count;
};

// Smaller means fewer pixels, then the narrower.
bool smallerMode(const DisplayMode& one, const DisplayMode& other) {
    uint64_t onePixels = (uint64_t)one.width * one.height;
    uint64_t otherPixels = (uint64_t)other.width * other.height;
    if (onePixels != otherPixels) {
        return onePixels < otherPixels;
    }
    return one.width < other.width;
}

// Keeps the list sorted; when full, the largest mode makes room.
void insertMode(ModeList* list, DisplayMode mode) {
    if (list->count == MODE_CAPACITY && !smallerMode(mode, list->modes[MODE_CAPACITY - 1])) {
        return;
    }
    int32_t position = list->count < MODE_CAPACITY ? list->count : MODE_CAPACITY - 1;
    while (position > 0 && smallerMode(mode, list->modes[position - 1])) {
        list->modes[position] = list->modes[position - 1];
        position--;
    }
    list->modes[position] = mode;
    if (list->count < MODE_CAPACITY) {
        list->count++;
    }
}

// EnumDisplayModes' callback: collects the 32-bit modes that hold 640 x 400.
HRESULT WINAPI collectMode(LPDDSURFACEDESC description, LPVOID context) {
    bool deepEnough = description->ddpfPixelFormat.dwRGBBitCount == DISPLAY_DEPTH;
    bool largeEnough = description->dwWidth >= DISPLAY_WIDTH * SMALLEST_SCALE &&
                       description->dwHeight >= DISPLAY_HEIGHT * SMALLEST_SCALE;
    if (deepEnough && largeEnough) {
        insertMode((ModeList*)context, {description->dwWidth, description->dwHeight});
    }
    return DDENUMRET_OK;
}

// Releases the surfaces of a failed scaled mode and gives the mode back.
bool abandonScaledMode() {
    releaseSurfaces();
    display.directDraw->RestoreDisplayMode();
    display.layout = PresentationLayout();
    return false;
}

} // namespace

bool setUpScaledMode() {
    // The offered modes
    ModeList modes;
    memset(&modes, 0, sizeof(modes));
    if (display.directDraw->EnumDisplayModes(0, NULL, &modes, collectMode) != DD_OK) {
        return false;
    }

    // The smallest that the display accepts
    int32_t chosen = 0;
    while (chosen < modes.count && display.directDraw->SetDisplayMode(
                                       modes.modes[chosen].width, modes.modes[chosen].height, DISPLAY_DEPTH) != DD_OK) {
        chosen++;
    }
    if (chosen == modes.count) {
        return false;
    }
    display.layout = scaledLayout((LONG)modes.modes[chosen].width, (LONG)modes.modes[chosen].height);

    // The surfaces of the 320 x 200 mode, then a black chain
    SurfaceStep failed = SURFACE_FLIP_CHAIN;
    if (createFlipSurfaces(&failed) != DD_OK) {
        return abandonScaledMode();
    }
    if (clearFlipChain() != DD_OK) {
        return abandonScaledMode();
    }
    return true;
}

bool setUpWindowedMode() {
    // Normal cooperative level, the window borderless over the monitor
    if (display.directDraw->SetCooperativeLevel(display.displayWindow, DDSCL_NORMAL) != DD_OK) {
        return false;
    }
    int width = platform.GetSystemMetrics(SM_CXSCREEN);
    int height = platform.GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) {
        return false;
    }
    platform.SetWindowLongA(display.displayWindow, GWL_STYLE, (LONG)WS_POPUP);
    if (!platform.SetWindowPos(display.displayWindow, HWND_TOP, 0, 0, width, height,
                               SWP_NOACTIVATE | SWP_FRAMECHANGED)) {
        return false;
    }

    // The desktop itself, 32 bits deep, clipped to the window
    DDSURFACEDESC description;
    memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (display.directDraw->CreateSurface(&description, &display.primarySurface, NULL) != DD_OK) {
        return false;
    }
    // The offscreen surfaces take the desktop's format, and the frame is 32-bit.
    DDPIXELFORMAT format;
    memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(format);
    if (display.primarySurface->GetPixelFormat(&format) != DD_OK || format.dwRGBBitCount != DISPLAY_DEPTH) {
        return false;
    }
    if (display.directDraw->CreateClipper(0, &display.clipper, NULL) != DD_OK) {
        return false;
    }
    if (display.clipper->SetHWnd(0, display.displayWindow) != DD_OK) {
        return false;
    }
    if (display.primarySurface->SetClipper(display.clipper) != DD_OK) {
        return false;
    }

    // The two offscreen surfaces, as in a full-screen mode
    SurfaceStep failed = SURFACE_RENDER;
    if (createOffscreenSurfaces(&failed) != DD_OK) {
        return false;
    }
    display.layout = windowedLayout(width, height);
    return true;
}
