// The oscilloscope trace: mark value, sample rows and columns, the segment
// table, channel counts and the pixels it must leave alone.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "overlays/scope.h"

namespace {

typedef std::pair<int32_t, int32_t> Point; // (x, y)
typedef std::set<Point> PointSet;

uint8_t* pixelAt(uint8_t* frame, int32_t x, int32_t y) {
    return frame + y * 1280 + x * 4;
}

// A background that differs from pixel to pixel and is never the mark value
// (its fourth byte is never 0).
uint8_t backgroundByte(int32_t x, int32_t y, int32_t k) {
    if (k == 3) {
        return static_cast<uint8_t>(0x80 | ((x + y) & 0x7F));
    }
    return static_cast<uint8_t>(x * 7 + y * 13 + k * 91);
}

void fillBackground(uint8_t* frame) {
    for (int32_t y = 0; y < 200; y++) {
        for (int32_t x = 0; x < 320; x++) {
            for (int32_t k = 0; k < 4; k++) {
                pixelAt(frame, x, y)[k] = backgroundByte(x, y, k);
            }
        }
    }
}

bool isMark(uint8_t* frame, int32_t x, int32_t y) {
    const uint8_t* p = pixelAt(frame, x, y);
    return p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0;
}

bool isBackground(uint8_t* frame, int32_t x, int32_t y) {
    const uint8_t* p = pixelAt(frame, x, y);
    for (int32_t k = 0; k < 4; k++) {
        if (p[k] != backgroundByte(x, y, k)) {
            return false;
        }
    }
    return true;
}

// Every pixel of the frame: a mark where `marks` says, the background elsewhere.
void expectExactly(uint8_t* frame, const PointSet& marks) {
    std::vector<bool> expected(320 * 200, false);
    for (const Point& p : marks) {
        expected[p.second * 320 + p.first] = true;
    }
    int32_t wrong = 0;
    for (int32_t y = 0; y < 200; y++) {
        for (int32_t x = 0; x < 320; x++) {
            bool mark = expected[y * 320 + x];
            bool ok = mark ? isMark(frame, x, y) : isBackground(frame, x, y);
            if (!ok && wrong < 10) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") should be " << (mark ? "a mark" : "untouched");
            }
            wrong += ok ? 0 : 1;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// A horizontal run of marks in `row` from column `from` to column `to`.
void addRun(PointSet& marks, int32_t row, int32_t from, int32_t to) {
    for (int32_t x = from; x <= to; x++) {
        marks.insert(Point(x, row));
    }
}

PointSet marksOf(uint8_t* frame) {
    PointSet marks;
    for (int32_t y = 0; y < 200; y++) {
        for (int32_t x = 0; x < 320; x++) {
            if (isMark(frame, x, y)) {
                marks.insert(Point(x, y));
            }
        }
    }
    return marks;
}

class ScopeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        frame.assign(256000, 0);
        fillBackground(frame.data());
        std::memset(block, 0, sizeof(block));
        channels = 2;
    }

    void fillChannel(int32_t channel, uint8_t value) { std::memset(block[channel], value, 576); }

    std::vector<uint8_t> frame;
    WaveformBlock block;
    int32_t channels;
};

// ---- Level lines and the sample-to-row rule

TEST_F(ScopeTest, SilentChannelDrawsLevelLineInRow64) {
    channels = 1;
    fillChannel(0, 0x00);
    drawScope(frame.data(), block, channels);
    PointSet expected;
    addRun(expected, 64, 2, 312);
    ASSERT_EQ(expected.size(), 311u);
    expectExactly(frame.data(), expected);
}

TEST_F(ScopeTest, ExtremeSamplesDrawInRows0And127) {
    channels = 1;
    fillChannel(0, 0x80); // -128
    drawScope(frame.data(), block, channels);
    PointSet top;
    addRun(top, 0, 2, 312);
    expectExactly(frame.data(), top);

    fillBackground(frame.data());
    fillChannel(0, 0x7F); // +127
    drawScope(frame.data(), block, channels);
    PointSet bottom;
    addRun(bottom, 127, 2, 312);
    expectExactly(frame.data(), bottom);
}

TEST_F(ScopeTest, SampleRowsRoundDown) {
    // (signed sample + 128) / 2 rounded down: +1 -> 64, -1 -> 63, +3 -> 65, -3 -> 62.
    const struct {
        uint8_t byte;
        int32_t row;
    } cases[] = {{0x01, 64}, {0xFF, 63}, {0x03, 65}, {0xFD, 62}, {0x81, 0}, {0x7E, 127}, {0x40, 96}, {0xC0, 32}};
    for (const auto& c : cases) {
        fillBackground(frame.data());
        channels = 1;
        fillChannel(0, c.byte);
        drawScope(frame.data(), block, channels);
        PointSet expected;
        addRun(expected, c.row, 2, 312);
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
        expectExactly(frame.data(), expected);
    }
}

TEST_F(ScopeTest, SampleIGoesToColumn2iPlus2) {
    // Sample 40 alone at the top, all others in row 64: the last mark of the
    // rising segment 40 is (82, 0); the falling segment 41 ends at (84, 64).
    channels = 1;
    fillChannel(0, 0x00);
    block[0][40] = 0x80;
    drawScope(frame.data(), block, channels);
    EXPECT_TRUE(isMark(frame.data(), 82, 0));
    EXPECT_FALSE(isMark(frame.data(), 80, 0));
    EXPECT_FALSE(isMark(frame.data(), 84, 0));
    // Rows 63..1 going up: the first 32 in column 81, rows 31..0 in column 82.
    EXPECT_TRUE(isMark(frame.data(), 81, 32));
    EXPECT_TRUE(isMark(frame.data(), 82, 31));
    EXPECT_FALSE(isMark(frame.data(), 81, 31));
    // Rows 1..64 going down: rows 1..32 in column 83, rows 33..64 in column 84.
    EXPECT_TRUE(isMark(frame.data(), 83, 32));
    EXPECT_TRUE(isMark(frame.data(), 84, 33));
    EXPECT_FALSE(isMark(frame.data(), 83, 33));
}

// ---- The segment table, one step at a time from row 64

struct SegmentCase {
    const char* name;
    uint8_t next; // byte of samples 1..575; sample 0 is 0x00, row 64
    int32_t nextRow;
    std::vector<Point> segment; // marks of segment 1, columns 3 and 4
};

TEST_F(ScopeTest, SegmentTable) {
    const SegmentCase cases[] = {
        {"d = 0", 0x00, 64, {{3, 64}, {4, 64}}},
        {"d = +1", 0x02, 65, {{3, 65}, {4, 65}}},
        {"d = -1", 0xFE, 63, {{3, 64}, {4, 63}}},
        {"d = +2", 0x04, 66, {{3, 65}, {4, 66}}},
        {"d = -2", 0xFC, 62, {{3, 63}, {4, 62}}},
        {"d = +3", 0x06, 67, {{3, 65}, {4, 66}, {4, 67}}},
        {"d = -3", 0xFA, 61, {{3, 63}, {4, 62}, {4, 61}}},
        {"d = +4", 0x08, 68, {{3, 65}, {3, 66}, {4, 67}, {4, 68}}},
        {"d = -4", 0xF8, 60, {{3, 63}, {3, 62}, {4, 61}, {4, 60}}},
        {"d = +5", 0x0A, 69, {{3, 65}, {3, 66}, {4, 67}, {4, 68}, {4, 69}}},
    };
    for (const SegmentCase& c : cases) {
        SCOPED_TRACE(c.name);
        fillBackground(frame.data());
        channels = 1;
        fillChannel(0, c.next);
        block[0][0] = 0x00;
        drawScope(frame.data(), block, channels);
        PointSet expected(c.segment.begin(), c.segment.end());
        expected.insert(Point(2, 64));
        addRun(expected, c.nextRow, 5, 312);
        expectExactly(frame.data(), expected);
    }
}

TEST_F(ScopeTest, FullHeightJumpDown) {
    // Row 0 to row 127 between samples 0 and 1: rows 1..63 in column 3
    // (63 = 127 >> 1), rows 64..127 in column 4, then a level line.
    channels = 1;
    fillChannel(0, 0x7F);
    block[0][0] = 0x80;
    drawScope(frame.data(), block, channels);
    PointSet expected;
    expected.insert(Point(2, 0));
    for (int32_t y = 1; y <= 63; y++) {
        expected.insert(Point(3, y));
    }
    for (int32_t y = 64; y <= 127; y++) {
        expected.insert(Point(4, y));
    }
    addRun(expected, 127, 5, 312);
    expectExactly(frame.data(), expected);
}

TEST_F(ScopeTest, FullHeightJumpUpInLastSegment) {
    // Row 127 to row 0 between samples 154 and 155 (segment 155, x = 310):
    // rows 126..64 in column 311 (63 = 127 >> 1), rows 63..0 in column 312.
    channels = 1;
    fillChannel(0, 0x7F);
    block[0][155] = 0x80;
    drawScope(frame.data(), block, channels);
    PointSet expected;
    addRun(expected, 127, 2, 310);
    for (int32_t y = 126; y >= 64; y--) {
        expected.insert(Point(311, y));
    }
    for (int32_t y = 63; y >= 0; y--) {
        expected.insert(Point(312, y));
    }
    expectExactly(frame.data(), expected);
}

// ---- Channel counts

TEST_F(ScopeTest, ChannelCountSelectsChannels) {
    fillChannel(0, 0x00); // row 64
    fillChannel(1, 0x80); // row 0
    PointSet channel0;
    addRun(channel0, 64, 2, 312);
    PointSet both = channel0;
    addRun(both, 0, 2, 312);

    channels = 1;
    drawScope(frame.data(), block, channels);
    expectExactly(frame.data(), channel0);

    fillBackground(frame.data());
    channels = 2;
    drawScope(frame.data(), block, channels);
    expectExactly(frame.data(), both);

    for (int32_t count : {0, -1, -2147483647 - 1}) {
        SCOPED_TRACE(count);
        fillBackground(frame.data());
        channels = count;
        drawScope(frame.data(), block, channels);
        expectExactly(frame.data(), PointSet());
    }
}

TEST_F(ScopeTest, CountAboveTwoDrawsOnlyTheTwoChannelsHeld) {
    // On the heap so that a read past the block's end is caught by the
    // address sanitizer.
    uint8_t(*heapBlock)[BLOCK_SAMPLES] = new uint8_t[BLOCK_CHANNELS][BLOCK_SAMPLES];
    std::memset(heapBlock[0], 0x00, 576);
    std::memset(heapBlock[1], 0x80, 576);
    PointSet both;
    addRun(both, 64, 2, 312);
    addRun(both, 0, 2, 312);
    for (int32_t count : {3, 4, 576, 2147483647}) {
        SCOPED_TRACE(count);
        fillBackground(frame.data());
        drawScope(frame.data(), heapBlock, count);
        expectExactly(frame.data(), both);
    }
    delete[] heapBlock;
}

// ---- What the trace leaves alone

TEST_F(ScopeTest, SamplesFrom156OnAreNeverRead) {
    fillChannel(0, 0x10);
    fillChannel(1, 0xE0);
    drawScope(frame.data(), block, channels);
    std::vector<uint8_t> first = frame;

    std::mt19937 random(156);
    for (int32_t c = 0; c < 2; c++) {
        for (int32_t i = 156; i < 576; i++) {
            block[c][i] = static_cast<uint8_t>(random());
        }
    }
    fillBackground(frame.data());
    drawScope(frame.data(), block, channels);
    EXPECT_TRUE(frame == first);
}

TEST_F(ScopeTest, BlockIsNotChanged) {
    std::mt19937 random(7);
    for (int32_t c = 0; c < 2; c++) {
        for (int32_t i = 0; i < 576; i++) {
            block[c][i] = static_cast<uint8_t>(random());
        }
    }
    WaveformBlock before;
    std::memcpy(before, block, sizeof(block));
    drawScope(frame.data(), block, channels);
    EXPECT_EQ(std::memcmp(before, block, sizeof(block)), 0);
}

// ---- Seeded properties over random waveforms

// Rows of the samples of one channel, by the sample rule written out.
std::vector<int32_t> rowsOf(const uint8_t* samples) {
    std::vector<int32_t> rows;
    for (int32_t i = 0; i < 156; i++) {
        int32_t signedSample = samples[i] < 128 ? samples[i] : samples[i] - 256;
        rows.push_back((signedSample + 128) / 2);
    }
    return rows;
}

TEST_F(ScopeTest, RandomWaveformsStayInTheBandAndConnect) {
    std::mt19937 random(2024);
    for (int32_t round = 0; round < 60; round++) {
        // Mix of smooth and wild waveforms, so that small and large steps both occur.
        int32_t spread = round % 2 == 0 ? 256 : 9;
        int32_t level = static_cast<int32_t>(random() % 256);
        for (int32_t c = 0; c < 2; c++) {
            for (int32_t i = 0; i < 576; i++) {
                if (spread == 256) {
                    level = static_cast<int32_t>(random() % 256);
                } else {
                    level = (level + static_cast<int32_t>(random() % 9) - 4 + 256) % 256;
                }
                block[c][i] = static_cast<uint8_t>(level);
            }
        }
        for (int32_t c = 0; c < 2; c++) {
            SCOPED_TRACE(testing::Message() << "round " << round << ", channel " << c);
            fillBackground(frame.data());
            channels = c + 1;
            drawScope(frame.data(), block, channels);
            PointSet all = marksOf(frame.data());

            // Everything else keeps the background, all marks inside the band
            int32_t changed = 0;
            for (int32_t y = 0; y < 200; y++) {
                for (int32_t x = 0; x < 320; x++) {
                    if (!isBackground(frame.data(), x, y)) {
                        changed++;
                        ASSERT_TRUE(isMark(frame.data(), x, y)) << x << ", " << y;
                        ASSERT_TRUE(x >= 2 && x <= 312 && y <= 127) << x << ", " << y;
                    }
                }
            }
            ASSERT_EQ(changed, static_cast<int32_t>(all.size()));
            if (c == 1) {
                continue; // the two channels overlap; the rest is checked on one
            }

            // Each sample lies at (2i + 2, row); each segment covers the rows
            // between its ends; the mark count is 1 + sum of max(2, |d|).
            std::vector<int32_t> rows = rowsOf(block[0]);
            size_t expectedCount = 1;
            ASSERT_TRUE(isMark(frame.data(), 2, rows[0]));
            for (int32_t i = 1; i < 156; i++) {
                int32_t y = rows[i - 1];
                int32_t ny = rows[i];
                int32_t steps = ny > y ? ny - y : y - ny;
                expectedCount += steps <= 2 ? 2 : steps;
                ASSERT_TRUE(isMark(frame.data(), 2 * i + 2, ny)) << "sample " << i;
                std::set<int32_t> covered;
                covered.insert(y);
                for (int32_t x = 2 * i + 1; x <= 2 * i + 2; x++) {
                    for (int32_t r = 0; r < 128; r++) {
                        if (isMark(frame.data(), x, r)) {
                            covered.insert(r);
                        }
                    }
                }
                int32_t low = y < ny ? y : ny;
                int32_t high = y < ny ? ny : y;
                ASSERT_EQ(*covered.begin(), low) << "segment " << i;
                ASSERT_EQ(*covered.rbegin(), high) << "segment " << i;
                ASSERT_EQ(static_cast<int32_t>(covered.size()), high - low + 1) << "segment " << i;
            }
            ASSERT_EQ(all.size(), expectedCount);
        }
    }
}

} // namespace
