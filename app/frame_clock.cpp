// Frames on time, and the rate they are shown at.
#include "app/frame_clock.h"

#include "app/platform.h"
#include "app/report.h"

namespace {

constexpr double BEHIND_SHARE = 0.9;     // below this share of the asked rate the machine does not keep up
constexpr double RECOVERED_SHARE = 0.97; // at or above it again, it does
constexpr double TRACING_SHARE = 0.8;    // making a frame takes this share of its time or more: tracing limits

} // namespace

void startClock(FrameClock* clock, int32_t fps) {
    clock->fps = fps;
    clock->frequency = platform.tickFrequency();
    clock->period = clock->frequency / (uint64_t)fps;
    clock->start = platform.ticks();
    clock->due = clock->start;
    clock->secondStart = clock->start;
}

void restartSecond(FrameClock* clock) {
    clock->secondStart = platform.ticks();
    clock->secondFrames = 0;
    clock->workTicks = 0;
}

void waitForDue(FrameClock* clock) {
    uint64_t now = platform.ticks();
    if (now < clock->due) {
        platform.sleepMilliseconds((uint32_t)((clock->due - now) * 1000 / clock->frequency));
        while (platform.ticks() < clock->due) {
            // the last part of a millisecond
        }
        clock->due += clock->period;
    } else if (now - clock->due > clock->period) {
        clock->due = now + clock->period;
    } else {
        clock->due += clock->period;
    }
}

bool countFrame(FrameClock* clock, uint64_t workTicks, uint64_t showTicks) {
    uint64_t now = platform.ticks();
    clock->secondFrames++;
    clock->workTicks += workTicks;
    clock->showTicks += showTicks;
    if (now - clock->secondStart < clock->frequency) {
        return false;
    }
    double seconds = (double)(now - clock->secondStart) / (double)clock->frequency;
    clock->measuredFps = (double)clock->secondFrames / seconds;
    clock->frameMs = 1000.0 * (double)clock->workTicks / (double)clock->frequency / (double)clock->secondFrames;
    clock->showMs = 1000.0 * (double)clock->showTicks / (double)clock->frequency / (double)clock->secondFrames;
    clock->secondStart = now;
    clock->secondFrames = 0;
    clock->workTicks = 0;
    clock->showTicks = 0;
    clock->secondsMeasured++;
    return true;
}

void judgeRate(FrameClock* clock, const char* tracingRemedy) {
    int32_t fps = clock->fps;
    // The first second includes the window's and the libraries' warm-up.
    if (!clock->behind && clock->secondsMeasured > 1 && clock->measuredFps < BEHIND_SHARE * fps) {
        // What limits it: making the frames (tracing), or showing them (the
        // window's size, the display, its refresh).
        bool tracing = clock->frameMs >= TRACING_SHARE * 1000.0 / fps;
        int32_t width = 0;
        int32_t height = 0;
        platform.windowSize(&width, &height);
        const char* remedy = tracing ? tracingRemedy : "a smaller window or a lower --fps helps";
        reportProblem("only %.1f of the %d frames per second asked for are shown, the motion slower than it should be: "
                      "a frame takes %.1f ms to make and %.1f ms to show in the %dx%d window, so %s is the limit (%s)",
                      clock->measuredFps, (int)fps, clock->frameMs, clock->showMs, (int)width, (int)height,
                      tracing ? "tracing" : "showing it", remedy);
        clock->behind = true;
    } else if (clock->behind && clock->measuredFps >= RECOVERED_SHARE * fps) {
        reportProblem("keeping up again: %.1f frames per second", clock->measuredFps);
        clock->behind = false;
    }
}

double clockSeconds(const FrameClock* clock) {
    return (double)(platform.ticks() - clock->start) / (double)clock->frequency;
}
