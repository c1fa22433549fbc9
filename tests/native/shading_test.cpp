// traceRay on small scenes written straight into the scene table: depth
// limit, sky, fog, lit and unlit surfaces, refraction, reflection and
// shadow. Expected colours are worked in double precision from the
// lighting rules; the scene is rebuilt after every test.
#include <gtest/gtest.h>

#include <cmath>

#include "raytracer/scene.h"
#include "raytracer/shading.h"
#include "tests/native/reference_vector.h"

namespace {

TextureStore shadingStore; // slot 0 black, the others filled in SetUpTestSuite

struct Colour {
    double red, green, blue;
};
Colour scaled(double s, Colour c) {
    return {s * c.red, s * c.green, s * c.blue};
}
Colour plus(Colour a, Colour b) {
    return {a.red + b.red, a.green + b.green, a.blue + b.blue};
}
Colour plusAll(Colour c, double s) {
    return {c.red + s, c.green + s, c.blue + s};
}

constexpr Colour SKY = {128, 128, 255};
constexpr Colour BLACK = {0, 0, 0};
constexpr Colour WARM = {200, 100, 40}; // texture slot 1
constexpr Colour GREY = {100, 50, 20};  // texture slot 2
constexpr Colour COOL = {30, 160, 220}; // texture slot 3

void fillSlot(int slot, Colour c) {
    for (auto& texel : shadingStore.slots[slot].texels) {
        texel[0] = uint8_t(c.blue);
        texel[1] = uint8_t(c.green);
        texel[2] = uint8_t(c.red);
        texel[3] = 77; // never read
    }
}

// Highlight of step "specular": pow(dot(H, N), 32) * 255 when positive.
double specular(Vec light, Vec point, Vec normal, Vec view) {
    Vec toLight = unit(sub(light, point));
    Vec half = unit(sub(toLight, view));
    double d = dotd(half, normal);
    return d > 0 ? std::pow(d, 32) * 255 : 0;
}

// A lit surface: ambient, diffuse and highlight.
Colour lit(Colour texel, Vec light, Vec point, Vec normal, Vec view) {
    double diffuse = std::fmax(dotd(unit(sub(light, point)), normal), 0.0);
    return plusAll(scaled(0.3 + diffuse, texel), specular(light, point, normal, view));
}

// An unlit surface within 450 units of the light.
Colour unlit(Colour texel, Vec light, Vec point) {
    Vec toLight = sub(light, point);
    double fallOff = dotd(toLight, toLight) * 4.9382716e-6;
    return scaled((1 - fallOff) * 1.3, texel);
}

Colour fogged(Colour c, double t) {
    double f = (400 - t) * 0.01;
    double g = (1 - f) * 255;
    return {f * c.red + g / 2, f * c.green + g / 2, f * c.blue + g};
}

// Scene records of our own, pointed to by the table during a test.
FloorPlaneData testFloor;
SphereData testSpheres[SCENE_OBJECT_COUNT];
ParallelogramData testQuad;

struct ShadingTest : ::testing::Test {
    static void SetUpTestSuite() {
        fillSlot(0, BLACK);
        fillSlot(1, WARM);
        fillSlot(2, GREY);
        fillSlot(3, COOL);
    }

    // Floor y = 0 in entry 0; entries 1 to 5 parked far below it, where
    // no ray of these tests goes.
    void SetUp() override {
        testFloor = {0, 0};
        setEntry(0, KIND_FLOOR, &testFloor, 0, 0);
        for (int e = 1; e < SCENE_OBJECT_COUNT; ++e) {
            testSpheres[e] = {{float(e * 10), -5000, 0}, 1};
            setEntry(e, KIND_SPHERE, &testSpheres[e], 0, 0);
        }
        scene.objectCount = SCENE_OBJECT_COUNT;
        scene.fogEnabled = 1;
        refractInside = 0;
    }

    void TearDown() override {
        buildScene(&textureStore);
        refractInside = 0;
    }

