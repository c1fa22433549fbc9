// Windows only. Presenting a frame in each of the three ways, and the layout
// of the frame on the screen for each.
#ifndef _WIN32
#error "display/presentation.cpp is Windows-only"
#endif
#include "display/presentation.h"

#include <cassert>
#include <cstring>
#include "display/display_state.h"

namespace {

constexpr LONG PIXEL_BYTES = 4;

// Flips after a copy that succeeded or found the blitter busy; a lost
// surface is restored instead, and any other refusal costs the frame.
void flipAfterCopy(HRESULT copy) {
    if (copy == DDERR_SURFACELOST) {
        restoreSurfaces();
        return;
    }
    // A refused copy still flips, showing the back buffer as it was.
    if (copy != DD_OK && copy != DDERR_WASSTILLDRAWING) {
        return;
    }
    HRESULT flip = display.primarySurface->Flip(NULL, 0);
    if (flip == DDERR_SURFACELOST) {
        restoreSurfaces();
    }
}

// The 320 x 200 mode: the whole render surface to the back buffer's corner.
void presentExclusive() {
    flipAfterCopy(display.backBuffer->BltFast(0, 0, display.renderSurface, NULL, DDBLTFAST_NOCOLORKEY));
}

// Scales the locked render surface into the locked back buffer at the
// layout's picture; refuses a back buffer smaller than the mode.
HRESULT scaleLockedFrame(const DDSURFACEDESC* source, const DDSURFACEDESC* target) {
    const PresentationLayout* layout = &display.layout;
    if (source->lpSurface == NULL || target->lpSurface == NULL || source->lPitch <= 0 || target->lPitch <= 0) {
        return DDERR_GENERIC;
    }
    if (target->dwWidth < (DWORD)layout->picture.right || target->dwHeight < (DWORD)layout->picture.bottom) {
        return DDERR_INVALIDRECT;
    }
    LONG columns = source->lPitch / PIXEL_BYTES < (LONG)DISPLAY_WIDTH ? source->lPitch / PIXEL_BYTES : DISPLAY_WIDTH;
    LONG rows = source->dwHeight < DISPLAY_HEIGHT ? (LONG)source->dwHeight : (LONG)DISPLAY_HEIGHT;
    uint8_t* corner = (uint8_t*)target->lpSurface + (size_t)layout->picture.top * (size_t)target->lPitch +
                      (size_t)layout->picture.left * PIXEL_BYTES;
    scaleFrame((const uint8_t*)source->lpSurface, source->lPitch, columns, rows, corner, target->lPitch, layout->scale);
    return DD_OK;
}

// Locks both surfaces and scales the frame into the back buffer. Like the
// copy of the 320 x 200 mode, the back buffer's lock does not wait.
HRESULT copyScaledFrame() {
    DDSURFACEDESC source;
    memset(&source, 0, sizeof(source));
    source.dwSize = sizeof(source);
    HRESULT result = display.renderSurface->Lock(NULL, &source, DDLOCK_WAIT | DDLOCK_READONLY, NULL);
    if (result != DD_OK) {
        return result;
    }
    DDSURFACEDESC target;
    memset(&target, 0, sizeof(target));
    target.dwSize = sizeof(target);
    result = display.backBuffer->Lock(NULL, &target, DDLOCK_WRITEONLY, NULL);
    if (result == DD_OK) {
        result = scaleLockedFrame(&source, &target);
        display.backBuffer->Unlock(NULL);
    }
    display.renderSurface->Unlock(NULL);
    return result;
}

// A larger mode: the frame as k x k blocks into the back buffer, whose bars
// stay black from the set-up or the last restore.
void presentScaled() {
    flipAfterCopy(copyScaledFrame());
}

// A window over the monitor: black bars, then the frame stretched into the
// picture rectangle of the primary surface, clipped to the window.
void presentWindowed() {
    DDBLTFX black;
    memset(&black, 0, sizeof(black));
    black.dwSize = sizeof(black);
    for (int32_t bar = 0; bar < display.layout.barCount; bar++) {
        HRESULT fill = display.primarySurface->Blt(&display.layout.bars[bar], NULL, NULL, DDBLT_COLORFILL, &black);
        if (fill == DDERR_SURFACELOST) {
            restoreSurfaces();
            return;
        }
    }
    HRESULT copy = display.primarySurface->Blt(&display.layout.picture, display.renderSurface, NULL, 0, NULL);
    if (copy == DDERR_SURFACELOST) {
        restoreSurfaces();
    }
}

// The primary (with its chain, if any) and then the render surface; the
// spare surface holds nothing worth restoring.
HRESULT restorePrimaryAndRender() {
    HRESULT result = display.primarySurface->Restore();
    if (result == DD_OK) {
        result = display.renderSurface->Restore();
    }
    return result;
}

// As above, then the chain is made black again: restored memory holds
// anything, and the scaled frames never cover the bars.
HRESULT restoreAndClear() {
    HRESULT result = restorePrimaryAndRender();
    if (result == DD_OK) {
        result = clearFlipChain();
    }
    return result;
}

} // namespace

