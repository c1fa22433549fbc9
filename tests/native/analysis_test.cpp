// The analysis on synthetic blocks: tones land in their bands, a click track
// gives its beats and silence none, and the same blocks give the same values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/analysis.h"

namespace {

typedef WaveformBlock Block;

MusicAnalysis analysis; // large: kept out of the stack

// A block of a sine of `bin` FFT bins (at any rate) and amplitude `amplitude`
// (of 127), continuing from sample `start`; the right channel a copy.
void toneBlock(Block block, double bin, double amplitude, int64_t start) {
    const double pi = 3.14159265358979323846;
    for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
        double value = amplitude * 127.0 * std::sin(2.0 * pi * bin * double(start + i) / FFT_SIZE);
        block[0][i] = static_cast<uint8_t>(static_cast<int8_t>(std::lround(value)));
        block[1][i] = block[0][i];
    }
}

// A click track: a short full-scale burst every `period` frames, silence between.
void clickBlock(Block block, int32_t frame, int32_t period) {
    std::memset(block, 0, sizeof(Block));
    if (frame % period == 0) {
        for (int32_t i = 100; i < 116; i++) {
            block[0][i] = static_cast<uint8_t>(i % 2 == 0 ? 127 : -127);
            block[1][i] = block[0][i];
        }
    }
}

int32_t loudestBand() {
    int32_t best = 0;
    for (int32_t b = 1; b < BAND_COUNT; b++) {
        if (analysis.bands[b] > analysis.bands[best]) {
            best = b;
        }
    }
    return best;
}

TEST(Analysis, BandsAreLogSpacedAndCoverTheSpectrum) {
    ASSERT_TRUE(resetAnalysis(&analysis));
    EXPECT_EQ(analysis.bandFirstBin[0], 1);
    EXPECT_EQ(analysis.bandFirstBin[BAND_COUNT], FFT_SIZE / 2 + 1);
    for (int32_t b = 0; b < BAND_COUNT; b++) {
        EXPECT_LT(analysis.bandFirstBin[b], analysis.bandFirstBin[b + 1]) << "band " << b;
    }
    // The upper bands widen by a constant ratio, about 1.48
    double ratio = double(analysis.bandFirstBin[15]) / analysis.bandFirstBin[14];
    EXPECT_NEAR(ratio, std::pow(512.0, 1.0 / 16), 0.1);
}

TEST(Analysis, ToneLandsInItsBand) {
    for (int32_t band : {2, 5, 8, 11, 14}) {
        ASSERT_TRUE(resetAnalysis(&analysis));
        int32_t first = analysis.bandFirstBin[band];
        int32_t end = analysis.bandFirstBin[band + 1];
        double bin = 0.5 * (first + end - 1);
        Block block;
        for (int32_t frame = 0; frame < 10; frame++) {
            toneBlock(block, bin, 0.9, int64_t(frame) * BLOCK_SAMPLES);
            analyseBlock(&analysis, block, 2);
        }
        EXPECT_EQ(loudestBand(), band) << "tone at bin " << bin;
        EXPECT_GT(analysis.bands[band], 0.85f);
        EXPECT_NEAR(analysis.envelopes[band], analysis.bands[band], 0.01f);
        // Bands farther than the window's main lobe (about 4 bins) hold only leakage
        int32_t away = band >= 8 ? 2 : 5;
        if (band >= away) {
            EXPECT_LT(analysis.bands[band - away], analysis.bands[band] - 0.3f);
        }
        if (band + away < BAND_COUNT) {
            EXPECT_LT(analysis.bands[band + away], analysis.bands[band] - 0.3f);
        }
        if (band >= 8) { // many whole periods in the block
            EXPECT_NEAR(analysis.loudness, 0.9f * 127 / 128, 0.02f);
        }
        EXPECT_EQ(analysis.beats, 1) << "the tone's start is its one onset";
    }
}

TEST(Analysis, ClickTrackGivesItsBeatsAndSilenceNone) {
    constexpr int32_t PERIOD = 30; // a click every half second at 60 frames a second
    ASSERT_TRUE(resetAnalysis(&analysis));
    Block block;
    std::vector<int32_t> beatFrames;
    for (int32_t frame = 0; frame < 300; frame++) {
        clickBlock(block, frame, PERIOD);
        analyseBlock(&analysis, block, 2);
        if (analysis.beat) {
            beatFrames.push_back(frame);
            EXPECT_EQ(analysis.pulse, 1.0f);
        }
    }
    std::vector<int32_t> expected;
    for (int32_t frame = 0; frame < 300; frame += PERIOD) {
        expected.push_back(frame);
    }
    EXPECT_EQ(beatFrames, expected);
    EXPECT_LT(analysis.pulse, 0.1f); // 29 frames after the last
    // The loudness envelope falls slowly after each click
    EXPECT_GT(analysis.loudnessEnvelope, 0.0f);

    // Silence: no beat, every level zero, the envelopes decaying
    ASSERT_TRUE(resetAnalysis(&analysis));
    std::memset(block, 0, sizeof(Block));
    for (int32_t frame = 0; frame < 120; frame++) {
        analyseBlock(&analysis, block, 2);
        EXPECT_EQ(analysis.beat, 0);
    }
    EXPECT_EQ(analysis.loudness, 0.0f);
    for (int32_t b = 0; b < BAND_COUNT; b++) {
        EXPECT_EQ(analysis.bands[b], 0.0f);
    }
}

TEST(Analysis, EnvelopesRiseFastAndFallSlowly) {
    ASSERT_TRUE(resetAnalysis(&analysis));
    Block block;
    toneBlock(block, 100.5, 1.0, 0);
    analyseBlock(&analysis, block, 1);
    int32_t band = loudestBand();
    float afterOne = analysis.envelopes[band];
    EXPECT_GT(afterOne, 0.5f * analysis.bands[band]);
    std::memset(block, 0, sizeof(Block));
    analyseBlock(&analysis, block, 1);
    EXPECT_EQ(analysis.bands[band], 0.0f);
    EXPECT_GT(analysis.envelopes[band], 0.8f * afterOne);
}

TEST(Analysis, SameBlocksGiveTheSameValues) {
    // A mix of tones, clicks and a changing level, analysed twice from a reset
    std::vector<uint8_t> first;
    for (int32_t run = 0; run < 2; run++) {
        ASSERT_TRUE(resetAnalysis(&analysis));
        std::vector<uint8_t> values;
        Block block;
        for (int32_t frame = 0; frame < 200; frame++) {
            toneBlock(block, 7.0 + frame % 13, 0.2 + 0.004 * frame, int64_t(frame) * BLOCK_SAMPLES);
            if (frame % 17 == 0) {
                block[1][0] = 127;
            }
            analyseBlock(&analysis, block, 2);
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&analysis);
            values.insert(values.end(), bytes, bytes + offsetof(MusicAnalysis, bandFirstBin));
        }
        if (run == 0) {
            first = values;
        } else {
            EXPECT_TRUE(values == first);
        }
    }
}

} // namespace
