// The culling's bounding spheres: an entry, or a run of entries, that a ray
// is found unable to reach must be one whose exact test keeps nothing, for
// seeded rays that graze each kind of primitive from near and from afar,
// along a tube's axis too, and rays in every direction.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "raytracer/bounds.h"
#include "raytracer/geometry.h"
#include "raytracer/scene.h"

namespace {

// A unit vector across `n`, turned by `angle` about it.
Vector3 acrossTurned(const Vector3& n, float angle) {
    Vector3 helper = std::fabs(n.x) < 0.6f ? Vector3{1.0f, 0.0f, 0.0f} : Vector3{0.0f, 1.0f, 0.0f};
    Vector3 a;
    cross(a, n, helper);
    normalize(a);
    Vector3 b;
    cross(b, n, a);
    return std::cos(angle) * a + std::sin(angle) * b;
}

Vector3 randomUnit(std::mt19937& random) {
    std::normal_distribution<float> normal(0.0f, 1.0f);
    Vector3 v = {normal(random), normal(random), normal(random)};
    return normalize(v);
}

// The floor and a few records of every kind, thin, fat, long and short, at
// random places; prepared as the stage prepares them.
void randomScene(std::mt19937& random) {
    std::uniform_real_distribution<float> place(-300.0f, 300.0f);
    std::uniform_real_distribution<float> size(0.05f, 40.0f);
    scene.floor = {0.0f, 0.0f};
    scene.objects[0] = {KIND_FLOOR, &scene.floor, &textureStore.slots[0], SHADE_LIT};
    int32_t count = 1;
    for (int32_t k = 0; k < 3; k++) {
        scene.spheres[k] = {{place(random), place(random), place(random)}, size(random)};
        uint8_t flags = k == 1 ? SHADE_INSIDE : SHADE_LIT;
        scene.objects[count++] = {KIND_SPHERE, &scene.spheres[k], &textureStore.slots[0], flags};
        Vector3 start = {place(random), place(random), place(random)};
        Vector3 end = start + (k == 0 ? 0.02f : size(random) * 5.0f) * randomUnit(random);
        scene.tubes[k] = {start, end, k == 2 ? 0.05f : size(random), {}, 0.0f};
        scene.objects[count++] = {KIND_TUBE, &scene.tubes[k], &textureStore.slots[0], flags};
        Vector3 corner = {place(random), place(random), place(random)};
        scene.parallelograms[k] = {corner,
                                   corner + size(random) * 3.0f * randomUnit(random),
                                   corner + size(random) * randomUnit(random),
                                   {},
                                   {},
                                   {}};
        scene.objects[count++] = {KIND_PARALLELOGRAM, &scene.parallelograms[k], &textureStore.slots[0], flags};
    }
    scene.objectCount = count;
    for (int32_t i = 0; i < count; i++) {
        prepareTable[scene.objects[i].kind](&scene.objects[i]);
    }
}

// A point on entry i's surface, and the unit normal there.
void surfacePoint(int32_t i, std::mt19937& random, Vector3* point, Vector3* normal) {
    std::uniform_real_distribution<float> unit(-0.05f, 1.05f);
    const SceneObject& entry = scene.objects[i];
    if (entry.kind == KIND_SPHERE) {
        const SphereData* sphere = static_cast<const SphereData*>(entry.data);
        *normal = randomUnit(random);
        *point = sphere->center + sphere->radius * *normal;
    } else if (entry.kind == KIND_TUBE) {
        const TubeData* tube = static_cast<const TubeData*>(entry.data);
        Vector3 along = tube->axis;
        *normal = acrossTurned(normalize(along), unit(random) * 6.3f);
        *point = tube->start + unit(random) * tube->axis + tube->radius * *normal;
    } else {
        const ParallelogramData* quad = static_cast<const ParallelogramData*>(entry.data);
        *normal = quad->normal;
        *point = quad->corner + unit(random) * (quad->edgeEndU - quad->corner) +
                 unit(random) * (quad->edgeEndV - quad->corner);
    }
}

// Whether entry i's exact test keeps a hit in a record holding one at `limit`.
bool keepsAHit(const Ray& ray, int32_t i, float limit) {
    HitRecord hit = {};
    hit.t = limit;
    intersectTable[scene.objects[i].kind](&ray, &scene.objects[i], &hit);
    return hit.t != limit || hit.object != nullptr;
}

// Checks the bounds on one ray against every entry and run for a few
// limits; counts what they skip.
void checkRay(const SceneBounds& bounds, const Ray& ray, float distance, int64_t* skipped) {
    const float limits[] = {NO_HIT, distance * 0.999f, distance, distance * 1.001f, 0.5f * distance};
    for (float limit : limits) {
        for (int32_t i = 1; i < scene.objectCount; i++) {
            if (entryOutOfReach(&bounds, i, &ray, limit)) {
                ++*skipped;
                ASSERT_FALSE(keepsAHit(ray, i, limit)) << "entry " << i << ", limit " << limit;
            }
            if (pastRunOutOfReach(&bounds, i, &ray, limit) != i) {
                for (int32_t j = i; j < runEnd(runOf(i), scene.objectCount); j++) {
                    ASSERT_FALSE(keepsAHit(ray, j, limit)) << "run of entry " << i << ", entry " << j;
                }
            }
        }
    }
}

TEST(Bounds, SkippedEntriesKeepNothing) {
    std::mt19937 random(20261209);
    std::uniform_real_distribution<float> angle(0.0f, 6.3f);
    const float distances[] = {0.5f, 20.0f, 300.0f, 3000.0f};
    const float offsets[] = {-1e-3f, 0.0f, 1e-5f, 1e-4f, 1e-3f, 1e-2f}; // off the surface, of the distance
    int64_t skipped = 0;
    for (int32_t trial = 0; trial < 20; trial++) {
        randomScene(random);
        SceneBounds bounds;
        makeSceneBounds(&bounds);
        ASSERT_EQ(bounds.count, scene.objectCount);
        for (int32_t i = 1; i < scene.objectCount; i++) {
            for (int32_t k = 0; k < 12; k++) {
                // A ray along the surface, just inside or outside, from near and far
                Vector3 point;
                Vector3 normal;
                surfacePoint(i, random, &point, &normal);
                Vector3 along = acrossTurned(normal, angle(random));
                for (float distance : distances) {
                    for (float offset : offsets) {
                        // Along the tangent, passing the point just inside or outside
                        Vector3 origin = point + distance * along + (offset * distance) * normal;
                        Ray tangent = {origin, -1.0f * along};
                        checkRay(bounds, tangent, distance, &skipped);
                        // Aimed at the point from there, and in any direction
                        Ray aimed = {origin, point - origin};
                        normalize(aimed.direction);
                        checkRay(bounds, aimed, distance, &skipped);
                        Ray any = {origin, randomUnit(random)};
                        checkRay(bounds, any, distance, &skipped);
                    }
                }
            }
        }
    }
    EXPECT_GT(skipped, 100000);
}

} // namespace
