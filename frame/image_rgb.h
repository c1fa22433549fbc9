// A frame image's pixels in the byte order of PNG files and canvases.
#pragma once
#include <cstdint>
#include "frame/frame_image.h"

constexpr int32_t RGB_CHANNELS = 3;  // red, green, blue
constexpr int32_t RGBA_CHANNELS = 4; // red, green, blue, opaque alpha

// Writes the image's pixels to `out` as `channels` (RGB_CHANNELS or
// RGBA_CHANNELS) bytes a pixel, rows packed one after another.
void imageToRgb(const FrameImage* image, uint8_t* out, int32_t channels);
