// The half-resolution primary-ray grid (161 x 91 samples on every other
// pixel of every other row) and the averaging that fills the pixels between.
#pragma once
#include <cstdint>
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"
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

constexpr int32_t MAX_GRID_ROWS = 128; // sampled rows renderView has room for

extern SampleGrid sampleGrid; // set by setSampleGrid in every Init

void setSampleGrid();
void renderView(FrameBuffer frame, const Camera* camera, const Light* light);
// Fills the pixels between the samples with their neighbours' averages.
void upsampleFrame(FrameBuffer frame);
// The same bytes a byte at a time, for builds without SSE2.
void upsampleFrameBytewise(FrameBuffer frame);
// Traces every pixel of the image, one primary ray each, over the tracer
// pool when it is started. The view spans the half-resolution grid's field
// across the image's width with the grid's spacing ratio between rows and
// columns; an image of 161 x 91 pixels gets exactly the grid's samples.
// Width and height lie in MIN_IMAGE_SIDE..MAX_IMAGE_SIDE.
void traceImage(const FrameImage* image, const Camera* camera, const Light* light);
