// The lane operations of SSE2 (see lanes.h): packets of eight rays as two
// registers of four, in the namespace pair; x^32 of one register outside it.
#pragma once
#include <cstdint>
#include <emmintrin.h>
#include "raytracer/lanes_quad_sse2.h"
#include "raytracer/pow32.h"

namespace {

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes` of four: squared five times in double, where it is exact to
// 2^-48; a lane whose value lies too near the middle between two floats to
// be sure how powf rounds it is handed to powf itself.
__m128 pow32Quad(__m128 x, __m128 lanes) {
    __m128d low = _mm_cvtps_pd(x);
    __m128d high = _mm_cvtps_pd(_mm_movehl_ps(x, x));
    for (int32_t i = 0; i < 5; i++) {
        low = _mm_mul_pd(low, low);
        high = _mm_mul_pd(high, high);
    }
    const __m128d below = _mm_set1_pd(1.0 - POW32_MARGIN);
    const __m128d above = _mm_set1_pd(1.0 + POW32_MARGIN);
    __m128 lower = _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(low, below)), _mm_cvtpd_ps(_mm_mul_pd(high, below)));
    __m128 upper = _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(low, above)), _mm_cvtpd_ps(_mm_mul_pd(high, above)));
    // Rounding keeps order, so lower == upper means both equal the value
    // itself rounded, which is then lower
    __m128 sure = _mm_cmpeq_ps(lower, upper);
    __m128 result = lower;
    int32_t unsure = _mm_movemask_ps(_mm_andnot_ps(sure, lanes));
    if (unsure == 0) {
        return result;
    }
    alignas(16) float values[4];
    alignas(16) float inputs[4];
    _mm_store_ps(values, result);
    _mm_store_ps(inputs, x);
    powfUnsureLanes(inputs, values, 4, unsure);
    return _mm_load_ps(values);
}

// Packets of eight rays in two registers.
namespace pair {

constexpr int32_t LANES = 8;

// Two registers of four lanes traced side by side: their operations are
// independent, so the processor overlaps the long divisions and square roots
// of one with those of the other.
struct Floats {  // also masks: all bits set in a true lane
    __m128 low;  // lanes 0..3
    __m128 high; // lanes 4..7
};

inline Floats splat(float v) {
    return {_mm_set1_ps(v), _mm_set1_ps(v)};
}
inline Floats negate(Floats a) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    return {_mm_xor_ps(a.low, sign), _mm_xor_ps(a.high, sign)};
}
inline Floats add(Floats a, Floats b) {
    return {_mm_add_ps(a.low, b.low), _mm_add_ps(a.high, b.high)};
}
inline Floats sub(Floats a, Floats b) {
    return {_mm_sub_ps(a.low, b.low), _mm_sub_ps(a.high, b.high)};
}
inline Floats mul(Floats a, Floats b) {
    return {_mm_mul_ps(a.low, b.low), _mm_mul_ps(a.high, b.high)};
}
inline Floats div(Floats a, Floats b) {
    return {_mm_div_ps(a.low, b.low), _mm_div_ps(a.high, b.high)};
}
inline Floats squareRoot(Floats a) {
    return {_mm_sqrt_ps(a.low), _mm_sqrt_ps(a.high)};
}
inline Floats minimum(Floats a, Floats b) {
    return {_mm_min_ps(a.low, b.low), _mm_min_ps(a.high, b.high)};
}
inline Floats cmpLt(Floats a, Floats b) {
    return {_mm_cmplt_ps(a.low, b.low), _mm_cmplt_ps(a.high, b.high)};
}
inline Floats cmpGt(Floats a, Floats b) {
    return {_mm_cmpgt_ps(a.low, b.low), _mm_cmpgt_ps(a.high, b.high)};
}
inline Floats cmpGe(Floats a, Floats b) {
    return {_mm_cmpge_ps(a.low, b.low), _mm_cmpge_ps(a.high, b.high)};
}
inline Floats cmpEq(Floats a, Floats b) {
    return {_mm_cmpeq_ps(a.low, b.low), _mm_cmpeq_ps(a.high, b.high)};
}
inline Floats maskAnd(Floats a, Floats b) {
    return {_mm_and_ps(a.low, b.low), _mm_and_ps(a.high, b.high)};
}
inline Floats maskOr(Floats a, Floats b) {
    return {_mm_or_ps(a.low, b.low), _mm_or_ps(a.high, b.high)};
}
// Lanes of `keep` that are not in `drop`.
inline Floats maskAndNot(Floats keep, Floats drop) {
    return {_mm_andnot_ps(drop.low, keep.low), _mm_andnot_ps(drop.high, keep.high)};
}
inline __m128 selectQuad(__m128 mask, __m128 ifTrue, __m128 ifFalse) {
    return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
}
inline Floats select(Floats mask, Floats ifTrue, Floats ifFalse) {
    return {selectQuad(mask.low, ifTrue.low, ifFalse.low), selectQuad(mask.high, ifTrue.high, ifFalse.high)};
}
constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline int32_t laneBits(Floats mask) {
    return _mm_movemask_ps(mask.low) | (_mm_movemask_ps(mask.high) << 4);
}
// Nothing to clear: the scalar code runs at full speed after these registers.
inline void leaveLanes() {}
inline bool anyLane(Floats mask) {
    return _mm_movemask_ps(_mm_or_ps(mask.low, mask.high)) != 0;
}
inline Floats loadFloats(const float* v) {
    return {_mm_load_ps(v), _mm_load_ps(v + 4)};
}
inline void storeFloats(float* out, Floats v) {
    _mm_store_ps(out, v.low);
    _mm_store_ps(out + 4, v.high);
}
inline void storeFloatsAt(float* out, Floats v) {
    _mm_storeu_ps(out, v.low);
    _mm_storeu_ps(out + 4, v.high);
}
inline void storeTruncated(int32_t* out, Floats v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_cvttps_epi32(v.low));
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 4), _mm_cvttps_epi32(v.high));
}

inline Floats pow32(Floats x, Floats lanes) {
    return {pow32Quad(x.low, lanes.low), pow32Quad(x.high, lanes.high)};
}

} // namespace pair

} // namespace
