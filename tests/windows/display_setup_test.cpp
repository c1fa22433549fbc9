// The display set-up: every step in order with its arguments, each of its
// failures (message, owner, caption, result code, what is released and the
// player window's notifications), the surface descriptions and the shutdown.
#include <cstring>
#include <string>
#include <vector>
#include "tests/windows/plugin_test.h"

namespace {

using DisplaySetUp = PluginTest;

// The calls of a successful set-up, in order.
std::vector<std::string> successfulSetUp() {
    return {
        "RegisterClassA(class=sphere raytracer, proc=" + hexText((const void*)displayWindowProc) +
            ", instance=0x3030, style=0x0, classExtra=0, windowExtra=0, icon=0x0, cursor=0x0, background=0x0, "
            "menu=null)",
        "CreateWindowExA(exStyle=0x0, class=sphere raytracer, title=new, style=0x0, x=0, y=0, width=320, height=200, "
        "parent=0x1010, menu=0x0, instance=0x3030, param=0x0)",
        "SetWindowLongA(window=0x2020, index=-20, value=0)",                  // GWL_EXSTYLE
        "SetWindowLongA(window=0x2020, index=-16, value=0)",                  // GWL_STYLE
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=1, lParam=0)", // WM_SIZE, SIZE_MINIMIZED
        "DirectDrawCreate(driver=0x0, outer=0x0)",
        "directDraw.QueryInterface(iid={6C14DB80-A733-11CE-A521-0020AF0BE560})",
        "directDraw.Release()", // the creation's own reference
        "directDraw.SetCooperativeLevel(window=0x2020, flags=0x11)",
        "directDraw.SetDisplayMode(320, 200, 32)",
        "directDraw.CreateSurface(flags=0x21, caps=0x218, outer=0x0)",
        "primary.GetAttachedSurface(caps=0x4)",
        "directDraw.CreateSurface(flags=0xf, caps=0x840, outer=0x0)",
        "directDraw.CreateSurface(flags=0xf, caps=0x840, outer=0x0)",
        "ShowCursor(show=0)",
        "ShowWindow(window=0x2020, command=1)", // SW_SHOWNORMAL
    };
}

const char RESTORED[] = "SendNotifyMessageA(window=0x1010, message=0x5, wParam=0, lParam=0)";
const char MAXIMISED[] = "SendNotifyMessageA(window=0x1010, message=0x5, wParam=2, lParam=0)";

// What follows the report's message box: the window goes (and its procedure
// posts the quit message), then the class.
std::vector<std::string> afterMessageBox() {
    return {
        "DestroyWindow(window=0x2020)",
        "PostQuitMessage(0)",
        "UnregisterClassA(class=sphere raytracer, instance=0x3030)",
    };
}

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(DisplaySetUp, MakesEveryCallInOrderAndReturnsZero) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    EXPECT_EQ(0, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(successfulSetUp(), fake.log);
    EXPECT_TRUE(noUnexpectedCalls());
}

TEST_F(DisplaySetUp, KeepsOneReferenceToEachObject) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(DISPLAY_WINDOW, display.displayWindow);
    EXPECT_EQ(&world.directDraw, display.directDraw);
    EXPECT_EQ(&world.primary, display.primarySurface);
    EXPECT_EQ(&world.back, display.backBuffer);
    EXPECT_EQ(&world.render, display.renderSurface);
    EXPECT_EQ(&world.spare, display.spareSurface);
    EXPECT_EQ(1u, world.directDraw.references);
    EXPECT_EQ(1u, world.primary.references);
    EXPECT_EQ(1u, world.render.references);
    EXPECT_EQ(1u, world.spare.references);
    EXPECT_EQ(-1, fake.cursorCount);
}

TEST_F(DisplaySetUp, DescribesThePrimaryWithTwoBackBuffers) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    DDSURFACEDESC expected;
    memset(&expected, 0, sizeof(expected));
    expected.dwSize = sizeof(DDSURFACEDESC);
    expected.dwFlags = 0x21;
    expected.ddsCaps.dwCaps = 0x218;
    expected.dwBackBufferCount = 2;
    EXPECT_EQ(0, memcmp(&expected, &world.directDraw.createDescriptions[0], sizeof(expected)));
}

