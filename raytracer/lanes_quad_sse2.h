// Four lanes in an SSE2 register, for the rows' running sums and the
// writing of pixels, shared by the x86 instruction sets' lanes (see lanes.h),
// and for SSE2's packets of two such registers (lanes_sse2.h).
#pragma once
#include <cstdint>
#include <emmintrin.h>

namespace {

typedef __m128 Quad;
#define QUAD_PS(op) _mm_##op##_ps

inline Quad quadSplat(float v) {
    return _mm_set1_ps(v);
}
inline void transposeQuads(Quad q[4]) {
    _MM_TRANSPOSE4_PS(q[0], q[1], q[2], q[3]);
}
// Four pixels side by side: the three bytes put in, the fourth kept.
inline void writeFourPixels(uint8_t* pixel, const int32_t* grey, const int32_t* blue) {
    __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue));
    __m128i colour = _mm_or_si128(b, _mm_or_si128(_mm_slli_epi32(g, 8), _mm_slli_epi32(g, 16)));
    __m128i kept = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel)),
                                 _mm_set1_epi32(static_cast<int32_t>(0xFF000000u)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), _mm_or_si128(kept, colour));
}

} // namespace

#include "raytracer/lanes_quad.h"
