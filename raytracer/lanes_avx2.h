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
typedef Floats Mask;
typedef __m256d Doubles;

constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline void storeTruncated(int32_t* out, Floats v) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), _mm256_cvttps_epi32(v));
}

// Half a packet's lanes, and two halves in doubles rounded back to one packet.
inline __m128 lowHalf(Floats x) {
    return _mm256_castps256_ps128(x);
}
inline __m128 highHalf(Floats x) {
    return _mm256_extractf128_ps(x, 1);
}
inline Floats narrowHalves(Doubles low, Doubles high) {
    return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
}

#define LANE_PS(op) _mm256_##op##_ps
#define LANE_PD(op) _mm256_##op##_pd
#define LANE_CMP _mm256_cmp_ps
#include "raytracer/lanes_one_register.h"

} // namespace
