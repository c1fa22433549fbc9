// The oscilloscope: each channel's first 156 samples as a connected trace of
// single-pixel marks in rows 0..127, columns 2..312.
#include "overlays/scope.h"

#include <cstddef>
#include <cstring>

static constexpr int32_t SCOPE_SAMPLES = 156; // samples 0..155 of each channel are drawn
static constexpr int32_t SCOPE_FIRST_COLUMN = 2;

// Marks the pixels of the image that cover pixel (x, y) of a 320 x 200
// frame, at least one, with the mark value: blue 1, green 0, red 0, fourth
// byte 0. At 320 x 200 that is pixel (x, y) itself.
static void markPixel(const FrameImage* image, int32_t x, int32_t y) {
    static const uint8_t MARK[4] = {1, 0, 0, 0};
    if (image->width == FRAME_WIDTH && image->height == FRAME_HEIGHT) {
        std::memcpy(image->pixels + static_cast<ptrdiff_t>(y) * image->pitch + x * 4, MARK, 4);
        return;
    }
    int32_t left = x * image->width / FRAME_WIDTH;
    int32_t right = (x + 1) * image->width / FRAME_WIDTH;
    int32_t top = y * image->height / FRAME_HEIGHT;
    int32_t bottom = (y + 1) * image->height / FRAME_HEIGHT;
    right = right > left ? right : left + 1;
    bottom = bottom > top ? bottom : top + 1;
    for (int32_t row = top; row < bottom; row++) {
        uint8_t* pixel = image->pixels + static_cast<ptrdiff_t>(row) * image->pitch + left * 4;
        for (int32_t column = left; column < right; column++) {
            std::memcpy(pixel, MARK, 4);
            pixel += 4;
        }
    }
}

// Row of a signed 8-bit sample: -128 at the top (row 0), +127 at row 127.
static int32_t sampleRow(uint8_t sample) {
    return (sample ^ 0x80) >> 1;
}

// Marks one segment from row y in column x to row ny in column x + 2. Steps of
// one row up and one row down are deliberately not mirror images.
static void drawSegment(const FrameImage* frame, int32_t x, int32_t y, int32_t ny) {
    int32_t d = ny - y;
    if (d == 0) {
        markPixel(frame, x + 1, y);
        markPixel(frame, x + 2, y);
    } else if (d == 1) {
        markPixel(frame, x + 1, ny);
        markPixel(frame, x + 2, ny);
    } else if (d == -1) {
        markPixel(frame, x + 1, y);
        markPixel(frame, x + 2, ny);
    } else {
        // Two rows or more: one mark per row after y, the first half in
        // column x + 1 and the rest in column x + 2.
        int32_t direction = d > 0 ? 1 : -1;
        int32_t steps = d > 0 ? d : -d;
        int32_t firstColumnMarks = steps >> 1;
        for (int32_t k = 1; k <= steps; k++) {
            int32_t column = k <= firstColumnMarks ? x + 1 : x + 2;
            markPixel(frame, column, y + k * direction);
        }
    }
}

void drawScope(FrameBuffer frame, const WaveformBlock block, int32_t channels) {
    FrameImage image = {frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    drawScopeAt(&image, block, channels);
}

void drawScopeAt(const FrameImage* frame, const WaveformBlock block, int32_t channels) {
    // The block holds two channels; a larger count names none it could hold.
    channels = channels < BLOCK_CHANNELS ? channels : BLOCK_CHANNELS;
    for (int32_t c = 0; c < channels; c++) {
        const uint8_t* samples = block[c];
        int32_t y = sampleRow(samples[0]);
        markPixel(frame, SCOPE_FIRST_COLUMN, y);
        for (int32_t i = 1; i < SCOPE_SAMPLES; i++) {
            int32_t ny = sampleRow(samples[i]);
            drawSegment(frame, 2 * i, y, ny);
            y = ny;
        }
    }
}
