// Vector helpers, the four primitive kinds and their preparation and
// intersection routines, checked against hand-worked rays and seeded
// random rays whose results are re-derived in double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "raytracer/geometry.h"
#include "raytracer/scene.h"
#include "tests/native/reference_vector.h"

namespace {

Texture* const TEST_TEXTURE = &textureStore.slots[2]; // only its address is used

SceneObject makeEntry(uint8_t kind, void* data, uint8_t flags) {
    SceneObject entry{};
    entry.kind = kind;
    entry.data = data;
    entry.texture = TEST_TEXTURE;
    entry.flags = flags;
    return entry;
}

HitRecord freshHit() {
    HitRecord hit{};
    hit.t = NO_HIT;
    return hit;
}

Ray makeRay(Vector3 origin, Vector3 direction) {
    return Ray{origin, direction};
}

bool intersect(const Ray& ray, const SceneObject& entry, HitRecord& hit) {
    return intersectTable[entry.kind](&ray, &entry, &hit);
}

void prepare(SceneObject& entry) {
    prepareTable[entry.kind](&entry);
}

void expectVector(const Vector3& actual, double x, double y, double z, double tolerance = 1e-5) {
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

// A record already holding a nearer hit, with a value in every field.
HitRecord nearerHit(const SceneObject* other) {
    HitRecord hit{};
    hit.t = 1.0f;
    hit.point = {1, 2, 3};
    hit.normal = {0, 0, 1};
    hit.object = other;
    hit.texture = nullptr;
    hit.flags = 0x55;
    hit.u = 7;
    hit.v = 9;
    return hit;
}

void expectUnchanged(const HitRecord& hit, const SceneObject* other) {
    EXPECT_EQ(hit.t, 1.0f);
    expectVector(hit.point, 1, 2, 3, 0);
    expectVector(hit.normal, 0, 0, 1, 0);
    EXPECT_EQ(hit.object, other);
    EXPECT_EQ(hit.texture, nullptr);
    EXPECT_EQ(hit.flags, 0x55);
    EXPECT_EQ(hit.u, 7);
    EXPECT_EQ(hit.v, 9);
}

// Floor hit straight below (x, 10, z); returns the record.
HitRecord floorHitBelow(float x, float z) {
    FloorPlaneData floor{0, 0};
    SceneObject entry = makeEntry(KIND_FLOOR, &floor, 0);
    HitRecord hit = freshHit();
    EXPECT_TRUE(intersect(makeRay({x, 10, z}, {0, -1, 0}), entry, hit));
    return hit;
}

Vector3 randomDirection(std::mt19937& rng) {
    std::normal_distribution<double> gauss(0.0, 1.0);
    Vec d{gauss(rng), gauss(rng), gauss(rng)};
    double n = length(d);
    return {float(d.x / n), float(d.y / n), float(d.z / n)};
}

Vector3 randomPoint(std::mt19937& rng, float extent) {
    std::uniform_real_distribution<float> coordinate(-extent, extent);
    float x = coordinate(rng);
    float y = coordinate(rng);
    float z = coordinate(rng);
    return {x, y, z};
}

// A ray from a random origin aimed at a random point within `spread` of `near`.
Ray aimedRay(std::mt19937& rng, float extent, Vector3 near, float spread) {
    Vector3 origin = randomPoint(rng, extent);
    Vector3 aim = near + randomPoint(rng, spread) - origin;
    return makeRay(origin, normalize(aim));
}

} // namespace

// ---- Vectors

TEST(Vectors, DotAndCross) {
    EXPECT_EQ(dot({1, 2, 3}, {4, -5, 6}), 12.0f);
    Vector3 out{};
    cross(out, {1, 0, 0}, {0, 1, 0});
    expectVector(out, 0, 0, 1, 0);
    cross(out, {1, 2, 3}, {4, 5, 6});
    expectVector(out, -3, 6, -3, 0);
}

TEST(Vectors, NormalizeInPlace) {
    Vector3 v{3, 0, -4};
    Vector3& result = normalize(v);
    EXPECT_EQ(&result, &v);
    expectVector(v, 0.6, 0, -0.8, 1e-7);
}

TEST(Vectors, Operators) {
    expectVector(Vector3{1, 2, 3} + Vector3{4, 5, 6}, 5, 7, 9, 0);
    expectVector(Vector3{1, 2, 3} - Vector3{4, 6, 8}, -3, -4, -5, 0);
    expectVector(2.5f * Vector3{1, -2, 4}, 2.5, -5, 10, 0);
}

// ---- Floor plane

TEST(Floor, HitFillsWholeRecord) {
    FloorPlaneData floor{0, 0};
    SceneObject entry = makeEntry(KIND_FLOOR, &floor, SHADE_SHADOWED | SHADE_MIRROR);
    SceneObject other{};
    HitRecord hit = nearerHit(&other);
    hit.t = 100.0f;
    // Direction (0.6, -0.8, 0) from height 10 meets y = 0 after 12.5 units.
    ASSERT_TRUE(intersect(makeRay({0, 10, 3}, {0.6f, -0.8f, 0}), entry, hit));
    EXPECT_NEAR(hit.t, 12.5, 1e-5);
    expectVector(hit.point, 7.5, 0, 3);
    expectVector(hit.normal, 0, 1, 0, 0);
    EXPECT_EQ(hit.object, &entry);
    EXPECT_EQ(hit.texture, TEST_TEXTURE);
    EXPECT_EQ(hit.flags, SHADE_SHADOWED | SHADE_MIRROR);
    EXPECT_EQ(hit.u, 7);
    EXPECT_EQ(hit.v, 3);
}

TEST(Floor, OffsetLowersThePlane) {
    FloorPlaneData floor{123.0f, 5.0f};
    SceneObject entry = makeEntry(KIND_FLOOR, &floor, 0);
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 10, 0}, {0, -1, 0}), entry, hit));
    EXPECT_EQ(hit.t, 15.0f);
    expectVector(hit.point, 0, -5, 0, 0);
}

