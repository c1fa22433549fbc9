// Windows only. A fake of every platform call the plug-in makes: each call is
// written to one log, in order, with its arguments; results are chosen by the
// test. The fake DirectDraw objects write to the same log.
#pragma once
#ifndef _WIN32
#error "tests/windows/fake_platform.h is Windows-only"
#endif
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "display/platform.h"

// Handles the fakes hand out, distinct and easy to read in the log.
#define PLAYER_WINDOW ((HWND)0x1010)
#define DISPLAY_WINDOW ((HWND)0x2020)
#define DLL_INSTANCE ((HINSTANCE)0x3030)
#define DIALOG_WINDOW ((HWND)0x4040)
#define DEVICE_CONTEXT ((HDC)0x5050)

// What the fake platform answers, and what it has seen.
struct FakePlatform {
    std::vector<std::string> log; // one line per call, in call order

    bool refuseRegister;             // RegisterClassA fails even for a free class
    bool classRegistered;            // the class is registered now
    std::string registeredClass;     // its name
    WNDPROC registeredProc;          // its window procedure
    HWND windowToCreate;             // CreateWindowExA's window; null makes it fail
    bool windowAlive;                // windowToCreate exists and is not destroyed
    int cursorCount;                 // ShowCursor's display counter
    LRESULT defWindowProcResult;     // DefWindowProcA's answer
    LRESULT positionAnswer;          // answer to the WM_USER query 125
    LRESULT titleAnswer;             // answer to the WM_USER query 212
    SIZE textExtent;                 // GetTextExtentPointA's measure
    INT_PTR dialogResult;            // DialogBoxParamA's result
    BOOL setWindowPosResult;         // SetWindowPos's result
    int screenWidth;                 // GetSystemMetrics' SM_CXSCREEN
    int screenHeight;                // GetSystemMetrics' SM_CYSCREEN
    HRESULT directDrawCreateResult;  // DirectDrawCreate's result
    IDirectDraw* directDrawToCreate; // DirectDrawCreate's object on success
};

extern FakePlatform fake;

// Resets the fake's state and points every platform entry at the fakes.
void useFakePlatform();
// Points the platform back at the real functions.
void useRealPlatform();

// "0x" and the value in lower-case hex; "0x0" for null.
std::string hexText(const void* value);
// Appends one formatted line to the log.
void logCall(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
// The log lines that start with `prefix`, in order.
std::vector<std::string> callsStartingWith(const std::string& prefix);
// The log from line `first` on.
std::vector<std::string> logFrom(size_t first);
