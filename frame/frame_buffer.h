// The frame every stage draws into: 320 x 200 pixels, top row first,
// 1280-byte rows, pixels as blue, green, red and an ignored fourth byte.
#pragma once
#include <cstdint>

constexpr int32_t FRAME_WIDTH = 320;
constexpr int32_t FRAME_HEIGHT = 200;
constexpr int32_t FRAME_ROW_BYTES = 1280;
constexpr int32_t FRAME_BYTES = FRAME_ROW_BYTES * FRAME_HEIGHT; // 256,000
constexpr int32_t TRACED_ROWS = 181;                            // rows 0..180 are traced and up-sampled

typedef uint8_t* FrameBuffer;