TEST(Floor, Misses) {
    FloorPlaneData floor{0, 0};
    SceneObject entry = makeEntry(KIND_FLOOR, &floor, 0);
    HitRecord hit = freshHit();
    EXPECT_FALSE(intersect(makeRay({0, 10, 0}, {1, 0, 0}), entry, hit)) << "parallel ray above the floor";
    EXPECT_FALSE(intersect(makeRay({0, 10, 0}, {0, 1, 0}), entry, hit)) << "rising ray";
    EXPECT_FALSE(intersect(makeRay({0, -1, 0}, {0, -1, 0}), entry, hit)) << "ray below the floor going down";
    EXPECT_FALSE(intersect(makeRay({0, 0, 0}, {0, -1, 0}), entry, hit)) << "ray starting on the floor (t = 0)";
    EXPECT_EQ(hit.t, NO_HIT);
}

TEST(Floor, TextureCoordinatesTruncateTowardZero) {
    EXPECT_EQ(floorHitBelow(-0.5f, 0).u, 0);
    EXPECT_EQ(floorHitBelow(0.5f, 0).u, 0);
    EXPECT_EQ(floorHitBelow(-1.5f, 0).u, 255);
    EXPECT_EQ(floorHitBelow(1.5f, 0).u, 1);
    EXPECT_EQ(floorHitBelow(255.5f, 0).u, 255);
    EXPECT_EQ(floorHitBelow(256.5f, 0).u, 0);
    EXPECT_EQ(floorHitBelow(-256.5f, 0).u, 0);
    EXPECT_EQ(floorHitBelow(-257.5f, 0).u, 255);
    EXPECT_EQ(floorHitBelow(0, -0.5f).v, 0);
    EXPECT_EQ(floorHitBelow(0, -1.5f).v, 255);
    EXPECT_EQ(floorHitBelow(0, 300.25f).v, 44);
}

// ---- Sphere

TEST(Sphere, NearRootAndRecord) {
    SphereData sphere{{0, 0, 10}, 2};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, SHADE_LIT);
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 0, 0}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.t, 8.0f);
    expectVector(hit.point, 0, 0, 8, 0);
    expectVector(hit.normal, 0, 0, -1, 0);
    EXPECT_EQ(hit.object, &entry);
    EXPECT_EQ(hit.texture, TEST_TEXTURE);
    EXPECT_EQ(hit.flags, SHADE_LIT);
    EXPECT_EQ(hit.u, 128);
    EXPECT_EQ(hit.v, 128);
}

TEST(Sphere, TextureCoordinatesAtThePoles) {
    SphereData sphere{{0, 0, 0}, 2};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, 0);
    struct Case {
        Vector3 origin, direction;
        int32_t u, v;
    } cases[] = {
        {{0, 10, 0}, {0, -1, 0}, 128, 255}, // top: normal y = 1
        {{0, -10, 0}, {0, 1, 0}, 128, 1},   // bottom: normal y = -1
        {{10, 0, 0}, {-1, 0, 0}, 255, 128}, // normal x = 1
        {{-10, 0, 0}, {1, 0, 0}, 1, 128},   // normal x = -1
    };
    for (const Case& c : cases) {
        HitRecord hit = freshHit();
        ASSERT_TRUE(intersect(makeRay(c.origin, c.direction), entry, hit));
        EXPECT_EQ(hit.t, 8.0f);
        EXPECT_EQ(hit.u, c.u);
        EXPECT_EQ(hit.v, c.v);
    }
}

