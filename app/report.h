// What raysphere tells its user: errors and events on stderr, the frame
// rate and other details on stdout with --verbose.
#pragma once

void setVerbose(bool verbose);
bool isVerbose();

// "raysphere: ..." on stderr.
void reportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "raysphere: ..." on stdout, with --verbose only.
void reportDetail(const char* format, ...) __attribute__((format(printf, 1, 2)));
