// Windows only. The player's main window: it parents the plug-in's window,
// answers the two title queries and takes the size notifications.
#ifndef _WIN32
#error "player/player_window.cpp is Windows-only"
#endif
#include "player/player_state.h"

#include <cstdio>

PlayerState player;

namespace {

const char* const PLAYER_CLASS_NAME = "vis_player";

LRESULT CALLBACK playerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_USER:
        return answerPlayerQuery(&player.playlist, (intptr_t)wParam, (intptr_t)lParam);
    case WM_SIZE:
        // The plug-in says it took the screen (minimised) or gave it back
        // (restored, maximised); a script checks the order in the log.
        logLine(&player.log, "Player window WM_SIZE %d", (int)wParam);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

bool createPlayerWindow(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = playerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = PLAYER_CLASS_NAME;
    if (RegisterClassA(&windowClass) == 0) {
        return false;
    }
    player.window = CreateWindowExA(0, PLAYER_CLASS_NAME, "vis_player", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 320, 100, nullptr, nullptr, instance, nullptr);
    if (player.window == nullptr) {
        UnregisterClassA(PLAYER_CLASS_NAME, instance);
        return false;
    }
    showPlayingTitle();
    ShowWindow(player.window, SW_SHOWNORMAL);
    return true;
}

void destroyPlayerWindow(HINSTANCE instance) {
    if (player.window != nullptr && IsWindow(player.window)) {
        DestroyWindow(player.window);
    }
    player.window = nullptr;
    UnregisterClassA(PLAYER_CLASS_NAME, instance);
}

void showPlayingTitle() {
    const char* title = playlistTitle(&player.playlist, player.playlist.position);
    char caption[PLAYLIST_TITLE_CHARS + 32];
    snprintf(caption, sizeof caption, "%d. %s - vis_player", (int)player.playlist.position + 1,
             title != nullptr ? title : "");
    SetWindowTextA(player.window, caption);
}
