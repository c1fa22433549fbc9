// A display that refuses 320 x 200 x 32: the larger exclusive mode with the
// frame scaled by a whole factor, the borderless window over the monitor,
// every step of both failing, and lost surfaces in each.
#include <cstring>
#include <string>
#include <vector>
#include "tests/windows/plugin_test.h"

namespace {

const char SET_320_X_200[] = "directDraw.SetDisplayMode(320, 200, 32)";
const char ENUM_MODES[] = "directDraw.EnumDisplayModes(flags=0x0, filter=null)";
const char CLEAR_BACK[] =
    "back.Blt(dest=null, source=null, sourceRect=null, flags=0x1000400, fill=0x0)"; // COLORFILL, WAIT
const char FLIP_WAITING[] = "primary.Flip(target=null, flags=0x1)";
const char FLIP[] = "primary.Flip(target=null, flags=0x0)";
const char CREATE_CHAIN[] = "directDraw.CreateSurface(flags=0x21, caps=0x218, outer=0x0)";
const char ATTACHED[] = "primary.GetAttachedSurface(caps=0x4)";
const char CREATE_OFFSCREEN[] = "directDraw.CreateSurface(flags=0xf, caps=0x840, outer=0x0)";
const char CREATE_PRIMARY[] = "directDraw.CreateSurface(flags=0x1, caps=0x200, outer=0x0)";
const char SHOW[] = "ShowWindow(window=0x2020, command=1)";
const char RESTORE_PRIMARY[] = "primary.Restore()";
const char RESTORE_RENDER[] = "render.Restore()";
const char MODE_REFUSED_BOX[] =
    "MessageBoxA(owner=0x2020, text=DISPLAY ERROR: setDisplayMode 320 x 200 x 32 FAILED.\n, "
    "caption=sphere raytracer, type=0x0)";

std::vector<std::string> clearedChain() {
    return {CLEAR_BACK, FLIP_WAITING, CLEAR_BACK, FLIP_WAITING, CLEAR_BACK, FLIP_WAITING};
}

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The log from the refused 320 x 200 mode on.
std::vector<std::string> logFromTheRefusedMode() {
    for (size_t line = 0; line < fake.log.size(); line++) {
        if (fake.log[line] == SET_320_X_200) {
            return logFrom(line);
        }
    }
    return {};
}

// Writes a pattern over the whole frame through the render surface.
uint32_t patternPixel(int32_t x, int32_t y) {
    return 0x01000000u * (uint32_t)(x % 7) + (uint32_t)(y * 331 + x * 17);
}

void composePattern() {
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    for (int32_t y = 0; y < FRAME_HEIGHT; y++) {
        for (int32_t x = 0; x < FRAME_WIDTH; x++) {
            uint32_t pixel = patternPixel(x, y);
            memcpy(frame + y * FRAME_ROW_BYTES + x * 4, &pixel, 4);
        }
    }
    unlockRenderSurface();
}

uint32_t pixelAt(FakeSurface* surface, int32_t x, int32_t y) {
    uint32_t pixel = 0;
    memcpy(&pixel, surface->pixels() + (size_t)y * (size_t)surface->pitch + (size_t)x * 4, 4);
    return pixel;
}

// A display that refuses 320 x 200 but offers other modes, the back buffer
// laid out as a 640 x 480 mode and full of junk.
class ScaledMode : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        module = playerModule();
        world.directDraw.displayModeScript.queued = {E_NOTIMPL};
        world.directDraw.offeredModes = {
            {1280, 1024, 32}, {640, 480, 16}, {320, 200, 16}, {512, 384, 32}, {640, 480, 32}, {800, 600, 32},
        };
        world.back.setLayout(640 * 4, 480, 0x77, 640);
        world.offerToPlatform();
    }
    FakeDisplay world;
    winampVisModule module;
};