TEST_F(DisplaySetUp, DescribesBothOffscreenSurfacesWithOneRecord) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    DDSURFACEDESC expected;
    memset(&expected, 0, sizeof(expected));
    expected.dwSize = sizeof(DDSURFACEDESC);
    expected.dwFlags = 0xF;
    expected.ddsCaps.dwCaps = 0x840;
    expected.dwWidth = 320;
    expected.dwHeight = 200;
    expected.lPitch = 320;
    EXPECT_EQ(0, memcmp(&expected, &world.directDraw.createDescriptions[1], sizeof(expected)));
    EXPECT_EQ(0, memcmp(&expected, &world.directDraw.createDescriptions[2], sizeof(expected)));
    EXPECT_EQ(world.directDraw.createDescriptionAddresses[1], world.directDraw.createDescriptionAddresses[2]);
}

TEST_F(DisplaySetUp, RefusedWindowClassIsReportedToThePlayerWindow) {
    fake.refuseRegister = true;
    winampVisModule module = playerModule();
    EXPECT_EQ(1, setUpDisplay(&module, displayWindowProc));
    std::vector<std::string> expected = {
        successfulSetUp()[0],
        "MessageBoxA(owner=0x1010, text=PLUGIN: Error registering the window class, caption=Error occured:, type=0x0)",
    };
    EXPECT_EQ(expected, fake.log);
    EXPECT_EQ(NULL, display.displayWindow);
}

TEST_F(DisplaySetUp, RefusedWindowIsReportedAndTheClassGivenBack) {
    fake.windowToCreate = NULL;
    winampVisModule module = playerModule();
    EXPECT_EQ(1, setUpDisplay(&module, displayWindowProc));
    std::vector<std::string> expected = {
        successfulSetUp()[0],
        successfulSetUp()[1],
        "MessageBoxA(owner=0x1010, text=PLUGIN: Error creating window, caption=Error Occured:, type=0x0)",
        "UnregisterClassA(class=sphere raytracer, instance=0x3030)",
    };
    EXPECT_EQ(expected, fake.log);
    EXPECT_EQ(NULL, display.displayWindow);
    EXPECT_FALSE(fake.classRegistered);
}

TEST_F(DisplaySetUp, SucceedsAfterARefusedWindow) {
    fake.windowToCreate = NULL;
    winampVisModule module = playerModule();
    ASSERT_EQ(1, setUpDisplay(&module, displayWindowProc));
    FakeDisplay world;
    world.offerToPlatform();
    fake.windowToCreate = DISPLAY_WINDOW;
    size_t first = fake.log.size();
    EXPECT_EQ(0, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(successfulSetUp(), logFrom(first));
}

// One failing DirectDraw step of the set-up.
struct FailingStep {
    const char* name;
    void (*arm)(FakeDisplay* world, HRESULT code); // makes the step fail with `code`
    HRESULT code;
    size_t callsBefore;                     // lines of the successful set-up made, the failing call included
    std::vector<std::string> shutdown;      // from ShowCursor(TRUE) to the last notification
    const char* message;                    // the message box's text
    std::vector<std::string> fallback = {}; // calls after the failing one, before the shutdown
};

std::ostream& operator<<(std::ostream& out, const FailingStep& step) {
    return out << step.name;
}

const std::vector<std::string> NOTHING_TO_RELEASE = {"ShowCursor(show=1)", RESTORED, MAXIMISED};

std::vector<std::string> releasing(const std::vector<std::string>& surfaces) {
    std::vector<std::string> lines = {"ShowCursor(show=1)"};
    lines.insert(lines.end(), surfaces.begin(), surfaces.end());
    lines.insert(lines.end(), {"directDraw.SetCooperativeLevel(window=0x0, flags=0x8)",
                               "directDraw.RestoreDisplayMode()", "directDraw.Release()", RESTORED, MAXIMISED});
    return lines;
}

const FailingStep FAILING_STEPS[] = {
    {"DirectDrawCreate", [](FakeDisplay*, HRESULT code) { fake.directDrawCreateResult = code; }, DDERR_NODIRECTDRAWHW,
     6, NOTHING_TO_RELEASE, "PLUGIN: DirectDrawCreate failed. shit.\n"},
    {"QueryInterface", [](FakeDisplay* world, HRESULT code) { world->directDraw.queryScript.otherwise = code; },
     E_NOINTERFACE, 8, NOTHING_TO_RELEASE, "PLUGIN: QueryInterface failed. shit.\n"},
    {"SetCooperativeLevel",
     [](FakeDisplay* world, HRESULT code) { world->directDraw.cooperativeScript.otherwise = code; },
     DDERR_EXCLUSIVEMODEALREADYSET, 9, releasing({}), "PLUGIN: SetCooperativeLevel failed. shit.\n"},
    // Reported only once the other ways have failed too.
    {"SetDisplayMode",
     [](FakeDisplay* world, HRESULT code) {
         world->directDraw.displayModeScript.otherwise = code;
         world->refuseOtherWays();
     },
     DDERR_UNSUPPORTEDMODE,
     10,
     releasing({}),
     "DISPLAY ERROR: setDisplayMode 320 x 200 x 32 FAILED.\n",
     {"directDraw.EnumDisplayModes(flags=0x0, filter=null)",
      "directDraw.SetCooperativeLevel(window=0x2020, flags=0x8)"}},
    {"CreateSurfaceOfThePrimary",
     [](FakeDisplay* world, HRESULT code) { world->directDraw.createSurfaceScript.repeat(code, 1, DD_OK); },
     DDERR_OUTOFVIDEOMEMORY, 11, releasing({}), "PLUGIN: CreateSurface failed. shit\n"},
    {"GetAttachedSurface", [](FakeDisplay* world, HRESULT code) { world->primary.attachedScript.otherwise = code; },
     DDERR_NOTFOUND, 12, releasing({"primary.Release()"}), "PLUGIN: GetAttachedSurface failed. shit\n"},
    {"CreateSurfaceOfTheRenderSurface",
     [](FakeDisplay* world, HRESULT code) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, code};
     },
     DDERR_OUTOFVIDEOMEMORY, 13, releasing({"primary.Release()"}),
     // 0x8876017C as a signed 32-bit number
     "CreateSurface of first offscreen buffer FAILED with -2005532292.\n"},
    {"CreateSurfaceOfTheSpareSurface",
     [](FakeDisplay* world, HRESULT code) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, DD_OK, code};
     },
     DDERR_OUTOFMEMORY, 14, releasing({"render.Release()", "primary.Release()"}),
     "CreateSurface of second offscreen buffer FAILED.\n"},
};

