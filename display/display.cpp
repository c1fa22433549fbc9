// Windows only. The full-screen window, the exclusive 320 x 200 x 32 mode, the
// surfaces each frame passes through, and the window procedure.
#ifndef _WIN32
#error "display/display.cpp is Windows-only"
#endif
#include "display/display.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "display/fallback.h"
#include "display/platform.h"

namespace {

// {6C14DB80-A733-11CE-A521-0020AF0BE560}
const GUID DIRECT_DRAW_INTERFACE = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

const char ERROR_CAPTION[] = "sphere raytracer";
constexpr int32_t ERROR_TEXT_SIZE = 128; // including the terminating zero
constexpr int32_t LOCK_RETRY_SPIN = 1000;

// What the user is told when a surface cannot be made, given the result.
const char* const SURFACE_ERRORS[] = {
    "PLUGIN: CreateSurface failed. shit\n",                       // SURFACE_FLIP_CHAIN
    "PLUGIN: GetAttachedSurface failed. shit\n",                  // SURFACE_BACK_BUFFER
    "CreateSurface of first offscreen buffer FAILED with %ld.\n", // SURFACE_RENDER
    "CreateSurface of second offscreen buffer FAILED.\n",         // SURFACE_SPARE
};
static_assert(sizeof SURFACE_ERRORS / sizeof SURFACE_ERRORS[0] == SURFACE_STEP_COUNT, "a message for each step");

// Where the frame is composed when the locked surface is not laid out in
// 1280-byte rows of 200 rows or more; copied into the surface at unlock.
uint8_t stagingFrame[FRAME_BYTES];

// The end of every successful set-up: no cursor, the window shown.
int32_t showDisplay() {
    platform.ShowCursor(FALSE);
    platform.ShowWindow(display.displayWindow, SW_SHOWNORMAL);
    return 0;
}

// True when the locked memory holds the whole frame in its own row layout.
bool lockedFrameFitsSurface() {
    const DDSURFACEDESC* locked = &display.lockDescription;
    return locked->lpSurface != NULL && locked->lPitch == FRAME_ROW_BYTES && locked->dwHeight >= (DWORD)FRAME_HEIGHT;
}

// Copies the staged frame into the locked surface, row by row, no further
// than the surface's rows and pitch reach.
void copyStagedFrame() {
    const DDSURFACEDESC* locked = &display.lockDescription;
    if (locked->lpSurface == NULL || locked->lPitch <= 0) {
        return;
    }
    DWORD rows = locked->dwHeight < (DWORD)FRAME_HEIGHT ? locked->dwHeight : (DWORD)FRAME_HEIGHT;
    size_t rowBytes = locked->lPitch < FRAME_ROW_BYTES ? (size_t)locked->lPitch : (size_t)FRAME_ROW_BYTES;
    uint8_t* target = (uint8_t*)locked->lpSurface;
    for (DWORD row = 0; row < rows; row++) {
        memcpy(target + (size_t)row * (size_t)locked->lPitch, stagingFrame + (size_t)row * FRAME_ROW_BYTES, rowBytes);
    }
}

} // namespace

