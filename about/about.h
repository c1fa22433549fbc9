// Windows only. The about box shown instead of settings.
#pragma once
#ifndef _WIN32
#error "about/about.h is Windows-only"
#endif
#include <windows.h>

constexpr int ABOUT_DIALOG_ID = 101;
constexpr int ABOUT_BITMAP_ID = 103;

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
