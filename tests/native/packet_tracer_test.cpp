// The packet tracers against the reference: the same bytes over many frames
// of several waveforms, far into the motion and across the angle's wrap, at
// sizes whose packets straddle the last column; with culling on and off, on
// views that stress its bounds; every built-in scene, threads on and off;
// and one frame's bytes held to a recorded
// hash, so a build that changes any pixel is caught.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/shading.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"

namespace {

enum Waveform { SILENCE, RANDOM_BYTES, SWEEP, SQUARE, WAVEFORM_COUNT };
const char* const waveformNames[WAVEFORM_COUNT] = {"silence", "random bytes", "sweep", "square"};

void fillWaveform(WaveformBlock block, Waveform kind, uint32_t frame) {
    uint32_t seed = 12345u + frame * 7919u;
    for (int32_t c = 0; c < 2; c++) {
        for (int32_t i = 0; i < 576; i++) {
            uint8_t byte = 0;
            switch (kind) {
            case SILENCE:
                break;
            case RANDOM_BYTES:
                seed = seed * 1664525u + 1013904223u;
                byte = static_cast<uint8_t>(seed >> 24);
                break;
            case SWEEP:
                byte = static_cast<uint8_t>((i * (frame % 13 + 1) + c * 64) & 0xFF);
                break;
            case SQUARE:
                byte = ((i + frame * 5) / 24) % 2 == 0 ? 0x60 : 0xA0;
                break;
            default:
                break;
            }
            block[c][i] = byte;
        }
    }
}

// The angle after `frames` frames from load, stepped as animateScene steps
// it, and the first frame whose angle is wrapped.
float angleAfter(int32_t frames, int32_t* wrapFrame = nullptr) {
    float a = 0.0f;
    for (int32_t i = 1; i <= frames; i++) {
        a += ANGLE_STEP;
        if (a >= ANGLE_WRAP_AT) {
            a -= ANGLE_WRAP_BY;
            *wrapFrame = i;
            return a;
        }
    }
    return a;
}

uint64_t fnv1a(const uint8_t* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; i++) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

class PacketTracerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startCore();
        std::memset(block, 0, sizeof(block));
        channels = 2;
        savedTracer = activeTracer;
        for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
            if (tracerAvailable(static_cast<TracerKind>(kind))) {
                kinds.push_back(static_cast<TracerKind>(kind));
            }
        }
    }
    void TearDown() override { activeTracer = savedTracer; }

    // Composes the next frame with every tracer from the same state: all
    // must give the reference's bytes. Leaves the state one frame on.
    void expectSameFrame(const char* what) {
        SceneMotion motionBefore = motion;
        Scene sceneBefore = scene;
        std::vector<uint8_t> reference;
        for (TracerKind kind : kinds) {
            motion = motionBefore;
            scene = sceneBefore;
            std::vector<uint8_t> frame(FRAME_BYTES, 0x5A);
            selectTracer(kind);
            ASSERT_EQ(frameRowsRoutine(), tracerTable[kind].rows) << "the packet tracer does not know the scene";
            composeFrame(frame.data(), block, channels);
            if (kind == TRACER_REFERENCE) {
                reference = frame;
            } else {
                ASSERT_TRUE(frame == reference) << tracerTable[kind].name << ", " << what << ", angle " << motion.angle;
            }
        }
    }

    WaveformBlock block;
    int32_t channels;
    TracerKind savedTracer;
    std::vector<TracerKind> kinds;
};

TEST_F(PacketTracerTest, SameFramesAsTheReference) {
    ASSERT_GE(kinds.size(), 2u) << "no packet tracer to compare";
    // From load, about 100,000 frames in, and across the angle's wrap
    int32_t wrapFrame = 0;
    angleAfter(1000000, &wrapFrame);
    ASSERT_GT(wrapFrame, 200000);
    const int32_t firstFrames[] = {0, 100003, wrapFrame - 3};
    for (int32_t start : firstFrames) {
        float angle = angleAfter(start);
        for (int32_t w = 0; w < WAVEFORM_COUNT; w++) {
            motion.angle = angle;
            for (int32_t f = 0; f < 6; f++) {
                fillWaveform(block, static_cast<Waveform>(w), static_cast<uint32_t>(start + f));
                expectSameFrame(waveformNames[w]);
            }
        }
    }
    EXPECT_LT(motion.angle, angleAfter(wrapFrame - 3)) << "the last run did not cross the wrap";
}

