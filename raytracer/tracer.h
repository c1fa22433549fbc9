// The primary-ray tracers behind renderView and traceImage: the reference,
// one ray at a time through traceRay, and the packet tracers, which trace
// 4 (SSE2) or 8 (AVX2) rays at once into the very same bytes.
#pragma once
#include <cstdint>
#include "raytracer/geometry.h"

// What every primary ray of a frame shares.
struct ViewRays {
    Vector3 eye;   // origin of every primary ray
    Vector3 view;  // V, the camera's unit forward direction
    Vector3 step;  // one column to the right on the view plane
    Vector3 light; // the light's position
};

// Traces the `count` rays of one row. Ray j looks along rowStart plus j
// steps, summed one step at a time, and its colour goes into bytes 0..2 of
// the pixel at firstPixel + j * pixelBytes.
typedef void (*SpanRoutine)(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel,
                            int32_t pixelBytes);

// A new kind needs a row in spanTable and in tracerNames.
enum TracerKind : uint8_t { TRACER_REFERENCE, TRACER_SSE2, TRACER_AVX2, TRACER_KIND_COUNT };

extern const SpanRoutine spanTable[TRACER_KIND_COUNT];
extern const char* const tracerNames[TRACER_KIND_COUNT]; // "reference", "sse2", "avx2"
extern TracerKind activeTracer; // used by every frame; TRACER_SSE2 at load, changed by selectTracer

// Whether this build and this processor can run the kind.
bool tracerAvailable(TracerKind kind);
// The fastest kind available here.
TracerKind fastestTracer();
// Makes `kind` the active tracer; false, changing nothing, when it is not available.
bool selectTracer(TracerKind kind);
// The tracer for the frame about to be traced: the active one, or the
// reference when the scene is not the one the packet tracers know.
SpanRoutine frameSpanRoutine();

// The reference: traceRay once per pixel.
void traceSpanReference(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes);
// A traced channel as a pixel byte: 255 above 255, otherwise truncated toward zero.
uint8_t channelByte(float value);
