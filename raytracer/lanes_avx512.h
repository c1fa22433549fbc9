// The lane operations of AVX-512F (see lanes.h): packets of sixteen rays in
// one register, masks in mask registers, a bit a lane. The including file
// switches AVX-512F on before it includes this, having included the
// standard headers, <immintrin.h> and pow32.h without it.
#pragma once
#include <cstdint>
#include "raytracer/lanes_quad_sse2.h"
#include "raytracer/pow32.h"

namespace {

constexpr int32_t LANES = 16;
typedef __m512 Floats;
#define MASK_REGISTERS
typedef __mmask16 Mask; // bit k: lane k is true

#define LANE_PS(op) _mm512_##op##_ps
#define LANE_CMP _mm512_cmp_ps_mask
#include "raytracer/lanes_one_register.h"

inline Floats asFloats(__m512i v) {
    return _mm512_castsi512_ps(v);
}
inline __m512i asInts(Floats v) {
    return _mm512_castps_si512(v);
}
// A mask as lanes of all bits set or clear, to store, and back: a lane is
// true where its sign bit is.
inline Floats maskFloats(Mask m) {
    return asFloats(_mm512_maskz_set1_epi32(m, -1));
}
inline Mask floatsMask(Floats stored) {
    return _mm512_cmplt_epi32_mask(asInts(stored), _mm512_setzero_si512());
}

inline Floats negate(Floats a) {
    return asFloats(_mm512_xor_si512(asInts(a), _mm512_set1_epi32(INT32_MIN)));
}
inline Mask noLanes() {
    return 0;
}
inline Mask maskAnd(Mask a, Mask b) {
    return static_cast<Mask>(a & b);
}
inline Mask maskOr(Mask a, Mask b) {
    return static_cast<Mask>(a | b);
}
// Lanes of `keep` that are not in `drop`.
inline Mask maskAndNot(Mask keep, Mask drop) {
    return static_cast<Mask>(keep & ~drop);
}
inline Floats select(Mask mask, Floats ifTrue, Floats ifFalse) {
    return _mm512_mask_blend_ps(mask, ifFalse, ifTrue);
}
// The value in the lanes of `mask`, 0 elsewhere.
inline Floats keepLanes(Mask mask, Floats value) {
    return _mm512_maskz_mov_ps(mask, value);
}
constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline int32_t laneBits(Mask mask) {
    return static_cast<int32_t>(mask);
}
inline bool anyLane(Mask mask) {
    return mask != 0;
}
inline void storeTruncated(int32_t* out, Floats v) {
    _mm512_store_si512(out, _mm512_cvttps_epi32(v));
}

// Two halves of 8 doubles as one register of 16 floats, each rounded to nearest.
inline Floats narrowHalves(__m512d low, __m512d high) {
    __m512d joined = _mm512_castps_pd(_mm512_castps256_ps512(_mm512_cvtpd_ps(low)));
    return _mm512_castpd_ps(_mm512_insertf64x4(joined, _mm256_castps_pd(_mm512_cvtpd_ps(high)), 1));
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes`: squared five times in double, where it is exact to 2^-48; a lane
// whose value lies too near the middle between two floats to be sure how
// powf rounds it is handed to powf itself.
Floats pow32(Floats x, Mask lanes) {
    __m512d low = _mm512_cvtps_pd(_mm512_castps512_ps256(x));
    __m512d high = _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1)));
    for (int32_t i = 0; i < 5; i++) {
        low = _mm512_mul_pd(low, low);
        high = _mm512_mul_pd(high, high);
    }
    const __m512d below = _mm512_set1_pd(1.0 - POW32_MARGIN);
    const __m512d above = _mm512_set1_pd(1.0 + POW32_MARGIN);
    Floats lower = narrowHalves(_mm512_mul_pd(low, below), _mm512_mul_pd(high, below));
    Floats upper = narrowHalves(_mm512_mul_pd(low, above), _mm512_mul_pd(high, above));
    // Rounding keeps order, so lower == upper means both equal the value
    // itself rounded, which is then lower
    __mmask16 sure = _mm512_cmp_ps_mask(lower, upper, _CMP_EQ_OQ);
    Floats result = lower;
    int32_t unsure = static_cast<int32_t>(static_cast<Mask>(~sure) & lanes);
    if (unsure == 0) {
        return result;
    }
    alignas(64) float values[LANES];
    alignas(64) float inputs[LANES];
    _mm512_store_ps(values, result);
    _mm512_store_ps(inputs, x);
    powfUnsureLanes(inputs, values, LANES, unsure);
    return _mm512_load_ps(values);
}

} // namespace