TEST(Sphere, TextureCoordinatesTruncateFractions) {
    // Grazing rays meet (3, 4, 0) and (-3, -4, 0) of a radius-5 sphere
    // exactly: normals (0.6, 0.8, 0) and (-0.6, -0.8, 0).
    SphereData sphere{{0, 0, 0}, 5};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, 0);
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({3, 4, -10}, {0, 0, 1}), entry, hit));
    expectVector(hit.normal, 0.6, 0.8, 0);
    EXPECT_EQ(hit.u, 204); // 76.2 + 128
    EXPECT_EQ(hit.v, 229); // 101.6 + 128
    hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({-3, -4, -10}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.u, 51); // -76.2 + 128
    EXPECT_EQ(hit.v, 26); // -101.6 + 128
}

TEST(Sphere, GrazingRayIsAHit) {
    // L = (-2, 0, 10), b = 10: disc = 100 - 104 + 4 = 0 exactly.
    SphereData sphere{{0, 0, 0}, 2};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, 0);
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({2, 0, -10}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.t, 10.0f);
    expectVector(hit.point, 2, 0, 0, 0);
    expectVector(hit.normal, 1, 0, 0, 0);
    EXPECT_EQ(hit.u, 255);
    HitRecord miss = freshHit();
    EXPECT_FALSE(intersect(makeRay({2.001f, 0, -10}, {0, 0, 1}), entry, miss));
}

TEST(Sphere, BehindOrFromInsideMisses) {
    SphereData sphere{{0, 0, 0}, 2};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, SHADE_LIT | SHADE_MIRROR);
    HitRecord hit = freshHit();
    EXPECT_FALSE(intersect(makeRay({0, 0, 0}, {0, 0, 1}), entry, hit)) << "from the centre";
    EXPECT_FALSE(intersect(makeRay({0, 0, -1}, {0, 0, 1}), entry, hit)) << "from inside, off centre";
    EXPECT_FALSE(intersect(makeRay({0, 0, 10}, {0, 0, 1}), entry, hit)) << "sphere behind the origin";
    EXPECT_EQ(hit.t, NO_HIT);
}

TEST(Sphere, InsideSurfaceTakesFarRootAndFlipsNormal) {
    SphereData sphere{{0, 0, 0}, 2};
    SceneObject entry = makeEntry(KIND_SPHERE, &sphere, SHADE_INSIDE);
    // From inside: L = (0, 0, 1), b = 1, disc = 4, t = 1 + 2.
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 0, -1}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.t, 3.0f);
    expectVector(hit.point, 0, 0, 2, 0);
    expectVector(hit.normal, 0, 0, -1, 0);
    EXPECT_EQ(hit.flags, SHADE_INSIDE);
    // Upwards from the centre: normal (0, -1, 0) gives row 1.
    hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 0, 0}, {0, 1, 0}), entry, hit));
    EXPECT_EQ(hit.t, 2.0f);
    expectVector(hit.normal, 0, -1, 0, 0);
    EXPECT_EQ(hit.u, 128);
    EXPECT_EQ(hit.v, 1);
    // From outside the far side is found: t = 10 + 2.
    hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 0, -10}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.t, 12.0f);
}

// ---- Tube

TEST(Tube, PrepareDerivesAxis) {
    TubeData tube{{1, 2, 3}, {4, 6, 3}, 1, {}, 0};
    SceneObject entry = makeEntry(KIND_TUBE, &tube, 0);
    prepare(entry);
    expectVector(tube.axis, 3, 4, 0, 0);
    EXPECT_EQ(tube.axisLengthSquared, 25.0f);
    expectVector(tube.start, 1, 2, 3, 0);
    expectVector(tube.end, 4, 6, 3, 0);
    EXPECT_EQ(tube.radius, 1.0f);
}

// A tube standing on the origin, 10 high, radius 2.
struct TubeTest : ::testing::Test {
    TubeData tube{{0, 0, 0}, {0, 10, 0}, 2, {}, 0};
    SceneObject entry = makeEntry(KIND_TUBE, &tube, 0);
    void SetUp() override { prepare(entry); }
};