class FailedDirectDrawStep : public PluginTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(FailedDirectDrawStep, ShutsDownReportsAndReturnsTheStepsCode) {
    const FailingStep& step = GetParam();
    FakeDisplay world;
    world.offerToPlatform();
    step.arm(&world, step.code);
    winampVisModule module = playerModule();

    EXPECT_EQ((int32_t)step.code, setUpDisplay(&module, displayWindowProc));

    std::vector<std::string> made = successfulSetUp();
    made.resize(step.callsBefore);
    made = joined(made, step.fallback);
    std::string box =
        std::string("MessageBoxA(owner=0x2020, text=") + step.message + ", caption=sphere raytracer, type=0x0)";
    EXPECT_EQ(joined(joined(made, step.shutdown), joined({box}, afterMessageBox())), fake.log);
    EXPECT_TRUE(noUnexpectedCalls());
}

TEST_P(FailedDirectDrawStep, ReleasesWhatWasMadeOnceAndForgetsIt) {
    const FailingStep& step = GetParam();
    FakeDisplay world;
    world.offerToPlatform();
    step.arm(&world, step.code);
    winampVisModule module = playerModule();
    setUpDisplay(&module, displayWindowProc);

    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(0u, world.primary.references);
    EXPECT_EQ(0u, world.render.references);
    EXPECT_EQ(0u, world.spare.references);
    EXPECT_LE(world.primary.releaseCalls, 1);
    EXPECT_LE(world.render.releaseCalls, 1);
    EXPECT_EQ(0, world.spare.releaseCalls); // the spare surface is never made in these cases
    EXPECT_EQ(0, world.back.releaseCalls);  // goes with the primary's chain
    EXPECT_EQ(NULL, display.directDraw);
    EXPECT_EQ(NULL, display.primarySurface);
    EXPECT_EQ(NULL, display.backBuffer);
    EXPECT_EQ(NULL, display.renderSurface);
    EXPECT_EQ(NULL, display.spareSurface);
    EXPECT_EQ(NULL, display.displayWindow);
    EXPECT_FALSE(fake.windowAlive);
    EXPECT_FALSE(fake.classRegistered);
}

