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

// Known frames from load, made once and looked at (render_frames --raw
// makes the swing frames from a file of those blocks): the first two with the
// swing waveform (fillSwing) on a zeroed frame, and the first without a
// scope on a silent block.
constexpr uint64_t SWING_FRAME_1 = 16764734256442235605ull;
constexpr uint64_t SWING_FRAME_2 = 2024839150491276498ull;
constexpr int32_t SWING_FRAMES_DIFFERING = 18509; // pixels of rows 0..180 whose colours differ between the two
constexpr int32_t SWING_MARKS = 10336;            // the scope's marks of the swing waveform, both channels
constexpr uint64_t SILENT_FRAME_1 = 16997182550390950416ull;
constexpr int32_t SILENT_SKY_PIXELS = 320; // sky-coloured pixels of its row 0
constexpr int32_t SILENT_COLOURS = 1037;   // colours of its rows 0..180

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

// A checksum of the frame's bytes (64-bit FNV-1a), for frames known to the byte.
uint64_t checksum(const std::vector<uint8_t>& frame) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : frame) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

// Pixels of rows 0..180 whose colour bytes differ between two frames.
int32_t differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int32_t differing = 0;
    for (int32_t i = 0; i < TRACED_ROWS * ROW; i += 4) {
        differing += std::memcmp(&a[i], &b[i], 3) != 0 ? 1 : 0;
    }
    return differing;
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

    // The motion as the plug-in's load leaves it, for frames known to the byte
    // whichever tests ran before.
    void fromLoad() { motion.angle = 0.0f; }

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

    // Two channels drawn: a fourth byte changes only where a mark is, and
    // the marks are the scope's own, as it draws them on a blank frame.
    channels = 2;
    fillSwing();
    fillPattern(frame, 6);
    before = frame;
    composeFrame(frame.data(), block, channels);
    std::vector<uint8_t> scopeOnly(256000, 0xFF);
    drawScope(scopeOnly.data(), block, channels);
    int32_t marks = 0;
    for (int32_t y = 0; y < 200; y++) {
        for (int32_t x = 0; x < 320; x++) {
            int32_t i = y * ROW + x * 4 + 3;
            ASSERT_EQ(isMark(frame, x, y), isMark(scopeOnly, x, y)) << "pixel (" << x << ", " << y << ")";
            if (isMark(frame, x, y)) {
                marks++;
            } else {
                ASSERT_EQ(frame[i], before[i]) << "pixel (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(marks, SWING_MARKS);
}

TEST_F(ComposeTest, SameWaveformTwiceGivesDifferentFrames) {
    // The first two frames from load: the camera moves by some three units a
    // step, so edges and highlights move across many pixels. Both are the
    // known frames to the byte.
    fromLoad();
    fillSwing();
    composeFrame(frame.data(), block, channels);
    composeFrame(other.data(), block, channels);
    EXPECT_EQ(differingPixels(frame, other), SWING_FRAMES_DIFFERING);
    EXPECT_EQ(checksum(frame), SWING_FRAME_1);
    EXPECT_EQ(checksum(other), SWING_FRAME_2);
}

TEST_F(ComposeTest, TopRowIsSkyAndThePictureIsNotBlank) {
    // In the first frames the camera looks slightly down from some 50 units
    // up, and row 0 (the top, since the camera is rolled by pi) sees only
    // sky: red 128, green 128, blue 255, stored blue first. Below it the
    // frame holds many colours. The frame is the known first frame.
    fromLoad();
    channels = 0;
    composeFrame(frame.data(), block, channels);
    EXPECT_EQ(checksum(frame), SILENT_FRAME_1);
    int32_t sky = 0;
    for (int32_t x = 0; x < 320; x++) {
        const uint8_t* p = frame.data() + x * 4;
        sky += p[0] == 255 && p[1] == 128 && p[2] == 128 ? 1 : 0;
    }
    EXPECT_EQ(sky, SILENT_SKY_PIXELS);
    std::vector<bool> seen(1 << 24);
    int32_t colours = 0;
    for (int32_t i = 0; i < 181 * ROW; i += 4) {
        int32_t colour = frame[i] | frame[i + 1] << 8 | frame[i + 2] << 16;
        colours += seen[colour] ? 0 : 1;
        seen[colour] = true;
    }
    EXPECT_EQ(colours, SILENT_COLOURS);
}

} // namespace
