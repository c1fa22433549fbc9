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
// The surfaces the set-ups create, in their order; names the one that failed.
enum SurfaceStep {
    SURFACE_FLIP_CHAIN,  // the primary with its flipping chain
    SURFACE_BACK_BUFFER, // the back buffer attached to it
    SURFACE_RENDER,      // the first offscreen surface, each frame's
    SURFACE_SPARE,       // the second offscreen surface
    SURFACE_STEP_COUNT
};

// A full-screen mode's surfaces: the primary with its flipping chain, its
// back buffer and the two offscreen surfaces. DD_OK, or the failing result
// with the failing step in `*failed`; what was made stays for releaseSurfaces.
HRESULT createFlipSurfaces(SurfaceStep* failed);
// The two offscreen surfaces in system memory, from one description.
HRESULT createOffscreenSurfaces(SurfaceStep* failed);
