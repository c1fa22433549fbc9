// Messages to the user.
#include "app/report.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace {

constexpr size_t MESSAGE_CHARS = 8192;

bool verboseOutput = false; // --verbose, set once at start-up

// The message on one line; a control character in it (from a file's name
// or tags: ESC, BEL, a new line) is printed as '?', so that it cannot
// drive the user's terminal.
void print(FILE* out, const char* format, va_list values) {
    static char message[MESSAGE_CHARS];
    vsnprintf(message, sizeof message, format, values);
    for (char* c = message; *c != '\0'; c++) {
        if ((unsigned char)*c < 0x20 || *c == 0x7f) {
            *c = '?';
        }
    }
    fprintf(out, "raysphere: %s\n", message);
    fflush(out);
}

} // namespace

void setVerbose(bool verbose) {
    verboseOutput = verbose;
}

bool isVerbose() {
    return verboseOutput;
}

void reportProblem(const char* format, ...) {
    va_list values;
    va_start(values, format);
    print(stderr, format, values);
    va_end(values);
}

void reportDetail(const char* format, ...) {
    if (!verboseOutput) {
        return;
    }
    va_list values;
    va_start(values, format);
    print(stdout, format, values);
    va_end(values);
}
