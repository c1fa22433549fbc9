// The packet tracer with SSE2, 4 rays at a time: every x86 processor the
// plug-in runs on has it, so the 32-bit DLL uses it too.
#include <emmintrin.h>

#include <cmath>

#include "raytracer/packet_tracer.h"
#include "raytracer/pow32.h"
#include "raytracer/scene.h"
#include "raytracer/shading.h"

namespace {

constexpr int32_t LANES = 4;
typedef __m128 Floats; // also masks: all bits set in a true lane

inline Floats splat(float v) {
    return _mm_set1_ps(v);
}
inline Floats negate(Floats a) {
    return _mm_xor_ps(a, _mm_set1_ps(-0.0f));
}
inline Floats add(Floats a, Floats b) {
    return _mm_add_ps(a, b);
}
inline Floats sub(Floats a, Floats b) {
    return _mm_sub_ps(a, b);
}
inline Floats mul(Floats a, Floats b) {
    return _mm_mul_ps(a, b);
}
inline Floats div(Floats a, Floats b) {
    return _mm_div_ps(a, b);
}
inline Floats squareRoot(Floats a) {
    return _mm_sqrt_ps(a);
}
inline Floats minimum(Floats a, Floats b) {
    return _mm_min_ps(a, b);
}
inline Floats cmpLt(Floats a, Floats b) {
    return _mm_cmplt_ps(a, b);
}
inline Floats cmpGt(Floats a, Floats b) {
    return _mm_cmpgt_ps(a, b);
}
inline Floats cmpGe(Floats a, Floats b) {
    return _mm_cmpge_ps(a, b);
}
inline Floats cmpEq(Floats a, Floats b) {
    return _mm_cmpeq_ps(a, b);
}
inline Floats maskAnd(Floats a, Floats b) {
    return _mm_and_ps(a, b);
}
inline Floats maskOr(Floats a, Floats b) {
    return _mm_or_ps(a, b);
}
// Lanes of `keep` that are not in `drop`.
inline Floats maskAndNot(Floats keep, Floats drop) {
    return _mm_andnot_ps(drop, keep);
}
inline Floats select(Floats mask, Floats ifTrue, Floats ifFalse) {
    return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
}
constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline int32_t laneBits(Floats mask) {
    return _mm_movemask_ps(mask);
}
inline bool anyLane(Floats mask) {
    return _mm_movemask_ps(mask) != 0;
}
inline Floats loadFloats(const float* v) {
    return _mm_load_ps(v);
}
inline void storeTruncated(int32_t* out, Floats v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_cvttps_epi32(v));
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes`: squared five times in double, where it is exact to 2^-48; a lane
// whose value lies too near the middle between two floats to be sure how
// powf rounds it is handed to powf itself.
Floats pow32(Floats x, Floats lanes) {
    __m128d low = _mm_cvtps_pd(x);
    __m128d high = _mm_cvtps_pd(_mm_movehl_ps(x, x));
    for (int32_t i = 0; i < 5; i++) {
        low = _mm_mul_pd(low, low);
        high = _mm_mul_pd(high, high);
    }
    const __m128d below = _mm_set1_pd(1.0 - POW32_MARGIN);
    const __m128d above = _mm_set1_pd(1.0 + POW32_MARGIN);
    Floats result = _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
    Floats lower = _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(low, below)), _mm_cvtpd_ps(_mm_mul_pd(high, below)));
    Floats upper = _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(low, above)), _mm_cvtpd_ps(_mm_mul_pd(high, above)));
    Floats sure = _mm_and_ps(_mm_cmpeq_ps(lower, result), _mm_cmpeq_ps(upper, result));
    int32_t unsure = _mm_movemask_ps(_mm_andnot_ps(sure, lanes));
    if (unsure == 0) {
        return result;
    }
    alignas(16) float values[LANES];
    alignas(16) float inputs[LANES];
    _mm_store_ps(values, result);
    _mm_store_ps(inputs, x);
    for (int32_t lane = 0; lane < LANES; lane++) {
        if (unsure & (1 << lane)) {
            values[lane] = std::pow(inputs[lane], 32.0f);
        }
    }
    return _mm_load_ps(values);
}

#include "raytracer/packet_trace.inc"

} // namespace

void traceSpanSse2(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes) {
    traceSpanPackets(view, rowStart, count, firstPixel, pixelBytes);
}

// x^32 of four floats, for the test that holds it to powf over all inputs.
void pow32Sse2(const float* x, float* out) {
    Floats all = _mm_cmpeq_ps(_mm_setzero_ps(), _mm_setzero_ps());
    _mm_storeu_ps(out, pow32(_mm_loadu_ps(x), all));
}
