// x^32 in packets, exactly as the platform's powf(x, 32) rounds it, for the
// specular term (x is a cosine: in (0, 2] with rounding).
#pragma once
#include <cmath>
#include <cstdint>

// Relative distance from the middle between two floats within which a
// packet lane asks powf itself. glibc's powf (2.36, its FMA and its SSE2
// forms alike) rounds x^32 otherwise than to nearest on (0, 2] only where
// x^32 lies within 2^-30.5 of that middle; the margin leaves room above
// that, and the exhaustive test holds each C library to it (glibc here,
// mingw-w64's under wine64 and 32-bit Wine, emscripten's under node). A
// lane in the margin costs a call to powf: about one in forty.
constexpr double POW32_MARGIN = 1.0 / (1 << 30);

// powf itself for the lanes set in `unsure`: the lanes too near the middle
// between two floats. A few lanes at most, so only those are visited.
inline void powfUnsureLanes(const float* x, float* values, int32_t unsure) {
    while (unsure != 0) {
        int32_t lane = __builtin_ctz(static_cast<unsigned>(unsure));
        unsure &= unsure - 1;
        values[lane] = std::pow(x[lane], 32.0f);
    }
}

// One value, as the packets work it out: squared five times in double, and
// powf itself only where the value lies too near the middle between two
// floats to be sure how powf rounds it.
inline float pow32One(float x) {
    double value = x;
    for (int32_t i = 0; i < 5; i++) {
        value *= value;
    }
    float lower = static_cast<float>(value * (1.0 - POW32_MARGIN));
    float upper = static_cast<float>(value * (1.0 + POW32_MARGIN));
    return lower == upper ? lower : std::pow(x, 32.0f);
}

// A packet's values at once, for that test: eight, with SSE2 and WebAssembly
// SIMD as two registers of four.
void pow32Sse2(const float* x, float* out);
// Eight values; only where avx2Available().
void pow32Avx2(const float* x, float* out);
// Sixteen values; only where avx512Available().
void pow32Avx512(const float* x, float* out);
// Eight values, only where wasm128Available().
void pow32Wasm128(const float* x, float* out);
