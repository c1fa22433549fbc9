// The song-title overlay: the ten-frame rule, the player's answers, a refused
// device context and the centring of the text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "tests/windows/plugin_test.h"

namespace {

char songTitle[] = "Artist - Song";

class TitleOverlay : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        world.adopt();
        module = playerModule();
        fake.positionAnswer = 4;
        fake.titleAnswer = (LRESULT)songTitle;
        fake.textExtent = {101, 16};
    }
    FakeDisplay world;
    winampVisModule module;
};

size_t printedLines() {
    return callsStartingWith("TextOutA").size();
}

TEST_F(TitleOverlay, NothingHappensWithoutARequest) {
    drawTitle(&module);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(0, songTitleRequest.frameCount);
}

TEST_F(TitleOverlay, OneRequestPrintsTheTitleInTheMiddleOfTheFrame) {
    requestTitle();
    drawTitle(&module);
    std::vector<std::string> expected = {
        "SendMessageA(window=0x1010, message=0x400, wParam=0, lParam=125)",
        "SendMessageA(window=0x1010, message=0x400, wParam=4, lParam=212)",
        "render.GetDC()",
        "lstrlenA(Artist - Song)",
        "GetTextExtentPointA(dc=0x5050, text=Artist - Song, length=13)",
        "TextOutA(dc=0x5050, x=109, y=92, text=Artist - Song, length=13)", // (320 - 101) / 2, (200 - 16) / 2
        "render.ReleaseDC(dc=0x5050)",
    };
    EXPECT_EQ(expected, fake.log);
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(1, songTitleRequest.frameCount);
}

TEST_F(TitleOverlay, RequestLastsTenFrames) {
    requestTitle();
    for (int frame = 0; frame < 10; frame++) {
        EXPECT_EQ(1, songTitleRequest.requested) << "before frame " << frame;
        drawTitle(&module);
    }
    EXPECT_EQ(10u, printedLines());
    EXPECT_EQ(0, songTitleRequest.requested);
    EXPECT_EQ(10, songTitleRequest.frameCount);

    // The eleventh frame prints nothing and asks nothing; the count stays.
    size_t before = fake.log.size();
    drawTitle(&module);
    EXPECT_EQ(before, fake.log.size());
    EXPECT_EQ(10, songTitleRequest.frameCount);
}

TEST_F(TitleOverlay, RepeatedRequestRestartsTheTenFrames) {
    requestTitle();
    for (int frame = 0; frame < 6; frame++) {
        drawTitle(&module);
    }
    requestTitle();
    for (int frame = 0; frame < 12; frame++) {
        drawTitle(&module);
    }
    EXPECT_EQ(16u, printedLines()); // 6 before the second press, 10 after it
    EXPECT_EQ(0, songTitleRequest.requested);
}

TEST_F(TitleOverlay, PositionIsAskedForOnEveryFrame) {
    requestTitle();
    drawTitle(&module);
    fake.positionAnswer = 9;
    drawTitle(&module);
    std::vector<std::string> expected = {
        "SendMessageA(window=0x1010, message=0x400, wParam=0, lParam=125)",
        "SendMessageA(window=0x1010, message=0x400, wParam=4, lParam=212)",
        "SendMessageA(window=0x1010, message=0x400, wParam=0, lParam=125)",
        "SendMessageA(window=0x1010, message=0x400, wParam=9, lParam=212)",
    };
    EXPECT_EQ(expected, callsStartingWith("SendMessageA"));
}

TEST_F(TitleOverlay, NoTitleMeansNothingPrintedButTheFramesCount) {
    fake.titleAnswer = 0;
    requestTitle();
    for (int frame = 0; frame < 10; frame++) {
        drawTitle(&module);
    }
    EXPECT_EQ(20u, callsStartingWith("SendMessageA").size());
    EXPECT_EQ(20u, fake.log.size()); // no device context asked for
    EXPECT_EQ(0, songTitleRequest.requested);
    EXPECT_EQ(10, songTitleRequest.frameCount);
}

