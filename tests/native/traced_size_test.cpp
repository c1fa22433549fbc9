// The traced size that follows the window: its levels keep the window's
// shape within the sizes an image may have, and the choice among them, fed
// by a machine whose frames cost in proportion to their pixels, settles on
// the largest size that keeps the frame rate, without flapping.
#include <gtest/gtest.h>

#include <cmath>
#include "app/traced_size.h"
#include "frame/frame_image.h"

TEST(TracedSize, LevelsKeepTheWindowsShape) {
    const int32_t windows[][2] = {{640, 400}, {1920, 1080}, {3840, 2160}, {333, 777}, {5, 3}, {1, 1}, {30000, 100}};
    for (const auto& window : windows) {
        int32_t width = 0;
        int32_t height = 0;
        levelSize(window[0], window[1], 0, &width, &height);
        if (window[0] <= MAX_IMAGE_SIDE && window[0] >= MIN_IMAGE_SIDE && window[1] >= MIN_IMAGE_SIDE) {
            EXPECT_EQ(width, window[0]);
            EXPECT_EQ(height, window[1]);
        }
        int64_t previousPixels = INT64_MAX;
        for (int32_t level = 0; level < TRACED_SIZE_LEVELS; level++) {
            levelSize(window[0], window[1], level, &width, &height);
            SCOPED_TRACE(testing::Message() << window[0] << "x" << window[1] << " level " << level);
            EXPECT_GE(width, MIN_IMAGE_SIDE);
            EXPECT_GE(height, MIN_IMAGE_SIDE);
            EXPECT_LE(width, MAX_IMAGE_SIDE);
            EXPECT_LE(height, MAX_IMAGE_SIDE);
            int64_t pixels = static_cast<int64_t>(width) * height;
            EXPECT_LE(pixels, previousPixels);
            previousPixels = pixels;
            // The shape within a pixel's rounding on each side, where the sides are not clamped
            if (width > 4 && height > 4) {
                double shape = static_cast<double>(width) / height;
                double wanted = static_cast<double>(window[0]) / window[1];
                double slack = 1.0 / (width < height ? width : height) + 1e-9;
                EXPECT_NEAR(shape / wanted, 1.0, 2.0 * slack);
            }
        }
    }
    int32_t width = 0;
    int32_t height = 0;
    levelSize(3840, 2160, 2, &width, &height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
}

TEST(TracedSize, SettlesOnTheLargestSizeThatKeepsTheRate) {
    // A 1920 x 1080 window at 60 frames a second; machines from one that
    // keeps full size easily to one that cannot keep even the smallest
    const double budget = 1000.0 / 60.0;
    const double nsPerPixel[] = {2.0, 6.0, 9.0, 20.0, 60.0, 300.0, 5000.0};
    for (double cost : nsPerPixel) {
        SCOPED_TRACE(testing::Message() << cost << " ns a pixel");
        auto frameMs = [cost](int32_t level) {
            int32_t width = 0;
            int32_t height = 0;
            levelSize(1920, 1080, level, &width, &height);
            return 0.5 + static_cast<double>(width) * height * cost * 1e-6; // some work whatever the size
        };
        // From the full size, and from the smallest after a slow spell
        for (int32_t start : {0, TRACED_SIZE_LEVELS - 1}) {
            int32_t level = start;
            int32_t changes = 0;
            int32_t settled = -1;
            for (int32_t second = 0; second < 40; second++) {
                int32_t next = nextTracedLevel(1920, 1080, level, frameMs(level), budget);
                changes += next != level ? 1 : 0;
                if (next < level) {
                    EXPECT_EQ(next, level - 1) << "raised by more than one level";
                }
                level = next;
                settled = second >= 20 ? (settled < 0 ? level : settled) : settled;
                if (second >= 20) {
                    EXPECT_EQ(level, settled) << "the level keeps changing";
                }
            }
            EXPECT_LE(changes, TRACED_SIZE_LEVELS);
            // Kept up at the settled level, or it is the smallest
            EXPECT_TRUE(frameMs(level) <= 0.85 * budget || level == TRACED_SIZE_LEVELS - 1) << "level " << level;
            // and the next larger level would not have kept up with room to spare
            if (level > 0) {
                EXPECT_GT(frameMs(level - 1), 0.6 * budget) << "level " << level;
            }
        }
    }
    // A frame far too slow goes down at once, not a level a second
    EXPECT_EQ(nextTracedLevel(1000, 1000, 0, 40.0, 1000.0 / 60.0), 2);
}
