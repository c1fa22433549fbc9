// Numbers on the programs' command lines.
#include "cli/number_arg.h"

#include <cerrno>
#include <cstdlib>

namespace {

// A whole decimal number at the start of `text`, ending at `*end`; no blanks
// or plus sign before it.
bool readDigits(const char* text, long long* number, char** end) {
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (*digits < '0' || *digits > '9') {
        return false;
    }
    errno = 0;
    *number = strtoll(text, end, 10);
    return errno == 0;
}

} // namespace

bool readNumber(const char* text, int64_t minimum, int64_t maximum, int64_t* value) {
    long long number = 0;
    char* end = nullptr;
    if (text == nullptr || !readDigits(text, &number, &end) || *end != '\0' || number < minimum || number > maximum) {
        return false;
    }
    *value = number;
    return true;
}

bool readSize(const char* text, int32_t minimumWidth, int32_t maximumWidth, int32_t minimumHeight,
              int32_t maximumHeight, int32_t* width, int32_t* height) {
    long long w = 0;
    long long h = 0;
    char* end = nullptr;
    if (text == nullptr || !readDigits(text, &w, &end) || (*end != 'x' && *end != 'X')) {
        return false;
    }
    if (!readDigits(end + 1, &h, &end) || *end != '\0' || w < minimumWidth || w > maximumWidth || h < minimumHeight ||
        h > maximumHeight) {
        return false;
    }
    *width = (int32_t)w;
    *height = (int32_t)h;
    return true;
}
