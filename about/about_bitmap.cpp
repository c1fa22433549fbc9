// The about box's picture as a bitmap file; see about_bitmap.h.
#include "about/about_bitmap.h"

namespace {

void putU16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void putU32(uint8_t* at, uint32_t value) {
    putU16(at, value & 0xFFFF);
    putU16(at + 2, value >> 16);
}

} // namespace

void encodeAboutBitmap(const uint8_t* frame, uint8_t* file) {
    // File header: "BM", file size, two reserved words, offset of the pixels
    uint8_t* header = file;
    header[0] = 'B';
    header[1] = 'M';
    putU32(header + 2, ABOUT_BITMAP_FILE_BYTES);
    putU32(header + 6, 0);
    putU32(header + 10, ABOUT_PIXELS_OFFSET);

    // Info header: a positive height means the bottom row comes first
    uint8_t* info = file + ABOUT_FILE_HEADER_BYTES;
    putU32(info + 0, ABOUT_INFO_HEADER_BYTES);
    putU32(info + 4, ABOUT_BITMAP_WIDTH);
    putU32(info + 8, ABOUT_BITMAP_HEIGHT);
    putU16(info + 12, 1);  // planes
    putU16(info + 14, 24); // bits per pixel
    putU32(info + 16, 0);  // BI_RGB, uncompressed
    putU32(info + 20, ABOUT_BITMAP_PIXEL_BYTES);
    putU32(info + 24, ABOUT_PIXELS_PER_METRE);
    putU32(info + 28, ABOUT_PIXELS_PER_METRE);
    putU32(info + 32, 0); // colours used: no colour table
    putU32(info + 36, 0); // important colours

    // Pixels: frame rows 180 up to 0, three of each pixel's four bytes
    uint8_t* pixels = file + ABOUT_PIXELS_OFFSET;
    for (int32_t row = 0; row < ABOUT_BITMAP_HEIGHT; row++) {
        const uint8_t* source = frame + (ABOUT_BITMAP_HEIGHT - 1 - row) * FRAME_ROW_BYTES;
        uint8_t* target = pixels + row * ABOUT_BITMAP_ROW_BYTES;
        for (int32_t x = 0; x < ABOUT_BITMAP_WIDTH; x++) {
            target[x * 3 + 0] = source[x * 4 + 0];
            target[x * 3 + 1] = source[x * 4 + 1];
            target[x * 3 + 2] = source[x * 4 + 2];
        }
    }
}
