// The frame clock: each frame shown when it is due at the asked rate, and
// the rate measured over each second, with a word when the machine does not
// keep up and when it does again.
#pragma once
#include <cstdint>

struct FrameClock {
    int32_t fps;             // frames per second asked for
    uint64_t frequency;      // platform clock ticks a second
    uint64_t period;         // ticks a frame at the asked rate
    uint64_t start;          // when the first frame was due
    uint64_t due;            // when the next frame is to be shown
    uint64_t secondStart;    // start of the second being measured
    int64_t secondFrames;    // frames shown in it
    uint64_t workTicks;      // ticks spent making those frames
    uint64_t showTicks;      // ticks spent handing them to the window and presenting them
    double measuredFps;      // over the last whole second
    double frameMs;          // average time to make a frame in that second
    double showMs;           // average time to show one
    bool behind;             // said that the machine does not keep up
    int64_t secondsMeasured; // whole seconds so far
};

// The first frame is due now.
void startClock(FrameClock* clock, int32_t fps);

// The current second starts afresh: frames of another size would mix into it.
void restartSecond(FrameClock* clock);

// Waits until the frame is due; a frame that is late moves the schedule on
// rather than hurrying the next ones.
void waitForDue(FrameClock* clock);

// Counts a frame shown that took `workTicks` to make and `showTicks` to
// show; true when a whole second has been measured.
bool countFrame(FrameClock* clock, uint64_t workTicks, uint64_t showTicks);

// After each measured second: says when the rate falls behind (what limits
// it, and `tracingRemedy` when that is tracing) and when it keeps up again.
void judgeRate(FrameClock* clock, const char* tracingRemedy);

// Seconds since the first frame was due.
double clockSeconds(const FrameClock* clock);
