// The packet tracers: the fixed scene traced 4 or 8 primary rays at a time,
// each ray with the float operations of the reference in the same order.
#pragma once
#include <cstdint>
#include "raytracer/tracer.h"

void traceSpanSse2(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes);
// Only where avx2Available(): 64-bit and native builds on a processor with AVX2.
void traceSpanAvx2(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes);
bool avx2Available();
