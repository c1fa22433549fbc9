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

    // 41 characters are 328 pixels: shortened to the 40 that fit, the last
    // three "...", the start kept whole.
    makeImage(&test, 320, 200);
    drawTitleBox(&test.image, "12345678901234567890123456789012345678901", 1);
    changedBox(test, &left, &top, &right, &bottom);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 319);
    TestImage fitting;
    makeImage(&fitting, 320, 200);
    drawTitleBox(&fitting.image, "1234567890123456789012345678901234567...", 1);
    EXPECT_EQ(test.bytes, fitting.bytes);
    // At scale 3 on 320 x 200, 13 glyphs fit: ten of the title and "...".
    makeImage(&test, 320, 200);
    makeImage(&fitting, 320, 200);
    drawTitleBox(&test.image, "The Very Long Title Of A Song", 3);
    drawTitleBox(&fitting.image, "The Very L...", 3);
    EXPECT_EQ(test.bytes, fitting.bytes);

    // UTF-8 for Latin-1 characters draws their glyph; the font's box of dots
    // for others and for control codes, never a '?' that reads as text.
    TestImage accented;
    TestImage latin1;
    makeImage(&accented, 320, 200);
    makeImage(&latin1, 320, 200);
    drawTitleBox(&accented.image, "Caf\xC3\xA9 \xE2\x82\xAC", 1); // "Café €"
    drawTitleBox(&latin1.image, "Caf\xE9 \x1B", 1);               // ISO 8859-1, ESC for what it lacks
    EXPECT_EQ(accented.bytes, latin1.bytes);
    int32_t boxLeft = (320 - 6 * 8) / 2;
    for (int32_t y = 0; y < 13; y++) {
        for (int32_t x = 0; x < 8; x++) {
            bool ink = (titleFontGlyphs[0][y] & (0x80 >> x)) != 0;
            ASSERT_EQ(pixelAt(accented, boxLeft + 5 * 8 + x, 93 + y)[0], ink ? 0 : 255) << x << "," << y;
        }
    }
}

// The font's accented capitals stand as tall as the plain ones and differ
// from their small letters: "Ü" is no "ü".
TEST(TitleBox, AccentedCapitalsAreCapitals) {
    for (uint32_t capital = 0xC0; capital <= 0xDD; capital++) {
        if (capital == 0xD7 || capital == 0xD0) {
            continue; // the multiplication sign; Eth has no small letter above it
        }
        EXPECT_NE(memcmp(titleFontGlyphs[capital], titleFontGlyphs[capital + 0x20], TITLE_FONT_HEIGHT), 0) << capital;
        // Ink in row 3, above the small letters' height, as 'U' has
        EXPECT_NE(titleFontGlyphs[capital][3], 0) << std::hex << capital;
    }
    EXPECT_NE(titleFontGlyphs['U'][3], 0);
    EXPECT_EQ(titleFontGlyphs[0xFC][3], 0) << "ü is a small letter";
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
