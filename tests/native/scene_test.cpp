// The fixed scene table built by buildScene and the per-frame motion of
// camera, light and spheres, including the long-run bound on the angle.
// The motion state is global: every test that depends on the angle sets it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raytracer/scene.h"
#include "tests/native/reference_vector.h"

namespace {

constexpr double PI = 3.14159265358979323846;

TextureStore sceneStore; // a store of our own, to see that buildScene uses its argument
WaveformBlock block;     // the frame's waveform; only its first byte moves the scene

void expectVector(const Vector3& actual, Vec expected, double tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Where everything should be at angle a, worked in double precision.
struct Pose {
    Vec eye;
    Vec target;
    Vec light;
    Vec outer[4]; // spheres 2 to 5
};

Pose poseAt(double a) {
    double sn = 90 * std::sin(a);
    double cs = 90 * std::cos(a);
    double hb = 20 * (std::sin(20 * a) + 1);
    Pose pose;
    pose.eye = {150 * std::sin(2 * a), 50 + 30 * std::sin(1.2 * a), 130 * std::cos(2.7 * a)};
    pose.target = {25 * std::cos(0.5 * a), 10 + 8 * std::sin(1.3 * a), 15 * std::cos(1.1 * a)};
    pose.light = {150 * std::sin(2 * a), 90 + 25 * std::sin(4 * a), 150 * std::cos(2 * a)};
    pose.outer[0] = {sn, hb, cs};
    pose.outer[1] = {-sn, hb, -cs};
    pose.outer[2] = {-cs, hb, sn};
    pose.outer[3] = {cs, hb, -sn};
    return pose;
}

// The tracked points of the current motion state, in Pose order.
std::vector<Vec> trackedPoints() {
    std::vector<Vec> points = {toVec(motion.camera.eye), toVec(motion.camera.target), toVec(motion.light.position)};
    for (int s = 1; s < SPHERE_COUNT; ++s) {
        points.push_back(toVec(scene.spheres[s].center));
    }
    return points;
}

std::vector<Vec> poseAsPoints(const Pose& pose) {
    return {pose.eye, pose.target, pose.light, pose.outer[0], pose.outer[1], pose.outer[2], pose.outer[3]};
}

// Float arguments of size a lose about a * 2^-24 before the sine is taken.
double poseTolerance(double a) {
    return 1e-3 + 3e-5 * std::fabs(a);
}

void expectPose(double a, double tolerance) {
    Pose pose = poseAt(a);
    expectVector(motion.camera.eye, pose.eye, tolerance);
    expectVector(motion.camera.target, pose.target, tolerance);
    expectVector(motion.light.position, pose.light, tolerance);
    for (int s = 1; s < SPHERE_COUNT; ++s) {
        SCOPED_TRACE(s + 1);
        expectVector(scene.spheres[s].center, pose.outer[s - 1], tolerance);
    }
    expectVector(scene.spheres[0].center, {0, 20, 0}, 0);
}

void animateWithByte(uint8_t byte) {
    block[0][0] = byte;
    animateScene(block);
}

} // namespace

// ---- Scene table

// Load values of what the motion never writes: the floor, the outer radii
// and the texture store.
TEST(SceneTable, FixedLoadValues) {
    EXPECT_EQ(scene.floor.offset, 0.0f);
    for (int s = 1; s < SPHERE_COUNT; ++s) {
        EXPECT_EQ(scene.spheres[s].radius, 25.0f) << "sphere " << s + 1;
    }
    for (int slot = 0; slot < 4; ++slot) {
        int nonZero = 0;
        for (const auto& texel : textureStore.slots[slot].texels) {
            nonZero += texel[0] != 0 || texel[1] != 0 || texel[2] != 0 || texel[3] != 0;
        }
        EXPECT_EQ(nonZero, 0) << "slot " << slot;
    }
}

// Positions and the angle at load; the first animation overwrites them, so
// this is only meaningful when it runs first (the default order).
TEST(SceneTable, MovingLoadValues) {
    if (motion.angle != 0.0f) {
        GTEST_SKIP() << "something animated before this test (shuffled order)";
    }
    expectVector(scene.spheres[0].center, {0, 0, 0}, 0);
    EXPECT_EQ(scene.spheres[0].radius, 40.0f);
    const Vec outer[4] = {{90, 0, 0}, {-90, 0, 0}, {0, 0, 90}, {0, 0, -90}};
    for (int s = 1; s < SPHERE_COUNT; ++s) {
        SCOPED_TRACE(s + 1);
        expectVector(scene.spheres[s].center, outer[s - 1], 0);
    }
}

TEST(SceneTable, BuildFillsSixEntries) {
    buildScene(&sceneStore);
    EXPECT_EQ(scene.objectCount, 6);
    EXPECT_EQ(scene.fogEnabled, 1);
    const uint8_t kinds[6] = {KIND_FLOOR, KIND_SPHERE, KIND_SPHERE, KIND_SPHERE, KIND_SPHERE, KIND_SPHERE};
    const int slots[6] = {3, 1, 0, 0, 1, 1};
    const uint8_t flags[6] = {0x06, 0x07, 0x07, 0x07, 0x07, 0x07};
    const void* data[6] = {&scene.floor,      &scene.spheres[0], &scene.spheres[1],
                           &scene.spheres[2], &scene.spheres[3], &scene.spheres[4]};
    for (int e = 0; e < SCENE_OBJECT_COUNT; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(scene.objects[e].kind, kinds[e]);
        EXPECT_EQ(scene.objects[e].data, data[e]);
        EXPECT_EQ(scene.objects[e].texture, &sceneStore.slots[slots[e]]);
        EXPECT_EQ(scene.objects[e].flags, flags[e]);
    }
    EXPECT_EQ(SHADE_SHADOWED | SHADE_MIRROR, 0x06);
    EXPECT_EQ(SHADE_LIT | SHADE_SHADOWED | SHADE_MIRROR, 0x07);
    buildScene(&textureStore);
}

TEST(SceneTable, BuildTwiceIsIdenticalAndKeepsSpheres) {
    buildScene(&textureStore);
    motion.angle = 3.0f;
    animateWithByte(40);
    Scene before = scene;
    buildScene(&textureStore);
    buildScene(&textureStore);
    EXPECT_EQ(scene.objectCount, before.objectCount);
    EXPECT_EQ(scene.fogEnabled, before.fogEnabled);
    for (int e = 0; e < SCENE_OBJECT_COUNT; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(scene.objects[e].kind, before.objects[e].kind);
        EXPECT_EQ(scene.objects[e].data, before.objects[e].data);
        EXPECT_EQ(scene.objects[e].texture, before.objects[e].texture);
        EXPECT_EQ(scene.objects[e].flags, before.objects[e].flags);
    }
    EXPECT_EQ(scene.floor.offset, before.floor.offset);
    for (int s = 0; s < SPHERE_COUNT; ++s) {
        SCOPED_TRACE(s + 1);
        expectVector(scene.spheres[s].center, toVec(before.spheres[s].center), 0);
        EXPECT_EQ(scene.spheres[s].radius, before.spheres[s].radius);
    }
    EXPECT_EQ(motion.angle, 3.01f);
}

// ---- Motion

TEST(Motion, FirstFrameUsesOneHundredth) {
    motion.angle = 0;
    animateWithByte(0);
    EXPECT_EQ(motion.angle, 0.01f);
    // At a = 0.01: eye (150 sin 0.02, 50 + 30 sin 0.012, 130 cos 0.027).
    expectVector(motion.camera.eye, {2.99980, 50.35999, 129.95262}, 1e-4);
    expectPose(0.01f, 1e-4);
}

TEST(Motion, HundredFramesAccumulateInFloat) {
    motion.angle = 0;
    for (int frame = 0; frame < 100; ++frame) {
        animateWithByte(0);
    }
    EXPECT_EQ(motion.angle, 0.99999934f);
    EXPECT_NE(motion.angle, 1.0f);
}

TEST(Motion, CameraZoomAndRoll) {
    motion.camera.zoom = 0;
    motion.camera.roll = 0;
    animateWithByte(0);
    EXPECT_EQ(motion.camera.zoom, 2.5f);
    EXPECT_EQ(motion.camera.roll, 3.1415927f);
}

TEST(Motion, PositionsFollowTheAngle) {
    const float starts[] = {0.5f, 1.23f, 7.7f, 40.0f, 777.0f};
    for (float start : starts) {
        SCOPED_TRACE(start);
        motion.angle = start;
        animateWithByte(0);
        EXPECT_NEAR(motion.angle, start + 0.01, 1e-4);
        expectPose(motion.angle, poseTolerance(motion.angle));
    }
}

TEST(Motion, CentreRadiusFollowsFirstByteOfChannelZero) {
    // Other bytes must not matter: fill them with something else.
    for (int channel = 0; channel < BLOCK_CHANNELS; ++channel) {
        for (int i = 0; i < BLOCK_SAMPLES; ++i) {
            block[channel][i] = 200;
        }
    }
    struct Case {
        uint8_t byte;
        double radius; // 30 + 7.5 sin(byte >> 1)
    } cases[] = {
        {0, 30.0},
        {1, 30.0},
        {255, 30 + 7.5 * 0.9726300672}, // sin 127
        {128, 30 + 7.5 * 0.9200260382}, // sin 64: the byte is unsigned
        {127, 30 + 7.5 * 0.1673557003}, // sin 63
    };
    motion.angle = 2.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.byte));
        animateWithByte(c.byte);
        EXPECT_NEAR(scene.spheres[0].radius, c.radius, 1e-4);
        for (int s = 1; s < SPHERE_COUNT; ++s) {
            EXPECT_EQ(scene.spheres[s].radius, 25.0f);
        }
    }
}

