// Primary rays on the half-resolution grid, and the averaging between samples.
#include "raytracer/sampling.h"

#include <cmath>

#include "raytracer/shading.h"

SampleGrid sampleGrid = {};

void setSampleGrid() {
    sampleGrid.columns = 161;
    sampleGrid.rows = 91;
    sampleGrid.columnStep = 8;
    sampleGrid.rowSkip = 1272; // 161 * 8 + 1272 = 2560 bytes, two frame rows
    sampleGrid.horizontalDivisor = 160.0f;
    sampleGrid.verticalBase = 90.0f;
    sampleGrid.columnHalfExtent = 80;
    sampleGrid.rowHalfExtent = 45;
}

// A traced channel as a pixel byte: clamped above, truncated toward zero.
static uint8_t channelByte(float value) {
    if (value > 255.0f) {
        return 255;
    }
    if (!(value > 0.0f)) {
        return 0; // never negative in practice; also keeps a NaN defined
    }
    return static_cast<uint8_t>(value);
}

void renderView(FrameBuffer frame, const Camera* camera, const Light* light) {
    const SampleGrid& grid = sampleGrid;

    // Camera basis, scaled to one grid step
    Vector3 V = camera->target - camera->eye;
    normalize(V);
    Vector3 up0 = {std::sin(camera->roll), -std::cos(camera->roll), 0.0f};
    Vector3 R;
    cross(R, up0, V);
    normalize(R);
    Vector3 U;
    cross(U, R, V);
    normalize(U);
    R = (camera->zoom / grid.horizontalDivisor) * R;
    U = (camera->zoom / (grid.verticalBase * 1.6f)) * U;
    Vector3 rowStart = V - static_cast<float>(grid.columnHalfExtent) * R - static_cast<float>(grid.rowHalfExtent) * U;

    // One primary ray per sample, written every other pixel of every other row
    uint8_t* pixel = frame;
    for (int32_t i = 0; i < grid.rows; i++) {
        Vector3 offset = rowStart;
        for (int32_t j = 0; j < grid.columns; j++) {
            Ray ray = {camera->eye, offset};
            normalize(ray.direction);
            refractInside = 0;
            float red = 0.0f;
            float green = 0.0f;
            float blue = 0.0f;
            HitRecord hit = {};
            hit.t = NO_HIT;
            traceRay(0, &ray, &hit, &light->position, &V, &red, &green, &blue);
            pixel[0] = channelByte(blue);
            pixel[1] = channelByte(green);
            pixel[2] = channelByte(red);
            pixel += grid.columnStep;
            offset = offset + R;
        }
        // The 161st sample has landed on the first pixel of the next row
        pixel += grid.rowSkip;
        rowStart = rowStart + U;
    }
}

static void averageInto(uint8_t* pixel, const uint8_t* a, const uint8_t* b) {
    for (int32_t channel = 0; channel < 3; channel++) {
        pixel[channel] = static_cast<uint8_t>((a[channel] + b[channel]) >> 1);
    }
}

void upsampleFrame(FrameBuffer frame) {
    // Horizontal pass over the sampled rows; the right neighbour of x = 319
    // is the first pixel of the next row, where the row's 161st sample lies.
    for (int32_t y = 0; y < TRACED_ROWS; y += 2) {
        uint8_t* row = frame + y * FRAME_ROW_BYTES;
        for (int32_t x = 1; x < FRAME_WIDTH; x += 2) {
            averageInto(row + x * 4, row + (x - 1) * 4, row + (x + 1) * 4);
        }
    }

    // Vertical pass over the rows in between
    for (int32_t y = 1; y < TRACED_ROWS - 1; y += 2) {
        uint8_t* row = frame + y * FRAME_ROW_BYTES;
        for (int32_t x = 0; x < FRAME_WIDTH; x++) {
            uint8_t* pixel = row + x * 4;
            averageInto(pixel, pixel - FRAME_ROW_BYTES, pixel + FRAME_ROW_BYTES);
        }
    }
}
