// Four lanes in an SSE2 register, for the rows' running sums and the
// writing of pixels, shared by the x86 instruction sets' lanes (see lanes.h),
// and for SSE2's packets of two such registers (lanes_two_registers.h).
#pragma once
#include <cstdint>
#include <emmintrin.h>

namespace {

typedef __m128 Quad;

inline Quad quadSplat(float v) {
    return _mm_set1_ps(v);
}
inline Quad quadAdd(Quad a, Quad b) {
    return _mm_add_ps(a, b);
}
inline Quad quadLoad(const float* v) {
    return _mm_load_ps(v);
}
inline void quadStore(float* out, Quad v) {
    _mm_store_ps(out, v);
}
inline void quadStoreAt(float* out, Quad v) {
    _mm_storeu_ps(out, v);
}
inline Quad quadNegate(Quad a) {
    return _mm_xor_ps(a, _mm_set1_ps(-0.0f));
}
inline Quad quadSub(Quad a, Quad b) {
    return _mm_sub_ps(a, b);
}
inline Quad quadMul(Quad a, Quad b) {
    return _mm_mul_ps(a, b);
}
inline Quad quadDiv(Quad a, Quad b) {
    return _mm_div_ps(a, b);
}
inline Quad quadSqrt(Quad a) {
    return _mm_sqrt_ps(a);
}
inline Quad quadMin(Quad a, Quad b) {
    return _mm_min_ps(a, b);
}
inline Quad quadLt(Quad a, Quad b) {
    return _mm_cmplt_ps(a, b);
}
inline Quad quadGt(Quad a, Quad b) {
    return _mm_cmpgt_ps(a, b);
}
inline Quad quadGe(Quad a, Quad b) {
    return _mm_cmpge_ps(a, b);
}
inline Quad quadEq(Quad a, Quad b) {
    return _mm_cmpeq_ps(a, b);
}
inline Quad quadAnd(Quad a, Quad b) {
    return _mm_and_ps(a, b);
}
inline Quad quadOr(Quad a, Quad b) {
    return _mm_or_ps(a, b);
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
