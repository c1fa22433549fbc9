// The packet tracer with WebAssembly's 128-bit SIMD: 8 rays at a time as two
// registers of 4, like SSE2's, each lane operation one WebAssembly
// instruction with the very result SSE2's gives.
#include "raytracer/packet_body.h"

#if defined(__wasm_simd128__)

#include "raytracer/lanes_wasm128.h"

#define PACKET_ROWS traceRowsWasm128
#include "raytracer/packet_any_scene.inc"

// x^32 of four floats, for the test that holds it to powf over all inputs.
void pow32Wasm128(const float* x, float* out) {
    v128_t all = wasm_i32x4_splat(-1);
    wasm_v128_store(out, pow32Quad(wasm_v128_load(x), all));
}

bool wasm128Available() {
    return true;
}

#else

// No WebAssembly SIMD in this build: never available, so never called.
void traceRowsWasm128(const ViewRays* view, const RayRows* rows) {
    traceRowsSse2(view, rows);
}

void pow32Wasm128(const float* x, float* out) {
    pow32Sse2(x, out);
}

bool wasm128Available() {
    return false;
}

#endif