TEST_F(ScaledMode, TakesTheSmallest32BitModeThatHoldsTwiceTheFrameAndBlackensTheChain) {
    EXPECT_EQ(0, setUpDisplay(&module, displayWindowProc));
    std::vector<std::string> expected = {
        SET_320_X_200,    ENUM_MODES,       "directDraw.SetDisplayMode(640, 480, 32)", CREATE_CHAIN, ATTACHED,
        CREATE_OFFSCREEN, CREATE_OFFSCREEN,
    };
    expected = joined(joined(expected, clearedChain()), {"ShowCursor(show=0)", SHOW});
    EXPECT_EQ(expected, logFromTheRefusedMode());
    EXPECT_TRUE(noUnexpectedCalls());
    EXPECT_TRUE(callsStartingWith("MessageBoxA").empty());
    EXPECT_EQ(PRESENT_SCALED, display.layout.kind);
    EXPECT_EQ(2, display.layout.scale);
    for (int32_t y = 0; y < 480; y++) {
        for (int32_t x = 0; x < 640; x++) {
            ASSERT_EQ(0u, pixelAt(&world.back, x, y)) << x << ", " << y;
        }
    }
    EXPECT_TRUE(world.back.guardsIntact());
    EXPECT_EQ(1u, world.primary.references);
    EXPECT_EQ(1u, world.render.references);
    EXPECT_EQ(1u, world.spare.references);
}

TEST_F(ScaledMode, FrameIsScaledByTwoAndCentredBetweenBlackBars) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    composePattern();
    size_t first = fake.log.size();
    presentFrame();
    std::vector<std::string> expected = {
        "render.Lock(rect=null, flags=0x11, event=0x0)", // WAIT, READONLY
        "back.Lock(rect=null, flags=0x20, event=0x0)",   // WRITEONLY, no wait
        "back.Unlock(pointer=0x0)",
        "render.Unlock(pointer=0x0)",
        FLIP,
    };
    EXPECT_EQ(expected, logFrom(first));
    // 640 x 400 of the 640 x 480 mode: bars of 40 rows above and below.
    for (int32_t y = 0; y < 480; y++) {
        for (int32_t x = 0; x < 640; x++) {
            bool inPicture = y >= 40 && y < 440;
            uint32_t wanted = inPicture ? patternPixel(x / 2, (y - 40) / 2) : 0u;
            ASSERT_EQ(wanted, pixelAt(&world.back, x, y)) << x << ", " << y;
        }
    }
    EXPECT_TRUE(world.back.guardsIntact());
}

// Offered modes, those refused, and where the frame lands.
struct ModeChoice {
    const char* name;
    std::vector<OfferedMode> offered;
    size_t refusedCandidates; // the smallest ones the display refuses
    const char* setMode;      // the successful SetDisplayMode
    LONG scale;
    RECT picture;
};

std::ostream& operator<<(std::ostream& out, const ModeChoice& choice) {
    return out << choice.name;
}

const ModeChoice MODE_CHOICES[] = {
    {"OnlyTheDesktop", {{1024, 768, 8}, {1024, 768, 16}, {1024, 768, 32}}, 0, "1024, 768", 3, {32, 84, 992, 684}},
    {"ExactFit", {{1920, 1200, 32}, {1280, 800, 32}}, 0, "1280, 800", 4, {0, 0, 1280, 800}},
    {"RefusedSmallestTakesTheNext",
     {{640, 400, 32}, {1280, 960, 32}, {800, 600, 32}},
     1,
     "800, 600",
     2,
     {80, 100, 720, 500}},
    {"EqualSizesGoToTheNarrower", {{1152, 1000, 32}, {960, 1200, 32}}, 0, "960, 1200", 3, {0, 300, 960, 900}},
};

class ScaledModeChoice : public PluginTest, public ::testing::WithParamInterface<ModeChoice> {};

TEST_P(ScaledModeChoice, SetsTheSmallestAcceptedModeAndCentresTheScaledFrame) {
    const ModeChoice& choice = GetParam();
    FakeDisplay world;
    world.directDraw.offeredModes = choice.offered;
    world.directDraw.displayModeScript.repeat(E_NOTIMPL, 1 + choice.refusedCandidates, DD_OK);
    world.offerToPlatform();
    winampVisModule module = playerModule();
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    std::vector<std::string> modes = callsStartingWith("directDraw.SetDisplayMode");
    ASSERT_EQ(2 + choice.refusedCandidates, modes.size());
    EXPECT_EQ(std::string("directDraw.SetDisplayMode(") + choice.setMode + ", 32)", modes.back());
    EXPECT_EQ(PRESENT_SCALED, display.layout.kind);
    EXPECT_EQ(choice.scale, display.layout.scale);
    EXPECT_EQ(choice.picture.left, display.layout.picture.left);
    EXPECT_EQ(choice.picture.top, display.layout.picture.top);
    EXPECT_EQ(choice.picture.right, display.layout.picture.right);
    EXPECT_EQ(choice.picture.bottom, display.layout.picture.bottom);
}