TEST_P(FailedDirectDrawStep, PlayerWindowIsMinimisedRestoredAndMaximised) {
    const FailingStep& step = GetParam();
    FakeDisplay world;
    world.offerToPlatform();
    step.arm(&world, step.code);
    winampVisModule module = playerModule();
    setUpDisplay(&module, displayWindowProc);
    std::vector<std::string> expected = {successfulSetUp()[4], RESTORED, MAXIMISED};
    EXPECT_EQ(expected, callsStartingWith("SendNotifyMessageA"));
}

INSTANTIATE_TEST_SUITE_P(DisplaySetUp, FailedDirectDrawStep, ::testing::ValuesIn(FAILING_STEPS),
                         [](const ::testing::TestParamInfo<FailingStep>& info) { return info.param.name; });

TEST_F(DisplaySetUp, FirstOffscreenFailureShowsAnyCodeInSignedDecimal) {
    FakeDisplay world;
    world.offerToPlatform();
    world.directDraw.createSurfaceScript.queued = {DD_OK, DDERR_OUTOFMEMORY}; // 0x8007000E
    winampVisModule module = playerModule();
    EXPECT_EQ((int32_t)0x8007000E, setUpDisplay(&module, displayWindowProc));
    std::vector<std::string> boxes = callsStartingWith("MessageBoxA");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("MessageBoxA(owner=0x2020, text=CreateSurface of first offscreen buffer FAILED with -2147024882.\n, "
              "caption=sphere raytracer, type=0x0)",
              boxes[0]);
}

TEST_F(DisplaySetUp, SpareFailureReleasesTheRenderSurfaceButNotTheBackBuffer) {
    FakeDisplay world;
    world.offerToPlatform();
    world.directDraw.createSurfaceScript.queued = {DD_OK, DD_OK, DDERR_OUTOFMEMORY};
    winampVisModule module = playerModule();
    setUpDisplay(&module, displayWindowProc);
    EXPECT_EQ(1, world.render.releaseCalls);
    EXPECT_EQ(1, world.primary.releaseCalls);
    EXPECT_EQ(0, world.back.releaseCalls);
    EXPECT_EQ(2, world.directDraw.releaseCalls); // the creation's reference and the kept one
}

TEST_F(DisplaySetUp, ReportTextIsCutTo127Characters) {
    winampVisModule module = playerModule();
    std::string longText(300, 'x');
    EXPECT_EQ(77, reportInitError(&module, DISPLAY_WINDOW, 77, "%s", longText.c_str()));
    std::vector<std::string> boxes = callsStartingWith("MessageBoxA");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("MessageBoxA(owner=0x2020, text=" + std::string(127, 'x') + ", caption=sphere raytracer, type=0x0)",
              boxes[0]);
}

TEST_F(DisplaySetUp, ShutdownReleasesSurfacesThenGivesTheModeBack) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    size_t first = fake.log.size();
    shutdownDisplay(&module);
    std::vector<std::string> expected = releasing({"render.Release()", "spare.Release()", "primary.Release()"});
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(0u, world.primary.references);
    EXPECT_EQ(0u, world.render.references);
    EXPECT_EQ(0u, world.spare.references);
    EXPECT_EQ(0, world.back.releaseCalls);
    EXPECT_EQ(NULL, display.backBuffer);
    EXPECT_EQ(0, fake.cursorCount);
}

TEST_F(DisplaySetUp, ShutdownWithNothingToReleaseStillShowsCursorAndNotifies) {
    winampVisModule module = playerModule();
    shutdownDisplay(&module);
    EXPECT_EQ(NOTHING_TO_RELEASE, fake.log);
    shutdownDisplay(&module);
    EXPECT_EQ(joined(NOTHING_TO_RELEASE, NOTHING_TO_RELEASE), fake.log);
}

TEST_F(DisplaySetUp, SecondShutdownReleasesNothingAgain) {
    FakeDisplay world;
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    shutdownDisplay(&module);
    size_t first = fake.log.size();
    shutdownDisplay(&module);
    EXPECT_EQ(NOTHING_TO_RELEASE, logFrom(first));
    EXPECT_EQ(1, world.render.releaseCalls);
    EXPECT_EQ(1, world.spare.releaseCalls);
    EXPECT_EQ(1, world.primary.releaseCalls);
    EXPECT_EQ(2, world.directDraw.releaseCalls); // the creation's reference and the kept one
}

} // namespace