    void setEntry(int e, uint8_t kind, void* data, int slot, uint8_t flags) {
        scene.objects[e].kind = kind;
        scene.objects[e].data = data;
        scene.objects[e].texture = &shadingStore.slots[slot];
        scene.objects[e].flags = flags;
    }

    void placeSphere(int e, Vector3 centre, float radius, int slot, uint8_t flags) {
        testSpheres[e] = {centre, radius};
        setEntry(e, KIND_SPHERE, &testSpheres[e], slot, flags);
    }

    // Traces from `origin` along normalised `toward`, with the given start values.
    Colour trace(uint32_t depth, Vector3 origin, Vector3 toward, Vector3 light, Vector3 view,
                 Colour start = {0, 0, 0}) {
        Ray ray{origin, normalize(toward)};
        lastHit = HitRecord{};
        lastHit.t = NO_HIT;
        float red = float(start.red);
        float green = float(start.green);
        float blue = float(start.blue);
        traceRay(depth, &ray, &lastHit, &light, &view, &red, &green, &blue);
        return {red, green, blue};
    }

    HitRecord lastHit{};
};

void expectColour(Colour actual, Colour expected, double tolerance = 2e-3) {
    EXPECT_NEAR(actual.red, expected.red, tolerance);
    EXPECT_NEAR(actual.green, expected.green, tolerance);
    EXPECT_NEAR(actual.blue, expected.blue, tolerance);
}

const Vector3 DOWN = {0, -1, 0};
const Vector3 UP = {0, 1, 0};

} // namespace

// ---- Depth limit, sky and fog

TEST_F(ShadingTest, DepthLimitGivesBlackEvenInFog) {
    expectColour(trace(5, {0, 10, 0}, UP, {0, 100, 0}, UP, {9, 9, 9}), BLACK, 0);
    expectColour(trace(7, {0, 10, 0}, UP, {0, 100, 0}, UP, {9, 9, 9}), BLACK, 0);
    expectColour(trace(4, {0, 10, 0}, UP, {0, 100, 0}, UP, {9, 9, 9}), SKY, 0);
}

TEST_F(ShadingTest, MissGivesSky) {
    expectColour(trace(0, {0, 10, 0}, UP, {0, 100, 0}, UP, {9, 9, 9}), SKY, 0);
    EXPECT_EQ(lastHit.t, NO_HIT);
    scene.fogEnabled = 0;
    expectColour(trace(0, {0, 10, 0}, UP, {0, 100, 0}, UP, {9, 9, 9}), BLACK, 0);
}

// The floor, unlit, 225 units below the light: (1 - 0.25) x 1.3 x texel.
TEST_F(ShadingTest, FogBlendsBetween300And400) {
    setEntry(0, KIND_FLOOR, &testFloor, 1, 0);
    const Vector3 light = {0, 225, 0};
    Colour surface = unlit(WARM, toVec(light), {0, 0, 0});
    expectColour(surface, {195, 97.5, 39}, 1e-3);
    Colour at350 = trace(0, {0, 350, 0}, DOWN, light, DOWN);
    EXPECT_EQ(lastHit.t, 350.0f);
    expectColour(at350, {0.5 * 195 + 63.75, 0.5 * 97.5 + 63.75, 0.5 * 39 + 127.5});
    expectColour(trace(0, {0, 300, 0}, DOWN, light, DOWN), surface);
    expectColour(trace(0, {0, 400, 0}, DOWN, light, DOWN), SKY, 0);
    expectColour(trace(0, {0, 399, 0}, DOWN, light, DOWN), fogged(surface, 399));
    scene.fogEnabled = 0;
    expectColour(trace(0, {0, 350, 0}, DOWN, light, DOWN), surface);
}

// ---- Surfaces

TEST_F(ShadingTest, UnlitFarFromLightKeepsWhatItHeld) {
    setEntry(0, KIND_FLOOR, &testFloor, 1, 0);
    // 500 units from the light: fall-off 1.23, nothing written.
    expectColour(trace(0, {0, 100, 0}, DOWN, {0, 500, 0}, DOWN, {11, 22, 33}), {11, 22, 33}, 0);
}

