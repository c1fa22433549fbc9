// The player's view: the header and module records with their load values,
// and the four callbacks in every state the player may call them.
#include <climits>
#include <cstring>
#include <string>
#include <vector>
#include "host/lifecycle.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "tests/windows/plugin_test.h"

namespace {

const char RESTORED[] = "SendNotifyMessageA(window=0x1010, message=0x5, wParam=0, lParam=0)";
const char MAXIMISED[] = "SendNotifyMessageA(window=0x1010, message=0x5, wParam=2, lParam=0)";
const char UNREGISTER[] = "UnregisterClassA(class=sphere raytracer, instance=0x3030)";

// Records

TEST(PluginRecords, HeaderIsTheSameOnEveryCall) {
    winampVisHeader* header = winampVisGetHeader();
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(header, winampVisGetHeader());
    EXPECT_EQ(0x101, header->version);
    EXPECT_STREQ("nox raytracer winamp plugin", header->description);
    EXPECT_EQ(&getModule, header->getModule);
}

TEST(PluginRecords, OnlyIndexZeroHasAModule) {
    winampVisModule* module = getModule(0);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(module, getModule(0));
    EXPECT_EQ(module, winampVisGetHeader()->getModule(0));
    EXPECT_EQ(nullptr, getModule(1));
    EXPECT_EQ(nullptr, getModule(2));
    EXPECT_EQ(nullptr, getModule(-1));
    EXPECT_EQ(nullptr, getModule(INT_MIN));
    EXPECT_EQ(nullptr, getModule(INT_MAX));
}

TEST(PluginRecords, ModuleHoldsItsLoadValues) {
    const winampVisModule* module = getModule(0);
    ASSERT_NE(nullptr, module);
    EXPECT_STREQ("new", module->description);
    EXPECT_EQ(nullptr, module->hwndParent);
    EXPECT_EQ(nullptr, module->hDllInstance);
    EXPECT_EQ(0, module->sRate);
    EXPECT_EQ(2, module->nCh);
    EXPECT_EQ(15, module->latencyMs);
    EXPECT_EQ(15, module->delayMs);
    EXPECT_EQ(0, module->spectrumNch);
    EXPECT_EQ(2, module->waveformNch);
    for (int channel = 0; channel < 2; channel++) {
        for (int i = 0; i < 576; i++) {
            ASSERT_EQ(0, module->spectrumData[channel][i]);
            ASSERT_EQ(0, module->waveformData[channel][i]);
        }
    }
    EXPECT_EQ(&Config, module->Config);
    EXPECT_EQ(&Init, module->Init);
    EXPECT_EQ(&Render, module->Render);
    EXPECT_EQ(&Quit, module->Quit);
    EXPECT_EQ(nullptr, module->userData);
}

// Callbacks

class Lifecycle : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        module = playerModule();
        world.render.setLayout(1280, 200, 0x5A);
        world.offerToPlatform();
    }
    FakeDisplay world;
    winampVisModule module;
};

TEST_F(Lifecycle, InitBuildsTheSceneClearsTheRequestAndTakesTheDisplay) {
    memset(&sampleGrid, 0, sizeof(sampleGrid));
    memset(&scene, 0, sizeof(scene));
    songTitleRequest.requested = 1;
    songTitleRequest.frameCount = 5;
    EXPECT_EQ(0, Init(&module));
    EXPECT_EQ(161, sampleGrid.columns);
    EXPECT_EQ(91, sampleGrid.rows);
    EXPECT_EQ(6, scene.objectCount);
    EXPECT_EQ(0, songTitleRequest.requested);
    EXPECT_EQ(5, songTitleRequest.frameCount); // left as it was
    ASSERT_FALSE(fake.log.empty());
    EXPECT_EQ(0u, fake.log[0].find("RegisterClassA(class=sphere raytracer,"));
    EXPECT_EQ("ShowWindow(window=0x2020, command=1)", fake.log.back());
    EXPECT_EQ(&world.render, display.renderSurface);
}

TEST_F(Lifecycle, FailedInitStillLeavesTheSceneBuilt) {
    memset(&sampleGrid, 0, sizeof(sampleGrid));
    memset(&scene, 0, sizeof(scene));
    songTitleRequest.requested = 1;
    fake.refuseRegister = true;
    EXPECT_EQ(1, Init(&module));
    EXPECT_EQ(161, sampleGrid.columns);
    EXPECT_EQ(6, scene.objectCount);
    EXPECT_EQ(0, songTitleRequest.requested);
}

TEST_F(Lifecycle, InitPassesOnTheFailingCallsOwnCode) {
    world.directDraw.displayModeScript.otherwise = DDERR_UNSUPPORTEDMODE;
    world.refuseOtherWays();
    EXPECT_EQ((int32_t)DDERR_UNSUPPORTEDMODE, Init(&module));
}