const Presentation presentationTable[PRESENTATION_COUNT] = {
    {presentExclusive, restorePrimaryAndRender}, // PRESENT_EXCLUSIVE
    {presentScaled, restoreAndClear},            // PRESENT_SCALED
    {presentWindowed, restorePrimaryAndRender},  // PRESENT_WINDOWED
};
static_assert(sizeof(presentationTable) / sizeof(presentationTable[0]) == PRESENTATION_COUNT,
              "one row per presentation kind");

namespace {

// A layout of `kind` on a screen of that size, the picture of that size centred on it.
PresentationLayout centredLayout(PresentationKind kind, LONG width, LONG height, LONG scale, LONG pictureWidth,
                                 LONG pictureHeight) {
    PresentationLayout layout = {};
    layout.kind = kind;
    layout.screenWidth = width;
    layout.screenHeight = height;
    layout.scale = scale;
    LONG left = (width - pictureWidth) / 2;
    LONG top = (height - pictureHeight) / 2;
    layout.picture = {left, top, left + pictureWidth, top + pictureHeight};
    return layout;
}

} // namespace

PresentationLayout exclusiveLayout() {
    return centredLayout(PRESENT_EXCLUSIVE, DISPLAY_WIDTH, DISPLAY_HEIGHT, 1, DISPLAY_WIDTH, DISPLAY_HEIGHT);
}

PresentationLayout scaledLayout(LONG width, LONG height) {
    LONG across = width / (LONG)DISPLAY_WIDTH;
    LONG down = height / (LONG)DISPLAY_HEIGHT;
    LONG scale = across < down ? across : down;
    return centredLayout(PRESENT_SCALED, width, height, scale, (LONG)DISPLAY_WIDTH * scale,
                         (LONG)DISPLAY_HEIGHT * scale);
}

PresentationLayout windowedLayout(LONG width, LONG height) {
    // The side that limits the picture is filled; the other is centred.
    LONG pictureWidth = width;
    LONG pictureHeight = height;
    if ((int64_t)width * DISPLAY_HEIGHT <= (int64_t)height * DISPLAY_WIDTH) {
        pictureHeight = (LONG)((int64_t)width * DISPLAY_HEIGHT / DISPLAY_WIDTH);
    } else {
        pictureWidth = (LONG)((int64_t)height * DISPLAY_WIDTH / DISPLAY_HEIGHT);
    }
    PresentationLayout layout = centredLayout(PRESENT_WINDOWED, width, height, 1, pictureWidth, pictureHeight);
    LONG left = layout.picture.left;
    LONG top = layout.picture.top;

    // Bars above and below, or left and right; none where the frame fills the monitor.
    RECT bars[4] = {
        {0, 0, width, top},                        // above
        {0, layout.picture.bottom, width, height}, // below
        {0, 0, left, height},                      // left
        {layout.picture.right, 0, width, height},  // right
    };
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top && layout.barCount < MAX_BARS) {
            layout.bars[layout.barCount++] = bar;
        }
    }
    return layout;
}

void scaleFrame(const uint8_t* source, LONG sourcePitch, LONG columns, LONG rows, uint8_t* target, LONG targetPitch,
                LONG scale) {
    for (LONG y = 0; y < rows; y++) {
        const uint32_t* from = (const uint32_t*)(source + (size_t)y * (size_t)sourcePitch);
        for (LONG copy = 0; copy < scale; copy++) {
            uint32_t* to = (uint32_t*)(target + (size_t)(y * scale + copy) * (size_t)targetPitch);
            for (LONG x = 0; x < columns; x++) {
                for (LONG block = 0; block < scale; block++) {
                    to[x * scale + block] = from[x];
                }
            }
        }
    }
}

// Fill the back buffer and flip, once per buffer of the chain.
HRESULT clearFlipChain() {
    DDBLTFX black;
    memset(&black, 0, sizeof(black));
    black.dwSize = sizeof(black);
    for (int32_t buffer = 0; buffer < FLIP_CHAIN_BUFFERS; buffer++) {
        HRESULT result = display.backBuffer->Blt(NULL, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &black);
        if (result != DD_OK) {
            return result;
        }
        result = display.primarySurface->Flip(NULL, DDFLIP_WAIT);
        if (result != DD_OK) {
            return result;
        }
    }
    return DD_OK;
}

void presentFrame() {
    assert(display.layout.kind < PRESENTATION_COUNT);
    presentationTable[display.layout.kind].present();
}

HRESULT restoreSurfaces() {
    assert(display.layout.kind < PRESENTATION_COUNT);
    return presentationTable[display.layout.kind].restore();
}
