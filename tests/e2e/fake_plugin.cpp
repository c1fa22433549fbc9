// Windows only. A stand-in visualisation plug-in that reports what the host
// hands it: each callback appends a line to the file named by FAKE_VIS_REPORT.
// FAKE_VIS_MODE makes it misbehave: "no-module", "bad-version", "init-fails"
// (Init returns 7) or "render-stops" (the third Render returns 1).
#ifndef _WIN32
#error "tests/e2e/fake_plugin.cpp is Windows-only"
#endif
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
#include "host/winamp_vis.h"

namespace {

int32_t renderCalls; // Render calls so far

bool modeIs(const char* mode) {
    const char* value = getenv("FAKE_VIS_MODE");
    return value != nullptr && strcmp(value, mode) == 0;
}

void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

void report(const char* format, ...) {
    const char* path = getenv("FAKE_VIS_REPORT");
    FILE* file = path != nullptr ? fopen(path, "ab") : nullptr;
    if (file == nullptr) {
        return;
    }
    va_list values;
    va_start(values, format);
    vfprintf(file, format, values);
    va_end(values);
    fputc('\n', file);
    fclose(file);
}

void fakeConfig(winampVisModule*) {
    report("Config");
}

int32_t fakeInit(winampVisModule* module) {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)(void*)fakeInit, &self);
    report("Init parent %s instance %s nCh %d sRate %d", IsWindow(module->hwndParent) ? "window" : "none",
           (HMODULE)module->hDllInstance == self ? "self" : "other", (int)module->nCh, (int)module->sRate);
    renderCalls = 0;
    return modeIs("init-fails") ? 7 : 0;
}

// Reports the first and last byte of each channel and the title the
// player's window gives for its current position.
int32_t fakeRender(winampVisModule* module) {
    renderCalls++;
    LRESULT position = SendMessageA(module->hwndParent, WM_USER, 0, 125);
    const char* title = (const char*)SendMessageA(module->hwndParent, WM_USER, (WPARAM)position, 212);
    LRESULT beyond = SendMessageA(module->hwndParent, WM_USER, 1000, 212);
    report("Render %d nCh %d sRate %d bytes %02X %02X %02X %02X position %d title \"%s\" beyond %s", (int)renderCalls,
           (int)module->nCh, (int)module->sRate, module->waveformData[0][0], module->waveformData[0][575],
           module->waveformData[1][0], module->waveformData[1][575], (int)position, title != nullptr ? title : "(null)",
           beyond == 0 ? "null" : "set");
    return modeIs("render-stops") && renderCalls == 3 ? 1 : 0;
}

void fakeQuit(winampVisModule*) {
    report("Quit");
}

char moduleDescription[] = "fake module";
char headerDescription[] = "fake plug-in for the host's tests";

winampVisModule fakeModule = {
    moduleDescription, nullptr,  nullptr,    0,        2,       15, 15, 0, 2, {}, {},
    fakeConfig,        fakeInit, fakeRender, fakeQuit, nullptr,
};

winampVisModule* fakeGetModule(int32_t index) {
    if (modeIs("no-module") || index != 0) {
        return nullptr;
    }
    return &fakeModule;
}

winampVisHeader fakeHeader = {VIS_HEADER_VERSION, headerDescription, fakeGetModule};

} // namespace

extern "C" __declspec(dllexport) winampVisHeader* winampVisGetHeader() {
    if (modeIs("bad-version")) {
        fakeHeader.version = 0x100;
    }
    return &fakeHeader;
}
