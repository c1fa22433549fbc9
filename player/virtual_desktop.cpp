// Windows only. Running the host inside a Wine virtual desktop of its own.
#ifndef _WIN32
#error "player/virtual_desktop.cpp is Windows-only"
#endif
#include "player/virtual_desktop.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

namespace {

// Wine keeps the size of each named desktop here; a process started on a
// desktop of that name gets a virtual desktop window of that size.
const char* const DESKTOPS_KEY = "Software\\Wine\\Explorer\\Desktops";
const char* const DESKTOP_NAME = "vis_player";

} // namespace

bool runInVirtualDesktop(int32_t width, int32_t height, char* commandLine, uint32_t* exitCode, char* error,
                         size_t errorSize) {
    // The desktop's size in Wine's settings
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExA(HKEY_CURRENT_USER, DESKTOPS_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        snprintf(error, errorSize, "cannot set the virtual desktop's size (registry error %ld)", (long)status);
        return false;
    }
    char size[32];
    snprintf(size, sizeof size, "%dx%d", (int)width, (int)height);
    status = RegSetValueExA(key, DESKTOP_NAME, 0, REG_SZ, (const BYTE*)size, (DWORD)(strlen(size) + 1));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        snprintf(error, errorSize, "cannot set the virtual desktop's size (registry error %ld)", (long)status);
        return false;
    }

    // This program again, on that desktop, with our standard handles
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) {
        snprintf(error, errorSize, "cannot find the program's own file (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    char desktop[32];
    snprintf(desktop, sizeof desktop, "%s", DESKTOP_NAME);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        snprintf(error, errorSize, "cannot start %s in a virtual desktop (error %lu)", program,
                 (unsigned long)GetLastError());
        return false;
    }

    // Its end and exit status
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *exitCode = code;
    return true;
}
