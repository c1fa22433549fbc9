// Windows only. The module's four callbacks: the about box, start, one frame
// and stop.
#ifndef _WIN32
#error "host/lifecycle.cpp is Windows-only"
#endif
#include "host/lifecycle.h"

#include "about/about.h"
#include "display/display.h"
#include "display/platform.h"
#include "compose/compose.h"
#include "host/window_proc.h"
#include "overlays/title.h"

// Shows the about box, owned by the player's window; its result is not used.
void Config(winampVisModule* module) {
    platform.DialogBoxParamA(module->hDllInstance, MAKEINTRESOURCEA(ABOUT_DIALOG_ID), module->hwndParent,
                             aboutDialogProc, 0);
}

// Builds the scene and takes the display: 0, or the set-up's failure code.
int32_t Init(winampVisModule* module) {
    startCore();
    endTitle();
    return setUpDisplay(module, displayWindowProc);
}

// Makes and shows one frame: 0, or 1 when the render surface cannot be locked
// (no display, or the lock refused), in which case nothing at all happens.
int32_t Render(winampVisModule* module) {
    FrameBuffer frame = NULL;
    if (lockRenderSurface(&frame) != DD_OK) {
        return 1;
    }
    composeFrame(frame, module->waveformData, module->nCh);
    unlockRenderSurface();
    drawTitle(module);
    presentFrame();
    return 0;
}

// Gives the display back, destroys the window if it still exists and
// unregisters the class. Safe after a failed Init and when called twice.
void Quit(winampVisModule* module) {
    shutdownDisplay(module);
    if (display.displayWindow != NULL) {
        platform.DestroyWindow(display.displayWindow);
        display.displayWindow = NULL;
    }
    platform.UnregisterClassA(DISPLAY_CLASS_NAME, module->hDllInstance);
}