TEST_F(Lifecycle, RenderComposesUnlocksPrintsTheTitleAndPresents) {
    ASSERT_EQ(0, Init(&module));
    fake.positionAnswer = 2;
    static char title[] = "Song";
    fake.titleAnswer = (LRESULT)title;
    fake.textExtent = {30, 16};
    requestTitle();
    float angle = motion.angle;
    size_t first = fake.log.size();

    EXPECT_EQ(0, Render(&module));

    std::vector<std::string> expected = {
        "render.Lock(rect=null, flags=0x1, event=0x0)",
        "render.Unlock(pointer=0x0)",
        "SendMessageA(window=0x1010, message=0x400, wParam=0, lParam=125)",
        "SendMessageA(window=0x1010, message=0x400, wParam=2, lParam=212)",
        "render.GetDC()",
        "lstrlenA(Song)",
        "GetTextExtentPointA(dc=0x5050, text=Song, length=4)",
        "TextOutA(dc=0x5050, x=145, y=92, text=Song, length=4)",
        "render.ReleaseDC(dc=0x5050)",
        "back.BltFast(x=0, y=0, source=render, rect=null, flags=0x0)",
        "primary.Flip(target=null, flags=0x0)",
    };
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_NE(angle, motion.angle);
    EXPECT_EQ(1, songTitleRequest.frameCount);
}

