// The log of an automated run.
#include "player/run_log.h"

#include <cstdarg>
#include <cstring>

bool openRunLog(RunLog* log, const char* path) {
    memset(log, 0, sizeof *log);
    if (path == nullptr) {
        return true;
    }
    // Binary: lines end in a line feed alone on every system, as scripts expect.
    log->file = fopen(path, "wb");
    return log->file != nullptr;
}

void closeRunLog(RunLog* log) {
    if (log->file != nullptr) {
        fclose(log->file);
        log->file = nullptr;
    }
}

void logLine(RunLog* log, const char* format, ...) {
    if (log->file == nullptr) {
        return;
    }
    va_list values;
    va_start(values, format);
    vfprintf(log->file, format, values);
    va_end(values);
    fputc('\n', log->file);
    fflush(log->file);
}

void countRender(RunLog* log, int32_t result) {
    log->renderCalls++;
    if (result == 0) {
        log->renderZero++;
    } else {
        log->renderNonZero++;
        log->lastNonZero = result;
    }
    logLine(log, "Render %lld returned %d", (long long)log->renderCalls, (int)result);
}

void logRenderSummary(RunLog* log) {
    if (log->renderNonZero == 0) {
        logLine(log, "Render %lld calls: %lld returned 0", (long long)log->renderCalls, (long long)log->renderZero);
        return;
    }
    logLine(log, "Render %lld calls: %lld returned 0, %lld returned non-zero (last %d)", (long long)log->renderCalls,
            (long long)log->renderZero, (long long)log->renderNonZero, (int)log->lastNonZero);
}
