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
typedef __m512d Doubles;

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

// Half a packet's lanes, and two halves in doubles rounded back to one packet.
inline __m256 lowHalf(Floats x) {
    return _mm512_castps512_ps256(x);
}
inline __m256 highHalf(Floats x) {
    return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1));
}
inline Floats narrowHalves(Doubles low, Doubles high) {
    __m512d joined = _mm512_castps_pd(_mm512_castps256_ps512(_mm512_cvtpd_ps(low)));
    return _mm512_castpd_ps(_mm512_insertf64x4(joined, _mm256_castps_pd(_mm512_cvtpd_ps(high)), 1));
}

#define LANE_PS(op) _mm512_##op##_ps
#define LANE_PD(op) _mm512_##op##_pd
#define LANE_CMP _mm512_cmp_ps_mask
#include "raytracer/lanes_one_register.h"

} // namespace
