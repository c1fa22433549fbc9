// Windows only. The fake platform: logs each call with its arguments and
// answers as the test has chosen. Windows are modelled far enough for the
// window procedure to see WM_CREATE and WM_DESTROY as it would.
#ifndef _WIN32
#error "tests/windows/fake_platform.cpp is Windows-only"
#endif
#include "tests/windows/fake_platform.h"

#include <cstdarg>
#include <cstring>

FakePlatform fake;

namespace {

// A text argument as the log shows it: the string, or "#n" for an integer
// resource identifier, or "null".
std::string textArgument(LPCSTR text) {
    if (text == NULL) {
        return "null";
    }
    if (IS_INTRESOURCE(text)) {
        return "#" + std::to_string((uintptr_t)text);
    }
    return text;
}

ATOM WINAPI fakeRegisterClassA(const WNDCLASSA* windowClass) {
    logCall("RegisterClassA(class=%s, proc=%s, instance=%s, style=0x%x, classExtra=%d, windowExtra=%d, icon=%s, "
            "cursor=%s, background=%s, menu=%s)",
            textArgument(windowClass->lpszClassName).c_str(), hexText((const void*)windowClass->lpfnWndProc).c_str(),
            hexText(windowClass->hInstance).c_str(), windowClass->style, windowClass->cbClsExtra,
            windowClass->cbWndExtra, hexText(windowClass->hIcon).c_str(), hexText(windowClass->hCursor).c_str(),
            hexText(windowClass->hbrBackground).c_str(), textArgument(windowClass->lpszMenuName).c_str());
    if (fake.refuseRegister || fake.classRegistered) {
        return 0;
    }
    fake.classRegistered = true;
    fake.registeredClass = windowClass->lpszClassName;
    fake.registeredProc = windowClass->lpfnWndProc;
    return 0xC123;
}

HWND WINAPI fakeCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                                int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    logCall("CreateWindowExA(exStyle=0x%lx, class=%s, title=%s, style=0x%lx, x=%d, y=%d, width=%d, height=%d, "
            "parent=%s, menu=%s, instance=%s, param=%s)",
            (unsigned long)exStyle, textArgument(className).c_str(), textArgument(title).c_str(), (unsigned long)style,
            x, y, width, height, hexText(parent).c_str(), hexText(menu).c_str(), hexText(instance).c_str(),
            hexText(param).c_str());
    bool classKnown = fake.classRegistered && className != NULL && fake.registeredClass == className;
    if (fake.windowToCreate == NULL || !classKnown) {
        return NULL;
    }
    fake.windowAlive = true;
    fake.registeredProc(fake.windowToCreate, WM_CREATE, 0, 0);
    return fake.windowToCreate;
}

LONG WINAPI fakeSetWindowLongA(HWND window, int index, LONG value) {
    logCall("SetWindowLongA(window=%s, index=%d, value=%ld)", hexText(window).c_str(), index, (long)value);
    return 0;
}

BOOL WINAPI fakeSetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
    logCall("SetWindowPos(window=%s, after=%s, x=%d, y=%d, width=%d, height=%d, flags=0x%x)", hexText(window).c_str(),
            hexText(after).c_str(), x, y, width, height, flags);
    return fake.setWindowPosResult;
}

int WINAPI fakeGetSystemMetrics(int index) {
    logCall("GetSystemMetrics(%d)", index);
    if (index == SM_CXSCREEN) {
        return fake.screenWidth;
    }
    if (index == SM_CYSCREEN) {
        return fake.screenHeight;
    }
    return 0;
}

BOOL WINAPI fakeShowWindow(HWND window, int command) {
    logCall("ShowWindow(window=%s, command=%d)", hexText(window).c_str(), command);
    return FALSE;
}

int WINAPI fakeShowCursor(BOOL show) {
    logCall("ShowCursor(show=%d)", (int)show);
    fake.cursorCount += show ? 1 : -1;
    return fake.cursorCount;
}

// Destroys a live window the way Windows does: WM_DESTROY reaches its
// procedure before the call returns.
BOOL WINAPI fakeDestroyWindow(HWND window) {
    logCall("DestroyWindow(window=%s)", hexText(window).c_str());
    if (window == NULL || window != fake.windowToCreate || !fake.windowAlive) {
        return FALSE;
    }
    fake.registeredProc(window, WM_DESTROY, 0, 0);
    fake.windowAlive = false;
    return TRUE;
}

BOOL WINAPI fakeUnregisterClassA(LPCSTR className, HINSTANCE instance) {
    logCall("UnregisterClassA(class=%s, instance=%s)", textArgument(className).c_str(), hexText(instance).c_str());
    if (!fake.classRegistered || className == NULL || fake.registeredClass != className) {
        return FALSE;
    }
    fake.classRegistered = false;
    return TRUE;
}

LRESULT WINAPI fakeDefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    logCall("DefWindowProcA(window=%s, message=0x%x, wParam=%llu, lParam=%lld)", hexText(window).c_str(), message,
            (unsigned long long)wParam, (long long)lParam);
    return fake.defWindowProcResult;
}

void WINAPI fakePostQuitMessage(int exitCode) {
    logCall("PostQuitMessage(%d)", exitCode);
}