TEST_F(ShadingTest, FarFloorMirrorIsBlackBeforeReflection) {
    setEntry(0, KIND_FLOOR, &testFloor, 1, SHADE_MIRROR);
    // The bounce goes straight up into the sky.
    expectColour(trace(0, {0, 100, 0}, DOWN, {0, 600, 0}, DOWN), scaled(0.4, SKY));
    // Whatever the caller passed in is mixed in as the surface's own colour.
    expectColour(trace(0, {0, 100, 0}, DOWN, {0, 600, 0}, DOWN, {10, 20, 30}),
                 plus(scaled(0.6, {10, 20, 30}), scaled(0.4, SKY)));
}

TEST_F(ShadingTest, LitSurfaceIsNotClamped) {
    placeSphere(1, {0, 50, 0}, 10, 2, SHADE_LIT);
    // Light straight above the top point, camera looking down: full
    // diffuse and a full highlight of 255 on top of 1.3 x texel.
    Colour top = trace(0, {0, 100, 0}, DOWN, {0, 160, 0}, DOWN);
    EXPECT_EQ(lastHit.t, 40.0f);
    EXPECT_EQ(lastHit.object, &scene.objects[1]);
    expectColour(top, {130 + 255, 65 + 255, 26 + 255});
}

TEST_F(ShadingTest, LitSurfaceAtAnAngle) {
    placeSphere(1, {0, 50, 0}, 10, 2, SHADE_LIT);
    const Vec point = {0, 60, 0};
    const Vec normal = {0, 1, 0};
    // Light 45 degrees off the normal: diffuse 0.7071, highlight 255 x cos(22.5)^32.
    Colour angled = trace(0, {0, 100, 0}, DOWN, {0, 160, 100}, DOWN);
    Colour expected = lit(GREY, {0, 160, 100}, point, normal, {0, -1, 0});
    expectColour(expected, plusAll(scaled(0.3 + std::sqrt(0.5), GREY), 255 * std::pow(0.9238795325, 32)), 1e-6);
    expectColour(angled, expected);
    // Light below the tangent plane: ambient and a faint highlight only.
    Colour behind = trace(0, {0, 100, 0}, DOWN, {0, 40, 200}, DOWN);
    expectColour(behind, lit(GREY, {0, 40, 200}, point, normal, {0, -1, 0}));
    EXPECT_NEAR(behind.red, 30, 0.01);
}

TEST_F(ShadingTest, BlackLitPointFacingAwayShowsOnlyItsReflection) {
    placeSphere(1, {0, 50, 0}, 10, 0, SHADE_LIT | SHADE_MIRROR);
    // Top point, light to the side and a view along +y: dot(H, N) < 0.
    const Vector3 light = {0, 65, 100};
    const Vector3 view = {0, 1, 0};
    EXPECT_EQ(specular(toVec(light), {0, 60, 0}, {0, 1, 0}, toVec(view)), 0);
    expectColour(trace(0, {0, 100, 0}, DOWN, light, view), scaled(0.4, SKY));
    // The same point in the shadow of a small sphere: the mixture is halved.
    scene.objects[1].flags = SHADE_LIT | SHADE_MIRROR | SHADE_SHADOWED;
    placeSphere(2, {0, 62.5f, 50}, 5, 1, SHADE_LIT);
    expectColour(trace(0, {0, 100, 0}, DOWN, light, view), scaled(0.2, SKY));
}

TEST_F(ShadingTest, ReflectionAtTheLastLevelIsBlack) {
    setEntry(0, KIND_FLOOR, &testFloor, 1, SHADE_MIRROR);
    const Vector3 light = {0, 225, 0};
    Colour surface = unlit(WARM, toVec(light), {0, 0, 0});
    expectColour(trace(4, {0, 100, 0}, DOWN, light, DOWN), scaled(0.6, surface));
    expectColour(trace(0, {0, 100, 0}, DOWN, light, DOWN), plus(scaled(0.6, surface), scaled(0.4, SKY)));
}

// ---- Refraction
//
// A large horizontal sheet at y = 50 facing down, entered from below at
// (0, 50, 0). Two unlit target spheres sit 100 units on: one on the bent
// path, one straight on; the colour says which one the ray reached.

