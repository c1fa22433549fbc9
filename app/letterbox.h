// The frame as a window shows it: scaled without smoothing to the largest
// size of its shape the window holds, centred, black around it. The same
// geometry and the same choice of source pixels as SDL's renderer makes, so
// that a screenshot is the same on every system.
#pragma once
#include <cstdint>
#include "frame/frame_image.h"

struct Letterbox {
    int32_t x; // the picture's place in the window
    int32_t y;
    int32_t width;
    int32_t height;
};

// Where a `frameWidth` x `frameHeight` picture goes in a window of `windowWidth` x `windowHeight` pixels.
Letterbox letterboxIn(int32_t windowWidth, int32_t windowHeight, int32_t frameWidth, int32_t frameHeight);

// The window's pixels as RGB, 3 bytes each, rows of `width` * 3 bytes: `image` scaled into its letterbox.
void drawLetterboxed(const FrameImage* image, int32_t width, int32_t height, uint8_t* rgb);
