// A frame of any size: the picture the native programs trace at full
// resolution, one primary ray per pixel.
#pragma once
#include <cstdint>

constexpr int32_t MIN_IMAGE_SIDE = 2;    // a view needs two columns and two rows to span
constexpr int32_t MAX_IMAGE_SIDE = 8192; // widest and tallest image traced

struct FrameImage {
    uint8_t* pixels; // blue, green, red, unused: 4 bytes a pixel, top row first
    int32_t width;   // pixels
    int32_t height;  // rows
    int32_t pitch;   // bytes from one row to the next (>= width * 4)
};