INSTANTIATE_TEST_SUITE_P(ScaledMode, ScaledModeChoice, ::testing::ValuesIn(MODE_CHOICES),
                         [](const ::testing::TestParamInfo<ModeChoice>& info) { return info.param.name; });

TEST_F(ScaledMode, LostBackBufferIsRestoredAndMadeBlackAgainWithoutAFlip) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    composePattern();
    presentFrame();
    world.back.lockScript.queued = {DDERR_SURFACELOST};
    world.back.lockScript.next = 0;
    size_t first = fake.log.size();
    presentFrame();
    std::vector<std::string> expected = {
        "render.Lock(rect=null, flags=0x11, event=0x0)",
        "back.Lock(rect=null, flags=0x20, event=0x0)",
        "render.Unlock(pointer=0x0)",
        RESTORE_PRIMARY,
        RESTORE_RENDER,
    };
    EXPECT_EQ(joined(expected, clearedChain()), logFrom(first));
    for (int32_t y = 0; y < 480; y += 7) {
        for (int32_t x = 0; x < 640; x += 5) {
            ASSERT_EQ(0u, pixelAt(&world.back, x, y)) << x << ", " << y;
        }
    }
}

TEST_F(ScaledMode, LostFlipIsRestoredAndCleared) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    world.primary.flipScript.queued = {DDERR_SURFACELOST};
    world.primary.flipScript.next = 0;
    size_t first = fake.log.size();
    presentFrame();
    std::vector<std::string> tail = logFrom(first + 4);
    EXPECT_EQ(joined({FLIP, RESTORE_PRIMARY, RESTORE_RENDER}, clearedChain()), tail);
}

TEST_F(ScaledMode, FailedRestoreLeavesTheChainAlone) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    world.render.restoreScript.otherwise = DDERR_OUTOFMEMORY;
    size_t first = fake.log.size();
    EXPECT_EQ(DDERR_OUTOFMEMORY, restoreSurfaces());
    std::vector<std::string> expected = {RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, logFrom(first));
}

TEST_F(ScaledMode, BusyBackBufferStillFlipsAndOtherRefusalsCostTheFlip) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    world.back.lockScript.queued = {DDERR_WASSTILLDRAWING, DDERR_GENERIC};
    world.back.lockScript.next = 0;
    size_t first = fake.log.size();
    presentFrame();
    EXPECT_EQ(FLIP, fake.log.back());
    EXPECT_EQ(4u, logFrom(first).size());
    first = fake.log.size();
    presentFrame();
    EXPECT_EQ(3u, logFrom(first).size());
    EXPECT_TRUE(callsStartingWith(FLIP).size() == 1u);
}

TEST_F(ScaledMode, QuitGivesTheModeBackAndReleasesEverything) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    size_t first = fake.log.size();
    shutdownDisplay(&module);
    std::vector<std::string> expected = {
        "ShowCursor(show=1)",
        "render.Release()",
        "spare.Release()",
        "primary.Release()",
        "directDraw.SetCooperativeLevel(window=0x0, flags=0x8)",
        "directDraw.RestoreDisplayMode()",
        "directDraw.Release()",
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=0, lParam=0)",
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=2, lParam=0)",
    };
    EXPECT_EQ(expected, logFrom(first));
    EXPECT_EQ(PRESENT_EXCLUSIVE, display.layout.kind);
}

// A display that offers no mode at all: the window over a 1024 x 768 monitor.
class WindowedMode : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        module = playerModule();
        world.directDraw.displayModeScript.otherwise = E_NOTIMPL;
        world.offerToPlatform();
    }
    FakeDisplay world;
    winampVisModule module;
};

