// Windows only. The song-title overlay: after a SPACE request the player's
// title of the current song is printed in the middle of the next ten frames.
#ifndef _WIN32
#error "overlays/title.cpp is Windows-only"
#endif
#include "overlays/title.h"

#include <cstdint>
#include "display/display.h"
#include "display/platform.h"

TitleRequest songTitleRequest = {0, 0};

namespace {

constexpr LPARAM QUERY_PLAYLIST_POSITION = 125; // WM_USER query: current position
constexpr LPARAM QUERY_PLAYLIST_TITLE = 212;    // WM_USER query: title at a position

// Windows maps nothing below this address, so a smaller answer is no string.
constexpr uintptr_t LOWEST_STRING_ADDRESS = 0x10000;

// Prints the title centred on the whole 320 x 200 frame, through the render
// surface's device context; nothing when the surface refuses one.
void printTitle(const char* title) {
    if (display.renderSurface == NULL) {
        return;
    }
    HDC dc = NULL;
    if (display.renderSurface->GetDC(&dc) != DD_OK) {
        return;
    }
    int length = platform.lstrlenA(title);
    SIZE extent = {0, 0}; // centres the text's corner if it cannot be measured
    platform.GetTextExtentPointA(dc, title, length, &extent);
    int x = (int)((FRAME_WIDTH - extent.cx) / 2);
    int y = (int)((FRAME_HEIGHT - extent.cy) / 2);
    platform.TextOutA(dc, x, y, title, length);
    display.renderSurface->ReleaseDC(dc);
}

} // namespace

// SPACE: show the title on the next ten frames, counting afresh.
void requestTitle() {
    requestTitleBox(&songTitleRequest);
}

void endTitle() {
    songTitleRequest.requested = 0;
}

// One title step: count it, ask the player for the current title, print it.
void drawTitle(const winampVisModule* module) {
    if (!stepTitleBox(&songTitleRequest)) {
        return;
    }
    LRESULT position = platform.SendMessageA(module->hwndParent, WM_USER, 0, QUERY_PLAYLIST_POSITION);
    LRESULT answer = platform.SendMessageA(module->hwndParent, WM_USER, (WPARAM)position, QUERY_PLAYLIST_TITLE);
    // Some players answer a query they do not know with a small number.
    if ((uintptr_t)answer >= LOWEST_STRING_ADDRESS) {
        printTitle((const char*)answer);
    }
}
