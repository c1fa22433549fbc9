// The packet tracer with WebAssembly's 128-bit SIMD: 8 rays at a time as two
// registers of 4, like SSE2's, each lane operation one WebAssembly
// instruction with the very result SSE2's gives.
#include "raytracer/packet_body.h"

#if defined(__wasm_simd128__)

#include "raytracer/lanes_wasm128.h"

#define PACKET_NAME(stem) stem##Wasm128
#include "raytracer/packet_any_scene.inc"

bool wasm128Available() {
    return true;
}

#else

PACKET_ABSENT(traceRowsWasm128, pow32Wasm128, wasm128Available, 8)

#endif