TEST_F(PacketTracerTest, PacketEdgesAndMixedPackets) {
    // Sizes whose rows end inside a packet of 8, images narrower than one
    // packet, several rows to a batch with rows left over, and rows wider
    // than half a batch, traced four at a time in pieces, rows left over
    // too; the frames include packets whose rays hit different entries and
    // rays that meet the floor in the fog and beyond it.
    const int32_t sizes[][2] = {{37, 23}, {3, 2}, {161, 91}, {250, 141}, {257, 5}, {1000, 7}};
    int32_t mixedPackets = 0;
    int32_t fogFloor = 0;
    int32_t farFloor = 0;
    for (const auto& size : sizes) {
        motion.angle = angleAfter(1000 + size[0]);
        fillWaveform(block, SWEEP, static_cast<uint32_t>(size[0]));
        SceneMotion motionBefore = motion;
        std::vector<uint8_t> reference;
        for (TracerKind kind : kinds) {
            motion = motionBefore;
            std::vector<uint8_t> bytes(static_cast<size_t>(size[0]) * size[1] * 4 + 16, 0xC3);
            FrameImage image = {bytes.data(), size[0], size[1], size[0] * 4};
            selectTracer(kind);
            composeFrameAt(&image, block, channels);
            if (kind == TRACER_REFERENCE) {
                reference = bytes;
            } else {
                ASSERT_TRUE(bytes == reference) << tracerTable[kind].name << " at " << size[0] << " x " << size[1];
            }
        }

        // What the primary rays of this image hit, aimed as traceImage aims them
        const Camera& camera = motion.camera;
        Vector3 V = camera.target - camera.eye;
        normalize(V);
        Vector3 up0 = {std::sin(camera.roll), -std::cos(camera.roll), 0.0f};
        Vector3 R;
        cross(R, up0, V);
        normalize(R);
        Vector3 U;
        cross(U, R, V);
        normalize(U);
        float columnStep = camera.zoom / (size[0] - 1);
        for (int32_t y = 0; y < size[1]; y++) {
            int32_t previous = -1;
            for (int32_t x = 0; x < size[0]; x++) {
                float across = (x - (size[0] - 1) * 0.5f) * columnStep;
                float down = (y - (size[1] - 1) * 0.5f) * columnStep / 0.9f;
                Ray ray = {camera.eye, V + across * R + down * U};
                normalize(ray.direction);
                HitRecord hit = {};
                hit.t = NO_HIT;
                for (int32_t e = 0; e < scene.objectCount; e++) {
                    intersectTable[scene.objects[e].kind](&ray, &scene.objects[e], &hit);
                }
                int32_t entry = hit.t == NO_HIT ? -1 : static_cast<int32_t>(hit.object - scene.objects);
                mixedPackets += (x % 8 != 0 && entry != previous) ? 1 : 0;
                fogFloor += (entry == 0 && hit.t > 300.0f && hit.t < 400.0f) ? 1 : 0;
                farFloor += (entry == 0 && hit.t >= 400.0f) ? 1 : 0;
                previous = entry;
            }
        }
    }
    EXPECT_GT(mixedPackets, 0);
    EXPECT_GT(fogFloor, 0);
    EXPECT_GT(farFloor, 0);
}

