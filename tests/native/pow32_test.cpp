// x^32 in packets, and one value at a time, against the platform's own
// powf(x, 32) on the floats in (0, 2]: every value a specular cosine can
// take. By default a sample and every input near a rounding boundary; every
// float with RAYSPHERE_FULL_TESTS=1 (scripts/test.sh --full,
// scripts/release.sh). Built optimised, since the full run makes over a
// billion comparisons per routine.
#include <gtest/gtest.h>

#include "raytracer/packet_tracer.h"
#include "tests/native/pow32_inputs.h"

namespace {

class Pow32 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        every = pow32FullRunAsked() != 0;
        if (!every) {
            inputs = pow32DefaultInputs();
        }
    }

    // No input the routine rounds otherwise than powf.
    void expectSameAsPowf(Pow32Routine routine, int32_t lanes) {
        if (every) {
            std::printf("every float in (0, 2]\n");
        } else {
            std::printf("%u sampled, %u within 2^-36 of a middle, %u at the margin's edge\n", POW32_SAMPLE_INPUTS,
                        inputs.nearMiddle, inputs.atEdge);
            EXPECT_EQ(inputs.nearMiddle, POW32_NEAR_MIDDLE_COUNT);
            EXPECT_EQ(inputs.atEdge, POW32_AT_EDGE_COUNT);
        }
        float first = 0.0f;
        EXPECT_EQ(pow32Differences(routine, lanes, every, inputs.bits, &first), 0) << "first at " << first;
    }

    static bool every;
    static Pow32Inputs inputs;
};

bool Pow32::every = false;
Pow32Inputs Pow32::inputs;

TEST_F(Pow32, OneByOneMatchesPowf) {
    expectSameAsPowf(pow32OneByOne, 8);
}

TEST_F(Pow32, Sse2MatchesPowf) {
    expectSameAsPowf(pow32Sse2, 8);
}

TEST_F(Pow32, Avx2MatchesPowf) {
    if (!avx2Available()) {
        GTEST_SKIP() << "no AVX2 here";
    }
    expectSameAsPowf(pow32Avx2, 8);
}

TEST_F(Pow32, Avx512MatchesPowf) {
    if (!avx512Available()) {
        GTEST_SKIP() << "no AVX-512F here (or not a 64-bit native build)";
    }
    expectSameAsPowf(pow32Avx512, 16);
}

} // namespace
