// Windows only. The host program's state: its window, the playlist the
// window's title queries read, and the log of the run.
#pragma once
#ifndef _WIN32
#error "player/player_state.h is Windows-only"
#endif
#include <windows.h>
#include "player/playlist.h"
#include "player/run_log.h"

struct PlayerState {
    HWND window;       // the player's main window, parent of the plug-in's; made before Init
    Playlist playlist; // filled from the command line; position written before each Render
    Playback playback; // the clock, moved before each Render
    RunLog log;        // opened from --log before anything runs
};

extern PlayerState player;

// Creates the player's window, small, visible and normal; false when it cannot be made.
bool createPlayerWindow(HINSTANCE instance);
void destroyPlayerWindow(HINSTANCE instance);
// Shows "N. title - vis_player" in the caption, as the player does.
void showPlayingTitle();
