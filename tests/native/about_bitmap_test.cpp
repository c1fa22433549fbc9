// The about box's picture file: headers, row order and channel order.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include "about/about_bitmap.h"
#include "cli/output_file.h"

namespace {

uint8_t frame[FRAME_BYTES];
uint8_t file[ABOUT_BITMAP_FILE_BYTES];
uint8_t again[ABOUT_BITMAP_FILE_BYTES];

void setPixel(int x, int y, uint8_t blue, uint8_t green, uint8_t red) {
    uint8_t* pixel = frame + y * 1280 + x * 4;
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
}

void fillRandom(uint8_t* bytes, int count, std::mt19937& random) {
    for (int i = 0; i < count; i++) {
        bytes[i] = static_cast<uint8_t>(random());
    }
}

TEST(AboutBitmap, HeadersAreTheClassicDeviceIndependentLayout) {
    const uint8_t expected[54] = {
        'B',  'M',  0xF6, 0xA6, 0x02, 0x00, // file size 173,814
        0x00, 0x00, 0x00, 0x00,             // reserved
        0x36, 0x00, 0x00, 0x00,             // pixels at 54
        0x28, 0x00, 0x00, 0x00,             // info header of 40 bytes
        0x40, 0x01, 0x00, 0x00,             // 320 wide
        0xB5, 0x00, 0x00, 0x00,             // 181 high, bottom row first
        0x01, 0x00,                         // one plane
        0x18, 0x00,                         // 24 bits per pixel
        0x00, 0x00, 0x00, 0x00,             // uncompressed
        0xC0, 0xA6, 0x02, 0x00,             // 173,760 pixel bytes
        0xC3, 0x0E, 0x00, 0x00,             // 3779 pixels per metre across
        0xC3, 0x0E, 0x00, 0x00,             // and down
        0x00, 0x00, 0x00, 0x00,             // no colour table
        0x00, 0x00, 0x00, 0x00,             // all colours important
    };
    memset(frame, 0, sizeof frame);
    encodeAboutBitmap(frame, file);
    EXPECT_EQ(0, memcmp(expected, file, sizeof expected));
    EXPECT_EQ(173814, ABOUT_BITMAP_FILE_BYTES);
}

TEST(AboutBitmap, BottomTracedRowComesFirstAndTopRowLast) {
    memset(frame, 0, sizeof frame);
    setPixel(0, 0, 1, 2, 3);
    setPixel(319, 0, 4, 5, 6);
    setPixel(0, 180, 7, 8, 9);
    setPixel(319, 180, 10, 11, 12);
    setPixel(5, 100, 13, 14, 15);
    encodeAboutBitmap(frame, file);

    // Top-left pixel: the start of the last row, 54 + 180 * 960
    EXPECT_EQ(1, file[172854]);
    EXPECT_EQ(2, file[172855]);
    EXPECT_EQ(3, file[172856]);
    // Top-right pixel: the last three bytes of the file
    EXPECT_EQ(4, file[173811]);
    EXPECT_EQ(5, file[173812]);
    EXPECT_EQ(6, file[173813]);
    // Bottom traced row: right after the headers
    EXPECT_EQ(7, file[54]);
    EXPECT_EQ(8, file[55]);
    EXPECT_EQ(9, file[56]);
    EXPECT_EQ(10, file[1011]);
    EXPECT_EQ(11, file[1012]);
    EXPECT_EQ(12, file[1013]);
    // (5, 100): row 80 from the bottom, 15 bytes in
    EXPECT_EQ(13, file[76869]);
    EXPECT_EQ(14, file[76870]);
    EXPECT_EQ(15, file[76871]);
}

TEST(AboutBitmap, EveryPixelByteComesFromItsFramePixel) {
    std::mt19937 random(20260103);
    fillRandom(frame, FRAME_BYTES, random);
    encodeAboutBitmap(frame, file);
    for (int offset = 54; offset < 173814; offset++) {
        int fromBottom = (offset - 54) / 960;
        int x = (offset - 54) % 960 / 3;
        int channel = (offset - 54) % 3;
        int y = 180 - fromBottom;
        ASSERT_EQ(frame[y * 1280 + x * 4 + channel], file[offset]) << "byte " << offset;
    }
}

TEST(AboutBitmap, FourthBytesAndUntracedRowsDoNotMatter) {
    std::mt19937 random(77);
    for (int trial = 0; trial < 4; trial++) {
        fillRandom(frame, FRAME_BYTES, random);
        encodeAboutBitmap(frame, file);
        for (int pixel = 0; pixel < 320 * 200; pixel++) {
            frame[pixel * 4 + 3] = static_cast<uint8_t>(random());
        }
        fillRandom(frame + 181 * 1280, 19 * 1280, random);
        encodeAboutBitmap(frame, again);
        ASSERT_EQ(0, memcmp(file, again, sizeof file)) << "trial " << trial;
    }
}

TEST(AboutBitmapFile, WritesEveryByteAndReportsAFolderThatIsNotThere) {
    std::string path = testing::TempDir() + "about_bitmap_test.bmp";
    const uint8_t bytes[5] = {'B', 'M', 0, 255, 7};
    ASSERT_TRUE(writeFileBytes(path.c_str(), bytes, 5));

    uint8_t read[8] = {};
    FILE* written = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, written);
    size_t count = fread(read, 1, sizeof read, written);
    fclose(written);
    remove(path.c_str());
    EXPECT_EQ(5u, count);
    EXPECT_EQ(0, memcmp(bytes, read, 5));

    std::string missing = testing::TempDir() + "no-such-folder/about.bmp";
    EXPECT_FALSE(writeFileBytes(missing.c_str(), bytes, 5));
}

} // namespace
