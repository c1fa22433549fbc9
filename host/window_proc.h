// Windows only. The display window's procedure: the plug-in's keys.
#pragma once
#ifndef _WIN32
#error "host/window_proc.h is Windows-only"
#endif
#include <windows.h>

// SPACE asks for the song title, releasing ESC or losing the window ends the
// visualisation; everything else but the handled messages goes to Windows.
LRESULT CALLBACK displayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
