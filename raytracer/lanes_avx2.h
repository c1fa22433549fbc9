// The lane operations of AVX2 (see lanes.h): packets of eight rays in one
// register. The including file switches AVX2 on before it includes this,
// having included the standard headers and pow32.h without it.
#pragma once
#include <cstdint>
#include <immintrin.h>
#include "raytracer/lanes_quad_sse2.h"
#include "raytracer/pow32.h"

namespace {

constexpr int32_t LANES = 8;
typedef __m256 Floats; // also masks: all bits set in a true lane

#define LANE_PS(op) _mm256_##op##_ps
#define LANE_CMP _mm256_cmp_ps
#include "raytracer/lanes_one_register.h"

inline Floats negate(Floats a) {
    return _mm256_xor_ps(a, _mm256_set1_ps(-0.0f));
}
inline Floats maskAnd(Floats a, Floats b) {
    return _mm256_and_ps(a, b);
}
inline Floats maskOr(Floats a, Floats b) {
    return _mm256_or_ps(a, b);
}
// Lanes of `keep` that are not in `drop`.
inline Floats maskAndNot(Floats keep, Floats drop) {
    return _mm256_andnot_ps(drop, keep);
}
inline Floats select(Floats mask, Floats ifTrue, Floats ifFalse) {
    return _mm256_blendv_ps(ifFalse, ifTrue, mask);
}
constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline int32_t laneBits(Floats mask) {
    return _mm256_movemask_ps(mask);
}
inline bool anyLane(Floats mask) {
    return _mm256_movemask_ps(mask) != 0;
}
inline void storeTruncated(int32_t* out, Floats v) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), _mm256_cvttps_epi32(v));
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes`: squared five times in double, where it is exact to 2^-48; a lane
// whose value lies too near the middle between two floats to be sure how
// powf rounds it is handed to powf itself.
Floats pow32(Floats x, Floats lanes) {
    __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(x));
    __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1));
    for (int32_t i = 0; i < 5; i++) {
        low = _mm256_mul_pd(low, low);
        high = _mm256_mul_pd(high, high);
    }
    const __m256d below = _mm256_set1_pd(1.0 - POW32_MARGIN);
    const __m256d above = _mm256_set1_pd(1.0 + POW32_MARGIN);
    Floats lower =
        _mm256_set_m128(_mm256_cvtpd_ps(_mm256_mul_pd(high, below)), _mm256_cvtpd_ps(_mm256_mul_pd(low, below)));
    Floats upper =
        _mm256_set_m128(_mm256_cvtpd_ps(_mm256_mul_pd(high, above)), _mm256_cvtpd_ps(_mm256_mul_pd(low, above)));
    // Rounding keeps order, so lower == upper means both equal the value
    // itself rounded, which is then lower
    Floats sure = cmpEq(lower, upper);
    Floats result = lower;
    int32_t unsure = _mm256_movemask_ps(_mm256_andnot_ps(sure, lanes));
    if (unsure == 0) {
        return result;
    }
    alignas(32) float values[LANES];
    alignas(32) float inputs[LANES];
    _mm256_store_ps(values, result);
    _mm256_store_ps(inputs, x);
    powfUnsureLanes(inputs, values, LANES, unsure);
    return _mm256_load_ps(values);
}

} // namespace
