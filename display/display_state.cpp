// Windows only. The display record and what the set-up and the fallbacks
// share of its surfaces.
#ifndef _WIN32
#error "display/display_state.cpp is Windows-only"
#endif
#include "display/display_state.h"

#include <cstring>

DisplayState display = {};

namespace {

// Releases one surface if it exists and forgets it.
void releaseSurface(IDirectDrawSurface** surface) {
    if (*surface == NULL) {
        return;
    }
    (*surface)->Release();
    *surface = NULL;
}

// Releases the clipper if it exists and forgets it.
void releaseClipper() {
    if (display.clipper == NULL) {
        return;
    }
    display.clipper->Release();
    display.clipper = NULL;
}

} // namespace

void releaseSurfaces() {
    releaseSurface(&display.renderSurface);
    releaseSurface(&display.spareSurface);
    releaseSurface(&display.primarySurface);
    releaseClipper();
    // The back buffer belongs to the primary's chain and went with it.
    display.backBuffer = NULL;
}

HRESULT createFlipSurfaces(SurfaceStep* failed) {
    DDSURFACEDESC description;
    memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    description.dwBackBufferCount = BACK_BUFFER_COUNT;
    *failed = SURFACE_FLIP_CHAIN;
    HRESULT result = display.directDraw->CreateSurface(&description, &display.primarySurface, NULL);
    if (result != DD_OK) {
        return result;
    }
    DDSCAPS backBufferCaps;
    backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
    *failed = SURFACE_BACK_BUFFER;
    result = display.primarySurface->GetAttachedSurface(&backBufferCaps, &display.backBuffer);
    if (result != DD_OK) {
        return result;
    }
    return createOffscreenSurfaces(failed);
}

HRESULT createOffscreenSurfaces(SurfaceStep* failed) {
    DDSURFACEDESC description;
    memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH;
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    description.dwWidth = DISPLAY_WIDTH;
    description.dwHeight = DISPLAY_HEIGHT;
    description.lPitch = 320;
    *failed = SURFACE_RENDER;
    HRESULT result = display.directDraw->CreateSurface(&description, &display.renderSurface, NULL);
    if (result != DD_OK) {
        return result;
    }
    *failed = SURFACE_SPARE;
    return display.directDraw->CreateSurface(&description, &display.spareSurface, NULL);
}
