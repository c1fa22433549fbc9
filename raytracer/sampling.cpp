// Primary rays on the half-resolution grid, and the averaging between samples.
#include "raytracer/sampling.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The camera's unit view direction V, and the unit right and down vectors
// R and U of the view plane, turned by the camera's roll.
static void cameraBasis(const Camera* camera, Vector3* V, Vector3* R, Vector3* U) {
    *V = camera->target - camera->eye;
    normalize(*V);
    Vector3 up0 = {std::sin(camera->roll), -std::cos(camera->roll), 0.0f};
    cross(*R, up0, *V);
    normalize(*R);
    cross(*U, *R, *V);
    normalize(*U);
}

void renderView(FrameBuffer frame, const Camera* camera, const Light* light) {
    const SampleGrid& grid = sampleGrid;

    // Camera basis, scaled to one grid step
    Vector3 V, R, U;
    cameraBasis(camera, &V, &R, &U);
    R = (camera->zoom / grid.horizontalDivisor) * R;
    U = (camera->zoom / (grid.verticalBase * 1.6f)) * U;
    Vector3 rowStart = V - static_cast<float>(grid.columnHalfExtent) * R - static_cast<float>(grid.rowHalfExtent) * U;

    // One primary ray per sample, written every other pixel of every other
    // row; a row's 161st sample lands on the first pixel of the next row
    static Vector3 rowStarts[MAX_GRID_ROWS];
    int32_t rows = grid.rows < MAX_GRID_ROWS ? grid.rows : MAX_GRID_ROWS;
    for (int32_t i = 0; i < rows; i++) {
        rowStarts[i] = rowStart;
        rowStart = rowStart + U;
    }
    ViewRays view = {camera->eye, V, R, light->position};
    RayRows sampled = {rowStarts,      rows, grid.columns, frame, grid.columns * grid.columnStep + grid.rowSkip,
                       grid.columnStep};
    frameRowsRoutine()(&view, &sampled);
}

// What the rows of an any-resolution frame share while the pool traces them.
struct ImageJob {
    ViewRays view;                     // eye, forward, column step, light
    RowsRoutine traceRows;             // the frame's tracer
    const FrameImage* image;           // where the rows go
    int32_t bandRows;                  // rows handed out together
    Vector3 rowStarts[MAX_IMAGE_SIDE]; // view-plane offset of each row's first pixel
};

static ImageJob imageJob; // written by traceImage before the bands are handed out

// Rays a band of rows holds at least, where the image is narrower: the
// packet tracers pack the rays still going at each depth across a band.
constexpr int32_t BAND_RAYS = 512;
// Rows a band holds where the image is wider: the packet tracers fill a
// batch from four rows side by side, so a band of one row would leave three
// quarters of each batch empty.
constexpr int32_t WIDE_BAND_ROWS = 4;

static void traceImageBand(const void* context, int32_t band) {
    const ImageJob* job = static_cast<const ImageJob*>(context);
    int32_t first = band * job->bandRows;
    int32_t rows = job->image->height - first < job->bandRows ? job->image->height - first : job->bandRows;
    RayRows span = {&job->rowStarts[first], rows,
                    job->image->width,      job->image->pixels + static_cast<ptrdiff_t>(first) * job->image->pitch,
                    job->image->pitch,      4};
    job->traceRows(&job->view, &span);
}

void traceImage(const FrameImage* image, const Camera* camera, const Light* light) {
    if (image->width < MIN_IMAGE_SIDE || image->width > MAX_IMAGE_SIDE || image->height < MIN_IMAGE_SIDE ||
        image->height > MAX_IMAGE_SIDE) {
        return; // no view to span, or more rows than there are row offsets
    }
    // Steps of the half-resolution grid stretched over the image's width:
    // at 161 x 91 these are the grid's own 160 and 90 to the bit.
    float horizontalDivisor = static_cast<float>(image->width - 1);
    float verticalBase = horizontalDivisor * 0.5625f; // 90 / 160
    float columnHalfExtent = horizontalDivisor * 0.5f;
    float rowHalfExtent = static_cast<float>(image->height - 1) * 0.5f;

    // Camera basis, as renderView builds it
    Vector3 V, R, U;
    cameraBasis(camera, &V, &R, &U);
    R = (camera->zoom / horizontalDivisor) * R;
    U = (camera->zoom / (verticalBase * 1.6f)) * U;

    // Row offsets as running sums, the same whichever thread traces a row
    ImageJob& job = imageJob;
    job.view = {camera->eye, V, R, light->position};
    job.traceRows = frameRowsRoutine();
    job.image = image;
    job.bandRows = image->width < BAND_RAYS ? (BAND_RAYS + image->width - 1) / image->width : WIDE_BAND_ROWS;
    job.rowStarts[0] = V - columnHalfExtent * R - rowHalfExtent * U;
    for (int32_t i = 1; i < image->height; i++) {
        job.rowStarts[i] = job.rowStarts[i - 1] + U;
    }
    RowJob bands = {traceImageBand, &job, (image->height + job.bandRows - 1) / job.bandRows};
    runRows(&bands);
}