TEST_F(TitleOverlay, SmallAnswersAreNoTitle) {
    // Some players answer an unknown query with 1; nothing below 0x10000 is
    // a string's address.
    const LRESULT answers[] = {1, 2, 0xFFFF};
    for (LRESULT answer : answers) {
        SCOPED_TRACE(answer);
        fake.log.clear();
        fake.titleAnswer = answer;
        requestTitle();
        drawTitle(&module);
        EXPECT_EQ(2u, fake.log.size());
        EXPECT_EQ(1, songTitleRequest.frameCount);
    }
}

TEST_F(TitleOverlay, RefusedDeviceContextPrintsNothingButCounts) {
    world.render.getDCScript.otherwise = DDERR_CANTCREATEDC;
    requestTitle();
    drawTitle(&module);
    std::vector<std::string> expected = {
        "SendMessageA(window=0x1010, message=0x400, wParam=0, lParam=125)",
        "SendMessageA(window=0x1010, message=0x400, wParam=4, lParam=212)",
        "render.GetDC()",
    };
    EXPECT_EQ(expected, fake.log);
    EXPECT_EQ(1, songTitleRequest.frameCount);
    for (int frame = 1; frame < 10; frame++) {
        drawTitle(&module);
    }
    EXPECT_EQ(0, songTitleRequest.requested);
    EXPECT_EQ(0u, printedLines());
    EXPECT_EQ(10u, callsStartingWith("render.GetDC()").size()); // tried anew each frame, never retried
}

// The TextOutA line for a title measured `width` x `height`.
std::string printedAt(LONG width, LONG height) {
    fake.log.clear();
    fake.textExtent = {width, height};
    requestTitle();
    winampVisModule module = playerModule();
    drawTitle(&module);
    std::vector<std::string> lines = callsStartingWith("TextOutA");
    return lines.size() == 1 ? lines[0] : "not printed";
}

std::string textOutAt(int x, int y) {
    return "TextOutA(dc=0x5050, x=" + std::to_string(x) + ", y=" + std::to_string(y) +
           ", text=Artist - Song, length=13)";
}

TEST_F(TitleOverlay, CentringTruncatesTowardZero) {
    EXPECT_EQ(textOutAt(109, 92), printedAt(101, 16));
    EXPECT_EQ(textOutAt(-5, 92), printedAt(330, 16)); // wider than the frame: clipped both sides
    EXPECT_EQ(textOutAt(0, 92), printedAt(321, 16));  // -1 / 2 is 0, not -1
    EXPECT_EQ(textOutAt(-1, 92), printedAt(322, 16));
    EXPECT_EQ(textOutAt(160, 100), printedAt(0, 0));
    EXPECT_EQ(textOutAt(159, 0), printedAt(1, 201)); // 319 / 2, -1 / 2
    EXPECT_EQ(textOutAt(0, -50), printedAt(320, 300));
}

TEST_F(TitleOverlay, CentringKeepsTheTextBoxCentredForAnySize) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<LONG> size(0, 1000);
    for (int i = 0; i < 200; i++) {
        LONG width = size(random);
        LONG height = size(random);
        std::string line = printedAt(width, height);
        int x = 0;
        int y = 0;
        ASSERT_EQ(2, sscanf(line.c_str(), "TextOutA(dc=0x5050, x=%d, y=%d", &x, &y)) << line;
        // The margins left and right (top and bottom) differ by at most one
        // pixel, and the text never leans further to the right or bottom.
        int left = x;
        int right = 320 - (x + (int)width);
        int top = y;
        int bottom = 200 - (y + (int)height);
        EXPECT_LE(std::abs(left - right), 1) << width;
        EXPECT_LE(std::abs(top - bottom), 1) << height;
        EXPECT_GE(right - left, width > 320 ? -1 : 0) << width;
        EXPECT_GE(bottom - top, height > 200 ? -1 : 0) << height;
    }
}

} // namespace
