// Windows only. The platform record, pointing at the real Win32 and DirectDraw
// functions until a test swaps entries.
#ifndef _WIN32
#error "display/platform.cpp is Windows-only"
#endif
#include "display/platform.h"

const PlatformApi realPlatform = {
    ::RegisterClassA,      // RegisterClassA
    ::CreateWindowExA,     // CreateWindowExA
    ::SetWindowLongA,      // SetWindowLongA
    ::SetWindowPos,        // SetWindowPos
    ::GetSystemMetrics,    // GetSystemMetrics
    ::ShowWindow,          // ShowWindow
    ::ShowCursor,          // ShowCursor
    ::DestroyWindow,       // DestroyWindow
    ::UnregisterClassA,    // UnregisterClassA
    ::DefWindowProcA,      // DefWindowProcA
    ::PostQuitMessage,     // PostQuitMessage
    ::MessageBoxA,         // MessageBoxA
    ::SendNotifyMessageA,  // SendNotifyMessageA
    ::SendMessageA,        // SendMessageA
    ::DialogBoxParamA,     // DialogBoxParamA
    ::EndDialog,           // EndDialog
    ::lstrlenA,            // lstrlenA
    ::GetTextExtentPointA, // GetTextExtentPointA
    ::TextOutA,            // TextOutA
    ::DirectDrawCreate,    // DirectDrawCreate
};

PlatformApi platform = realPlatform;
