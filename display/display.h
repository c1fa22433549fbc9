// Windows only. The full-screen window, the exclusive 320 x 200 x 32 mode (or,
// where the display lacks it, one of the ways in display/fallback.h) and the
// DirectDraw surfaces each frame passes through.
#pragma once
#ifndef _WIN32
#error "display/display.h is Windows-only"
#endif
#include <cstdio>
#include <windows.h>
#include <ddraw.h>
#include "display/presentation.h"
#include "frame/frame_buffer.h"
#include "host/winamp_vis.h"

#define DISPLAY_CLASS_NAME "sphere raytracer"
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

// Display part of Init: 0, 1 for the window class or window, else the failing DirectDraw result.
int32_t setUpDisplay(winampVisModule* module);
// Reports a failed DirectDraw step, undoes the set-up and returns `code`.
int32_t reportInitError(winampVisModule* module, HWND window, HRESULT code, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 4, 5)));
void shutdownDisplay(winampVisModule* module);
// Releases the surfaces and the clipper that exist, each once, and forgets
// them and the back buffer.
void releaseSurfaces();
// The descriptions the set-up passes to CreateSurface: the primary with its
// flipping chain, and each of the two offscreen surfaces.
void describeFlipChain(DDSURFACEDESC* description);
void describeOffscreenSurface(DDSURFACEDESC* description);
// Locks renderSurface; on success *frame is where the frame is composed: the
// surface memory, or a frame of the fixed layout that unlockRenderSurface
// copies in when the surface lays its rows out otherwise. Fails at once when
// there is no render surface.
HRESULT lockRenderSurface(FrameBuffer* frame);
void unlockRenderSurface();
// Shows the frame in the way the set-up chose.
void presentFrame();
// Restores lost surfaces in the way the set-up chose; the last Restore's result.
HRESULT restoreSurfaces();
LRESULT CALLBACK displayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
