// Windows only. Loading a visualisation plug-in the way the player does:
// the library, its one export, the header and one of its modules.
#pragma once
#ifndef _WIN32
#error "player/plugin_host.h is Windows-only"
#endif
#include <cstddef>
#include <windows.h>
#include "host/winamp_vis.h"

struct PluginHost {
    HMODULE library;         // the loaded DLL, null when none
    winampVisHeader* header; // from winampVisGetHeader
    winampVisModule* module; // getModule(index)
};

// Loads the DLL and takes module `index`; on failure unloads it again and says why.
bool loadPlugin(PluginHost* plugin, const char* path, int32_t index, char* error, size_t errorSize);
void unloadPlugin(PluginHost* plugin);