TEST_F(TubeTest, SideHit) {
    // D = (-10, 5, 0): a = 0.5, P = (-10, 0, 0); Q = (1, 0, 0); A2 = 2, B = -20,
    // disc = 400 - 4 * 96 = 16, t = (20 - 4) / 2 = 8, m = 0.5.
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({-10, 5, 0}, {1, 0, 0}), entry, hit));
    EXPECT_EQ(hit.t, 8.0f);
    expectVector(hit.point, -2, 5, 0, 0);
    expectVector(hit.normal, -1, 0, 0, 0);
    EXPECT_EQ(hit.object, &entry);
    EXPECT_EQ(hit.texture, TEST_TEXTURE);
    EXPECT_EQ(hit.u, 1);
    EXPECT_EQ(hit.v, 127);
    // At a quarter of the height from the +z side: v = trunc(63.75).
    hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 2.5f, 10}, {0, 0, -1}), entry, hit));
    EXPECT_EQ(hit.t, 8.0f);
    expectVector(hit.normal, 0, 0, 1, 0);
    EXPECT_EQ(hit.u, 128);
    EXPECT_EQ(hit.v, 63);
}

TEST_F(TubeTest, NearRootBeyondAnEndMisses) {
    // Near root at t = 5 lies at m = 1.1 (above the end); the far root at
    // m = 0.57 would be inside the length but is not tried.
    HitRecord hit = freshHit();
    EXPECT_FALSE(intersect(makeRay({-5, 15, 0}, {0.6f, -0.8f, 0}), entry, hit));
    // Mirrored below the start: near root at m = -0.1.
    EXPECT_FALSE(intersect(makeRay({-5, -5, 0}, {0.6f, 0.8f, 0}), entry, hit));
    // Exactly at either end: m = 0 and m = 1 are both outside.
    EXPECT_FALSE(intersect(makeRay({-10, 0, 0}, {1, 0, 0}), entry, hit));
    EXPECT_FALSE(intersect(makeRay({-10, 10, 0}, {1, 0, 0}), entry, hit));
    EXPECT_EQ(hit.t, NO_HIT);
}

TEST_F(TubeTest, Misses) {
    HitRecord hit = freshHit();
    EXPECT_FALSE(intersect(makeRay({-10, 5, 3}, {1, 0, 0}), entry, hit)) << "passes beside";
    EXPECT_FALSE(intersect(makeRay({10, 5, 0}, {1, 0, 0}), entry, hit)) << "tube behind";
    EXPECT_FALSE(intersect(makeRay({0, 5, 0}, {1, 0, 0}), entry, hit)) << "from inside, outer surface";
    EXPECT_FALSE(intersect(makeRay({5, -5, 0}, {0, 1, 0}), entry, hit)) << "along the axis direction";
    EXPECT_EQ(hit.t, NO_HIT);
}

TEST_F(TubeTest, InsideSurfaceTakesFarRoot) {
    entry.flags = SHADE_INSIDE;
    // P = 0, B = 0, disc = 16, s = -4: t = 4 / 2.
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({0, 5, 0}, {1, 0, 0}), entry, hit));
    EXPECT_EQ(hit.t, 2.0f);
    expectVector(hit.point, 2, 5, 0, 0);
    expectVector(hit.normal, -1, 0, 0, 0);
    EXPECT_EQ(hit.u, 1);
    EXPECT_EQ(hit.v, 127);
}

// ---- Parallelogram

TEST(Parallelogram, PrepareDerivesAxes) {
    // e1 = (2, 0, 0), e2 = (1, 2, 0): normal (0, 0, 1); uAxis = (2, -1, 0) / 4,
    // vAxis = (0, 2, 0) / 4.
    ParallelogramData quad{{1, 1, 1}, {3, 1, 1}, {2, 3, 1}, {}, {}, {}};
    SceneObject entry = makeEntry(KIND_PARALLELOGRAM, &quad, 0);
    prepare(entry);
    expectVector(quad.normal, 0, 0, 1, 0);
    expectVector(quad.uAxis, 0.5, -0.25, 0, 0);
    expectVector(quad.vAxis, 0, 0.5, 0, 0);
}

