// Windows only. What the Windows sources and the sound output share: text
// between UTF-8 and Windows' UTF-16, and the reason behind a failed call.
#pragma once
#ifndef _WIN32
#error "audio/win_audio.h is Windows-only"
#endif
#include <cstddef>
#include <cstdint>

// `text` (UTF-8, or the system's code page where it is not valid UTF-8) in
// UTF-16; false when it does not fit.
bool wideFromText(const char* text, wchar_t* wide, size_t wideChars);

// `wide` in UTF-8, cut to fit; a control character becomes '?', so that
// printing it cannot drive the user's terminal.
void textFromWide(const wchar_t* wide, char* text, size_t textSize);

// What a failed call's result means, in words ("the device is gone",
// "0x88890004: ..."), for messages.
void describeResult(long result, char* text, size_t textSize);