TEST_F(PacketTracerTest, ShadowsWithTheLightAnywhere) {
    // The packet tracers skip the shadow test of a sphere that a line to
    // the light passes well clear of: the light inside a sphere, on one,
    // just above one, far away and under the floor must not change a pixel.
    motion.angle = angleAfter(500);
    fillWaveform(block, SWEEP, 500);
    animateScene(block);
    const SphereData& centre = scene.spheres[0];
    const SphereData& side = scene.spheres[1];
    const Vector3 lights[] = {centre.center,
                              centre.center + Vector3{0.0f, centre.radius, 0.0f},
                              side.center + Vector3{0.0f, side.radius * 1.005f, 0.0f},
                              {0.0f, 10000.0f, 0.0f},
                              {3000.0f, 40.0f, -2000.0f},
                              {20.0f, -scene.floor.offset - 30.0f, 10.0f}};
    for (const Vector3& position : lights) {
        Light light = {position};
        std::vector<uint8_t> reference;
        for (TracerKind kind : kinds) {
            std::vector<uint8_t> bytes(240 * 135 * 4, 0);
            FrameImage image = {bytes.data(), 240, 135, 240 * 4};
            selectTracer(kind);
            traceImage(&image, &motion.camera, &light);
            if (kind == TRACER_REFERENCE) {
                reference = bytes;
            } else {
                ASSERT_TRUE(bytes == reference) << tracerTable[kind].name << ", light at " << position.x << ", "
                                                << position.y << ", " << position.z;
            }
        }
    }
}

// The unit direction of pixel (x, y) of a w x h image, aimed as traceImage
// aims it, within rounding.
Vector3 pixelDirection(const Camera& camera, int32_t w, int32_t h, float x, float y) {
    Vector3 V = camera.target - camera.eye;
    normalize(V);
    Vector3 up0 = {std::sin(camera.roll), -std::cos(camera.roll), 0.0f};
    Vector3 R;
    cross(R, up0, V);
    normalize(R);
    Vector3 U;
    cross(U, R, V);
    normalize(U);
    float columnStep = camera.zoom / static_cast<float>(w - 1);
    Vector3 d = V + ((x - (w - 1) * 0.5f) * columnStep) * R + ((y - (h - 1) * 0.5f) * columnStep / 0.9f) * U;
    return normalize(d);
}

// A unit vector across `d`.
Vector3 across(const Vector3& d) {
    Vector3 side;
    cross(side, d, Vector3{0.0f, 1.0f, 0.0f});
    return normalize(side);
}