TEST(Parallelogram, SkewedInteriorAndOutside) {
    ParallelogramData quad{{1, 1, 1}, {3, 1, 1}, {2, 3, 1}, {}, {}, {}};
    SceneObject entry = makeEntry(KIND_PARALLELOGRAM, &quad, SHADE_MIRROR);
    prepare(entry);
    // The centre corner + (e1 + e2) / 2 = (2.5, 2, 1): pu = pv = 0.5.
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({2.5f, 2, 5}, {0, 0, -1}), entry, hit));
    EXPECT_EQ(hit.t, 4.0f);
    expectVector(hit.point, 2.5, 2, 1, 0);
    expectVector(hit.normal, 0, 0, 1, 0);
    EXPECT_EQ(hit.object, &entry);
    EXPECT_EQ(hit.texture, TEST_TEXTURE);
    EXPECT_EQ(hit.flags, SHADE_MIRROR);
    EXPECT_EQ(hit.u, 127);
    EXPECT_EQ(hit.v, 127);
    // (1.1, 2.9) is inside the bounding box but left of the slanted edge.
    HitRecord miss = freshHit();
    EXPECT_FALSE(intersect(makeRay({1.1f, 2.9f, 5}, {0, 0, -1}), entry, miss));
}

// Corner at the origin, U edge to (4, 0, 0), V edge to (0, 2, 0).
struct QuadTest : ::testing::Test {
    ParallelogramData quad{{0, 0, 0}, {4, 0, 0}, {0, 2, 0}, {}, {}, {}};
    SceneObject entry = makeEntry(KIND_PARALLELOGRAM, &quad, 0);
    void SetUp() override { prepare(entry); }
    bool hitsAt(float x, float y, HitRecord& hit) { return intersect(makeRay({x, y, 5}, {0, 0, -1}), entry, hit); }
};

TEST_F(QuadTest, EdgesAreHits) {
    struct Case {
        float x, y;
        int32_t u, v;
    } cases[] = {{0, 0, 0, 0}, {4, 2, 255, 255}, {4, 1, 255, 127}, {2, 0, 127, 0}, {0, 2, 0, 255}};
    for (const Case& c : cases) {
        HitRecord hit = freshHit();
        ASSERT_TRUE(hitsAt(c.x, c.y, hit)) << c.x << ", " << c.y;
        EXPECT_EQ(hit.t, 5.0f);
        EXPECT_EQ(hit.u, c.u);
        EXPECT_EQ(hit.v, c.v);
    }
}

TEST_F(QuadTest, JustOutsideMisses) {
    HitRecord hit = freshHit();
    EXPECT_FALSE(hitsAt(4.001f, 1, hit));
    EXPECT_FALSE(hitsAt(-0.001f, 1, hit));
    EXPECT_FALSE(hitsAt(2, 2.001f, hit));
    EXPECT_FALSE(hitsAt(2, -0.001f, hit));
    EXPECT_EQ(hit.t, NO_HIT);
}

TEST_F(QuadTest, BackSideKeepsPreparedNormal) {
    HitRecord hit = freshHit();
    ASSERT_TRUE(intersect(makeRay({1, 0.5f, -5}, {0, 0, 1}), entry, hit));
    EXPECT_EQ(hit.t, 5.0f);
    expectVector(hit.normal, 0, 0, 1, 0);
    EXPECT_EQ(hit.u, 63);
    EXPECT_EQ(hit.v, 63);
}

TEST_F(QuadTest, ParallelOrBehindMisses) {
    HitRecord hit = freshHit();
    EXPECT_FALSE(intersect(makeRay({1, 0.5f, 5}, {1, 0, 0}), entry, hit)) << "parallel above the plane";
    EXPECT_FALSE(intersect(makeRay({-1, 0.5f, 0}, {1, 0, 0}), entry, hit)) << "parallel within the plane";
    EXPECT_FALSE(intersect(makeRay({1, 0.5f, 5}, {0, 0, 1}), entry, hit)) << "behind the origin";
    EXPECT_EQ(hit.t, NO_HIT);
}

// ---- Tables and the shared record rule

TEST(Tables, FloorAndSpherePrepareTouchNothing) {
    FloorPlaneData floor{7, 3};
    SphereData sphere{{1, 2, 3}, 4};
    SceneObject floorEntry = makeEntry(KIND_FLOOR, &floor, 0);
    SceneObject sphereEntry = makeEntry(KIND_SPHERE, &sphere, 0);
    prepare(floorEntry);
    prepare(sphereEntry);
    EXPECT_EQ(floor.reserved, 7.0f);
    EXPECT_EQ(floor.offset, 3.0f);
    expectVector(sphere.center, 1, 2, 3, 0);
    EXPECT_EQ(sphere.radius, 4.0f);
    EXPECT_EQ(floorEntry.texture, TEST_TEXTURE);
}

