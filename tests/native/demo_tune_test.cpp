// The demo tune: silence at the start, the loop, the beat, the block format
// the player uses, and enough movement to drive the scope and the centre sphere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "audio/demo_tune.h"

namespace {

TEST(DemoTune, FramePaceAndLoop) {
    EXPECT_EQ(DEMO_FRAME_SAMPLES, 1470u); // 44100 / 30
    EXPECT_EQ(DEMO_LOOP_SAMPLES, 4u * 44100u);
}

TEST(DemoTune, StartsFromSilence) {
    // Every voice starts at phase 0 or fades in from 0, and the hi-hat only
    // plays between beats, so the first sample of each channel is 0.
    EXPECT_EQ(demoTuneSample(0, 0), 0);
    EXPECT_EQ(demoTuneSample(1, 0), 0);
}

TEST(DemoTune, ChannelsOtherThanLeftAndRightAreSilent) {
    for (uint32_t n : {0u, 1000u, 44100u, 100000u}) {
        EXPECT_EQ(demoTuneSample(-1, n), 0);
        EXPECT_EQ(demoTuneSample(2, n), 0);
        EXPECT_EQ(demoTuneSample(-2147483647 - 1, n), 0);
    }
}

TEST(DemoTune, RepeatsEveryFourSeconds) {
    std::mt19937 random(44100);
    for (int32_t k = 0; k < 2000; k++) {
        uint32_t n = random() % (20u * DEMO_LOOP_SAMPLES);
        for (int32_t c = 0; c < 2; c++) {
            ASSERT_EQ(demoTuneSample(c, n), demoTuneSample(c, n + DEMO_LOOP_SAMPLES)) << "sample " << n;
        }
    }
}

// Sum of squared samples of channel 0 over [from, from + count).
double energy(uint32_t from, uint32_t count) {
    double sum = 0;
    for (uint32_t n = from; n < from + count; n++) {
        double s = demoTuneSample(0, n);
        sum += s * s;
    }
    return sum;
}

TEST(DemoTune, LeftChannelHasABeat) {
    // A kick opens every beat (every 11025 * 2 samples); the first 0.05 s of a
    // beat carries more energy than the first 0.05 s of the eighth note after it.
    for (uint32_t beat = 0; beat < 8; beat++) {
        uint32_t start = beat * 22050;
        EXPECT_GT(energy(start, 2205), 1.5 * energy(start + 11025, 2205)) << "beat " << beat;
    }
}

TEST(DemoTune, LoudEnoughAndStereo) {
    int32_t peak[2] = {0, 0};
    int32_t differing = 0;
    for (uint32_t n = 0; n < DEMO_LOOP_SAMPLES; n++) {
        int32_t left = demoTuneSample(0, n);
        int32_t right = demoTuneSample(1, n);
        peak[0] = std::max(peak[0], std::abs(left));
        peak[1] = std::max(peak[1], std::abs(right));
        differing += left != right ? 1 : 0;
    }
    // A quarter of full scale or more: the trace spans at least 32 rows.
    EXPECT_GE(peak[0], 8192);
    EXPECT_GE(peak[1], 8192);
    EXPECT_GT(differing, static_cast<int32_t>(DEMO_LOOP_SAMPLES / 2));
}

TEST(DemoTune, WaveformBytesAreTheSamplesHighBytes) {
    uint8_t block[2][576];
    std::mt19937 random(576);
    for (int32_t round = 0; round < 50; round++) {
        uint32_t first = random() % (2u * DEMO_LOOP_SAMPLES);
        demoTuneWaveform(first, block);
        for (int32_t c = 0; c < 2; c++) {
            for (uint32_t i = 0; i < 576; i++) {
                int32_t sample = demoTuneSample(c, first + i);
                // The signed high byte: floor(sample / 256), as a byte.
                int32_t high = sample >= 0 ? sample / 256 : -((-sample + 255) / 256);
                ASSERT_EQ(block[c][i], static_cast<uint8_t>(high & 0xFF)) << "channel " << c << ", sample " << i;
            }
        }
    }
}

TEST(DemoTune, BlocksMoveTheSphereAndTheScope) {
    // Over two seconds of frames the first byte of channel 0, which sets the
    // centre sphere's radius through (byte >> 1), takes many values, and no two
    // consecutive blocks draw the same trace.
    std::set<int32_t> radiusInputs;
    uint8_t previous[2][576];
    uint8_t block[2][576];
    demoTuneWaveform(0, previous);
    for (uint32_t frame = 1; frame <= 60; frame++) {
        demoTuneWaveform(frame * DEMO_FRAME_SAMPLES, block);
        radiusInputs.insert(block[0][0] >> 1);
        for (int32_t c = 0; c < 2; c++) {
            int32_t changed = 0;
            int32_t low = 255;
            int32_t high = 0;
            for (int32_t i = 0; i < 156; i++) {
                changed += block[c][i] != previous[c][i] ? 1 : 0;
                int32_t row = (block[c][i] ^ 0x80) >> 1;
                low = std::min(low, row);
                high = std::max(high, row);
            }
            EXPECT_GT(changed, 0) << "frame " << frame << ", channel " << c;
            EXPECT_GT(high - low, 0) << "frame " << frame << ", channel " << c << " is a flat line";
        }
        std::memcpy(previous, block, sizeof(block));
    }
    EXPECT_GE(radiusInputs.size(), 20u);
}

} // namespace
