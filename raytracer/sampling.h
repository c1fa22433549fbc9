// The half-resolution primary-ray grid (161 x 91 samples on every other
// pixel of every other row) and the averaging that fills the pixels between.
#pragma once
#include <cstdint>
#include "frame/frame_buffer.h"
#include "raytracer/scene.h"

struct SampleGrid {
    int32_t columns;          // 161 samples per sampled row
    int32_t rows;             // 91 sampled rows
    int32_t columnStep;       // 8 bytes: two pixels
    int32_t rowSkip;          // 1272 bytes after a row's last sample
    float horizontalDivisor;  // 160: zoom / 160 is one column step
    float verticalBase;       // 90: zoom / (90 * 1.6) is one row step
    int32_t columnHalfExtent; // 80 steps from the left edge to the centre
    int32_t rowHalfExtent;    // 45 steps from the top edge to the centre
};

extern SampleGrid sampleGrid; // set by setSampleGrid in every Init

void setSampleGrid();
void renderView(FrameBuffer frame, const Camera* camera, const Light* light);
void upsampleFrame(FrameBuffer frame);