struct RefractionTest : ShadingTest {
    Vector3 light = {0, 300, 0}; // above the sheet: no highlight for these views
    const Vec entry = {0, 50, 0};

    void SetUp() override {
        ShadingTest::SetUp();
        // e1 along x, e2 along z: normal (0, -1, 0).
        testQuad = {{-1000, 50, -1000}, {1000, 50, -1000}, {-1000, 50, 1000}, {}, {}, {}};
        setEntry(1, KIND_PARALLELOGRAM, &testQuad, 1, SHADE_REFRACT);
        prepareTable[KIND_PARALLELOGRAM](&scene.objects[1]);
    }

    void placeTargets(Vec bent, Vec straight) {
        placeSphere(2, centreAlong(bent), 5, 2, 0);
        placeSphere(3, centreAlong(straight), 5, 3, 0);
    }

    static Vector3 centreAlong(Vec direction) {
        return {float(100 * direction.x), float(50 + 100 * direction.y), float(100 * direction.z)};
    }

    // The colour of a target reached along `direction`, plus the sheet's highlight.
    Colour expectedThrough(Vec direction, Colour texel, Vec view) {
        Vec centre = toVec(centreAlong(direction));
        Vec near = {centre.x - 5 * direction.x, centre.y - 5 * direction.y, centre.z - 5 * direction.z};
        return plusAll(unlit(texel, toVec(light), near), specular(toVec(light), entry, {0, -1, 0}, view));
    }

    Colour shoot(Vec direction, Vec view) {
        Vector3 d = {float(direction.x), float(direction.y), float(direction.z)};
        Vector3 v = {float(view.x), float(view.y), float(view.z)};
        Vector3 origin = {float(-50 * direction.x), float(50 - 50 * direction.y), float(-50 * direction.z)};
        return trace(0, origin, d, light, v);
    }
};

TEST_F(RefractionTest, BendsTowardsTheNormal) {
    // c = 0.6, eta = 0.8: k = 1 - 0.64 x 0.64 = 0.5904; the new direction is
    // (0.48 - sqrt(k)) N + 0.8 d = (0.64, 0.768375, 0).
    Vec d = {0.8, 0.6, 0};
    Vec bent = {0.64, std::sqrt(0.5904), 0};
    placeTargets(bent, d);
    Colour c = shoot(d, d);
    EXPECT_EQ(refractInside, 1);
    expectColour(c, expectedThrough(bent, GREY, d));
}

TEST_F(RefractionTest, GrazingRayContinuesStraight) {
    // c = 0.2: k = 1 - 0.64 x 0.96 = 0.3856, under 0.4 though not negative.
    Vec d = {std::sqrt(0.96), 0.2, 0};
    double k = 0.3856;
    Vec wouldBend = unit({0.8 * d.x, (std::sqrt(k) - 0.16) + 0.8 * d.y, 0});
    placeTargets(wouldBend, d);
    Colour c = shoot(d, d);
    EXPECT_EQ(refractInside, 1);
    expectColour(c, expectedThrough(d, COOL, d));
}

TEST_F(RefractionTest, InsideRatioSendsSteeperRaysStraight) {
    // With refractInside = 1, eta = 1.25 and c = 0.6 give k = 0.
    refractInside = 1;
    Vec d = {0.8, 0.6, 0};
    placeTargets({0.64, std::sqrt(0.5904), 0}, d);
    Colour c = shoot(d, d);
    EXPECT_EQ(refractInside, 0);
    expectColour(c, expectedThrough(d, COOL, d));
}

TEST_F(RefractionTest, InsideRatioBendsAwayFromTheNormal) {
    // c = 0.9, eta = 1.25: k = 1 - 1.5625 x 0.19 = 0.703125; the direction is
    // (1.125 - sqrt(k)) N + 1.25 d, already of unit length.
    refractInside = 1;
    Vec d = {std::sqrt(0.19), 0.9, 0};
    double k = 0.703125;
    Vec bent = {1.25 * d.x, -(1.125 - std::sqrt(k)) + 1.25 * d.y, 0};
    EXPECT_NEAR(dotd(bent, bent), 1, 1e-12);
    placeTargets(bent, d);
    Colour c = shoot(d, d);
    EXPECT_EQ(refractInside, 0);
    expectColour(c, expectedThrough(bent, GREY, d));
}