std::vector<std::string> windowedSetUp() {
    return {
        SET_320_X_200,
        ENUM_MODES,
        "directDraw.SetCooperativeLevel(window=0x2020, flags=0x8)",                             // DDSCL_NORMAL
        "GetSystemMetrics(0)",                                                                  // SM_CXSCREEN
        "GetSystemMetrics(1)",                                                                  // SM_CYSCREEN
        "SetWindowLongA(window=0x2020, index=-16, value=-2147483648)",                          // GWL_STYLE, WS_POPUP
        "SetWindowPos(window=0x2020, after=0x0, x=0, y=0, width=1024, height=768, flags=0x30)", // HWND_TOP
        CREATE_PRIMARY,
        "primary.GetPixelFormat()",
        "directDraw.CreateClipper(flags=0x0, outer=0x0)",
        "clipper.SetHWnd(flags=0x0, window=0x2020)",
        "primary.SetClipper(clipper)",
        CREATE_OFFSCREEN,
        CREATE_OFFSCREEN,
        "ShowCursor(show=0)",
        SHOW,
    };
}

TEST_F(WindowedMode, MakesTheWindowBorderlessOverTheMonitorWithAClippedPrimary) {
    EXPECT_EQ(0, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(windowedSetUp(), logFromTheRefusedMode());
    EXPECT_TRUE(noUnexpectedCalls());
    EXPECT_EQ(PRESENT_WINDOWED, display.layout.kind);
    EXPECT_EQ(&world.clipper, display.clipper);
    EXPECT_EQ(NULL, display.backBuffer);
    EXPECT_EQ(1u, world.clipper.references);
    EXPECT_EQ(-1, fake.cursorCount);
}

// A monitor, and the frame's rectangle and bars on it.
struct Monitor {
    const char* name;
    int width;
    int height;
    std::vector<std::string> presented; // the blits of one frame
};

std::ostream& operator<<(std::ostream& out, const Monitor& monitor) {
    return out << monitor.name;
}

const Monitor MONITORS[] = {
    {"FourByThree",
     1024,
     768,
     {"primary.Blt(dest=(0,0,1024,64), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(0,704,1024,768), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(0,64,1024,704), source=render, sourceRect=null, flags=0x0, fill=none)"}},
    {"Wide",
     1920,
     1080,
     {"primary.Blt(dest=(0,0,96,1080), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(1824,0,1920,1080), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(96,0,1824,1080), source=render, sourceRect=null, flags=0x0, fill=none)"}},
    {"SixteenByTen",
     1280,
     800,
     {"primary.Blt(dest=(0,0,1280,800), source=render, sourceRect=null, flags=0x0, fill=none)"}},
    {"Portrait",
     600,
     800,
     {"primary.Blt(dest=(0,0,600,212), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(0,587,600,800), source=null, sourceRect=null, flags=0x400, fill=0x0)",
      "primary.Blt(dest=(0,212,600,587), source=render, sourceRect=null, flags=0x0, fill=none)"}},
};

class WindowedFrame : public WindowedMode, public ::testing::WithParamInterface<Monitor> {};

TEST_P(WindowedFrame, IsStretchedIntoTheLargestCentredRectangleOnBlack) {
    const Monitor& monitor = GetParam();
    fake.screenWidth = monitor.width;
    fake.screenHeight = monitor.height;
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    size_t first = fake.log.size();
    presentFrame();
    EXPECT_EQ(monitor.presented, logFrom(first));
    EXPECT_TRUE(callsStartingWith("primary.Flip").empty());
}

INSTANTIATE_TEST_SUITE_P(WindowedMode, WindowedFrame, ::testing::ValuesIn(MONITORS),
                         [](const ::testing::TestParamInfo<Monitor>& info) { return info.param.name; });

TEST_F(WindowedMode, LostPrimaryIsRestoredAndTheNextFrameShown) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    world.primary.bltScript.queued = {DD_OK, DD_OK, DDERR_SURFACELOST, DDERR_SURFACELOST};
    size_t first = fake.log.size();
    presentFrame(); // the picture's blit finds the surface lost
    presentFrame(); // so does the first bar's fill: no picture
    presentFrame();
    std::vector<std::string> lines = logFrom(first);
    std::vector<std::string> restores = {lines[3], lines[4], lines[6], lines[7]};
    std::vector<std::string> expected = {RESTORE_PRIMARY, RESTORE_RENDER, RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, restores);
    EXPECT_EQ(11u, lines.size());
    EXPECT_EQ("primary.Blt(dest=(0,64,1024,704), source=render, sourceRect=null, flags=0x0, fill=none)", lines.back());
}

