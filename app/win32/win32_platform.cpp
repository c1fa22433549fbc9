// The Windows back end: a Win32 window drawn through GDI, its messages as
// the program's events, the performance counter as the clock, and the sound
// output of win32_sound.h. With --headless no window is made: the frame is
// kept and scaled in memory at the window size asked for.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/letterbox.h"
#include "app/platform.h"
#include "app/png_file.h"
#include "app/win32/win32_sound.h"

namespace {

const char* const WINDOW_CLASS = "raysphere";
constexpr int32_t EVENT_QUEUE = 64; // events between two polls; more are dropped

struct Win32State {
    const AppOptions* options; // the command line
    HINSTANCE instance;        // this program
    bool classRegistered;      // WINDOW_CLASS registered
    bool timerPeriodSet;       // timeBeginPeriod(1) in effect
    HWND window;               // null with --headless
    bool fullscreen;           // covers its monitor, without a frame
    LONG_PTR windowedStyle;    // the style to go back to from full screen
    RECT windowedRect;         // and the place
    int32_t memoryWidth;       // --headless: the window's size, in memory only
    int32_t memoryHeight;
    int32_t frameWidth; // the frames shown
    int32_t frameHeight;
    FrameImage shown;             // the frame drawn last, for present and WM_PAINT
    AppEvent events[EVENT_QUEUE]; // waiting for pollEvent
    int32_t eventCount;           // used entries of events
    int32_t eventFirst;           // the next to hand out
    LARGE_INTEGER frequency;      // performance counter ticks a second
};

Win32State win32;

void queueEvent(int32_t kind, int32_t key, bool repeat, bool alt) {
    if (win32.eventFirst + win32.eventCount >= EVENT_QUEUE) {
        memmove(win32.events, win32.events + win32.eventFirst, sizeof(AppEvent) * (size_t)win32.eventCount);
        win32.eventFirst = 0;
    }
    if (win32.eventCount < EVENT_QUEUE) {
        win32.events[win32.eventFirst + win32.eventCount++] = AppEvent{kind, key, repeat, alt};
    }
}

// The virtual keys of each key the program answers, in its order; a second
// where two keys do the same (VK_OEM_6 is ], VK_OEM_4 [), 0 for none.
const WPARAM KEY_CODES[KEY_OTHER][2] = {{VK_ESCAPE}, {VK_SPACE}, {'F'}, {VK_RETURN},         {'N'},
                                        {'P'},       {'I'},      {'W'}, {VK_NEXT, VK_OEM_6}, {VK_PRIOR, VK_OEM_4}};

int32_t keyOf(WPARAM virtualKey) {
    int32_t key = 0;
    while (key < KEY_OTHER && virtualKey != KEY_CODES[key][0] && (virtualKey == 0 || virtualKey != KEY_CODES[key][1])) {
        key++;
    }
    return key;
}

// The frame drawn last into the device context, letterboxed, black around it.
void paintFrame(HDC dc) {
    RECT client;
    GetClientRect(win32.window, &client);
    int32_t width = client.right > 1 ? client.right : 1;
    int32_t height = client.bottom > 1 ? client.bottom : 1;
    if (win32.shown.pixels == nullptr) {
        PatBlt(dc, 0, 0, width, height, BLACKNESS);
        return;
    }
    Letterbox box = letterboxIn(width, height, win32.shown.width, win32.shown.height);
    PatBlt(dc, 0, 0, width, box.y, BLACKNESS);
    PatBlt(dc, 0, box.y + box.height, width, height - box.y - box.height, BLACKNESS);
    PatBlt(dc, 0, 0, box.x, height, BLACKNESS);
    PatBlt(dc, box.x + box.width, 0, width - box.x - box.width, height, BLACKNESS);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = win32.shown.pitch / 4;
    info.bmiHeader.biHeight = -win32.shown.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32; // blue, green, red, unused: the frame's own layout
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR); // the nearest pixel, no smoothing
    StretchDIBits(dc, box.x, box.y, box.width, box.height, 0, 0, win32.shown.width, win32.shown.height,
                  win32.shown.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        bool repeat = (lParam & (1 << 30)) != 0; // the key was already down
        bool alt = (lParam & (1 << 29)) != 0;
        queueEvent(APP_EVENT_KEY, keyOf(wParam), repeat, alt);
        if (message == WM_SYSKEYDOWN && wParam == VK_F4) {
            break; // Alt+F4 closes, as everywhere
        }
        return 0;
    }
    case WM_SYSCHAR:
        return 0; // Alt+Enter is ours: no menu, no beep
    case WM_LBUTTONDBLCLK:
        queueEvent(APP_EVENT_DOUBLE_CLICK, KEY_OTHER, false, false);
        return 0;
    case WM_CLOSE:
        queueEvent(APP_EVENT_QUIT, KEY_OTHER, false, false);
        return 0; // the program closes the window at its end
    case WM_ERASEBKGND:
        return 1; // painted whole, bars too
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paintFrame(dc);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool start(const AppOptions* options, char* error, size_t errorSize) {
    win32.options = options;
    win32.instance = GetModuleHandleA(nullptr);
    QueryPerformanceFrequency(&win32.frequency);
    // Sleep to the millisecond, as the frame clock needs.
    win32.timerPeriodSet = timeBeginPeriod(1) == TIMERR_NOERROR;
    if (options->headless) {
        return true;
    }
    SetProcessDPIAware(); // the window's pixels are the screen's
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = win32.instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(win32.instance, MAKEINTRESOURCE(1));
    windowClass.lpszClassName = WINDOW_CLASS;
    if (RegisterClassA(&windowClass) == 0) {
        snprintf(error, errorSize, "no display to open a window on (error %lu); --headless runs without one",
                 (unsigned long)GetLastError());
        return false;
    }
    win32.classRegistered = true;
    return true;
}

bool startSound(char* error, size_t errorSize) {
    return startWin32Sound(error, errorSize);
}

void stop() {
    if (win32.classRegistered) {
        UnregisterClassA(WINDOW_CLASS, win32.instance);
        win32.classRegistered = false;
    }
    if (win32.timerPeriodSet) {
        timeEndPeriod(1);
        win32.timerPeriodSet = false;
    }
}

// Window

void toggleFullscreen() {
    win32.fullscreen = !win32.fullscreen;
    if (win32.window == nullptr) {
        return;
    }
    if (win32.fullscreen) {
        // The monitor the window is on, whole, without a frame.
        win32.windowedStyle = GetWindowLongPtrA(win32.window, GWL_STYLE);
        GetWindowRect(win32.window, &win32.windowedRect);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(win32.window, MONITOR_DEFAULTTONEAREST), &monitor);
        SetWindowLongPtrA(win32.window, GWL_STYLE, (win32.windowedStyle & ~WS_OVERLAPPEDWINDOW) | WS_POPUP);
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(win32.window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    } else {
        SetWindowLongPtrA(win32.window, GWL_STYLE, win32.windowedStyle);
        const RECT& area = win32.windowedRect;
        SetWindowPos(win32.window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    InvalidateRect(win32.window, nullptr, FALSE);
}

bool openWindow(const AppOptions* options, int32_t frameWidth, int32_t frameHeight, char* error, size_t errorSize) {
    win32.frameWidth = frameWidth;
    win32.frameHeight = frameHeight;
    win32.memoryWidth = options->windowWidth;
    win32.memoryHeight = options->windowHeight;
    if (options->headless) {
        win32.fullscreen = options->fullscreen;
        return true;
    }
    // The client area the size asked for, centred on the main screen.
    DWORD style = WS_OVERLAPPEDWINDOW;
    RECT area = {0, 0, options->windowWidth, options->windowHeight};
    AdjustWindowRect(&area, style, FALSE);
    int32_t width = area.right - area.left;
    int32_t height = area.bottom - area.top;
    int32_t left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int32_t top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    win32.window = CreateWindowExA(0, WINDOW_CLASS, "raysphere", style, left > 0 ? left : 0, top > 0 ? top : 0, width,
                                   height, nullptr, nullptr, win32.instance, nullptr);
    if (win32.window == nullptr) {
        snprintf(error, errorSize, "cannot open a window (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    ShowWindow(win32.window, SW_SHOWNORMAL);
    UpdateWindow(win32.window);
    if (options->fullscreen) {
        toggleFullscreen();
    }
    return true;
}

bool resizeFrame(int32_t frameWidth, int32_t frameHeight, char*, size_t) {
    win32.frameWidth = frameWidth;
    win32.frameHeight = frameHeight;
    return true; // GDI scales any size
}

void draw(const FrameImage* image) {
    win32.shown = *image;
}

void present() {
    if (win32.window == nullptr) {
        return;
    }
    HDC dc = GetDC(win32.window);
    paintFrame(dc);
    ReleaseDC(win32.window, dc);
    ValidateRect(win32.window, nullptr);
}

bool isFullscreen() {
    return win32.fullscreen;
}

void pixelSize(int32_t* width, int32_t* height) {
    int32_t w = win32.memoryWidth;
    int32_t h = win32.memoryHeight;
    if (win32.window != nullptr) {
        RECT client;
        GetClientRect(win32.window, &client);
        w = client.right;
        h = client.bottom;
    }
    *width = w > 1 ? w : 1;
    *height = h > 1 ? h : 1;
}

void windowSize(int32_t* width, int32_t* height) {
    pixelSize(width, height);
}

bool saveScreenshot(const FrameImage* image, const char* path, char* error, size_t errorSize) {
    int32_t width = 0;
    int32_t height = 0;
    pixelSize(&width, &height);
    uint8_t* rgb = (uint8_t*)malloc((size_t)width * height * 3);
    if (rgb == nullptr) {
        snprintf(error, errorSize, "cannot save %s: out of memory", path);
        return false;
    }
    // What the window shows, made again in memory the way it is drawn.
    drawLetterboxed(image, width, height, rgb);
    bool saved = writePngFile(path, rgb, width, height, width * 3, error, errorSize);
    free(rgb);
    return saved;
}

const char* describeWindow() {
    return win32.window != nullptr ? "window drawn through GDI, presented without vsync" : "no window (--headless)";
}

bool hasVsync() {
    return false;
}

bool pollEvent(AppEvent* event) {
    MSG message;
    while (win32.eventCount == 0 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (win32.eventCount == 0) {
        return false;
    }
    *event = win32.events[win32.eventFirst++];
    win32.eventCount--;
    if (win32.eventCount == 0) {
        win32.eventFirst = 0;
    }
    return true;
}

void closeWindow() {
    if (win32.window != nullptr) {
        DestroyWindow(win32.window);
        win32.window = nullptr;
    }
    win32.shown = FrameImage{};
}

// The clock

uint64_t ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (uint64_t)now.QuadPart;
}

uint64_t tickFrequency() {
    return (uint64_t)win32.frequency.QuadPart;
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace

// The command line again from its wide form, in UTF-8, so that a file named
// in any script opens: the C library's argv holds only what the ANSI code
// page can say. Held for the rest of the run, as argv is.
bool utf8Arguments(int* argc, char*** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return false;
    }
    char** arguments = (char**)calloc((size_t)count + 1, sizeof(char*));
    bool converted = arguments != nullptr;
    for (int i = 0; converted && i < count; i++) {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        arguments[i] = bytes > 0 ? (char*)malloc((size_t)bytes) : nullptr;
        converted = arguments[i] != nullptr &&
                    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arguments[i], bytes, nullptr, nullptr) == bytes;
    }
    LocalFree(wide);
    if (!converted) {
        for (int i = 0; arguments != nullptr && i < count; i++) {
            free(arguments[i]);
        }
        free(arguments);
        return false;
    }
    *argc = count;
    *argv = arguments;
    return true;
}

const Platform platform = {
    utf8Arguments,
    start,
    startSound,
    stop,
    openWindow,
    resizeFrame,
    draw,
    present,
    toggleFullscreen,
    isFullscreen,
    pixelSize,
    windowSize,
    saveScreenshot,
    describeWindow,
    hasVsync,
    pollEvent,
    closeWindow,
    openWin32Sound,
    lockWin32Sound,
    unlockWin32Sound,
    win32SoundLatencyFrames,
    closeWin32Sound,
    ticks,
    tickFrequency,
    sleepMilliseconds,
};
