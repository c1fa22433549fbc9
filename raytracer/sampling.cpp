// Primary rays on the half-resolution grid, and the averaging between samples.
#include "raytracer/sampling.h"

#include <cmath>

#include <cstddef>

#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"

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
    ViewRays view = {camera->eye, V, R, light->position};
    SpanRoutine traceSpan = frameSpanRoutine();
    uint8_t* pixel = frame;
    for (int32_t i = 0; i < grid.rows; i++) {
        traceSpan(&view, rowStart, grid.columns, pixel, grid.columnStep);
        // The 161st sample has landed on the first pixel of the next row
        pixel += grid.columns * grid.columnStep + grid.rowSkip;
        rowStart = rowStart + U;
    }
}

// What the rows of an any-resolution frame share while the pool traces them.
struct ImageJob {
    ViewRays view;                     // eye, forward, column step, light
    SpanRoutine traceSpan;             // the frame's tracer
    const FrameImage* image;           // where the rows go
    Vector3 rowStarts[MAX_IMAGE_SIDE]; // view-plane offset of each row's first pixel
};

static ImageJob imageJob; // written by traceImage before the rows are handed out

static void traceImageRow(const void* context, int32_t row) {
    const ImageJob* job = static_cast<const ImageJob*>(context);
    uint8_t* firstPixel = job->image->pixels + static_cast<ptrdiff_t>(row) * job->image->pitch;
    job->traceSpan(&job->view, job->rowStarts[row], job->image->width, firstPixel, 4);
}

void traceImage(const FrameImage* image, const Camera* camera, const Light* light) {
    // Steps of the half-resolution grid stretched over the image's width:
    // at 161 x 91 these are the grid's own 160 and 90 to the bit.
    float horizontalDivisor = static_cast<float>(image->width - 1);
    float verticalBase = horizontalDivisor * 0.5625f; // 90 / 160
    float columnHalfExtent = horizontalDivisor * 0.5f;
    float rowHalfExtent = static_cast<float>(image->height - 1) * 0.5f;

    // Camera basis, as renderView builds it
    Vector3 V = camera->target - camera->eye;
    normalize(V);
    Vector3 up0 = {std::sin(camera->roll), -std::cos(camera->roll), 0.0f};
    Vector3 R;
    cross(R, up0, V);
    normalize(R);
    Vector3 U;
    cross(U, R, V);
    normalize(U);
    R = (camera->zoom / horizontalDivisor) * R;
    U = (camera->zoom / (verticalBase * 1.6f)) * U;

    // Row offsets as running sums, the same whichever thread traces a row
    ImageJob& job = imageJob;
    job.view = {camera->eye, V, R, light->position};
    job.traceSpan = frameSpanRoutine();
    job.image = image;
    job.rowStarts[0] = V - columnHalfExtent * R - rowHalfExtent * U;
    for (int32_t i = 1; i < image->height; i++) {
        job.rowStarts[i] = job.rowStarts[i - 1] + U;
    }
    RowJob rows = {traceImageRow, &job, image->height};
    runRows(&rows);
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