TEST_F(WindowedMode, QuitReleasesTheClipperWithTheSurfaces) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    size_t first = fake.log.size();
    shutdownDisplay(&module);
    std::vector<std::string> lines = logFrom(first);
    ASSERT_LE(5u, lines.size());
    std::vector<std::string> releases(lines.begin() + 1, lines.begin() + 5);
    std::vector<std::string> expected = {"render.Release()", "spare.Release()", "primary.Release()",
                                         "clipper.Release()"};
    EXPECT_EQ(expected, releases);
    EXPECT_EQ(0u, world.clipper.references);
    EXPECT_EQ(NULL, display.clipper);
}

// One failing step of a way that does not use 320 x 200.
struct FallbackStep {
    const char* name;
    void (*arm)(FakeDisplay* world); // makes the step fail
};

std::ostream& operator<<(std::ostream& out, const FallbackStep& step) {
    return out << step.name;
}

const FallbackStep SCALED_STEPS[] = {
    {"EnumDisplayModes", [](FakeDisplay* world) { world->directDraw.enumModesScript.otherwise = DDERR_GENERIC; }},
    {"EveryModeRefused", [](FakeDisplay* world) { world->directDraw.displayModeScript.otherwise = E_NOTIMPL; }},
    {"CreateSurfaceOfTheChain",
     [](FakeDisplay* world) { world->directDraw.createSurfaceScript.queued = {DDERR_OUTOFVIDEOMEMORY}; }},
    {"GetAttachedSurface", [](FakeDisplay* world) { world->primary.attachedScript.queued = {DDERR_NOTFOUND}; }},
    {"CreateSurfaceOfTheRenderSurface",
     [](FakeDisplay* world) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, DDERR_OUTOFMEMORY};
     }},
    {"CreateSurfaceOfTheSpareSurface",
     [](FakeDisplay* world) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, DD_OK, DDERR_OUTOFMEMORY};
     }},
    {"ClearingTheBackBuffer",
     [](FakeDisplay* world) {
         world->back.bltScript.queued = {DD_OK, DDERR_GENERIC};
     }},
    {"FlipWhileClearing", [](FakeDisplay* world) { world->primary.flipScript.queued = {DDERR_SURFACELOST}; }},
};

class FailedScaledStep : public PluginTest, public ::testing::WithParamInterface<FallbackStep> {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        module = playerModule();
        world.directDraw.displayModeScript.queued = {DDERR_UNSUPPORTEDMODE};
        world.directDraw.offeredModes = {{640, 480, 32}};
        world.back.setLayout(640 * 4, 480, 0x77, 640);
        world.offerToPlatform();
        GetParam().arm(&world);
    }
    FakeDisplay world;
    winampVisModule module;
};