TEST(Tables, FartherHitReportsTrueAndKeepsRecord) {
    FloorPlaneData floor{0, 0};
    SphereData sphere{{0, -5, 0}, 2};
    TubeData tube{{0, -10, 0}, {0, 10, 0}, 2, {}, 0};
    ParallelogramData quad{{-1, -1, -3}, {1, -1, -3}, {-1, 1, -3}, {}, {}, {}};
    SceneObject entries[] = {
        makeEntry(KIND_FLOOR, &floor, 0),
        makeEntry(KIND_SPHERE, &sphere, 0),
        makeEntry(KIND_TUBE, &tube, 0),
        makeEntry(KIND_PARALLELOGRAM, &quad, 0),
    };
    Ray rays[] = {
        makeRay({0, 10, 0}, {0, -1, 0}), // floor at t = 10
        makeRay({0, 10, 0}, {0, -1, 0}), // sphere at t = 13
        makeRay({-10, 0, 0}, {1, 0, 0}), // tube at t = 8
        makeRay({0, 0, 10}, {0, 0, -1}), // parallelogram at t = 13
    };
    SceneObject other{};
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        SCOPED_TRACE(kind);
        prepare(entries[kind]);
        HitRecord check = freshHit();
        ASSERT_TRUE(intersect(rays[kind], entries[kind], check)) << "the ray must hit on its own";
        ASSERT_GT(check.t, 1.0f);
        HitRecord hit = nearerHit(&other);
        EXPECT_TRUE(intersect(rays[kind], entries[kind], hit));
        expectUnchanged(hit, &other);
    }
}

TEST(Tables, NearestHitDoesNotDependOnOrder) {
    std::mt19937 rng(20240611);
    SphereData first{{0, 0, 0}, 5};
    SphereData second{{0, 0, 0}, 5};
    SceneObject a = makeEntry(KIND_SPHERE, &first, 0);
    SceneObject b = makeEntry(KIND_SPHERE, &second, 0);
    int bothHit = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        // Both spheres roughly along the ray, in random order.
        Ray ray = makeRay(randomPoint(rng, 30), randomDirection(rng));
        std::uniform_real_distribution<float> along(10, 60);
        first.center = ray.origin + along(rng) * ray.direction + randomPoint(rng, 4);
        second.center = ray.origin + along(rng) * ray.direction + randomPoint(rng, 4);
        HitRecord alone[2] = {freshHit(), freshHit()};
        bool hitA = intersect(ray, a, alone[0]);
        bool hitB = intersect(ray, b, alone[1]);
        HitRecord ab = freshHit();
        HitRecord ba = freshHit();
        EXPECT_EQ(intersect(ray, a, ab), hitA);
        EXPECT_EQ(intersect(ray, b, ab), hitB);
        EXPECT_EQ(intersect(ray, b, ba), hitB);
        EXPECT_EQ(intersect(ray, a, ba), hitA);
        const HitRecord& nearest = alone[0].t <= alone[1].t ? alone[0] : alone[1];
        EXPECT_EQ(ab.t, nearest.t);
        EXPECT_EQ(ba.t, nearest.t);
        if (nearest.t != NO_HIT && alone[0].t != alone[1].t) {
            EXPECT_EQ(ab.object, nearest.object);
            EXPECT_EQ(ba.object, nearest.object);
            EXPECT_EQ(ab.u, nearest.u);
            EXPECT_EQ(ba.v, nearest.v);
        }
        bothHit += hitA && hitB;
    }
    EXPECT_GT(bothHit, 100);
}

// ---- Seeded property checks

