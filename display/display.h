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
#include "display/display_state.h"
#include "frame/frame_buffer.h"
#include "host/winamp_vis.h"

#define DISPLAY_CLASS_NAME "sphere raytracer"

// Display part of Init, the window's messages going to `windowProc`: 0, 1 for
// the window class or window, else the failing DirectDraw result.
int32_t setUpDisplay(winampVisModule* module, WNDPROC windowProc);
// Reports a failed DirectDraw step, undoes the set-up and returns `code`.
int32_t reportInitError(winampVisModule* module, HWND window, HRESULT code, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 4, 5)));
void shutdownDisplay(winampVisModule* module);
// Locks renderSurface; on success *frame is where the frame is composed: the
// surface memory, or a frame of the fixed layout that unlockRenderSurface
// copies in when the surface lays its rows out otherwise. Fails at once when
// there is no render surface.
HRESULT lockRenderSurface(FrameBuffer* frame);
void unlockRenderSurface();
