// The about box's picture: the traced rows of a frame as a 24-bit
// device-independent bitmap file, written byte by byte in little-endian order.
#pragma once
#include <cstdint>
#include "frame/frame_buffer.h"

constexpr int32_t ABOUT_BITMAP_WIDTH = FRAME_WIDTH;                // 320
constexpr int32_t ABOUT_BITMAP_HEIGHT = TRACED_ROWS;               // 181
constexpr int32_t ABOUT_BITMAP_ROW_BYTES = ABOUT_BITMAP_WIDTH * 3; // 960, a multiple of 4: no padding
constexpr int32_t ABOUT_BITMAP_PIXEL_BYTES = ABOUT_BITMAP_ROW_BYTES * ABOUT_BITMAP_HEIGHT; // 173,760
constexpr int32_t ABOUT_FILE_HEADER_BYTES = 14;                                            // BITMAPFILEHEADER
constexpr int32_t ABOUT_INFO_HEADER_BYTES = 40;                                            // BITMAPINFOHEADER
constexpr int32_t ABOUT_PIXELS_OFFSET = ABOUT_FILE_HEADER_BYTES + ABOUT_INFO_HEADER_BYTES;
constexpr int32_t ABOUT_BITMAP_FILE_BYTES = ABOUT_PIXELS_OFFSET + ABOUT_BITMAP_PIXEL_BYTES; // 173,814
constexpr int32_t ABOUT_PIXELS_PER_METRE = 3779;                                            // 96 dots per inch

// Fills `file` (ABOUT_BITMAP_FILE_BYTES long) with the headers and the blue,
// green and red bytes of rows 0..180 of `frame`, bottom row first.
void encodeAboutBitmap(const uint8_t* frame, uint8_t* file);
