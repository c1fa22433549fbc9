// Windows only. The fixture every Windows test starts from: the fake
// platform in place, no display, no title request, and everything put back
// afterwards so that no test sees another's fakes.
#pragma once
#ifndef _WIN32
#error "tests/windows/plugin_test.h is Windows-only"
#endif
#include <gtest/gtest.h>
#include "display/display.h"
#include "host/window_proc.h"
#include "overlays/title.h"
#include "tests/windows/fake_directdraw.h"
#include "tests/windows/fake_platform.h"

class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useFakePlatform();
        display = DisplayState();
        songTitleRequest.requested = 0;
        songTitleRequest.frameCount = 0;
    }
    void TearDown() override {
        display = DisplayState();
        useRealPlatform();
    }
};

// A module record as the player fills it before Init, with the fakes' handles.
inline winampVisModule playerModule() {
    static char description[] = "new";
    winampVisModule module = {};
    module.description = description;
    module.hwndParent = PLAYER_WINDOW;
    module.hDllInstance = DLL_INSTANCE;
    module.nCh = 2;
    return module;
}
