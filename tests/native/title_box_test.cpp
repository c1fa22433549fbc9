// The title box: centred as the plug-in centres its text, black on white,
// scaled, clipped, and shown on the ten frames after a request.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include "overlays/title_box.h"
#include "overlays/title_font.h"

namespace {

struct TestImage {
    std::vector<uint8_t> bytes;
    FrameImage image;
};

// An image of `width` x `height` with a padded pitch, all bytes 0x33.
void makeImage(TestImage* test, int32_t width, int32_t height) {
    int32_t pitch = width * 4 + 16;
    test->bytes.assign((size_t)pitch * height, 0x33);
    test->image = FrameImage{test->bytes.data(), width, height, pitch};
}

const uint8_t* pixelAt(const TestImage& test, int32_t x, int32_t y) {
    return test.bytes.data() + (size_t)y * test.image.pitch + (size_t)x * 4;
}

// The bounding box of the pixels that changed.
void changedBox(const TestImage& test, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
    *left = test.image.width;
    *top = test.image.height;
    *right = -1;
    *bottom = -1;
    for (int32_t y = 0; y < test.image.height; y++) {
        for (int32_t x = 0; x < test.image.width; x++) {
            if (pixelAt(test, x, y)[0] != 0x33) {
                *left = x < *left ? x : *left;
                *right = x > *right ? x : *right;
                *top = y < *top ? y : *top;
                *bottom = y > *bottom ? y : *bottom;
            }
        }
    }
}

} // namespace

TEST(TitleBox, CentredBlackOnWhiteInTheFontsShapes) {
    TestImage test;
    makeImage(&test, 320, 200);
    int32_t width = 0;
    int32_t height = 0;
    measureTitleBox("Hello", &width, &height);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 13);
    drawTitleBox(&test.image, "Hello", 1);
    int32_t left, top, right, bottom;
    changedBox(test, &left, &top, &right, &bottom);
    // (320 - 40) / 2 = 140, (200 - 13) / 2 = 93
    EXPECT_EQ(left, 140);
    EXPECT_EQ(top, 93);
    EXPECT_EQ(right, 179);
    EXPECT_EQ(bottom, 105);
    // Every pixel of the box is black where the glyph has ink, white elsewhere.
    const char* text = "Hello";
    for (int32_t y = 0; y < 13; y++) {
        for (int32_t x = 0; x < 40; x++) {
            bool ink = (titleFontGlyphs[(uint8_t)text[x / 8]][y] & (0x80 >> (x % 8))) != 0;
            const uint8_t* pixel = pixelAt(test, 140 + x, 93 + y);
            uint8_t value = ink ? 0 : 255;
            ASSERT_TRUE(pixel[0] == value && pixel[1] == value && pixel[2] == value && pixel[3] == 0) << x << "," << y;
        }
    }
    // The pitch's padding is never written.
    for (int32_t y = 0; y < 200; y++) {
        ASSERT_EQ(pixelAt(test, 320, y)[0], 0x33);
    }
}

TEST(TitleBox, ScaledClippedAndUtf8) {
    // Scale 3 on 960 x 600: the same box three times as large.
    TestImage test;
    makeImage(&test, 960, 600);
    drawTitleBox(&test.image, "Hello", 3);
    int32_t left, top, right, bottom;
    changedBox(test, &left, &top, &right, &bottom);
    EXPECT_EQ(left, 420);
    EXPECT_EQ(top, 280);
    EXPECT_EQ(right, 539);
    EXPECT_EQ(bottom, 318);

    // 41 characters are 328 pixels: x = -4, clipped on both sides.
    makeImage(&test, 320, 200);
    drawTitleBox(&test.image, "12345678901234567890123456789012345678901", 1);
    changedBox(test, &left, &top, &right, &bottom);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 319);
    // Column 0 shows column 4 of the glyph '1'.
    bool ink = (titleFontGlyphs['1'][6] & (0x80 >> 4)) != 0;
    EXPECT_EQ(pixelAt(test, 0, 93 + 6)[0], ink ? 0 : 255);

    // UTF-8 for Latin-1 characters draws their glyph; others a '?'.
    TestImage accented;
    TestImage latin1;
    makeImage(&accented, 320, 200);
    makeImage(&latin1, 320, 200);
    drawTitleBox(&accented.image, "Caf\xC3\xA9 \xE2\x82\xAC", 1); // "Café €"
    drawTitleBox(&latin1.image, "Caf\xE9 ?", 1);                  // the same in ISO 8859-1
    EXPECT_EQ(accented.bytes, latin1.bytes);
}

TEST(TitleBox, ShownOnTheTenFramesAfterTheLastRequest) {
    TitleRequest request = {0, 0};
    EXPECT_FALSE(stepTitleBox(&request));
    requestTitleBox(&request);
    for (int32_t i = 0; i < 5; i++) {
        EXPECT_TRUE(stepTitleBox(&request));
    }
    requestTitleBox(&request); // a second press restarts the count
    for (int32_t i = 0; i < 10; i++) {
        EXPECT_TRUE(stepTitleBox(&request)) << i;
    }
    EXPECT_FALSE(stepTitleBox(&request));
    EXPECT_EQ(request.frameCount, 10);
}
