// Numbers on the programs' command lines, read strictly: the whole text, in
// a given range, or a refusal.
#pragma once
#include <cstdint>

// A whole decimal number in [minimum, maximum], nothing after it.
bool readNumber(const char* text, int64_t minimum, int64_t maximum, int64_t* value);

// "WxH" with both sides whole numbers in [minimum, maximum].
bool readSize(const char* text, int32_t minimum, int32_t maximum, int32_t* width, int32_t* height);