TEST_F(PacketTracerTest, CullingKeepsEveryByte) {
    // Views chosen to stress the culling's bounds, each traced by the
    // reference and by every packet tracer with culling on and off: the
    // same bytes, and culling skips sphere tests on them.
    motion.angle = angleAfter(700);
    fillWaveform(block, SWEEP, 700);
    animateScene(block);
    const Scene animated = scene;
    const Light light = motion.light;
    struct View {
        const char* what;
        Camera camera;
        int32_t width, height, threads;
        Scene scene;
    };
    std::vector<View> views;
    auto add = [&](const char* what, Vector3 eye, Vector3 target, int32_t w, int32_t h) {
        views.push_back({what, {eye, target, 2.5f, 3.1415927f}, w, h, 1, scene});
    };
    const Vector3 eye = {150.0f, 50.0f, 40.0f};
    // Spheres at every edge of the screen: the view swept across them
    for (int32_t i = 0; i < 24; i++) {
        float a = 0.15f * static_cast<float>(i);
        add("sphere at the edge", eye,
            {150.0f - 200.0f * std::cos(a), 50.0f - 60.0f * std::sin(2.0f * a), 40.0f - 200.0f * std::sin(a)}, 64, 36);
    }
    // Grazing rays: a sphere placed so that one pixel's ray, or its
    // reflection off the floor, just touches it (pixels low in the view,
    // whose rays meet the floor)
    const float pixels[][2] = {{0.0f, 35.0f}, {63.0f, 35.0f}, {20.0f, 30.0f}, {41.0f, 34.0f}, {9.0f, 28.0f}};
    for (const auto& pixel : pixels) {
        Camera camera = {eye, animated.spheres[0].center, 2.5f, 3.1415927f};
        Vector3 d = pixelDirection(camera, 64, 36, pixel[0], pixel[1]);
        // Beside the ray or above it, where it is the only ray of its
        // packet to touch; just inside and just outside
        Vector3 sides[2] = {across(d), Vector3{}};
        cross(sides[1], d, sides[0]);
        for (int32_t mirrored = 0; mirrored < 2; mirrored++) {
            for (const Vector3& side : sides) {
                for (float scale : {0.9999f, 1.0001f}) {
                    scene = animated;
                    SphereData& sphere = scene.spheres[2];
                    float distance = mirrored ? (eye.y + scene.floor.offset) / -d.y + 40.0f : 90.0f;
                    sphere.center = eye + distance * d + (sphere.radius * scale) * side;
                    if (mirrored) {
                        sphere.center.y = -2.0f * scene.floor.offset - sphere.center.y;
                    }
                    add(mirrored ? "grazing reflection" : "grazing ray", camera.eye, camera.target, 64, 36);
                }
            }
        }
    }
    // Spheres touching each other, and the camera near a sphere, just
    // outside it and inside it, looking at it, along it and away
    scene = animated;
    SphereData* spheres = scene.spheres;
    spheres[1].center = spheres[0].center + (spheres[0].radius + spheres[1].radius) * Vector3{0.6f, 0.0f, 0.8f};
    spheres[2].center = spheres[1].center + (spheres[1].radius + spheres[2].radius) * Vector3{0.0f, 1.0f, 0.0f};
    add("spheres touching", eye, spheres[1].center, 64, 36);
    const float nearness[] = {1.001f, 1.05f, 0.5f};
    for (float scale : nearness) {
        Vector3 out = {0.0f, 0.6f, 0.8f};
        Vector3 near = spheres[0].center + (spheres[0].radius * scale) * out;
        add("camera near a sphere", near, spheres[0].center, 64, 36);
        add("camera near a sphere", near, near + Vector3{1.0f, 0.0f, 0.0f}, 64, 36);
        add("camera near a sphere", near, near + out, 64, 36);
    }
    // Long runs of the row sums, and bands on two threads
    scene = animated;
    add("long rows", eye, animated.spheres[0].center, 8192, 2);
    add("long rows", {-40.0f, 30.0f, 170.0f}, animated.spheres[3].center, 5000, 3);
    add("two threads", eye, animated.spheres[0].center, 200, 120);
    views.back().threads = 2;

    SphereTestCounts skipped = {};
    for (const View& view : views) {
        scene = view.scene;
        std::vector<uint8_t> reference;
        for (TracerKind kind : kinds) {
            for (int32_t cull = 0; cull < (kind == TRACER_REFERENCE ? 1 : 2); cull++) {
                packetCulling = cull == 1;
                startTracerPool(view.threads);
                std::vector<uint8_t> bytes(static_cast<size_t>(view.width) * view.height * 4, 0x77);
                FrameImage image = {bytes.data(), view.width, view.height, view.width * 4};
                selectTracer(kind);
                takeSphereTestCounts();
                traceImage(&image, &view.camera, &light);
                SphereTestCounts counts = takeSphereTestCounts();
                stopTracerPool();
                if (kind == TRACER_REFERENCE) {
                    reference = bytes;
                    continue;
                }
                ASSERT_TRUE(bytes == reference) << tracerTable[kind].name << ", culling " << cull << ", " << view.what;
                for (int32_t ray = 0; ray < RAY_KIND_COUNT && cull == 1; ray++) {
                    skipped.skipped[ray] += counts.skipped[ray];
                }
            }
        }
    }
    packetCulling = true;
    EXPECT_GT(skipped.skipped[RAY_PRIMARY], 0u);
    EXPECT_GT(skipped.skipped[RAY_REFLECTED], 0u);
}

