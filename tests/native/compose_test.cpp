// One frame's composition: stage order, what survives from the previous
// frame, the rows below the traced picture, and the fourth byte of each pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "compose/compose.h"
#include "overlays/scope.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"

namespace {

constexpr int32_t ROW = 1280;

// A byte pattern that differs from pixel to pixel; its fourth byte is never 0.
void fillPattern(std::vector<uint8_t>& frame, uint8_t seed) {
    for (int32_t i = 0; i < 256000; i++) {
        frame[i] = (i % 4 == 3) ? static_cast<uint8_t>(0x80 | ((i / 4 + seed) & 0x7F))
                                : static_cast<uint8_t>(i * 31 + seed * 17 + i / 1280);
    }
}

bool isMark(const std::vector<uint8_t>& frame, int32_t x, int32_t y) {
    const uint8_t* p = frame.data() + y * ROW + x * 4;
    return p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0;
}

class ComposeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // What Init does before the first frame
        startCore();
        std::memset(block, 0, sizeof(block));
        channels = 2;
        frame.assign(256000, 0);
        other.assign(256000, 0);
    }

    // The moving state, to replay a frame from the same point.
    void save() {
        savedMotion = motion;
        savedScene = scene;
    }
    void restore() {
        motion = savedMotion;
        scene = savedScene; // entries point into the global itself, so they stay valid
    }

    // A waveform with a wide swing, so the trace covers many rows.
    void fillSwing() {
        for (int32_t c = 0; c < 2; c++) {
            for (int32_t i = 0; i < 576; i++) {
                block[c][i] = static_cast<uint8_t>((i * (c == 0 ? 37 : 53)) & 0xFF);
            }
        }
    }

    WaveformBlock block;
    int32_t channels;
    std::vector<uint8_t> frame;
    std::vector<uint8_t> other;
    SceneMotion savedMotion;
    Scene savedScene;
};

TEST_F(ComposeTest, RunsTheStagesInOrder) {
    // The same frame made stage by stage from the same state and the same
    // starting bytes is identical to byte level.
    fillSwing();
    fillPattern(frame, 3);
    fillPattern(other, 3);
    save();
    composeFrame(frame.data(), block, channels);
    restore();
    animateScene(block);
    renderView(other.data(), &motion.camera, &motion.light);
    upsampleFrame(other.data());
    drawScope(other.data(), block, channels);
    EXPECT_TRUE(frame == other);
}

TEST_F(ComposeTest, ScopeIsDrawnOverTheTracedPicture) {
    // A silent waveform: both channels mark row 64 from column 2 to 312, sampled
    // and interpolated pixels alike; columns 0, 1 and 313 keep the picture.
    composeFrame(frame.data(), block, channels);
    for (int32_t x = 2; x <= 312; x++) {
        ASSERT_TRUE(isMark(frame, x, 64)) << "column " << x;
    }
    EXPECT_FALSE(isMark(frame, 0, 64));
    EXPECT_FALSE(isMark(frame, 1, 64));
    EXPECT_FALSE(isMark(frame, 313, 64));
}

TEST_F(ComposeTest, CentreSphereFollowsTheFirstWaveformByte) {
    // Radius 30 + 7.5 sin(byte >> 1): byte 0 gives 30; byte 2 gives
    // 30 + 7.5 sin 1 = 36.3110; byte 255 gives 30 + 7.5 sin 127 = 37.2947
    // (127 = 40 pi + 1.3363).
    const struct {
        uint8_t byte;
        float radius;
    } cases[] = {{0x00, 30.0f}, {0x02, 36.3110f}, {0xFF, 37.2947f}};
    for (const auto& c : cases) {
        block[0][0] = c.byte;
        composeFrame(frame.data(), block, channels);
        EXPECT_NEAR(scene.spheres[0].radius, c.radius, 1e-3f) << "byte " << int(c.byte);
    }
}

TEST_F(ComposeTest, EachCallMovesTheSceneOneStep) {
    float before = motion.angle;
    composeFrame(frame.data(), block, channels);
    EXPECT_FLOAT_EQ(motion.angle, before + 0.01f);
}