TEST(SphereProperties, RandomRaysLandOnTheSurface) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> radius(1, 40);
    int hits = 0;
    int inconclusive = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        SphereData sphere{randomPoint(rng, 50), radius(rng)};
        SceneObject entry = makeEntry(KIND_SPHERE, &sphere, 0);
        Ray ray = aimedRay(rng, 120, sphere.center, 1.2f * sphere.radius);
        HitRecord hit = freshHit();
        bool reported = intersect(ray, entry, hit);
        // The same test worked in double precision.
        Vec o = toVec(ray.origin);
        Vec r = toVec(ray.direction);
        Vec L = sub(toVec(sphere.center), o);
        double b = dotd(L, r);
        double disc = b * b - dotd(L, L) + double(sphere.radius) * sphere.radius;
        double t = disc >= 0 ? b - std::sqrt(disc) : -1;
        if (std::fabs(disc) < 1.0 || std::fabs(t) < 1e-2) {
            ++inconclusive; // too close to grazing or to the origin for float to decide
            continue;
        }
        ASSERT_EQ(reported, t > 0) << "trial " << trial;
        if (!reported) {
            EXPECT_EQ(hit.t, NO_HIT);
            continue;
        }
        ++hits;
        EXPECT_NEAR(hit.t, t, 1e-3 * (1 + t));
        Vec p = toVec(hit.point);
        EXPECT_NEAR(length(sub(p, add(o, scale(hit.t, r)))), 0, 1e-3);
        // Float rounding of the discriminant (a few ulps of b*b and L.L) moves
        // the point off the surface by up to about that error / (2 radius).
        double offSurface = 3e-7 * (b * b + dotd(L, L)) / sphere.radius + 1e-4;
        EXPECT_NEAR(length(sub(p, toVec(sphere.center))), sphere.radius, offSurface);
        // The normal is (point - centre) / radius: unit up to the same rounding.
        EXPECT_NEAR(length(toVec(hit.normal)), 1, offSurface / sphere.radius);
        Vec fromCentre = scale(1.0 / sphere.radius, sub(p, toVec(sphere.center)));
        EXPECT_NEAR(length(sub(toVec(hit.normal), fromCentre)), 0, 1e-5);
        EXPECT_GE(hit.u, 0);
        EXPECT_LE(hit.u, 255);
        EXPECT_GE(hit.v, 0);
        EXPECT_LE(hit.v, 255);
    }
    EXPECT_GT(hits, 500);
    EXPECT_LT(inconclusive, 250);
}

TEST(SphereProperties, RayLeavingTheSurfaceDoesNotReturn) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> radius(1, 40);
    for (int trial = 0; trial < 5000; ++trial) {
        SphereData sphere{randomPoint(rng, 50), radius(rng)};
        SceneObject entry = makeEntry(KIND_SPHERE, &sphere, SHADE_MIRROR);
        Vector3 n = randomDirection(rng);
        Vector3 direction = randomDirection(rng);
        if (dot(direction, n) < 0) {
            direction = -1.0f * direction;
        }
        if (dot(direction, n) < 0.01f) {
            continue;
        }
        Ray ray = makeRay(sphere.center + sphere.radius * n, direction);
        HitRecord hit = freshHit();
        EXPECT_FALSE(intersect(ray, entry, hit)) << "trial " << trial;
        EXPECT_EQ(hit.t, NO_HIT);
    }
}

TEST(SphereProperties, MirrorRayFromAHitDoesNotReturn) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> radius(1, 40);
    int tested = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        SphereData sphere{randomPoint(rng, 50), radius(rng)};
        SceneObject entry = makeEntry(KIND_SPHERE, &sphere, SHADE_MIRROR);
        // Aim at a random point of the sphere from outside.
        Vector3 origin = sphere.center + (sphere.radius + 60) * randomDirection(rng);
        Vector3 aim = sphere.center + (0.9f * sphere.radius) * randomDirection(rng) - origin;
        Ray ray = makeRay(origin, normalize(aim));
        HitRecord hit = freshHit();
        ASSERT_TRUE(intersect(ray, entry, hit));
        float cosine = -dot(ray.direction, hit.normal);
        if (cosine < 0.05f) {
            continue; // near-grazing: the bounce leaves almost along the surface
        }
        ++tested;
        Vector3 reflected = ray.direction - (2 * dot(ray.direction, hit.normal)) * hit.normal;
        Ray bounce = makeRay(hit.point, normalize(reflected));
        HitRecord again = freshHit();
        EXPECT_FALSE(intersect(bounce, entry, again)) << "trial " << trial << " t " << again.t;
    }
    EXPECT_GT(tested, 3000);
}