TEST_F(RefractionTest, AddsTheSheetHighlightAgain) {
    // With the light below the sheet and a view along +y, H is the sheet's
    // normal: a full highlight of 255 on top of the refracted colour.
    light = {0, 10, 0};
    Vec d = {0.8, 0.6, 0};
    Vec bent = {0.64, std::sqrt(0.5904), 0};
    placeTargets(bent, d);
    EXPECT_NEAR(specular(toVec(light), entry, {0, -1, 0}, {0, 1, 0}), 255, 1e-9);
    expectColour(shoot(d, {0, 1, 0}), expectedThrough(bent, GREY, {0, 1, 0}));
}

TEST_F(RefractionTest, RefractedRayIntoNothingGivesSky) {
    Vec d = {0.8, 0.6, 0};
    expectColour(shoot(d, d), SKY);
    scene.fogEnabled = 0;
    expectColour(shoot(d, d), BLACK);
}

// ---- Shadow
//
// Sphere points: the top of a sphere at (0, 20, 0), radius 10, seen from
// straight above, with the light far to the side at (-200, 40, 0).

struct ShadowTest : ShadingTest {
    const Vector3 light = {-200, 40, 0};
    const Vec top = {0, 30, 0};

    void SetUp() override {
        ShadingTest::SetUp();
        placeSphere(1, {0, 20, 0}, 10, 2, SHADE_LIT | SHADE_SHADOWED);
    }

    Colour shade() { return trace(0, {0, 100, 0}, DOWN, light, DOWN); }
    Colour unshadowed() { return lit(GREY, toVec(light), top, {0, 1, 0}, {0, -1, 0}); }
};

TEST_F(ShadowTest, NothingInTheWay) {
    expectColour(shade(), unshadowed());
}

TEST_F(ShadowTest, SphereNearerThanTheLightHalves) {
    placeSphere(2, {-100, 35, 0}, 10, 1, SHADE_LIT | SHADE_SHADOWED | SHADE_MIRROR);
    expectColour(shade(), scaled(0.5, unshadowed()));
}

TEST_F(ShadowTest, SphereBeyondTheLightDoesNot) {
    placeSphere(2, {-300, 45, 0}, 10, 1, SHADE_LIT);
    expectColour(shade(), unshadowed());
}

TEST_F(ShadowTest, NearBlockerAfterAFarOneStillHalves) {
    placeSphere(2, {-300, 45, 0}, 10, 1, SHADE_LIT);
    placeSphere(3, {-100, 35, 0}, 10, 1, SHADE_LIT);
    expectColour(shade(), scaled(0.5, unshadowed()));
    // Two blockers halve only once.
    placeSphere(2, {-50, 32.5f, 0}, 10, 1, SHADE_LIT);
    expectColour(shade(), scaled(0.5, unshadowed()));
}

// Side point (0, 50, -10) of a sphere at (0, 50, 0), light below it at
// (0, 20, -40): the shadow ray falls towards the floor.
TEST_F(ShadowTest, FloorBeyondTheLightEndsTheSearch) {
    placeSphere(1, {0, 50, 0}, 10, 2, SHADE_LIT | SHADE_SHADOWED);
    // A sphere between the point and the light is never asked, since the
    // floor answers first: no halving.
    placeSphere(2, {0, 35, -25}, 5, 1, SHADE_LIT);
    const Vector3 lowLight = {0, 20, -40};
    Colour c = trace(0, {0, 50, -100}, {0, 0, 1}, lowLight, {0, 0, 1});
    EXPECT_EQ(lastHit.t, 90.0f);
    expectColour(c, lit(GREY, toVec(lowLight), {0, 50, -10}, {0, 0, -1}, {0, 0, 1}));
}