TEST_F(PacketTracerTest, EveryBuiltinScene) {
    // Each scene some frames in from two angles, a music-driven block moving
    // it, at the plug-in's size and at an odd one whose rows end inside a
    // packet, each on one thread and on two, then from eyes on or inside
    // entries (a sphere's centre, a tube's start, a parallelogram's corner),
    // where rays graze and start within the culling's bounds, and with the
    // light there or just above the floor below, shadows cast from close by
    // or settled by the floor: glass, tubes,
    // parallelograms, textures and mirrors traced by every tracer, culling
    // off and on, into the reference's bytes
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    const int32_t sizes[][2] = {{320, 200}, {333, 187}, {96, 54}};
    auto expectEveryTracer = [&](const Camera& camera, const Light& light, const int32_t* size, int32_t threads) {
        startTracerPool(threads);
        std::vector<uint8_t> reference;
        for (TracerKind kind : kinds) {
            for (int32_t cull = kind == TRACER_REFERENCE ? 1 : 0; cull < 2; cull++) {
                packetCulling = cull == 1;
                std::vector<uint8_t> bytes(static_cast<size_t>(size[0]) * size[1] * 4, 0x5A);
                FrameImage image = {bytes.data(), size[0], size[1], size[0] * 4};
                selectTracer(kind);
                traceImage(&image, &camera, &light);
                if (kind == TRACER_REFERENCE) {
                    reference = bytes;
                } else {
                    EXPECT_TRUE(bytes == reference)
                        << design.name << ", " << tracerTable[kind].name << ", culling " << cull << ", " << size[0]
                        << " x " << size[1] << ", " << threads << " threads, angle " << motion.angle << ", eye "
                        << camera.eye.x << ", " << camera.eye.y << ", " << camera.eye.z;
                }
            }
        }
        packetCulling = true;
        stopTracerPool();
    };
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        ASSERT_TRUE(readBuiltinScene(i, &design, error, sizeof(error))) << error;
        ASSERT_TRUE(putOnStage(&design, i, error, sizeof(error))) << error;
        for (int32_t start = 0; start < 2; start++) {
            motion.angle = angleAfter(start * 4321);
            for (int32_t f = 0; f < 4; f++) {
                fillWaveform(block, start == 0 ? SQUARE : RANDOM_BYTES, static_cast<uint32_t>(f));
                animateStage(block, channels);
            }
            for (int32_t z = 0; z < 2; z++) {
                expectEveryTracer(motion.camera, motion.light, sizes[z], 1 + (start + z) % 2);
            }
        }
        const int32_t entries[] = {1, scene.objectCount / 2, scene.objectCount - 1};
        for (int32_t e : entries) {
            // Every record begins with a point of its primitive; the eye
            // there, then the light, which shadows fall towards from close by
            const Vector3 onEntry = *static_cast<const Vector3*>(scene.objects[e].data);
            Camera camera = motion.camera;
            camera.eye = onEntry;
            expectEveryTracer(camera, motion.light, sizes[2], 1);
            expectEveryTracer(motion.camera, Light{onEntry}, sizes[2], 1);
            if (scene.objects[0].kind == KIND_FLOOR) {
                // The light just above the floor, under the entry: shadow
                // rays pass it and meet the floor, which alone settles them
                float floorY = -static_cast<const FloorPlaneData*>(scene.objects[0].data)->offset;
                expectEveryTracer(motion.camera, Light{{onEntry.x, floorY + 0.5f, onEntry.z}}, sizes[2], 1);
            }
        }
    }
    // Every sphere and tube of the scenes with tubes seen from inside, as a
    // scene file may flag them: the far roots, the normals turned round
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        ASSERT_TRUE(readBuiltinScene(i, &design, error, sizeof(error))) << error;
        ASSERT_TRUE(putOnStage(&design, i, error, sizeof(error))) << error;
        bool tubes = false;
        for (int32_t e = 1; e < scene.objectCount; e++) {
            SceneObject& entry = scene.objects[e];
            entry.flags |= entry.kind == KIND_SPHERE || entry.kind == KIND_TUBE ? SHADE_INSIDE : 0;
            tubes = tubes || entry.kind == KIND_TUBE;
        }
        if (tubes) {
            expectEveryTracer(motion.camera, motion.light, sizes[2], 2);
        }
    }
    ASSERT_TRUE(readBuiltinScene(0, &design, error, sizeof(error))) << error;
    ASSERT_TRUE(putOnStage(&design, 0, error, sizeof(error))) << error;
}