// Registers the class, creates the window, takes the display and makes the
// surfaces; the window's messages go to `windowProc`. Any failure is
// reported once and leaves nothing behind.
int32_t setUpDisplay(winampVisModule* module, WNDPROC windowProc) {
    // Window class
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = module->hDllInstance;
    windowClass.lpszClassName = DISPLAY_CLASS_NAME;
    if (platform.RegisterClassA(&windowClass) == 0) {
        platform.MessageBoxA(module->hwndParent, "PLUGIN: Error registering the window class", "Error occured:", MB_OK);
        return 1;
    }

    // Display window, hidden until the end
    display.displayWindow =
        platform.CreateWindowExA(0, DISPLAY_CLASS_NAME, module->description, 0, 0, 0, DISPLAY_WIDTH, DISPLAY_HEIGHT,
                                 module->hwndParent, NULL, module->hDllInstance, NULL);
    if (display.displayWindow == NULL) {
        platform.MessageBoxA(module->hwndParent, "PLUGIN: Error creating window", "Error Occured:", MB_OK);
        // Unregistered so that a later Init can register the class again.
        platform.UnregisterClassA(DISPLAY_CLASS_NAME, module->hDllInstance);
        return 1;
    }
    platform.SetWindowLongA(display.displayWindow, GWL_EXSTYLE, 0);
    platform.SetWindowLongA(display.displayWindow, GWL_STYLE, 0);
    platform.SendNotifyMessageA(module->hwndParent, WM_SIZE, SIZE_MINIMIZED, 0);

    // DirectDraw object; only the queried interface is kept
    IDirectDraw* object = NULL;
    HRESULT result = platform.DirectDrawCreate(NULL, &object, NULL);
    if (result != DD_OK) {
        return reportInitError(module, display.displayWindow, result, "PLUGIN: DirectDrawCreate failed. shit.\n");
    }
    result = object->QueryInterface(DIRECT_DRAW_INTERFACE, (void**)&display.directDraw);
    // The creation's own reference goes at once, or the object would outlive Quit.
    object->Release();
    if (result != DD_OK) {
        return reportInitError(module, display.displayWindow, result, "PLUGIN: QueryInterface failed. shit.\n");
    }

    // Exclusive full-screen mode
    result = display.directDraw->SetCooperativeLevel(display.displayWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    if (result != DD_OK) {
        return reportInitError(module, display.displayWindow, result, "PLUGIN: SetCooperativeLevel failed. shit.\n");
    }
    result = display.directDraw->SetDisplayMode(DISPLAY_WIDTH, DISPLAY_HEIGHT, DISPLAY_DEPTH);
    if (result != DD_OK) {
        // No 320 x 200 here: a larger mode with the frame scaled up, else a
        // window over the monitor. Only when both fail is the refusal of the
        // mode reported, the first failure of the set-up.
        if (setUpScaledMode() || setUpWindowedMode()) {
            return showDisplay();
        }
        return reportInitError(module, display.displayWindow, result,
                               "DISPLAY ERROR: setDisplayMode %d x %d x %d FAILED.\n", (int)DISPLAY_WIDTH,
                               (int)DISPLAY_HEIGHT, (int)DISPLAY_DEPTH);
    }
    display.layout = exclusiveLayout();

    // Primary surface with its flipping chain, the back buffer and the two offscreen surfaces
    SurfaceStep failed = SURFACE_FLIP_CHAIN;
    result = createFlipSurfaces(&failed);
    if (result != DD_OK) {
        return reportInitError(module, display.displayWindow, result, SURFACE_ERRORS[failed], (long)result);
    }

    // Show the window, hide the cursor
    return showDisplay();
}

// Undoes the set-up, then tells the user which step failed.
int32_t reportInitError(winampVisModule* module, HWND window, HRESULT code, const char* format, ...) {
    char text[ERROR_TEXT_SIZE];
    va_list values;
    va_start(values, format);
    vsnprintf(text, sizeof(text), format, values);
    va_end(values);

    shutdownDisplay(module);
    platform.MessageBoxA(window, text, ERROR_CAPTION, MB_OK);
    platform.DestroyWindow(window);
    if (display.displayWindow == window) {
        display.displayWindow = NULL;
    }
    platform.UnregisterClassA(DISPLAY_CLASS_NAME, module->hDllInstance);
    return (int32_t)code;
}

// Gives the desktop back: every DirectDraw object that exists is released
// once, and the player's window is told it is restored and maximised.
void shutdownDisplay(winampVisModule* module) {
    platform.ShowCursor(TRUE);
    if (display.directDraw != NULL) {
        releaseSurfaces();
        display.directDraw->SetCooperativeLevel(NULL, DDSCL_NORMAL);
        display.directDraw->RestoreDisplayMode();
        display.directDraw->Release();
        display.directDraw = NULL;
    }
    display.layout = PresentationLayout();
    platform.SendNotifyMessageA(module->hwndParent, WM_SIZE, SIZE_RESTORED, 0);
    platform.SendNotifyMessageA(module->hwndParent, WM_SIZE, SIZE_MAXIMIZED, 0);
}

// Locks the whole render surface, waiting out a busy blitter for as long as
// it lasts. Fails at once when there is no render surface.
HRESULT lockRenderSurface(FrameBuffer* frame) {
    if (display.renderSurface == NULL) {
        return DDERR_NOTINITIALIZED;
    }
    memset(&display.lockDescription, 0, sizeof(display.lockDescription));
    display.lockDescription.dwSize = sizeof(display.lockDescription);
    HRESULT result = display.renderSurface->Lock(NULL, &display.lockDescription, DDLOCK_WAIT, NULL);
    while (result == DDERR_WASSTILLDRAWING) {
        for (volatile int32_t spin = 0; spin < LOCK_RETRY_SPIN; spin++) {
        }
        result = display.renderSurface->Lock(NULL, &display.lockDescription, DDLOCK_WAIT, NULL);
    }
    if (result != DD_OK) {
        return result;
    }
    // The frame is composed in 1280-byte rows; a surface laid out otherwise
    // gets it through the staging frame.
    if (lockedFrameFitsSurface()) {
        *frame = (FrameBuffer)display.lockDescription.lpSurface;
    } else {
        *frame = stagingFrame;
    }
    return DD_OK;
}

// Hands the composed frame to the surface and unlocks it.
void unlockRenderSurface() {
    if (display.renderSurface == NULL) {
        return;
    }
    if (!lockedFrameFitsSurface()) {
        copyStagedFrame();
    }
    display.renderSurface->Unlock(NULL);
}
