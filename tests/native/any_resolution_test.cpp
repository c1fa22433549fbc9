// Frames of any size: the half-resolution grid traced as an image gives the
// plug-in's samples, the thread count changes no byte, and the scaled
// oscilloscope is the plug-in's at 320 x 200 and thickens with the image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "compose/compose.h"
#include "overlays/scope.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"

namespace {

struct Image {
    std::vector<uint8_t> bytes;
    FrameImage image;
};

void makeImage(Image* out, int32_t width, int32_t height, int32_t pitch) {
    out->bytes.assign(static_cast<size_t>(pitch) * height, 0xA5);
    out->image = {out->bytes.data(), width, height, pitch};
}

class AnyResolutionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startCore();
        std::memset(block, 0, sizeof(block));
        channels = 2;
        for (int32_t c = 0; c < 2; c++) {
            for (int32_t i = 0; i < 576; i++) {
                block[c][i] = static_cast<uint8_t>(i * (c == 0 ? 29 : 71));
            }
        }
        savedMotion = motion;
        savedScene = scene;
        savedTracer = activeTracer;
    }
    void TearDown() override {
        stopTracerPool();
        activeTracer = savedTracer;
    }
    void rewind() {
        motion = savedMotion;
        scene = savedScene;
    }

    WaveformBlock block;
    int32_t channels;
    SceneMotion savedMotion;
    Scene savedScene;
    TracerKind savedTracer;
};

TEST_F(AnyResolutionTest, GridSizedImageHoldsThePluginsSamples) {
    // Several frames at different angles, every tracer: the 161 x 91 image
    // (with a pitch wider than its rows) holds the samples renderView writes.
    for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
        if (!selectTracer(static_cast<TracerKind>(kind))) {
            continue;
        }
        rewind();
        std::vector<uint8_t> frame(FRAME_BYTES, 0);
        Image image;
        makeImage(&image, 161, 91, 161 * 4 + 12);
        for (int32_t f = 0; f < 4; f++) {
            motion.angle += 7.3f * f;
            Scene before = scene;
            SceneMotion beforeMotion = motion;
            composeFrameAt(&image.image, block, channels);
            scene = before;
            motion = beforeMotion;
            animateScene(block);
            renderView(frame.data(), &motion.camera, &motion.light);
            for (int32_t i = 0; i < 91; i++) {
                for (int32_t j = 0; j < 161; j++) {
                    const uint8_t* sample = frame.data() + i * 2560 + j * 8;
                    const uint8_t* pixel = image.bytes.data() + i * image.image.pitch + j * 4;
                    bool marked = pixel[0] == 1 && pixel[1] == 0 && pixel[2] == 0 && pixel[3] == 0;
                    if (!marked) {
                        ASSERT_EQ(std::memcmp(sample, pixel, 3), 0)
                            << tracerTable[kind].name << " frame " << f << " sample (" << j << ", " << i << ")";
                    }
                }
            }
        }
    }
}

TEST_F(AnyResolutionTest, ThreadCountChangesNoByte) {
    // 1, 2 and 7 threads, and the pool stopped: the same bytes, frame after frame.
    const int32_t threadCounts[] = {1, 2, 7, 0};
    std::vector<uint8_t> first;
    for (int32_t threads : threadCounts) {
        rewind();
        if (threads > 0) {
            ASSERT_TRUE(startTracerPool(threads));
            EXPECT_EQ(tracerThreadCount(), threads);
        } else {
            stopTracerPool();
            EXPECT_EQ(tracerThreadCount(), 1);
        }
        Image image;
        makeImage(&image, 203, 117, 203 * 4);
        std::vector<uint8_t> frames;
        for (int32_t f = 0; f < 3; f++) {
            composeFrameAt(&image.image, block, channels);
            frames.insert(frames.end(), image.bytes.begin(), image.bytes.end());
        }
        if (first.empty()) {
            first = frames;
        } else {
            EXPECT_TRUE(frames == first) << threads << " threads";
        }
    }
}

TEST_F(AnyResolutionTest, ScopeScalesWithTheImage) {
    // At 320 x 200 the scaled scope is the plug-in's, to the byte.
    std::vector<uint8_t> frame(FRAME_BYTES, 0x33);
    Image image;
    makeImage(&image, 320, 200, 1280);
    std::memset(image.bytes.data(), 0x33, image.bytes.size());
    drawScope(frame.data(), block, channels);
    drawScopeAt(&image.image, block, channels);
    EXPECT_TRUE(frame == image.bytes);

    // At 1280 x 800 a silent channel is a band four rows thick in rows
    // 256..259 from column 8 to column 1251, and nothing else is marked.
    std::memset(block, 0, sizeof(block));
    makeImage(&image, 1280, 800, 1280 * 4 + 64);
    drawScopeAt(&image.image, block, channels);
    int32_t marks = 0;
    for (int32_t y = 0; y < 800; y++) {
        for (int32_t x = 0; x < 1280; x++) {
            const uint8_t* p = image.bytes.data() + y * image.image.pitch + x * 4;
            bool mark = p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0;
            bool inBand = y >= 256 && y < 260 && x >= 8 && x < 1252;
            ASSERT_EQ(mark, inBand) << "pixel (" << x << ", " << y << ")";
            marks += mark ? 1 : 0;
        }
    }
    EXPECT_EQ(marks, 4 * 1244);
}

} // namespace

namespace {

TEST(TracerPoolExit, ProgramEndsWithThePoolRunning) {
    // A program that never stops the pool still ends.
    EXPECT_EXIT(
        {
            startTracerPool(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