TEST_F(PacketTracerTest, Avx512WhereTheProcessorHasIt) {
    // A 64-bit native build on a processor with AVX-512F offers the 16-lane
    // tracer, chooses it as the fastest, and traces the reference's bytes
    // where packets of 16 straddle rows that packets of 8 would not
    __builtin_cpu_init();
#if defined(__x86_64__) && !defined(_WIN32)
    bool processorHasIt = __builtin_cpu_supports("avx512f");
#else
    bool processorHasIt = false;
#endif
    ASSERT_EQ(tracerAvailable(TRACER_AVX512), processorHasIt);
    if (!processorHasIt) {
        GTEST_SKIP() << "the processor lacks AVX-512F, or this is not a 64-bit native build";
    }
    EXPECT_EQ(fastestTracer(), TRACER_AVX512);
    EXPECT_STREQ(tracerTable[TRACER_AVX512].name, "avx512");
    const int32_t sizes[][2] = {{24, 9}, {8, 3}, {520, 6}, {1, 40}};
    for (const auto& size : sizes) {
        motion.angle = angleAfter(2000 + size[0]);
        fillWaveform(block, RANDOM_BYTES, static_cast<uint32_t>(size[1]));
        SceneMotion motionBefore = motion;
        std::vector<uint8_t> images[2];
        const TracerKind compared[2] = {TRACER_REFERENCE, TRACER_AVX512};
        for (int32_t i = 0; i < 2; i++) {
            motion = motionBefore;
            images[i].assign(static_cast<size_t>(size[0]) * size[1] * 4 + 64, 0x3C);
            FrameImage image = {images[i].data(), size[0], size[1], size[0] * 4};
            selectTracer(compared[i]);
            composeFrameAt(&image, block, channels);
        }
        EXPECT_TRUE(images[0] == images[1]) << size[0] << " x " << size[1];
    }
}

TEST_F(PacketTracerTest, RecordedFrameBytes) {
    // The third frame from load of a fixed waveform, at 320 x 200 and at
    // 400 x 225, hashed: the same in every build and with every tracer.
    constexpr uint64_t FRAME_HASH = 16382302000488832030ull;
    constexpr uint64_t IMAGE_HASH = 8449093858618679122ull;
    for (TracerKind kind : kinds) {
        selectTracer(kind);
        motion = SceneMotion{};
        buildScene(&textureStore);
        std::vector<uint8_t> frame(FRAME_BYTES, 0);
        for (uint32_t f = 0; f < 3; f++) {
            fillWaveform(block, SQUARE, f);
            composeFrame(frame.data(), block, channels);
        }
        EXPECT_EQ(fnv1a(frame.data(), frame.size()), FRAME_HASH) << tracerTable[kind].name;

        motion = SceneMotion{};
        buildScene(&textureStore);
        std::vector<uint8_t> bytes(400 * 225 * 4, 0);
        FrameImage image = {bytes.data(), 400, 225, 1600};
        for (uint32_t f = 0; f < 3; f++) {
            fillWaveform(block, SQUARE, f);
            composeFrameAt(&image, block, channels);
        }
        EXPECT_EQ(fnv1a(bytes.data(), bytes.size()), IMAGE_HASH) << tracerTable[kind].name;
    }
}

TEST_F(PacketTracerTest, RecordedSceneBytes) {
    // Each built-in scene's twelfth frame from its start at 160 x 90, hashed:
    // a change to any scene's picture is caught, not only a tracer that
    // parts from the reference.
    constexpr uint64_t SCENE_HASHES[] = {16602507430432600505ull, 18272738950172168939ull, 9899264499885337798ull,
                                         3614587880242278597ull,  11723083973558589290ull, 5701057237770010513ull,
                                         13513666280846588713ull, 13112885115393187537ull};
    ASSERT_EQ(builtinSceneCount, static_cast<int32_t>(sizeof SCENE_HASHES / sizeof SCENE_HASHES[0]));
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    for (TracerKind kind : {TRACER_REFERENCE, fastestTracer()}) {
        selectTracer(kind);
        for (int32_t i = 0; i < builtinSceneCount; i++) {
            ASSERT_TRUE(readBuiltinScene(i, &design, error, sizeof(error))) << error;
            motion = SceneMotion{};
            ASSERT_TRUE(putOnStage(&design, i, error, sizeof(error))) << error;
            std::vector<uint8_t> bytes(160 * 90 * 4, 0);
            FrameImage image = {bytes.data(), 160, 90, 640};
            for (uint32_t f = 0; f < 12; f++) {
                fillWaveform(block, SQUARE, f);
                composeFrameAt(&image, block, channels);
            }
            EXPECT_EQ(fnv1a(bytes.data(), bytes.size()), SCENE_HASHES[i])
                << design.name << ", " << tracerTable[kind].name;
        }
    }
    ASSERT_TRUE(readBuiltinScene(0, &design, error, sizeof(error))) << error;
    ASSERT_TRUE(putOnStage(&design, 0, error, sizeof(error))) << error;
}

} // namespace
