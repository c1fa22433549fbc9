// Windows only. The display record every part of the display shares, the
// sizes of the mode, and the surfaces' descriptions and release.
#pragma once
#ifndef _WIN32
#error "display/display_state.h is Windows-only"
#endif
#include <windows.h>
#include <ddraw.h>
#include "display/presentation.h"

constexpr DWORD DISPLAY_WIDTH = 320;
constexpr DWORD DISPLAY_HEIGHT = 200;
constexpr DWORD DISPLAY_DEPTH = 32;

#ifndef _WIN64
static_assert(sizeof(DDSURFACEDESC) == 108, "surface description as the 32-bit platform lays it out");
#endif

// Display state; every handle is null while there is no display.
struct DisplayState {
    HWND displayWindow;                 // created by setUpDisplay, destroyed by Quit or a failed set-up
    IDirectDraw* directDraw;            // created by setUpDisplay, released by shutdownDisplay
    IDirectDrawSurface* primarySurface; // visible surface; flipping chain of two back buffers in a full-screen mode
    IDirectDrawSurface* backBuffer;     // attached to primarySurface; never released on its own
    IDirectDrawSurface* renderSurface;  // system-memory surface each frame is drawn into
    IDirectDrawSurface* spareSurface;   // second offscreen surface, created and released with the others
    IDirectDrawClipper* clipper;        // keeps windowed blits inside displayWindow; windowed only
    PresentationLayout layout;          // how frames are shown; chosen by setUpDisplay
    DDSURFACEDESC lockDescription;      // filled by each lock of renderSurface
};

extern DisplayState display;

// Releases the surfaces and the clipper that exist, each once, and forgets
// them and the back buffer.
void releaseSurfaces();
// The descriptions the set-up passes to CreateSurface: the primary with its
// flipping chain, and each of the two offscreen surfaces.
void describeFlipChain(DDSURFACEDESC* description);
void describeOffscreenSurface(DDSURFACEDESC* description);
