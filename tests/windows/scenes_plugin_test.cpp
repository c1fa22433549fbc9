// The scenes plug-in: its DLL as the player loads it, through the header, and
// every module started and rendered on the fakes, giving its own scene's frame.
#include <windows.h>
#include <cstring>
#include <vector>
#include "compose/compose.h"
#include "host/lifecycle.h"
#include "raytracer/scene.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"
#include "scenes_plugin/scenes_plugin.h"
#include "tests/windows/plugin_test.h"

namespace {

// The name built-in scene `index` gives itself.
std::string builtinName(int32_t index) {
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    EXPECT_TRUE(readBuiltinScene(index, &design, error, sizeof(error))) << error;
    return design.name;
}

// Block `frame` of a made-up song: a tone whose pitch and loudness change
// every frame, so that the analysis-driven scenes move too.
void songBlock(int32_t frame, WaveformBlock block) {
    for (int32_t channel = 0; channel < BLOCK_CHANNELS; channel++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            int32_t period = 12 + frame * 5 + channel * 3;
            int32_t level = (frame % 2 == 0) ? 120 : 40;
            block[channel][i] = (uint8_t)(int8_t)(((i % period) * 2 * level) / period - level);
        }
    }
}

TEST(ScenesDll, HeaderListsOneModulePerBuiltinSceneClassicFirst) {
    HMODULE library = LoadLibraryA("vis_raysphere_scenes.dll");
    ASSERT_NE(nullptr, library) << "error " << GetLastError();
    // Through a pointer of no particular type, as the player converts it.
    auto getHeader = (winampVisHeader * (*)())(void*)GetProcAddress(library, "winampVisGetHeader");
    ASSERT_NE(nullptr, getHeader);
    winampVisHeader* header = getHeader();
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(header, getHeader());
    EXPECT_EQ(0x101, header->version);
    EXPECT_STREQ("nox raytracer winamp plugin: scenes", header->description);
    ASSERT_NE(nullptr, header->getModule);

    winampVisModule* first = header->getModule(0);
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("classic", first->description);
    printf("%s\n", header->description);
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        winampVisModule* module = header->getModule(i);
        ASSERT_NE(nullptr, module) << "module " << i;
        printf("  module %d: %s\n", (int)i, module->description);
        EXPECT_EQ(builtinName(i), module->description) << "module " << i;
        // The plug-in's load values and its shared callbacks; only Init differs.
        EXPECT_EQ(nullptr, module->hwndParent);
        EXPECT_EQ(2, module->nCh);
        EXPECT_EQ(15, module->latencyMs);
        EXPECT_EQ(15, module->delayMs);
        EXPECT_EQ(0, module->spectrumNch);
        EXPECT_EQ(2, module->waveformNch);
        EXPECT_EQ(first->Config, module->Config);
        EXPECT_EQ(first->Render, module->Render);
        EXPECT_EQ(first->Quit, module->Quit);
        ASSERT_NE(nullptr, module->Init);
        for (int32_t j = 0; j < i; j++) {
            EXPECT_NE(header->getModule(j)->Init, module->Init) << "modules " << j << " and " << i;
        }
    }
    EXPECT_EQ(nullptr, header->getModule(builtinSceneCount));
    EXPECT_EQ(nullptr, header->getModule(-1));
    FreeLibrary(library);
}

class ScenesModules : public PluginTest {};

TEST_F(ScenesModules, EachModuleRendersItsOwnScene) {
    ASSERT_EQ(builtinSceneCount, sceneModuleCount);
    const int32_t frames = 3;
    std::vector<uint8_t> classicFrame;
    for (int32_t i = 0; i < sceneModuleCount; i++) {
        std::string name = builtinName(i);
        SCOPED_TRACE(name);

        // The module, as the player starts and drives it.
        FakeDisplay world;
        world.render.setLayout(FRAME_ROW_BYTES, FRAME_HEIGHT, 0x5A);
        world.offerToPlatform();
        winampVisModule module = *getSceneModule(i);
        module.hwndParent = PLAYER_WINDOW;
        module.hDllInstance = DLL_INSTANCE;
        motion.angle = 0;
        ASSERT_EQ(0, module.Init(&module));
        EXPECT_STREQ(name.c_str(), stageSceneName());
        for (int32_t frame = 0; frame < frames; frame++) {
            songBlock(frame, module.waveformData);
            ASSERT_EQ(0, module.Render(&module));
        }
        std::vector<uint8_t> shown(world.render.pixels(), world.render.pixels() + TRACED_ROWS * FRAME_ROW_BYTES);
        module.Quit(&module);
        display = DisplayState();

        // The core alone, from the same start and the same blocks.
        char error[MAX_ERROR_TEXT];
        ASSERT_TRUE(stageScene(name.c_str(), error, sizeof(error))) << error;
        motion.angle = 0;
        startCore();
        std::vector<uint8_t> expected(FRAME_BYTES, 0x5A);
        WaveformBlock block;
        for (int32_t frame = 0; frame < frames; frame++) {
            songBlock(frame, block);
            composeFrame(expected.data(), block, 2);
        }
        expected.resize(TRACED_ROWS * FRAME_ROW_BYTES);
        EXPECT_TRUE(shown == expected) << "the module's frame is not its scene's";

        // Every scene is a different picture from classic's.
        if (i == 0) {
            classicFrame = shown;
        } else {
            EXPECT_FALSE(shown == classicFrame) << "the module shows classic";
        }
    }
}

} // namespace
