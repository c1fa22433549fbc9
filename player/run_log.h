// The log of an automated run: one line per callback result and event,
// flushed at once so a script can follow the run while it goes on.
#pragma once
#include <cstdint>
#include <cstdio>

struct RunLog {
    FILE* file;            // open log, or null to count without writing
    int64_t renderCalls;   // Render calls made
    int64_t renderZero;    // of which returned 0
    int64_t renderNonZero; // of which returned anything else
    int32_t lastNonZero;   // the latest non-zero Render result
};

// Opens `path` for writing, or counts only when `path` is null.
bool openRunLog(RunLog* log, const char* path);
void closeRunLog(RunLog* log);

// One formatted line.
void logLine(RunLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Counts one Render result and writes "Render K returned R", K counted from 1.
void countRender(RunLog* log, int32_t result);
// "Render N calls: Z returned 0, K returned non-zero (last R)".
void logRenderSummary(RunLog* log);
