// Numbers on the programs' command lines.
#include "cli/number_arg.h"

#include <cerrno>
#include <cstdlib>

bool readNumber(const char* text, int64_t minimum, int64_t maximum, int64_t* value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long long number = strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || number < minimum || number > maximum) {
        return false;
    }
    *value = number;
    return true;
}

bool readSize(const char* text, int32_t minimum, int32_t maximum, int32_t* width, int32_t* height) {
    if (text == nullptr) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long w = strtol(text, &end, 10);
    if (errno != 0 || end == text || (*end != 'x' && *end != 'X')) {
        return false;
    }
    const char* second = end + 1;
    long h = strtol(second, &end, 10);
    if (errno != 0 || end == second || *end != '\0' || w < minimum || w > maximum || h < minimum || h > maximum) {
        return false;
    }
    *width = (int32_t)w;
    *height = (int32_t)h;
    return true;
}
