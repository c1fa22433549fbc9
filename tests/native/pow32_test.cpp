// x^32 in packets against the platform's own powf(x, 32), over every float
// in (0, 2]: every value a specular cosine can take. Built optimised, since
// it makes over a billion comparisons per instruction set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "raytracer/packet_tracer.h"
#include "raytracer/pow32.h"

namespace {

typedef void (*Pow32Routine)(const float* x, float* out);

// Compares the routine with powf over all floats from the smallest subnormal
// up to 2, `lanes` at a time; returns how many differ and the first that does.
int64_t countDifferences(Pow32Routine routine, int32_t lanes, float* firstDifferent) {
    uint32_t last;
    float two = 2.0f;
    std::memcpy(&last, &two, sizeof(last));
    int64_t differences = 0;
    float x[16];
    float out[16];
    for (uint32_t bits = 1; bits <= last; bits += static_cast<uint32_t>(lanes)) {
        for (int32_t lane = 0; lane < lanes; lane++) {
            uint32_t laneBits = bits + static_cast<uint32_t>(lane) <= last ? bits + lane : last;
            std::memcpy(&x[lane], &laneBits, sizeof(float));
        }
        routine(x, out);
        for (int32_t lane = 0; lane < lanes; lane++) {
            float expected = std::pow(x[lane], 32.0f);
            if (std::memcmp(&expected, &out[lane], sizeof(float)) != 0) {
                if (differences == 0) {
                    *firstDifferent = x[lane];
                }
                differences++;
            }
        }
    }
    return differences;
}

TEST(Pow32, Sse2MatchesPowfOnEveryFloatUpToTwo) {
    float first = 0.0f;
    EXPECT_EQ(countDifferences(pow32Sse2, 4, &first), 0) << "first at " << first;
}

TEST(Pow32, Avx2MatchesPowfOnEveryFloatUpToTwo) {
    if (!avx2Available()) {
        GTEST_SKIP() << "no AVX2 here";
    }
    float first = 0.0f;
    EXPECT_EQ(countDifferences(pow32Avx2, 8, &first), 0) << "first at " << first;
}

TEST(Pow32, Avx512MatchesPowfOnEveryFloatUpToTwo) {
    if (!avx512Available()) {
        GTEST_SKIP() << "no AVX-512F here (or not a 64-bit native build)";
    }
    float first = 0.0f;
    EXPECT_EQ(countDifferences(pow32Avx512, 16, &first), 0) << "first at " << first;
}

} // namespace
