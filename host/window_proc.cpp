// Windows only. The display window's procedure.
#ifndef _WIN32
#error "host/window_proc.cpp is Windows-only"
#endif
#include "host/window_proc.h"

#include "display/display.h"
#include "display/platform.h"
#include "overlays/title.h"

LRESULT CALLBACK displayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        // Forgotten at once so that Quit never destroys a reused handle.
        if (window == display.displayWindow) {
            display.displayWindow = NULL;
        }
        platform.PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            requestTitle();
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_ESCAPE) {
            platform.PostQuitMessage(0);
        }
        return 0;
    default:
        return platform.DefWindowProcA(window, message, wParam, lParam);
    }
}