TEST_P(FailedScaledStep, ReleasesWhatItMadeAndGoesOnToTheWindow) {
    ASSERT_EQ(0, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(PRESENT_WINDOWED, display.layout.kind);
    EXPECT_TRUE(callsStartingWith("MessageBoxA").empty());
    EXPECT_EQ(1u, world.primary.references);
    EXPECT_EQ(1u, world.render.references);
    EXPECT_EQ(1u, world.spare.references);
    EXPECT_EQ(&world.render, display.renderSurface);
    EXPECT_EQ(&world.spare, display.spareSurface);
    EXPECT_EQ(NULL, display.backBuffer);
    // A mode that was set is given back before the normal level.
    std::vector<std::string> lines = logFromTheRefusedMode();
    size_t normal = 0;
    size_t restored = 0;
    for (size_t line = 0; line < lines.size(); line++) {
        if (lines[line] == "directDraw.SetCooperativeLevel(window=0x2020, flags=0x8)") {
            normal = line;
        }
        if (lines[line] == "directDraw.RestoreDisplayMode()") {
            restored = line;
        }
    }
    bool modeWasSet = callsStartingWith("directDraw.SetDisplayMode(640, 480, 32)").size() == 1 &&
                      world.directDraw.displayModeScript.otherwise == DD_OK;
    EXPECT_NE(0u, normal);
    if (modeWasSet) {
        EXPECT_NE(0u, restored);
        EXPECT_LT(restored, normal);
    }
    EXPECT_TRUE(noUnexpectedCalls());
}

TEST_P(FailedScaledStep, WithTheWindowRefusedTooReportsTheRefusedModeOnceAndReleasesAll) {
    world.directDraw.cooperativeScript.queued = {DD_OK};
    world.directDraw.cooperativeScript.otherwise = DDERR_GENERIC;
    EXPECT_EQ((int32_t)DDERR_UNSUPPORTEDMODE, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(std::vector<std::string>{MODE_REFUSED_BOX}, callsStartingWith("MessageBoxA"));
    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(0u, world.primary.references);
    EXPECT_EQ(0u, world.render.references);
    EXPECT_EQ(0u, world.spare.references);
    EXPECT_FALSE(fake.windowAlive);
    EXPECT_FALSE(fake.classRegistered);
}

INSTANTIATE_TEST_SUITE_P(ScaledMode, FailedScaledStep, ::testing::ValuesIn(SCALED_STEPS),
                         [](const ::testing::TestParamInfo<FallbackStep>& info) { return info.param.name; });

const FallbackStep WINDOWED_STEPS[] = {
    {"NormalCooperativeLevel",
     [](FakeDisplay* world) {
         world->directDraw.cooperativeScript.queued = {DD_OK};
         world->directDraw.cooperativeScript.otherwise = DDERR_GENERIC;
     }},
    {"MonitorSize", [](FakeDisplay*) { fake.screenWidth = 0; }},
    {"SetWindowPos", [](FakeDisplay*) { fake.setWindowPosResult = FALSE; }},
    {"CreateSurfaceOfThePrimary",
     [](FakeDisplay* world) { world->directDraw.createSurfaceScript.otherwise = DDERR_OUTOFVIDEOMEMORY; }},
    {"GetPixelFormat", [](FakeDisplay* world) { world->primary.pixelFormatScript.otherwise = DDERR_GENERIC; }},
    {"DesktopNot32Bit", [](FakeDisplay* world) { world->primary.bitsPerPixel = 16; }},
    {"CreateClipper", [](FakeDisplay* world) { world->directDraw.createClipperScript.otherwise = DDERR_OUTOFMEMORY; }},
    {"SetHWnd", [](FakeDisplay* world) { world->clipper.setHWndScript.otherwise = DDERR_INVALIDPARAMS; }},
    {"SetClipper", [](FakeDisplay* world) { world->primary.setClipperScript.otherwise = DDERR_INVALIDPARAMS; }},
    {"CreateSurfaceOfTheRenderSurface",
     [](FakeDisplay* world) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, DDERR_OUTOFMEMORY};
     }},
    {"CreateSurfaceOfTheSpareSurface",
     [](FakeDisplay* world) {
         world->directDraw.createSurfaceScript.queued = {DD_OK, DD_OK, DDERR_OUTOFMEMORY};
     }},
};

class FailedWindowedStep : public WindowedMode, public ::testing::WithParamInterface<FallbackStep> {};

TEST_P(FailedWindowedStep, ReportsTheRefusedModeOnceReleasesAllAndReturnsItsCode) {
    GetParam().arm(&world);
    EXPECT_EQ((int32_t)E_NOTIMPL, setUpDisplay(&module, displayWindowProc));
    EXPECT_EQ(std::vector<std::string>{MODE_REFUSED_BOX}, callsStartingWith("MessageBoxA"));
    EXPECT_EQ(0u, world.directDraw.references);
    EXPECT_EQ(0u, world.primary.references);
    EXPECT_EQ(0u, world.render.references);
    EXPECT_EQ(0u, world.spare.references);
    EXPECT_EQ(0u, world.clipper.references);
    EXPECT_LE(world.clipper.releaseCalls, 1);
    EXPECT_EQ(NULL, display.clipper);
    EXPECT_EQ(NULL, display.primarySurface);
    EXPECT_EQ(PRESENT_EXCLUSIVE, display.layout.kind);
    EXPECT_FALSE(fake.windowAlive);
    EXPECT_FALSE(fake.classRegistered);
    std::vector<std::string> notifications = {
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=1, lParam=0)",
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=0, lParam=0)",
        "SendNotifyMessageA(window=0x1010, message=0x5, wParam=2, lParam=0)",
    };
    EXPECT_EQ(notifications, callsStartingWith("SendNotifyMessageA"));
    EXPECT_TRUE(noUnexpectedCalls());
}

INSTANTIATE_TEST_SUITE_P(WindowedMode, FailedWindowedStep, ::testing::ValuesIn(WINDOWED_STEPS),
                         [](const ::testing::TestParamInfo<FallbackStep>& info) { return info.param.name; });

} // namespace