TEST_F(Lifecycle, RenderDrawsTheTracedRowsIntoTheSurface) {
    ASSERT_EQ(0, Init(&module));
    ASSERT_EQ(0, Render(&module));
    const uint8_t* pixels = world.render.pixels();
    // The sky of the top row is light blue: its blue byte is far from the fill.
    EXPECT_NE(0x5A, pixels[0]);
    size_t changed = 0;
    for (size_t i = 0; i < 181u * 1280u; i++) {
        changed += pixels[i] != 0x5A ? 1 : 0;
    }
    EXPECT_GT(changed, 181u * 320u * 3u / 2u);
    // The last row is never traced.
    for (size_t i = 199u * 1280u; i < 200u * 1280u; i++) {
        ASSERT_EQ(0x5A, pixels[i]) << "byte " << i;
    }
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(Lifecycle, RenderIntoASurfaceWithWiderRowsStaysInsideIt) {
    world.render.setLayout(1536, 200, 0x5A);
    ASSERT_EQ(0, Init(&module));
    ASSERT_EQ(0, Render(&module));
    const uint8_t* pixels = world.render.pixels();
    for (size_t y = 0; y < 200; y++) {
        for (size_t x = 1280; x < 1536; x++) {
            ASSERT_EQ(0x5A, pixels[y * 1536 + x]) << "row " << y << " byte " << x;
        }
    }
    EXPECT_NE(0x5A, pixels[0]);
    EXPECT_NE(0x5A, pixels[180 * 1536]);
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(Lifecycle, RenderWhoseLockFailsReturnsOneAndChangesNothing) {
    ASSERT_EQ(0, Init(&module));
    world.render.lockScript.otherwise = DDERR_SURFACELOST;
    requestTitle();
    songTitleRequest.frameCount = 3;
    float angle = motion.angle;
    size_t first = fake.log.size();

    EXPECT_EQ(1, Render(&module));

    EXPECT_EQ(std::vector<std::string>{"render.Lock(rect=null, flags=0x1, event=0x0)"}, logFrom(first));
    EXPECT_EQ(angle, motion.angle);
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(3, songTitleRequest.frameCount);
    for (size_t i = 0; i < 200u * 1280u; i++) {
        ASSERT_EQ(0x5A, world.render.pixels()[i]) << "byte " << i;
    }
}

TEST_F(Lifecycle, RenderReturnsZeroWhenPresentingFails) {
    ASSERT_EQ(0, Init(&module));
    world.back.bltFastScript.otherwise = DDERR_SURFACELOST;
    world.primary.restoreScript.otherwise = DDERR_WRONGMODE;
    EXPECT_EQ(0, Render(&module));
}

TEST_F(Lifecycle, RenderBeforeInitReturnsOneAndTouchesNothing) {
    songTitleRequest.requested = 1;
    songTitleRequest.frameCount = 2;
    float angle = motion.angle;
    EXPECT_EQ(1, Render(&module));
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(angle, motion.angle);
    EXPECT_EQ(1, songTitleRequest.requested);
    EXPECT_EQ(2, songTitleRequest.frameCount);
}

TEST_F(Lifecycle, RenderAfterAFailedInitReturnsOne) {
    world.directDraw.createSurfaceScript.queued = {DD_OK, DD_OK, DDERR_OUTOFMEMORY}; // the spare surface
    ASSERT_NE(0, Init(&module));
    size_t first = fake.log.size();
    float angle = motion.angle;
    EXPECT_EQ(1, Render(&module));
    EXPECT_TRUE(logFrom(first).empty());
    EXPECT_EQ(angle, motion.angle);
}

TEST_F(Lifecycle, RenderAfterQuitReturnsOne) {
    ASSERT_EQ(0, Init(&module));
    ASSERT_EQ(0, Render(&module));
    Quit(&module);
    size_t first = fake.log.size();
    EXPECT_EQ(1, Render(&module));
    EXPECT_TRUE(logFrom(first).empty());
}

TEST_F(Lifecycle, QuitGivesEverythingBack) {
    ASSERT_EQ(0, Init(&module));
    size_t first = fake.log.size();
    Quit(&module);
    std::vector<std::string> expected = {
        "ShowCursor(show=1)",
        "render.Release()",
        "spare.Release()",
        "primary.Release()",
        "directDraw.SetCooperativeLevel(window=0x0, flags=0x8)",
        "directDraw.RestoreDisplayMode()",
        "directDraw.Release()",
        RESTORED,
        MAXIMISED,
        "DestroyWindow(window=0x2020)",
        "PostQuitMessage(0)", // WM_DESTROY reaching the window procedure
        UNREGISTER,
    };
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(0u, world.primary.references);
    EXPECT_EQ(0u, world.render.references);
    EXPECT_EQ(0u, world.spare.references);
    EXPECT_EQ(0, fake.cursorCount);
    EXPECT_FALSE(fake.windowAlive);
    EXPECT_FALSE(fake.classRegistered);
    EXPECT_EQ(NULL, display.displayWindow);
    EXPECT_TRUE(noUnexpectedCalls());
}

TEST_F(Lifecycle, SecondQuitReleasesAndDestroysNothing) {
    ASSERT_EQ(0, Init(&module));
    Quit(&module);
    size_t first = fake.log.size();
    Quit(&module);
    std::vector<std::string> expected = {"ShowCursor(show=1)", RESTORED, MAXIMISED, UNREGISTER};
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_EQ(1, world.render.releaseCalls);
    EXPECT_EQ(1, world.spare.releaseCalls);
    EXPECT_EQ(1, world.primary.releaseCalls);
    EXPECT_EQ(2, world.directDraw.releaseCalls); // the creation's reference and the kept one
}

TEST_F(Lifecycle, QuitAfterAFailedInitDestroysNoStaleWindow) {
    world.directDraw.displayModeScript.otherwise = DDERR_UNSUPPORTEDMODE;
    world.refuseOtherWays();
    ASSERT_NE(0, Init(&module));
    // Windows may hand the same handle to another window meanwhile.
    fake.windowAlive = true;
    size_t first = fake.log.size();
    Quit(&module);
    std::vector<std::string> expected = {"ShowCursor(show=1)", RESTORED, MAXIMISED, UNREGISTER};
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_EQ(2, world.directDraw.releaseCalls);
}

TEST_F(Lifecycle, QuitAfterTheWindowWasDestroyedReleasesTheRest) {
    ASSERT_EQ(0, Init(&module));
    // The window goes first, for instance with the player's own windows.
    displayWindowProc(DISPLAY_WINDOW, WM_DESTROY, 0, 0);
    fake.windowAlive = false;
    size_t first = fake.log.size();
    Quit(&module);
    EXPECT_TRUE(callsStartingWith("DestroyWindow").empty());
    EXPECT_EQ(std::vector<std::string>{UNREGISTER}, callsStartingWith("UnregisterClassA"));
    EXPECT_EQ(1, world.render.releaseCalls);
    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(UNREGISTER, logFrom(first).back());
}

TEST_F(Lifecycle, QuitWithoutInitOnlyShowsTheCursorAndNotifies) {
    Quit(&module);
    std::vector<std::string> expected = {"ShowCursor(show=1)", RESTORED, MAXIMISED, UNREGISTER};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(Lifecycle, InitAfterQuitRegistersTheClassAgainAndSucceeds) {
    ASSERT_EQ(0, Init(&module));
    ASSERT_EQ(0, Render(&module));
    Quit(&module);
    FakeDisplay second;
    second.offerToPlatform();
    size_t first = fake.log.size();

    EXPECT_EQ(0, Init(&module));

    ASSERT_FALSE(logFrom(first).empty());
    EXPECT_EQ(0u, logFrom(first)[0].find("RegisterClassA(class=sphere raytracer,"));
    EXPECT_EQ(2u, callsStartingWith("RegisterClassA").size());
    EXPECT_EQ(&second.render, display.renderSurface);
    EXPECT_EQ(0, Render(&module));
    Quit(&module);
    EXPECT_EQ(0u, second.directDraw.references);
}

TEST_F(Lifecycle, InitAfterARefusedWindowSucceeds) {
    fake.windowToCreate = NULL;
    ASSERT_EQ(1, Init(&module));
    fake.windowToCreate = DISPLAY_WINDOW;
    EXPECT_EQ(0, Init(&module));
}

} // namespace