int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    logCall("MessageBoxA(owner=%s, text=%s, caption=%s, type=0x%x)", hexText(owner).c_str(), textArgument(text).c_str(),
            textArgument(caption).c_str(), type);
    return IDOK;
}

BOOL WINAPI fakeSendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    logCall("SendNotifyMessageA(window=%s, message=0x%x, wParam=%llu, lParam=%lld)", hexText(window).c_str(), message,
            (unsigned long long)wParam, (long long)lParam);
    return TRUE;
}

LRESULT WINAPI fakeSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    logCall("SendMessageA(window=%s, message=0x%x, wParam=%llu, lParam=%lld)", hexText(window).c_str(), message,
            (unsigned long long)wParam, (long long)lParam);
    if (message == WM_USER && lParam == 125) {
        return fake.positionAnswer;
    }
    if (message == WM_USER && lParam == 212) {
        return fake.titleAnswer;
    }
    return 0;
}

INT_PTR WINAPI fakeDialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
    logCall("DialogBoxParamA(instance=%s, template=%s, owner=%s, proc=%s, param=%lld)", hexText(instance).c_str(),
            textArgument(templateName).c_str(), hexText(owner).c_str(), hexText((const void*)proc).c_str(),
            (long long)param);
    return fake.dialogResult;
}

BOOL WINAPI fakeEndDialog(HWND dialog, INT_PTR result) {
    logCall("EndDialog(dialog=%s, result=%lld)", hexText(dialog).c_str(), (long long)result);
    return TRUE;
}

int WINAPI fakeLstrlenA(LPCSTR text) {
    logCall("lstrlenA(%s)", textArgument(text).c_str());
    return text == NULL ? 0 : (int)strlen(text);
}

BOOL WINAPI fakeGetTextExtentPointA(HDC dc, LPCSTR text, int length, LPSIZE size) {
    logCall("GetTextExtentPointA(dc=%s, text=%s, length=%d)", hexText(dc).c_str(), textArgument(text).c_str(), length);
    *size = fake.textExtent;
    return TRUE;
}

BOOL WINAPI fakeTextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    logCall("TextOutA(dc=%s, x=%d, y=%d, text=%s, length=%d)", hexText(dc).c_str(), x, y, textArgument(text).c_str(),
            length);
    return TRUE;
}

HRESULT WINAPI fakeDirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
    logCall("DirectDrawCreate(driver=%s, outer=%s)", hexText(driver).c_str(), hexText(outer).c_str());
    if (fake.directDrawCreateResult != DD_OK) {
        return fake.directDrawCreateResult;
    }
    fake.directDrawToCreate->AddRef();
    *directDraw = fake.directDrawToCreate;
    return DD_OK;
}

const PlatformApi fakePlatform = {
    fakeRegisterClassA,      // RegisterClassA
    fakeCreateWindowExA,     // CreateWindowExA
    fakeSetWindowLongA,      // SetWindowLongA
    fakeSetWindowPos,        // SetWindowPos
    fakeGetSystemMetrics,    // GetSystemMetrics
    fakeShowWindow,          // ShowWindow
    fakeShowCursor,          // ShowCursor
    fakeDestroyWindow,       // DestroyWindow
    fakeUnregisterClassA,    // UnregisterClassA
    fakeDefWindowProcA,      // DefWindowProcA
    fakePostQuitMessage,     // PostQuitMessage
    fakeMessageBoxA,         // MessageBoxA
    fakeSendNotifyMessageA,  // SendNotifyMessageA
    fakeSendMessageA,        // SendMessageA
    fakeDialogBoxParamA,     // DialogBoxParamA
    fakeEndDialog,           // EndDialog
    fakeLstrlenA,            // lstrlenA
    fakeGetTextExtentPointA, // GetTextExtentPointA
    fakeTextOutA,            // TextOutA
    fakeDirectDrawCreate,    // DirectDrawCreate
};

} // namespace

void useFakePlatform() {
    fake = FakePlatform();
    fake.windowToCreate = DISPLAY_WINDOW;
    fake.setWindowPosResult = TRUE;
    fake.screenWidth = 1024;
    fake.screenHeight = 768;
    fake.directDrawCreateResult = DD_OK;
    platform = fakePlatform;
}

void useRealPlatform() {
    platform = realPlatform;
}

std::string hexText(const void* value) {
    char text[32];
    snprintf(text, sizeof(text), "0x%llx", (unsigned long long)(uintptr_t)value);
    return text;
}

void logCall(const char* format, ...) {
    char line[1024];
    va_list values;
    va_start(values, format);
    vsnprintf(line, sizeof(line), format, values);
    va_end(values);
    fake.log.push_back(line);
}

std::vector<std::string> callsStartingWith(const std::string& prefix) {
    std::vector<std::string> calls;
    for (const std::string& line : fake.log) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            calls.push_back(line);
        }
    }
    return calls;
}

std::vector<std::string> logFrom(size_t first) {
    if (first >= fake.log.size()) {
        return {};
    }
    return std::vector<std::string>(fake.log.begin() + (std::ptrdiff_t)first, fake.log.end());
}
