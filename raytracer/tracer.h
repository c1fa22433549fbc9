// The primary-ray tracers behind renderView and traceImage: the reference,
// one ray at a time through traceRay, and the packet tracers, which trace
// 8 rays at once into the very same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include "raytracer/geometry.h"

// What every primary ray of a frame shares.
struct ViewRays {
    Vector3 eye;   // origin of every primary ray
    Vector3 view;  // V, the camera's unit forward direction
    Vector3 step;  // one column to the right on the view plane
    Vector3 light; // the light's position
};

// Rows of primary rays and where their pixels go. Ray j of row r looks
// along starts[r] plus j steps, summed one step at a time, and its colour
// goes into bytes 0..2 of the pixel at firstPixel + r * rowBytes + j * pixelBytes.
struct RayRows {
    const Vector3* starts; // view-plane offset of each row's first ray
    int32_t rows;
    int32_t count; // rays in a row
    uint8_t* firstPixel;
    ptrdiff_t rowBytes;
    int32_t pixelBytes;
};

typedef void (*RowsRoutine)(const ViewRays* view, const RayRows* rows);

// A new kind needs a row in tracerTable.
enum TracerKind : uint8_t {
    TRACER_REFERENCE,
    TRACER_SSE2,
    TRACER_AVX2,
    TRACER_AVX512,
    TRACER_WASM128,
    TRACER_KIND_COUNT
};

// Each kind's name ("reference", "sse2", "avx2", "avx512", "wasm128"), its
// rows routine, and whether this build and this processor can run it.
struct TracerEntry {
    const char* name;
    RowsRoutine rows;
    bool (*available)();
};
extern const TracerEntry tracerTable[TRACER_KIND_COUNT];
// Used by every frame, changed by selectTracer; at load TRACER_WASM128 in a
// WebAssembly build with SIMD, else TRACER_SSE2, or the reference where the
// build has neither.
extern TracerKind activeTracer;

// Whether this build and this processor can run the kind.
bool tracerAvailable(TracerKind kind);
// The fastest kind available here: past SSE2, the kinds run slowest to fastest.
TracerKind fastestTracer();
// Makes `kind` the active tracer; false, changing nothing, when it is not available.
bool selectTracer(TracerKind kind);
// The tracer for the frame about to be traced: the active one, which traces
// any scene.
RowsRoutine frameRowsRoutine();
// Whether the scene table is the fixed scene's, which the packet tracers
// trace by their own batches and culling; any other they trace by entry.
bool sceneIsTheFixedOne();

// Whether the packet tracers skip the tests that no ray can pass. In the
// fixed scene, sphere tests of whole packets: primary rays by each sphere's
// columns in each row, rays off the floor by those of its mirror image. In
// any other, entries and runs of entries whose bounding spheres (bounds.h)
// a packet's primary rays, or a reflected, refracted or shadow ray, cannot
// reach. On at load; off, they test every entry as before, for benchmarks
// side by side; the reference never skips. Frames are the same bytes
// either way.
extern bool packetCulling;

// Kinds of ray the packet tracers count sphere tests of.
enum RayKind : uint8_t { RAY_PRIMARY, RAY_REFLECTED, RAY_SHADOW, RAY_KIND_COUNT };

// Sphere tests of whole packets, one packet against one sphere each: run,
// and skipped as no ray of the packet could pass them.
struct SphereTestCounts {
    uint64_t tested[RAY_KIND_COUNT];
    uint64_t skipped[RAY_KIND_COUNT];
};

// Adds a tracer's counts of some rows to the totals; any thread.
void addSphereTestCounts(const SphereTestCounts* counts);
// The totals since the last call, which clears them.
SphereTestCounts takeSphereTestCounts();

// The reference: traceRay once per pixel.
void traceRowsReference(const ViewRays* view, const RayRows* rows);
// A traced channel as a pixel byte: 255 above 255, otherwise truncated
// toward zero. Inline: called three times a pixel.
inline uint8_t channelByte(float value) {
    if (value > 255.0f) {
        return 255;
    }
    if (!(value > 0.0f)) {
        return 0; // never negative in practice; also keeps a NaN defined
    }
    return static_cast<uint8_t>(value);
}
