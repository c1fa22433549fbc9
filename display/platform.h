// Windows only. Every Win32 and DirectDraw entry point the plug-in calls goes
// through this one record, which points at the real functions; tests swap
// entries to watch calls or make them fail. The per-frame tracing never does.
#pragma once
#ifndef _WIN32
#error "display/platform.h is Windows-only"
#endif
#include <windows.h>
#include <ddraw.h>

struct PlatformApi {
    ATOM(WINAPI* RegisterClassA)(const WNDCLASSA* windowClass);
    HWND(WINAPI* CreateWindowExA)
    (DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height, HWND parent,
     HMENU menu, HINSTANCE instance, LPVOID param);
    LONG(WINAPI* SetWindowLongA)(HWND window, int index, LONG value);
    BOOL(WINAPI* SetWindowPos)(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
    int(WINAPI* GetSystemMetrics)(int index);
    BOOL(WINAPI* ShowWindow)(HWND window, int command);
    int(WINAPI* ShowCursor)(BOOL show);
    BOOL(WINAPI* DestroyWindow)(HWND window);
    BOOL(WINAPI* UnregisterClassA)(LPCSTR className, HINSTANCE instance);
    LRESULT(WINAPI* DefWindowProcA)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void(WINAPI* PostQuitMessage)(int exitCode);
    int(WINAPI* MessageBoxA)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
    BOOL(WINAPI* SendNotifyMessageA)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT(WINAPI* SendMessageA)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR(WINAPI* DialogBoxParamA)(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
    BOOL(WINAPI* EndDialog)(HWND dialog, INT_PTR result);
    int(WINAPI* lstrlenA)(LPCSTR text);
    BOOL(WINAPI* GetTextExtentPointA)(HDC dc, LPCSTR text, int length, LPSIZE size);
    BOOL(WINAPI* TextOutA)(HDC dc, int x, int y, LPCSTR text, int length);
    HRESULT(WINAPI* DirectDrawCreate)(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer);
};

extern PlatformApi platform;           // the calls in use
extern const PlatformApi realPlatform; // the real functions, for tests to restore
