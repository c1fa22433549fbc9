// Messages to the user.
#include "app/report.h"

#include <cstdarg>
#include <cstdio>

namespace {

bool verboseOutput = false; // --verbose, set once at start-up

void print(FILE* out, const char* format, va_list values) {
    fputs("raysphere: ", out);
    vfprintf(out, format, values);
    fputc('\n', out);
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
