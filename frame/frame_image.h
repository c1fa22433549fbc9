// A frame of any size, for front ends that trace at other resolutions.
#pragma once
#include <cstdint>

struct FrameImage {
    uint8_t* pixels; // blue, green, red, unused: 4 bytes a pixel, top row first
    int32_t width;   // pixels
    int32_t height;  // rows
    int32_t pitch;   // bytes from one row to the next (>= width * 4)
};
