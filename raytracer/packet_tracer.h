// The packet tracers: the fixed scene traced 8 rays at a time (SSE2 as two
// registers of 4, AVX2 in one) or 16 (AVX-512F), each ray with the float
// operations of the reference in the same order.
#pragma once
#include <cstdint>
#include "raytracer/tracer.h"

void traceRowsSse2(const ViewRays* view, const RayRows* rows);
// Only where avx2Available(): 64-bit and native builds on a processor with AVX2.
void traceRowsAvx2(const ViewRays* view, const RayRows* rows);
bool avx2Available();
// Only where avx512Available(): 64-bit native builds on a processor with AVX-512F.
void traceRowsAvx512(const ViewRays* view, const RayRows* rows);
bool avx512Available();
