// The packet tracers: the fixed scene traced 8 rays at a time (SSE2 and
// WebAssembly's SIMD as two registers of 4, AVX2 in one) or 16 (AVX-512F),
// each ray with the float operations of the reference in the same order.
#pragma once
#include <cstdint>
#include "raytracer/tracer.h"

// Only where sse2Available(): every x86 build, and WebAssembly through
// emscripten's SSE2 headers.
void traceRowsSse2(const ViewRays* view, const RayRows* rows);
bool sse2Available();
// Only where avx2Available(): 64-bit and native builds on a processor with AVX2.
void traceRowsAvx2(const ViewRays* view, const RayRows* rows);
bool avx2Available();
// Only where avx512Available(): 64-bit native builds on a processor with AVX-512F.
void traceRowsAvx512(const ViewRays* view, const RayRows* rows);
bool avx512Available();
// Only where wasm128Available(): WebAssembly builds with 128-bit SIMD.
void traceRowsWasm128(const ViewRays* view, const RayRows* rows);
bool wasm128Available();