TEST(TubeProperties, RandomRaysLandOnTheSurface) {
    std::mt19937 rng(4321);
    std::uniform_real_distribution<float> radius(1, 20);
    int hits = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        TubeData tube{randomPoint(rng, 40), randomPoint(rng, 40), radius(rng), {}, 0};
        SceneObject entry = makeEntry(KIND_TUBE, &tube, trial % 2 ? SHADE_INSIDE : 0);
        prepare(entry);
        Ray ray = aimedRay(rng, 60, 0.5f * (tube.start + tube.end), tube.radius + 10);
        HitRecord hit = freshHit();
        if (!intersect(ray, entry, hit)) {
            continue;
        }
        ++hits;
        Vec start = toVec(tube.start);
        Vec axis = sub(toVec(tube.end), start);
        Vec p = toVec(hit.point);
        double m = dotd(sub(p, start), axis) / dotd(axis, axis);
        Vec across = sub(sub(p, start), scale(m, axis));
        double scaleOfScene = 1 + length(axis) + tube.radius;
        EXPECT_GT(hit.t, 0);
        EXPECT_NEAR(length(across), tube.radius, 1e-4 * scaleOfScene);
        EXPECT_GT(m, -1e-4);
        EXPECT_LT(m, 1 + 1e-4);
        EXPECT_NEAR(length(toVec(hit.normal)), 1, 1e-3);
        EXPECT_NEAR(dotd(toVec(hit.normal), axis) / length(axis), 0, 1e-3);
        // The normal points away from the axis, or towards it for an inside surface.
        double outward = dotd(toVec(hit.normal), across);
        EXPECT_TRUE(trial % 2 ? outward < 0 : outward > 0);
        EXPECT_GE(hit.u, 0);
        EXPECT_LE(hit.u, 255);
        EXPECT_GE(hit.v, 0);
        EXPECT_LE(hit.v, 255);
    }
    EXPECT_GT(hits, 300);
}

TEST(ParallelogramProperties, RandomRaysLandInside) {
    std::mt19937 rng(555);
    int hits = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        Vector3 corner = randomPoint(rng, 20);
        ParallelogramData quad{corner, corner + randomPoint(rng, 30), corner + randomPoint(rng, 30), {}, {}, {}};
        SceneObject entry = makeEntry(KIND_PARALLELOGRAM, &quad, 0);
        prepare(entry);
        Ray ray = aimedRay(rng, 40, 0.5f * (quad.edgeEndU + quad.edgeEndV), 10);
        HitRecord hit = freshHit();
        if (!intersect(ray, entry, hit)) {
            continue;
        }
        ++hits;
        // Solve point = corner + pu * e1 + pv * e2 in double.
        Vec e1 = sub(toVec(quad.edgeEndU), toVec(corner));
        Vec e2 = sub(toVec(quad.edgeEndV), toVec(corner));
        Vec h = sub(toVec(hit.point), toVec(corner));
        double a11 = dotd(e1, e1);
        double a12 = dotd(e1, e2);
        double a22 = dotd(e2, e2);
        double det = a11 * a22 - a12 * a12;
        double pu = (dotd(h, e1) * a22 - dotd(h, e2) * a12) / det;
        double pv = (dotd(h, e2) * a11 - dotd(h, e1) * a12) / det;
        Vec inPlane = add(toVec(corner), add(scale(pu, e1), scale(pv, e2)));
        EXPECT_GT(hit.t, 0);
        EXPECT_NEAR(length(sub(toVec(hit.point), inPlane)), 0, 1e-3);
        EXPECT_GT(pu, -1e-3);
        EXPECT_LT(pu, 1 + 1e-3);
        EXPECT_GT(pv, -1e-3);
        EXPECT_LT(pv, 1 + 1e-3);
        EXPECT_NEAR(length(toVec(hit.normal)), 1, 1e-4);
        EXPECT_NEAR(dotd(toVec(hit.normal), e1), 0, 1e-3 * length(e1));
        EXPECT_NEAR(dotd(toVec(hit.normal), e2), 0, 1e-3 * length(e2));
        EXPECT_GE(hit.u, 0);
        EXPECT_LE(hit.u, 255);
        EXPECT_GE(hit.v, 0);
        EXPECT_LE(hit.v, 255);
    }
    EXPECT_GT(hits, 300);
}

TEST(FloorProperties, RandomRaysLandOnThePlane) {
    std::mt19937 rng(31337);
    std::uniform_real_distribution<float> offset(-20, 20);
    int hits = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        FloorPlaneData floor{0, offset(rng)};
        SceneObject entry = makeEntry(KIND_FLOOR, &floor, 0);
        Ray ray = makeRay(randomPoint(rng, 500), randomDirection(rng));
        HitRecord hit = freshHit();
        bool above = ray.origin.y > -floor.offset;
        bool reported = intersect(ray, entry, hit);
        EXPECT_EQ(reported, above && ray.direction.y < 0) << "trial " << trial;
        if (!reported) {
            continue;
        }
        ++hits;
        EXPECT_NEAR(hit.point.y, -floor.offset, 1e-3 * (1 + hit.t));
        EXPECT_GE(hit.u, 0);
        EXPECT_LE(hit.u, 255);
        EXPECT_GE(hit.v, 0);
        EXPECT_LE(hit.v, 255);
    }
    EXPECT_GT(hits, 1000);
}
