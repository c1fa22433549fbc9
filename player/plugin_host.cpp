// Windows only. Loading a visualisation plug-in.
#ifndef _WIN32
#error "player/plugin_host.cpp is Windows-only"
#endif
#include "player/plugin_host.h"

#include <cstdio>
#include <cstring>

namespace {

typedef winampVisHeader* (*GetHeaderRoutine)();

// The system's words for an error code, without the trailing line break;
// an insert "%1" in them (as in "Bad EXE format for %1") becomes `path`.
void systemErrorText(DWORD code, const char* path, char* text, size_t textSize) {
    char words[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, words,
                                  (DWORD)sizeof words, nullptr);
    while (length > 0 && (words[length - 1] == '\n' || words[length - 1] == '\r' || words[length - 1] == '.')) {
        words[--length] = '\0';
    }
    if (length == 0) {
        snprintf(text, textSize, "system error");
        return;
    }
    size_t used = 0;
    text[0] = '\0';
    for (const char* c = words; *c != '\0' && used + 1 < textSize; c++) {
        if (c[0] == '%' && c[1] == '1') {
            used += (size_t)snprintf(text + used, textSize - used, "%s", path);
            used = used < textSize ? used : textSize - 1;
            c++;
            continue;
        }
        text[used++] = *c;
        text[used] = '\0';
    }
}

} // namespace

bool loadPlugin(PluginHost* plugin, const char* path, int32_t index, char* error, size_t errorSize) {
    memset(plugin, 0, sizeof *plugin);

    // The library
    plugin->library = LoadLibraryA(path);
    if (plugin->library == nullptr) {
        DWORD code = GetLastError();
        char reason[512];
        systemErrorText(code, path, reason, sizeof reason);
        snprintf(error, errorSize, "cannot load the plug-in %s: %s (error %lu)", path, reason, (unsigned long)code);
        return false;
    }

    // Its export and header
    GetHeaderRoutine getHeader = (GetHeaderRoutine)(void*)GetProcAddress(plugin->library, "winampVisGetHeader");
    if (getHeader == nullptr) {
        snprintf(error, errorSize, "%s is not a visualisation plug-in: it has no winampVisGetHeader export", path);
        unloadPlugin(plugin);
        return false;
    }
    plugin->header = getHeader();
    if (plugin->header == nullptr) {
        snprintf(error, errorSize, "%s: winampVisGetHeader returned no header", path);
        unloadPlugin(plugin);
        return false;
    }
    if (plugin->header->version != VIS_HEADER_VERSION) {
        snprintf(error, errorSize, "%s: header version 0x%X, the player speaks 0x%X", path,
                 (unsigned)plugin->header->version, (unsigned)VIS_HEADER_VERSION);
        unloadPlugin(plugin);
        return false;
    }

    // The module asked for
    plugin->module = plugin->header->getModule != nullptr ? plugin->header->getModule(index) : nullptr;
    if (plugin->module == nullptr) {
        snprintf(error, errorSize, "%s offers no module %d", path, (int)index);
        unloadPlugin(plugin);
        return false;
    }
    const winampVisModule* module = plugin->module;
    if (module->Config == nullptr || module->Init == nullptr || module->Render == nullptr || module->Quit == nullptr) {
        snprintf(error, errorSize, "%s: module %d lacks one of its four callbacks", path, (int)index);
        unloadPlugin(plugin);
        return false;
    }
    return true;
}

void unloadPlugin(PluginHost* plugin) {
    if (plugin->library != nullptr) {
        FreeLibrary(plugin->library);
    }
    memset(plugin, 0, sizeof *plugin);
}