// The colour bytes of the pixel at `pixel`: the average of those `before`
// and `after` bytes away, rounded down; byte 3 is left alone.
static void averageColours(uint8_t* pixel, ptrdiff_t before, ptrdiff_t after) {
    for (int32_t c = 0; c < 3; c++) {
        pixel[c] = static_cast<uint8_t>((pixel[c - before] + pixel[c + after]) >> 1);
    }
}

void upsampleFrameBytewise(FrameBuffer frame) {
    // Horizontal pass over the sampled rows: each odd pixel from its two
    // neighbours; that of x = 319 on the right is the next row's first pixel
    for (int32_t y = 0; y < TRACED_ROWS; y += 2) {
        uint8_t* row = frame + y * FRAME_ROW_BYTES;
        for (int32_t x = 1; x < FRAME_WIDTH; x += 2) {
            averageColours(row + x * 4, 4, 4);
        }
    }

    // Vertical pass over the rows in between
    for (int32_t y = 1; y < TRACED_ROWS - 1; y += 2) {
        uint8_t* row = frame + y * FRAME_ROW_BYTES;
        for (int32_t x = 0; x < FRAME_WIDTH; x++) {
            averageColours(row + x * 4, FRAME_ROW_BYTES, FRAME_ROW_BYTES);
        }
    }
}

#if defined(__SSE2__)

// Per byte, the sum of a and b shifted right by one: SSE2's average rounds
// up, so the lowest bit of the sum is taken back off.
static __m128i averageDown(__m128i a, __m128i b) {
    __m128i roundedUp = _mm_avg_epu8(a, b);
    return _mm_sub_epi8(roundedUp, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// Four pixels at once: `averaged` in the bytes `mask` selects, `kept` elsewhere.
static __m128i blendBytes(__m128i mask, __m128i averaged, __m128i kept) {
    return _mm_or_si128(_mm_and_si128(mask, averaged), _mm_andnot_si128(mask, kept));
}

static __m128i loadPixels(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

static void storePixels(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

void upsampleFrame(FrameBuffer frame) {
    // Horizontal pass over the sampled rows, four pixels a step: pixels
    // 4k + 1 and 4k + 3 from the samples 4k, 4k + 2 and 4k + 4, the last
    // taken from the next four. The right neighbour of x = 319 is the first
    // pixel of the next row, where the row's 161st sample lies.
    const __m128i gapColours = _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0);
    for (int32_t y = 0; y < TRACED_ROWS; y += 2) {
        uint8_t* pixel = frame + y * FRAME_ROW_BYTES;
        __m128i four = loadPixels(pixel);
        for (int32_t x = 0; x < FRAME_WIDTH; x += 4) {
            __m128i next = loadPixels(pixel + 16);
            __m128i twoOn = _mm_or_si128(_mm_srli_si128(four, 8), _mm_slli_si128(next, 8));
            __m128i averaged = _mm_slli_si128(averageDown(four, twoOn), 4);
            storePixels(pixel, blendBytes(gapColours, averaged, four));
            four = next;
            pixel += 16;
        }
    }

    // Vertical pass over the rows in between, four pixels at a time
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    for (int32_t y = 1; y < TRACED_ROWS - 1; y += 2) {
        uint8_t* row = frame + y * FRAME_ROW_BYTES;
        for (int32_t x = 0; x < FRAME_WIDTH; x += 4) {
            uint8_t* pixel = row + x * 4;
            __m128i averaged = averageDown(loadPixels(pixel - FRAME_ROW_BYTES), loadPixels(pixel + FRAME_ROW_BYTES));
            storePixels(pixel, blendBytes(colours, averaged, loadPixels(pixel)));
        }
    }
}

#else

void upsampleFrame(FrameBuffer frame) {
    upsampleFrameBytewise(frame);
}

#endif
