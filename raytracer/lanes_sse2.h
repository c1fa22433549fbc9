// The lane operations of SSE2 (see lanes.h): packets of eight rays as two
// registers of four (lanes_two_registers.h), over the operations on one
// register that this header defines.
#pragma once
#include <cstdint>
#include <emmintrin.h>
#include "raytracer/lanes_quad_sse2.h"
#include "raytracer/pow32.h"

namespace {

// The packets' operations on each register: SSE2's four-float forms, its
// comparisons by predicate and its bitwise operations on masks.
#define QUAD_COMPARE(predicate, a, b) _mm_cmp##predicate##_ps(a, b)
#define QUAD_AND _mm_and_ps
#define QUAD_OR _mm_or_ps

inline Quad quadNegate(Quad a) {
    return _mm_xor_ps(a, _mm_set1_ps(-0.0f));
}
inline Quad quadMin(Quad a, Quad b) {
    return _mm_min_ps(a, b);
}
inline Quad quadAndNot(Quad keep, Quad drop) {
    return _mm_andnot_ps(drop, keep);
}
inline Quad quadSelect(Quad mask, Quad ifTrue, Quad ifFalse) {
    return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
}
inline int32_t quadBits(Quad mask) {
    return _mm_movemask_ps(mask);
}
inline void quadStoreTruncated(int32_t* out, Quad v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_cvttps_epi32(v));
}

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
    powfUnsureLanes(inputs, values, unsure);
    return _mm_load_ps(values);
}

} // namespace

#include "raytracer/lanes_two_registers.h"