TEST_F(ComposeTest, NothingOfThePreviousFrameSurvivesInTracedRows) {
    // Frame one with a scope trace, then a "title box" over it; frame two
    // drawn over that equals frame two drawn over the bare pattern, in the
    // colour bytes of rows 0..180 and, away from frame one's marks and box
    // (whose fourth bytes stay), in all four.
    fillSwing();
    fillPattern(frame, 1);
    composeFrame(frame.data(), block, channels);
    std::vector<bool> touched(320 * 181);
    for (int32_t y = 0; y < 181; y++) {
        for (int32_t x = 0; x < 320; x++) {
            bool box = y >= 90 && y < 110 && x >= 100 && x < 220;
            touched[y * 320 + x] = box || isMark(frame, x, y);
            if (box) {
                std::memset(frame.data() + y * ROW + x * 4, 0xFF, 4);
            }
        }
    }

    std::memset(block, 0x40, sizeof(block)); // a level line in row 96
    save();
    composeFrame(frame.data(), block, channels);
    restore();
    fillPattern(other, 1);
    composeFrame(other.data(), block, channels);

    int32_t differing = 0;
    for (int32_t y = 0; y < 181; y++) {
        for (int32_t x = 0; x < 320; x++) {
            int32_t bytes = touched[y * 320 + x] ? 3 : 4;
            differing += std::memcmp(&frame[y * ROW + x * 4], &other[y * ROW + x * 4], bytes) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
    // Frame two's own trace is there
    EXPECT_TRUE(isMark(frame, 100, 96));
    EXPECT_FALSE(isMark(frame, 100, 40));
}

TEST_F(ComposeTest, RowsBelowTheTracedPictureKeepTheirBytes) {
    fillSwing();
    fillPattern(frame, 9);
    std::vector<uint8_t> before = frame;
    for (int32_t call = 0; call < 2; call++) {
        composeFrame(frame.data(), block, channels);
    }
    // Pixel (0, 181) takes the last sample of row 180 in its colour bytes only
    EXPECT_EQ(frame[181 * ROW + 3], before[181 * ROW + 3]);
    int32_t changed = 0;
    for (int32_t i = 181 * ROW + 4; i < 256000; i++) {
        changed += frame[i] != before[i] ? 1 : 0;
    }
    EXPECT_EQ(changed, 0);
}

TEST_F(ComposeTest, FourthByteIsNeverWrittenByTheTracer) {
    // No channel drawn: every fourth byte of the frame keeps the pattern.
    channels = 0;
    fillPattern(frame, 5);
    std::vector<uint8_t> before = frame;
    composeFrame(frame.data(), block, channels);
    int32_t changed = 0;
    for (int32_t i = 3; i < 256000; i += 4) {
        changed += frame[i] != before[i] ? 1 : 0;
    }
    EXPECT_EQ(changed, 0);

    // Two channels drawn: a fourth byte changes only where a mark is.
    channels = 2;
    fillSwing();
    fillPattern(frame, 6);
    before = frame;
    composeFrame(frame.data(), block, channels);
    int32_t marks = 0;
    for (int32_t y = 0; y < 200; y++) {
        for (int32_t x = 0; x < 320; x++) {
            int32_t i = y * ROW + x * 4 + 3;
            if (isMark(frame, x, y)) {
                marks++;
            } else {
                ASSERT_EQ(frame[i], before[i]) << "pixel (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_GT(marks, 2 * 311);
}

TEST_F(ComposeTest, SameWaveformTwiceGivesDifferentFrames) {
    fillSwing();
    composeFrame(frame.data(), block, channels);
    composeFrame(other.data(), block, channels);
    int32_t differingPixels = 0;
    for (int32_t i = 0; i < 181 * ROW; i += 4) {
        differingPixels += std::memcmp(&frame[i], &other[i], 3) != 0 ? 1 : 0;
    }
    // The camera moves by some three units per step; edges and highlights
    // move across many pixels.
    EXPECT_GT(differingPixels, 100);
}

TEST_F(ComposeTest, TopRowIsSkyAndThePictureIsNotBlank) {
    // In the first frames the camera looks slightly down from some 50 units
    // up, and row 0 (the top, since the camera is rolled by pi) sees only
    // sky: red 128, green 128, blue 255, stored blue first. Below it the
    // frame holds many colours.
    channels = 0;
    composeFrame(frame.data(), block, channels);
    int32_t sky = 0;
    for (int32_t x = 0; x < 320; x++) {
        const uint8_t* p = frame.data() + x * 4;
        sky += p[0] == 255 && p[1] == 128 && p[2] == 128 ? 1 : 0;
    }
    EXPECT_GT(sky, 160);
    std::vector<bool> seen(1 << 24);
    int32_t colours = 0;
    for (int32_t i = 0; i < 181 * ROW; i += 4) {
        int32_t colour = frame[i] | frame[i + 1] << 8 | frame[i + 2] << 16;
        colours += seen[colour] ? 0 : 1;
        seen[colour] = true;
    }
    EXPECT_GT(colours, 100);
}

} // namespace
