// The per-frame display work: locking the render surface (busy retries, the
// row layout of the surface), unlocking, presenting and restoring.
#include <cstring>
#include <string>
#include <vector>
#include "tests/windows/plugin_test.h"

namespace {

using FrameDisplay = PluginTest;

const char LOCK[] = "render.Lock(rect=null, flags=0x1, event=0x0)"; // DDLOCK_WAIT
const char UNLOCK[] = "render.Unlock(pointer=0x0)";
const char COPY[] = "back.BltFast(x=0, y=0, source=render, rect=null, flags=0x0)"; // DDBLTFAST_NOCOLORKEY
const char FLIP[] = "primary.Flip(target=null, flags=0x0)";
const char RESTORE_PRIMARY[] = "primary.Restore()";
const char RESTORE_RENDER[] = "render.Restore()";

// Lock

TEST_F(FrameDisplay, LockYieldsTheSurfaceMemory) {
    FakeDisplay world;
    world.adopt();
    FrameBuffer frame = NULL;
    EXPECT_EQ(DD_OK, lockRenderSurface(&frame));
    EXPECT_EQ(world.render.pixels(), frame);
    EXPECT_EQ(std::vector<std::string>{LOCK}, fake.log);
}

TEST_F(FrameDisplay, LockClearsTheDescriptionBeforeTheFirstTry) {
    FakeDisplay world;
    world.adopt();
    memset(&display.lockDescription, 0x5A, sizeof(display.lockDescription));
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    ASSERT_EQ(1u, world.render.lockDescriptionClean.size());
    EXPECT_TRUE(world.render.lockDescriptionClean[0]);
    EXPECT_EQ(&display.lockDescription, world.render.lockDescriptionAddresses[0]);
}

TEST_F(FrameDisplay, BusyLockIsRetriedUntilItSucceeds) {
    FakeDisplay world;
    world.adopt();
    world.render.lockScript.repeat(DDERR_WASSTILLDRAWING, 1000, DD_OK);
    FrameBuffer frame = NULL;
    EXPECT_EQ(DD_OK, lockRenderSurface(&frame));
    EXPECT_EQ(world.render.pixels(), frame);
    EXPECT_EQ(1001u, fake.log.size());
    EXPECT_EQ(1001u, callsStartingWith(LOCK).size());
}

TEST_F(FrameDisplay, RetriesPassTheSameDescriptionUncleared) {
    FakeDisplay world;
    world.adopt();
    world.render.lockScript.repeat(DDERR_WASSTILLDRAWING, 3, DD_OK);
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    std::vector<bool> clean = {true, false, false, false};
    std::vector<bool> scribbled = {false, true, true, true};
    EXPECT_EQ(clean, world.render.lockDescriptionClean);
    EXPECT_EQ(scribbled, world.render.lockDescriptionScribbled);
    for (const void* address : world.render.lockDescriptionAddresses) {
        EXPECT_EQ(&display.lockDescription, address);
    }
}

TEST_F(FrameDisplay, BusyLockEndsWithTheFirstOtherAnswer) {
    FakeDisplay world;
    world.adopt();
    world.render.lockScript.repeat(DDERR_WASSTILLDRAWING, 25, DDERR_SURFACELOST);
    FrameBuffer frame = NULL;
    EXPECT_EQ(DDERR_SURFACELOST, lockRenderSurface(&frame));
    EXPECT_EQ(26u, fake.log.size());
    EXPECT_EQ(NULL, frame);
}

TEST_F(FrameDisplay, RefusedLockFailsAtOnce) {
    FakeDisplay world;
    world.adopt();
    world.render.lockScript.otherwise = DDERR_SURFACEBUSY;
    FrameBuffer frame = NULL;
    EXPECT_EQ(DDERR_SURFACEBUSY, lockRenderSurface(&frame));
    EXPECT_EQ(std::vector<std::string>{LOCK}, fake.log);
    EXPECT_EQ(NULL, frame);
}

TEST_F(FrameDisplay, LockWithoutARenderSurfaceFailsAndTouchesNothing) {
    memset(&display.lockDescription, 0x5A, sizeof(display.lockDescription));
    DisplayState before = display;
    FrameBuffer frame = NULL;
    EXPECT_NE(DD_OK, lockRenderSurface(&frame));
    EXPECT_EQ(NULL, frame);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(0, memcmp(&before, &display, sizeof(display)));
}

TEST_F(FrameDisplay, UnlockUnlocksTheWholeSurface) {
    FakeDisplay world;
    world.adopt();
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    world.render.unlockScript.otherwise = DDERR_NOTLOCKED; // not looked at
    unlockRenderSurface();
    std::vector<std::string> expected = {LOCK, UNLOCK};
    EXPECT_EQ(expected, fake.log);
}

// Row layout of the locked surface

// The byte the test writes at offset `i` of the composed frame.
uint8_t patternByte(size_t i) {
    return (uint8_t)(i * 7 + i / 1280);
}

// Locks, writes the pattern over the whole 320 x 200 frame and unlocks.
void composePattern() {
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    for (size_t i = 0; i < (size_t)FRAME_BYTES; i++) {
        frame[i] = patternByte(i);
    }
    unlockRenderSurface();
}

TEST_F(FrameDisplay, FrameInRowsOf1280BytesLandsInTheSurfaceAsComposed) {
    FakeDisplay world;
    world.adopt();
    composePattern();
    for (size_t i = 0; i < (size_t)FRAME_BYTES; i++) {
        ASSERT_EQ(patternByte(i), world.render.pixels()[i]) << "byte " << i;
    }
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(FrameDisplay, WiderPitchGetsTheFrameRowByRowAndKeepsThePadding) {
    FakeDisplay world;
    world.render.setLayout(1536, 200, 0x33);
    world.adopt();
    FrameBuffer frame = NULL;
    ASSERT_EQ(DD_OK, lockRenderSurface(&frame));
    EXPECT_NE(world.render.pixels(), frame); // composed elsewhere: rows of 1536 bytes would shear it
    unlockRenderSurface();
    composePattern();
    for (size_t y = 0; y < 200; y++) {
        for (size_t x = 0; x < 1536; x++) {
            uint8_t expected = x < 1280 ? patternByte(y * 1280 + x) : 0x33;
            ASSERT_EQ(expected, world.render.pixels()[y * 1536 + x]) << "row " << y << " byte " << x;
        }
    }
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(FrameDisplay, NarrowerPitchGetsTheStartOfEachRowAndNothingBeyond) {
    FakeDisplay world;
    world.render.setLayout(1024, 200, 0x33);
    world.adopt();
    composePattern();
    for (size_t y = 0; y < 200; y++) {
        for (size_t x = 0; x < 1024; x++) {
            ASSERT_EQ(patternByte(y * 1280 + x), world.render.pixels()[y * 1024 + x]) << "row " << y << " byte " << x;
        }
    }
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(FrameDisplay, ShorterSurfaceGetsOnlyItsOwnRows) {
    FakeDisplay world;
    world.render.setLayout(1280, 150, 0x33);
    world.adopt();
    composePattern();
    for (size_t i = 0; i < 150u * 1280u; i++) {
        ASSERT_EQ(patternByte(i), world.render.pixels()[i]) << "byte " << i;
    }
    EXPECT_TRUE(world.render.guardsIntact());
}

TEST_F(FrameDisplay, UnlockAfterTheCopyStillUnlocksOnce) {
    FakeDisplay world;
    world.render.setLayout(1536, 200, 0);
    world.adopt();
    composePattern();
    std::vector<std::string> expected = {LOCK, UNLOCK};
    EXPECT_EQ(expected, fake.log);
}

// Presenting

TEST_F(FrameDisplay, PresentCopiesThenFlips) {
    FakeDisplay world;
    world.adopt();
    presentFrame();
    std::vector<std::string> expected = {COPY, FLIP};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(FrameDisplay, LostSurfaceFromTheCopyIsRestoredWithoutAFlip) {
    FakeDisplay world;
    world.adopt();
    world.back.bltFastScript.queued = {DDERR_SURFACELOST}; // both restores succeed
    presentFrame();
    std::vector<std::string> expected = {COPY, RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, fake.log);

    // The next frame is copied and flipped as usual.
    fake.log.clear();
    presentFrame();
    std::vector<std::string> next = {COPY, FLIP};
    EXPECT_EQ(next, fake.log);
}

TEST_F(FrameDisplay, LostSurfaceWhoseRestoreFailsIsNotFlippedEither) {
    FakeDisplay world;
    world.adopt();
    world.back.bltFastScript.otherwise = DDERR_SURFACELOST;
    world.primary.restoreScript.otherwise = DDERR_WRONGMODE;
    presentFrame();
    std::vector<std::string> expected = {COPY, RESTORE_PRIMARY};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(FrameDisplay, BusyCopyStillFlips) {
    FakeDisplay world;
    world.adopt();
    world.back.bltFastScript.otherwise = DDERR_WASSTILLDRAWING;
    presentFrame();
    std::vector<std::string> expected = {COPY, FLIP};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(FrameDisplay, OtherCopyErrorsCostTheFlip) {
    const HRESULT errors[] = {DDERR_GENERIC, DDERR_SURFACEBUSY, DDERR_INVALIDPARAMS, DDERR_INVALIDRECT};
    for (HRESULT error : errors) {
        SCOPED_TRACE(error);
        fake.log.clear();
        FakeDisplay world;
        world.adopt();
        world.back.bltFastScript.otherwise = error;
        presentFrame();
        EXPECT_EQ(std::vector<std::string>{COPY}, fake.log);
    }
}

TEST_F(FrameDisplay, LostSurfaceFromTheFlipIsRestored) {
    FakeDisplay world;
    world.adopt();
    world.primary.flipScript.otherwise = DDERR_SURFACELOST;
    presentFrame();
    std::vector<std::string> expected = {COPY, FLIP, RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(FrameDisplay, OtherFlipAnswersEndThePresent) {
    const HRESULT answers[] = {DDERR_WASSTILLDRAWING, DDERR_GENERIC, DDERR_NOTFLIPPABLE};
    for (HRESULT answer : answers) {
        SCOPED_TRACE(answer);
        fake.log.clear();
        FakeDisplay world;
        world.adopt();
        world.primary.flipScript.otherwise = answer;
        presentFrame();
        std::vector<std::string> expected = {COPY, FLIP};
        EXPECT_EQ(expected, fake.log);
    }
}

// Restoring

TEST_F(FrameDisplay, RestoreBringsBackThePrimaryThenTheRenderSurface) {
    FakeDisplay world;
    world.adopt();
    EXPECT_EQ(DD_OK, restoreSurfaces());
    std::vector<std::string> expected = {RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, fake.log);
}

TEST_F(FrameDisplay, RestoreStopsAtAFailedPrimary) {
    FakeDisplay world;
    world.adopt();
    world.primary.restoreScript.otherwise = DDERR_WRONGMODE;
    EXPECT_EQ(DDERR_WRONGMODE, restoreSurfaces());
    EXPECT_EQ(std::vector<std::string>{RESTORE_PRIMARY}, fake.log);
}

TEST_F(FrameDisplay, RestoreReportsTheRenderSurfacesResult) {
    FakeDisplay world;
    world.adopt();
    world.render.restoreScript.otherwise = DDERR_OUTOFMEMORY;
    EXPECT_EQ(DDERR_OUTOFMEMORY, restoreSurfaces());
    std::vector<std::string> expected = {RESTORE_PRIMARY, RESTORE_RENDER};
    EXPECT_EQ(expected, fake.log);
}

} // namespace