TEST(Motion, InvariantsHoldOverManyFrames) {
    motion.angle = 0;
    for (int frame = 0; frame < 5000; ++frame) {
        animateWithByte(uint8_t(frame * 37));
        SCOPED_TRACE(frame);
        EXPECT_FLOAT_EQ(motion.light.position.x, motion.camera.eye.x);
        EXPECT_GE(motion.light.position.y, 65.0f - 1e-4f);
        EXPECT_GE(motion.camera.eye.y, 20.0f - 1e-4f);
        Vector3 outer[4];
        for (int s = 1; s < SPHERE_COUNT; ++s) {
            outer[s - 1] = scene.spheres[s].center;
            EXPECT_NEAR(std::hypot(outer[s - 1].x, outer[s - 1].z), 90, 1e-3);
            EXPECT_GE(outer[s - 1].y, -1e-4f);
            EXPECT_LE(outer[s - 1].y, 40 + 1e-4f);
            EXPECT_EQ(outer[s - 1].y, outer[0].y);
        }
        // Quarter turns: 3 opposite 2, 4 and 5 at right angles to 2.
        EXPECT_NEAR(outer[0].x + outer[1].x, 0, 1e-4);
        EXPECT_NEAR(outer[0].z + outer[1].z, 0, 1e-4);
        EXPECT_NEAR(outer[0].x * outer[2].x + outer[0].z * outer[2].z, 0, 1e-2);
        EXPECT_NEAR(outer[2].x + outer[3].x, 0, 1e-4);
        float radius = scene.spheres[0].radius;
        EXPECT_GE(radius, 22.5f - 1e-4f);
        EXPECT_LE(radius, 37.5f + 1e-4f);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
}

// ---- Long runs of the angle

TEST(AngleWrap, FirstHundredThousandFramesAreFloatSteps) {
    motion.angle = 0;
    float expected = 0;
    int mismatches = 0;
    int firstMismatch = -1;
    for (int frame = 0; frame < 100000; ++frame) {
        expected = expected + 0.01f;
        animateWithByte(0);
        if (motion.angle != expected) {
            mismatches += 1;
            firstMismatch = firstMismatch < 0 ? frame : firstMismatch;
        }
    }
    EXPECT_EQ(mismatches, 0) << "first at frame " << firstMismatch;
    EXPECT_EQ(motion.angle, expected);
    EXPECT_EQ(ANGLE_STEP, 0.01f);
}

TEST(AngleWrap, StaysBoundedOverAMillionFrames) {
    // The wrap constants are whole periods of every motion term (20 pi).
    EXPECT_NEAR(ANGLE_PERIOD, 20 * PI, 1e-5);
    EXPECT_NEAR(ANGLE_WRAP_AT, 32 * 20 * PI, 1e-3);
    EXPECT_NEAR(ANGLE_WRAP_BY, 31 * 20 * PI, 1e-3);

    motion.angle = 0;
    // Our own reference: float steps, wrapped once the angle reaches the limit.
    float reference = 0;
    int expectedWraps = 0;
    int wraps = 0;
    int badSteps = 0;
    float lowest = 1e9f;
    float highest = -1e9f;
    for (int frame = 0; frame < 1000000; ++frame) {
        reference = reference + ANGLE_STEP;
        if (reference >= ANGLE_WRAP_AT) {
            reference = reference - ANGLE_WRAP_BY;
            expectedWraps += 1;
        }
        float before = motion.angle;
        animateWithByte(0);
        float after = motion.angle;
        lowest = std::fmin(lowest, after);
        highest = std::fmax(highest, after);
        double step = double(after) - double(before);
        if (step < 0) {
            wraps += 1;
            // Only when due, and back by exactly the wrap amount.
            bool due = double(before) + 0.01 >= double(ANGLE_WRAP_AT) - 1e-3;
            bool amount = std::fabs(step - (0.01 - double(ANGLE_WRAP_BY))) < 1e-3;
            badSteps += !(due && amount);
        } else {
            // 0.01 rounded to the float grid near 2000 (spacing 1.2e-4).
            badSteps += std::fabs(step - 0.01) > 1e-4;
        }
    }
    EXPECT_EQ(badSteps, 0);
    EXPECT_EQ(wraps, expectedWraps);
    EXPECT_GE(wraps, 4);
    EXPECT_GE(lowest, 0.0f);
    EXPECT_LT(highest, ANGLE_WRAP_AT);
}

TEST(AngleWrap, MotionContinuesSmoothlyAcrossAWrap) {
    motion.angle = ANGLE_WRAP_AT - 0.5f; // some fifty frames before the wrap
    animateWithByte(0);
    std::vector<Vec> previous = trackedPoints();
    std::vector<Vec> previousChange(previous.size(), Vec{0, 0, 0});
    bool wrapped = false;
    for (int frame = 1; frame < 120; ++frame) {
        SCOPED_TRACE(frame);
        float before = motion.angle;
        animateWithByte(0);
        bool wrapFrame = motion.angle < before;
        wrapped = wrapped || wrapFrame;
        std::vector<Vec> points = trackedPoints();
        if (wrapFrame) {
            // Where the unwrapped angle would have put everything.
            std::vector<Vec> unwrapped = poseAsPoints(poseAt(double(before) + 0.01));
            for (size_t p = 0; p < points.size(); ++p) {
                EXPECT_NEAR(length(sub(points[p], unwrapped[p])), 0, 0.15) << "point " << p;
            }
        }
        for (size_t p = 0; p < points.size(); ++p) {
            Vec change = sub(points[p], previous[p]);
            // No point moves more than about 4.7 units per frame, and the
            // change itself changes by under one unit from frame to frame.
            EXPECT_LT(length(change), 5.0) << "point " << p;
            if (frame > 1) {
                EXPECT_LT(length(sub(change, previousChange[p])), 1.0) << "point " << p;
            }
            previousChange[p] = change;
        }
        previous = points;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_LT(motion.angle, 100.0f);
}
