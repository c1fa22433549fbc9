// The display window's procedure: SPACE asks for the title, releasing ESC or
// losing the window posts the quit message, the rest goes to Windows.
#include <string>
#include <vector>
#include "tests/windows/plugin_test.h"

namespace {

using WindowProcedure = PluginTest;

LRESULT send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return displayWindowProc(DISPLAY_WINDOW, message, wParam, lParam);
}

TEST_F(WindowProcedure, SpaceKeyDownRequestsTheTitleAfresh) {
    songTitleRequest.frameCount = 7;
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_SPACE));
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(0, songTitleRequest.frameCount);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(WindowProcedure, AutoRepeatedSpaceRestartsTheCountEachTime) {
    // lParam of an auto-repeat: repeat count 1, previous key state bit 30 set.
    const LPARAM repeat = 0x40390001;
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_SPACE, 0x00390001));
    songTitleRequest.frameCount = 3;
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_SPACE, repeat));
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(0, songTitleRequest.frameCount);
    songTitleRequest.frameCount = 9;
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_SPACE, repeat));
    EXPECT_EQ(0, songTitleRequest.frameCount);
}

TEST_F(WindowProcedure, KeyUpsAndOtherKeysLeaveTheTitleAlone) {
    songTitleRequest.requested = 1;
    songTitleRequest.frameCount = 4;
    EXPECT_EQ(0, send(WM_KEYUP, VK_SPACE));
    EXPECT_EQ(0, send(WM_KEYDOWN, 'A'));
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(0, send(WM_KEYUP, 'A'));
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(4, songTitleRequest.frameCount);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(WindowProcedure, EscapeActsOnReleaseOnly) {
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(0, send(WM_KEYUP, VK_ESCAPE));
    EXPECT_EQ(std::vector<std::string>{"PostQuitMessage(0)"}, fake.log);
    EXPECT_EQ(0, songTitleRequest.requested);
}

TEST_F(WindowProcedure, DestroyedWindowPostsQuitAndIsForgotten) {
    display.displayWindow = DISPLAY_WINDOW;
    EXPECT_EQ(0, send(WM_DESTROY, 0));
    EXPECT_EQ(std::vector<std::string>{"PostQuitMessage(0)"}, fake.log);
    EXPECT_EQ(NULL, display.displayWindow);
}

TEST_F(WindowProcedure, DestroyOfAnotherWindowKeepsTheDisplayWindow) {
    display.displayWindow = (HWND)0x6060;
    EXPECT_EQ(0, send(WM_DESTROY, 0));
    EXPECT_EQ((HWND)0x6060, display.displayWindow);
}

TEST_F(WindowProcedure, CreateAndEraseAreHandledWithoutPainting) {
    EXPECT_EQ(0, send(WM_CREATE, 0));
    EXPECT_EQ(0, send(WM_ERASEBKGND, (WPARAM)DEVICE_CONTEXT));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(WindowProcedure, OtherMessagesGoToTheDefaultProcedure) {
    fake.defWindowProcResult = 0x77;
    EXPECT_EQ(0x77, send(WM_PAINT, 0));
    EXPECT_EQ(0x77, send(WM_SYSKEYDOWN, VK_SPACE, 0x20000000));
    EXPECT_EQ(0x77, send(WM_CHAR, ' ', 5));
    std::vector<std::string> expected = {
        "DefWindowProcA(window=0x2020, message=0xf, wParam=0, lParam=0)",
        "DefWindowProcA(window=0x2020, message=0x104, wParam=32, lParam=536870912)",
        "DefWindowProcA(window=0x2020, message=0x102, wParam=32, lParam=5)",
    };
    EXPECT_EQ(expected, fake.log);
    EXPECT_EQ(0, songTitleRequest.requested);
}

} // namespace