TEST_F(ShadowTest, FloorBeforeTheLightHalvesASpherePoint) {
    placeSphere(1, {0, 50, 0}, 10, 2, SHADE_LIT | SHADE_SHADOWED);
    const Vector3 underFloor = {0, -30, -90};
    Colour c = trace(0, {0, 50, -100}, {0, 0, 1}, underFloor, {0, 0, 1});
    expectColour(c, scaled(0.5, lit(GREY, toVec(underFloor), {0, 50, -10}, {0, 0, -1}, {0, 0, 1})));
}

// Floor point (0, 0, 0) seen at 45 degrees, light 200 units above it.
TEST_F(ShadowTest, FloorPointUnderASphereIsHalved) {
    setEntry(0, KIND_FLOOR, &testFloor, 1, SHADE_SHADOWED);
    placeSphere(1, {10, -5000, 0}, 1, 0, 0);
    const Vector3 overhead = {0, 200, 0};
    Colour full = unlit(WARM, toVec(overhead), {0, 0, 0});
    expectColour(trace(0, {-100, 100, 0}, {1, -1, 0}, overhead, DOWN), full);
    placeSphere(3, {0, 50, 0}, 10, 1, SHADE_LIT);
    expectColour(trace(0, {-100, 100, 0}, {1, -1, 0}, overhead, DOWN), scaled(0.5, full));
    placeSphere(3, {0, 300, 0}, 10, 1, SHADE_LIT);
    expectColour(trace(0, {-100, 100, 0}, {1, -1, 0}, overhead, DOWN), full);
}

TEST_F(ShadowTest, FogActsAfterTheShadow) {
    // Floor point 350 units along the ray, in the shadow of a sphere.
    setEntry(0, KIND_FLOOR, &testFloor, 1, SHADE_SHADOWED);
    placeSphere(1, {0, 100, 0}, 10, 1, SHADE_LIT);
    const Vector3 overhead = {0, 225, 0};
    Colour c = trace(0, {-210, 280, 0}, {0.6f, -0.8f, 0}, overhead, DOWN);
    EXPECT_NEAR(lastHit.t, 350, 1e-3);
    expectColour(c, fogged(scaled(0.5, unlit(WARM, toVec(overhead), {0, 0, 0})), lastHit.t));
    expectColour(c, {0.25 * 195 + 63.75, 0.25 * 97.5 + 63.75, 0.25 * 39 + 127.5}, 0.01);
}

// ---- A ray leaving a flat mirror

TEST_F(ShadingTest, RayLeavingAParallelogramMirrorNeverMeetsItAgain) {
    // A tilted black mirror under rays from many points above: every
    // reflection rises into the sky, so each ray sees 0.4 of it; a
    // reflected ray that met its own plane again at a rounding error's
    // distance would show as a dark speck.
    testQuad = {{-40, 20, -30}, {45, 31, -25}, {-35, 26, 50}, {}, {}, {}};
    setEntry(1, KIND_PARALLELOGRAM, &testQuad, 0, SHADE_MIRROR);
    prepareTable[KIND_PARALLELOGRAM](&scene.objects[1]);
    const Vector3 light = {0, 200, 0};
    int mirrorHits = 0;
    int specks = 0;
    for (int i = 0; i < 160; ++i) {
        for (int j = 0; j < 160; ++j) {
            Vector3 origin = {float(i) * 0.37f - 30, 90 + float(j % 7), float(j) * 0.41f - 25};
            Vector3 toward = {float(i % 11) * 0.013f - 0.07f, -1, float(j % 13) * 0.011f - 0.06f};
            Colour seen = trace(0, origin, toward, light, DOWN);
            if (lastHit.object != &scene.objects[1]) {
                continue;
            }
            mirrorHits++;
            Colour sky = scaled(0.4, SKY);
            specks += (std::fabs(seen.red - sky.red) > 1e-3 || std::fabs(seen.blue - sky.blue) > 1e-3) ? 1 : 0;
        }
    }
    EXPECT_GT(mirrorHits, 20000);
    EXPECT_EQ(specks, 0);
}
