// Numbers on the programs' command lines, read strictly: the whole text, in
// a given range, or a refusal.
#pragma once
#include <cstdint>

// A whole decimal number in [minimum, maximum], nothing before or after it
// but its digits and a minus sign.
bool readNumber(const char* text, int64_t minimum, int64_t maximum, int64_t* value);

// "WxH" (or "WXH") with the width in [minimumWidth, maximumWidth] and the
// height in [minimumHeight, maximumHeight].
bool readSize(const char* text, int32_t minimumWidth, int32_t maximumWidth, int32_t minimumHeight,
              int32_t maximumHeight, int32_t* width, int32_t* height);
