// The lane operations of WebAssembly's 128-bit SIMD (see lanes.h): packets
// of eight rays as two registers of four, like SSE2's (lanes_two_registers.h),
// each lane operation one WebAssembly instruction with the very result
// SSE2's gives.
#pragma once
#include <cstdint>
#include <wasm_simd128.h>
#include "raytracer/pow32.h"

namespace {

// The value as it is, but unknown to the compiler. Told that a mask's lanes
// are all 0 or all 1, the compiler turns an `and` with it into a select,
// which WebAssembly has only as v128.bitselect: three instructions where
// one would do, once the engine has compiled it.
inline v128_t opaque(v128_t v) {
    __asm__("" : "+r"(v));
    return v;
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes` of four: squared five times in double, where it is exact to
// 2^-48; a lane whose value lies too near the middle between two floats to
// be sure how powf rounds it is handed to powf itself.
v128_t pow32Quad(v128_t x, v128_t lanes) {
    v128_t low = wasm_f64x2_promote_low_f32x4(x);
    v128_t high = wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(x, x, 2, 3, 2, 3));
    for (int32_t i = 0; i < 5; i++) {
        low = wasm_f64x2_mul(low, low);
        high = wasm_f64x2_mul(high, high);
    }
    const v128_t below = wasm_f64x2_splat(1.0 - POW32_MARGIN);
    const v128_t above = wasm_f64x2_splat(1.0 + POW32_MARGIN);
    v128_t lower = wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(wasm_f64x2_mul(low, below)),
                                      wasm_f32x4_demote_f64x2_zero(wasm_f64x2_mul(high, below)), 0, 1, 4, 5);
    v128_t upper = wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(wasm_f64x2_mul(low, above)),
                                      wasm_f32x4_demote_f64x2_zero(wasm_f64x2_mul(high, above)), 0, 1, 4, 5);
    // Rounding keeps order, so lower == upper means both equal the result
    v128_t unsureLanes = wasm_v128_andnot(lanes, opaque(wasm_f32x4_eq(lower, upper)));
    v128_t result =
        wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(low), wasm_f32x4_demote_f64x2_zero(high), 0, 1, 4, 5);
    if (!wasm_v128_any_true(unsureLanes)) {
        return result;
    }
    alignas(16) float values[4];
    alignas(16) float inputs[4];
    wasm_v128_store(values, result);
    wasm_v128_store(inputs, x);
    powfUnsureLanes(inputs, values, wasm_i32x4_bitmask(unsureLanes));
    return wasm_v128_load(values);
}

// Four lanes, for the rows' running sums and the writing of pixels, and
// for the packets of two such registers (lanes_two_registers.h).
typedef v128_t Quad;
#define QUAD_PS(op) wasm_f32x4_##op
// Comparisons give masks the compiler cannot see through, as above.
#define QUAD_COMPARE(predicate, a, b) opaque(wasm_f32x4_##predicate(a, b))
#define QUAD_AND wasm_v128_and
#define QUAD_OR wasm_v128_or

inline Quad quadSplat(float v) {
    return wasm_f32x4_splat(v);
}
// Flips the sign bit alone, as SSE2's xor with -0 does.
inline Quad quadNegate(Quad a) {
    return wasm_f32x4_neg(a);
}
// SSE2's minimum, a < b ? a : b, is pmin with the operands swapped: one
// instruction where emscripten's _mm_min_ps takes a compare and a select.
inline Quad quadMin(Quad a, Quad b) {
    return wasm_f32x4_pmin(b, a);
}
inline Quad quadAndNot(Quad keep, Quad drop) {
    return wasm_v128_andnot(keep, drop);
}
inline Quad quadSelect(Quad mask, Quad ifTrue, Quad ifFalse) {
    return wasm_v128_bitselect(ifTrue, ifFalse, mask);
}
// The engine tests the lanes' top bits in fewer instructions than any bit.
inline int32_t quadBits(Quad mask) {
    return static_cast<int32_t>(wasm_i32x4_bitmask(mask));
}
// Colours are clamped to 0..255 first, where truncating with saturation is
// SSE2's truncation.
inline void quadStoreTruncated(int32_t* out, Quad v) {
    wasm_v128_store(out, wasm_i32x4_trunc_sat_f32x4(v));
}
inline void transposeQuads(Quad q[4]) {
    v128_t low01 = wasm_i32x4_shuffle(q[0], q[1], 0, 4, 1, 5);
    v128_t low23 = wasm_i32x4_shuffle(q[2], q[3], 0, 4, 1, 5);
    v128_t high01 = wasm_i32x4_shuffle(q[0], q[1], 2, 6, 3, 7);
    v128_t high23 = wasm_i32x4_shuffle(q[2], q[3], 2, 6, 3, 7);
    q[0] = wasm_i32x4_shuffle(low01, low23, 0, 1, 4, 5);
    q[1] = wasm_i32x4_shuffle(low01, low23, 2, 3, 6, 7);
    q[2] = wasm_i32x4_shuffle(high01, high23, 0, 1, 4, 5);
    q[3] = wasm_i32x4_shuffle(high01, high23, 2, 3, 6, 7);
}
// Four pixels side by side: the three bytes put in, the fourth kept.
inline void writeFourPixels(uint8_t* pixel, const int32_t* grey, const int32_t* blue) {
    v128_t g = wasm_v128_load(grey);
    v128_t colour = wasm_v128_or(wasm_v128_load(blue), wasm_v128_or(wasm_i32x4_shl(g, 8), wasm_i32x4_shl(g, 16)));
    v128_t kept = wasm_v128_and(wasm_v128_load(pixel), wasm_i32x4_splat(static_cast<int32_t>(0xFF000000u)));
    wasm_v128_store(pixel, wasm_v128_or(kept, colour));
}

} // namespace

#include "raytracer/lanes_quad.h"
#include "raytracer/lanes_two_registers.h"
