// x^32 in packets, exactly as the platform's powf(x, 32) rounds it, for the
// specular term (x is a cosine: in (0, 2] with rounding).
#pragma once

// Relative distance from the middle between two floats within which a
// packet lane asks powf itself. glibc's powf is within 2^-30.5 of x^32 on
// (0, 2]; the margin leaves room for C libraries that round a little worse,
// and the exhaustive test holds each platform to it.
constexpr double POW32_MARGIN = 1.0 / (1 << 27);

// Four or eight values at once, for that test.
void pow32Sse2(const float* x, float* out);
// Only where avx2Available().
void pow32Avx2(const float* x, float* out);
