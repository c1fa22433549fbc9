// The worker threads that trace the rows of an any-resolution frame. Made
// once at start-up; a frame's bytes do not depend on how many there are.
#pragma once
#include <cstdint>

constexpr int32_t MAX_TRACER_THREADS = 64;

// Work on rows 0..rowCount - 1: traceRow is called once for each row, on
// whichever thread takes it.
struct RowJob {
    void (*traceRow)(const void* context, int32_t row);
    const void* context; // handed to traceRow
    int32_t rowCount;
};

// Starts `threads` threads in all (the caller's own counts as one); 0 means
// one per core. False, with no pool, when a thread cannot be made.
bool startTracerPool(int32_t threads);
void stopTracerPool();
// Threads tracing a frame: the pool's, or 1 when it is not started.
int32_t tracerThreadCount();
// Runs the job over the pool and the calling thread; returns when every row is done.
void runRows(const RowJob* job);
