// Windows only. The other ways to take the screen when the display refuses
// 320 x 200 x 32: a larger exclusive mode with the frame scaled up, or a
// borderless window over the whole monitor.
#pragma once
#ifndef _WIN32
#error "display/fallback.h is Windows-only"
#endif

// In the exclusive cooperative level: takes the smallest 32-bit mode that
// holds the frame scaled by a whole factor of 2 or more, makes the surfaces
// and blackens the flipping chain. False, with everything it made released
// and the desktop mode back, when no offered mode works.
bool setUpScaledMode();
// Back to the normal cooperative level: the display window made borderless
// over the monitor, a primary without back buffers clipped to it and the two
// offscreen surfaces. False at the first failing step; what was made stays
// for shutdownDisplay to release.
bool setUpWindowedMode();
