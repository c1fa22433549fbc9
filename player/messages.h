// Windows only. The thread's message queue, emptied between frames by the
// programs that host the plug-in.
#pragma once
#ifndef _WIN32
#error "player/messages.h is Windows-only"
#endif
#include <windows.h>

// Dispatches every waiting message; false once WM_QUIT has arrived.
inline bool pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}
