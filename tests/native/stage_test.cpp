// The stage: "classic" read from its file moves exactly as the plug-in's
// fixed scene, float for float and frame for frame, and other scenes move
// with their drivers and never reach a packet tracer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"

namespace {

char error[MAX_ERROR_TEXT];
SceneDesign design;
WaveformBlock block;

void fillBlock(int32_t frame) {
    for (int32_t c = 0; c < BLOCK_CHANNELS; c++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            block[c][i] = static_cast<uint8_t>((i * (c ? 53 : 37) + frame * 101) & 0xFF);
        }
    }
}

bool sameBits(const void* a, const void* b, size_t size) {
    return std::memcmp(a, b, size) == 0;
}

TEST(Stage, EveryBuiltinSceneReadsAndClassicIsFirst) {
    ASSERT_GE(builtinSceneCount, 1);
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        ASSERT_TRUE(readBuiltinScene(i, &design, error, sizeof(error))) << error;
        EXPECT_EQ(findBuiltinScene(design.name), i);
        EXPECT_NE(design.about[0], 0) << design.name << " has a one-line description";
        if (i == 0) {
            EXPECT_STREQ(design.name, "classic");
        }
    }
    EXPECT_EQ(findBuiltinScene("no-such-scene"), -1);
}

// The fixed scene's motion against classic's, from the same angle, through
// the angle's wrap: every record, the camera and the light, bit for bit.
TEST(Stage, ClassicMovesAsTheFixedScene) {
    for (float start : {0.0f, ANGLE_WRAP_AT - 0.5f}) {
        buildScene(&textureStore);
        motion.angle = start;
        Scene fixedScene[1];
        SceneMotion fixedMotion[1];
        std::vector<uint8_t> fixedStates;
        for (int32_t frame = 0; frame < 120; frame++) {
            fillBlock(frame);
            animateScene(block);
            fixedStates.insert(fixedStates.end(), reinterpret_cast<uint8_t*>(&scene.spheres[0]),
                               reinterpret_cast<uint8_t*>(&scene.spheres[SPHERE_COUNT]));
            fixedStates.insert(fixedStates.end(), reinterpret_cast<uint8_t*>(&motion),
                               reinterpret_cast<uint8_t*>(&motion + 1));
        }
        *fixedScene = scene;
        *fixedMotion = motion;

        ASSERT_TRUE(readBuiltinScene(0, &design, error, sizeof(error))) << error;
        ASSERT_TRUE(putOnStage(&design, 0, error, sizeof(error))) << error;
        motion.angle = start;
        std::vector<uint8_t> stageStates;
        for (int32_t frame = 0; frame < 120; frame++) {
            fillBlock(frame);
            animateStage(block, 2);
            stageStates.insert(stageStates.end(), reinterpret_cast<uint8_t*>(&scene.spheres[0]),
                               reinterpret_cast<uint8_t*>(&scene.spheres[SPHERE_COUNT]));
            stageStates.insert(stageStates.end(), reinterpret_cast<uint8_t*>(&motion),
                               reinterpret_cast<uint8_t*>(&motion + 1));
        }
        EXPECT_TRUE(fixedStates == stageStates) << "from angle " << start;
        EXPECT_EQ(scene.objectCount, SCENE_OBJECT_COUNT);
        EXPECT_EQ(scene.fogEnabled, 1);
        for (int32_t i = 0; i < SCENE_OBJECT_COUNT; i++) {
            EXPECT_EQ(scene.objects[i].kind, fixedScene->objects[i].kind);
            EXPECT_EQ(scene.objects[i].data, fixedScene->objects[i].data);
            EXPECT_EQ(scene.objects[i].flags, fixedScene->objects[i].flags);
        }
        EXPECT_TRUE(sameBits(&scene.floor, &fixedScene->floor, sizeof(scene.floor)));
        // The packet tracers take classic as the fixed scene
        EXPECT_TRUE(sceneIsTheFixedOne());
    }
}

// Every other built-in scene: it moves, is not the fixed scene to the packet
// tracers, and its frames are the same from the same start.
TEST(Stage, OtherScenesMoveAndAreNotTheFixedOne) {
    setSampleGrid();
    std::vector<uint8_t> frame(FRAME_BYTES);
    for (int32_t i = 1; i < builtinSceneCount; i++) {
        ASSERT_TRUE(readBuiltinScene(i, &design, error, sizeof(error))) << error;
        std::vector<uint8_t> first;
        for (int32_t run = 0; run < 2; run++) {
            ASSERT_TRUE(putOnStage(&design, i, error, sizeof(error))) << error;
            motion.angle = 0.0f;
            for (int32_t f = 0; f < 3; f++) {
                fillBlock(f);
                animateStage(block, 2);
            }
            EXPECT_FALSE(sceneIsTheFixedOne()) << design.name;
            renderView(frame.data(), &motion.camera, &motion.light);
            if (run == 0) {
                first = frame;
            } else {
                EXPECT_TRUE(first == frame) << design.name;
            }
        }
    }
}

} // namespace

namespace {

// The cover scene shows the cover art it is handed, and a checker without.
TEST(Stage, CoverArtInTheCoverScene) {
    static Texture cover;
    std::memset(&cover, 0x5A, sizeof(cover));
    int32_t index = findBuiltinScene("cover");
    ASSERT_GE(index, 0);
    ASSERT_TRUE(readBuiltinScene(index, &design, error, sizeof(error))) << error;
    int32_t slot = -1;
    for (int32_t t = 0; t < design.textureCount; t++) {
        slot = design.textures[t].kind == TEXTURE_COVER ? t : slot;
    }
    ASSERT_GE(slot, 0);
    auto showsCover = [&]() { return std::memcmp(&stage.textures[slot], &cover, sizeof(cover)) == 0; };

    setStageCover(nullptr);
    ASSERT_TRUE(putOnStage(&design, index, error, sizeof(error))) << error;
    EXPECT_FALSE(showsCover());
    EXPECT_EQ(stage.textures[slot].texels[0][2], design.textures[slot].colours[0][0]); // the checker's first colour
    setStageCover(&cover);
    EXPECT_TRUE(showsCover()) << "the scene on stage takes the cover at once";
    stepStage(1);
    ASSERT_TRUE(putOnStage(&design, index, error, sizeof(error))) << error;
    EXPECT_TRUE(showsCover()) << "and keeps it when staged again";
    setStageCover(nullptr);
    EXPECT_FALSE(showsCover());
    stepStage(-index); // back to classic for the tests after
}

} // namespace
