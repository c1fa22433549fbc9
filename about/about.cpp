// Windows only. The about box's dialog procedure: OK and Cancel close it, the
// dialog template makes everything else.
#ifndef _WIN32
#error "about/about.cpp is Windows-only"
#endif
#include "about/about.h"

#include "display/platform.h"

// Closes the box on OK or Cancel with result 1; handles nothing else.
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) {
        return 0;
    }
    // A non-zero high word is a notification, not a button press.
    if (HIWORD(wParam) != 0) {
        return 0;
    }
    if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) {
        return 0;
    }
    platform.EndDialog(dialog, 1);
    return 1;
}
