// The about box: its dialog procedure and Config, which shows it.
#include "about/about.h"

#include <cstring>
#include "host/lifecycle.h"
#include "tests/windows/plugin_test.h"

namespace {

using AboutDialog = PluginTest;

// wParam of a WM_COMMAND: the control identifier low, the notification high.
WPARAM command(WORD identifier, WORD notification) {
    return MAKEWPARAM(identifier, notification);
}

TEST_F(AboutDialog, OkAndCancelBothCloseTheBoxWithResultOne) {
    EXPECT_EQ(1, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDOK, 0), 0));
    EXPECT_EQ(1, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDCANCEL, 0), 0));
    std::vector<std::string> expected = {
        "EndDialog(dialog=0x4040, result=1)",
        "EndDialog(dialog=0x4040, result=1)",
    };
    EXPECT_EQ(expected, fake.log);
}

TEST_F(AboutDialog, NotificationsOfTheButtonsLeaveTheBoxOpen) {
    // BN_SETFOCUS (6) and BN_KILLFOCUS (7) come with the buttons' identifiers.
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDOK, 6), 0));
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDCANCEL, 7), 0));
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDOK, 1), 0));
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(IDOK, 0xFFFF), 0));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(AboutDialog, OtherCommandsAreNotHandled) {
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(3, 0), 0));      // IDABORT
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(0xFFFF, 0), 0)); // the static controls' -1
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_COMMAND, command(0, 0), 0));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(AboutDialog, OtherMessagesAreNotHandled) {
    // WM_INITDIALOG returns 0 too: the dialog manager picks no focus itself.
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_PAINT, 0, 0));
    // A WM_SYSCOMMAND whose low word happens to be IDOK is no button press.
    EXPECT_EQ(0, aboutDialogProc(DIALOG_WINDOW, WM_SYSCOMMAND, command(IDOK, 0), 0));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(AboutDialog, ConfigShowsTemplate101OwnedByThePlayerWindow) {
    winampVisModule module = playerModule();
    fake.dialogResult = -1; // the box could not be made: nothing more happens
    Config(&module);
    std::vector<std::string> expected = {
        "DialogBoxParamA(instance=0x3030, template=#101, owner=0x1010, proc=" + hexText((const void*)aboutDialogProc) +
            ", param=0)",
    };
    EXPECT_EQ(expected, fake.log);
}

TEST_F(AboutDialog, ConfigReadsTheHandlesAtTheTimeOfTheCall) {
    winampVisModule module = playerModule();
    module.hwndParent = (HWND)0x7070;
    module.hDllInstance = (HINSTANCE)0x8080;
    Config(&module);
    ASSERT_EQ(1u, fake.log.size());
    EXPECT_EQ(0u, fake.log[0].find("DialogBoxParamA(instance=0x8080, template=#101, owner=0x7070, "));
}

TEST_F(AboutDialog, ConfigWhileRunningChangesNoDisplayOrTitleState) {
    FakeDisplay world;
    world.adopt();
    songTitleRequest.requested = 1;
    songTitleRequest.frameCount = 4;
    DisplayState before = display;
    winampVisModule module = playerModule();
    Config(&module);
    EXPECT_EQ(0, memcmp(&before, &display, sizeof(display)));
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(4, songTitleRequest.frameCount);
    EXPECT_EQ(1u, fake.log.size());
}

} // namespace
