// Bounding spheres of the scene's entries and of runs of them.
//
// A skipped test must be one that could not have changed a byte, so each
// sphere holds every point an exact test can report, rounding included, not
// just the primitive. The sphere's and the tube's quadratics subtract nearly
// equal squares when a ray grazes from afar: the tube's discriminant,
// 4 QQ (r^2 - h^2) for a line passing h from the axis, is off by some tens
// of float epsilons (2^-24) times QQ |D|^2, D the origin's offset from the
// tube's start, so a line passing at h^2 up to r^2 + 50 eps |D|^2 may still
// be reported, at a point no farther out. With |D| <= |w| + R, w the
// sphere's centre from the origin, |D|^2 <= 2 (|w|^2 + R^2): a squared reach
// of R^2 + K (|w|^2 + R^2), K = 4e-5 (some 670 epsilons), holds every such
// point with room to spare. The rest rounds in proportion to the lengths
// involved (a parallelogram's point is placed from world coordinates, a
// hit's distance along the ray, at least b - reach, has b off by a few
// epsilons of |w|): the radius is widened by 1e-3 of itself and 1e-4 of the
// centre's distance from the world's origin.
#include "raytracer/bounds.h"

#include <cmath>

thread_local const SceneBounds* cullingBounds = nullptr;

constexpr float RADIUS_WIDENING = 1.001f; // of the radius itself
constexpr float PLACE_WIDENING = 1e-4f;   // of the centre's distance from the world's origin
constexpr float RUN_WIDENING = 1.0001f;   // a run's radius, for the rounding of its members' distances

static float length(const Vector3& v) {
    return std::sqrt(dot(v, v));
}

// Centre and radius of a sphere round the entry's primitive; false for the floor.
static bool primitiveSphere(const SceneObject& entry, Vector3* centre, float* radius) {
    switch (entry.kind) {
    case KIND_SPHERE: {
        const SphereData* sphere = static_cast<const SphereData*>(entry.data);
        *centre = sphere->center;
        *radius = std::fabs(sphere->radius);
        return true;
    }
    case KIND_TUBE: {
        // As the test sees it: from the start along the prepared axis
        const TubeData* tube = static_cast<const TubeData*>(entry.data);
        *centre = tube->start + 0.5f * tube->axis;
        *radius = 0.5f * length(tube->axis) + std::fabs(tube->radius);
        return true;
    }
    case KIND_PARALLELOGRAM: {
        // Half the longer diagonal: the farthest corners from the middle
        const ParallelogramData* quad = static_cast<const ParallelogramData*>(entry.data);
        Vector3 e1 = quad->edgeEndU - quad->corner;
        Vector3 e2 = quad->edgeEndV - quad->corner;
        *centre = quad->corner + 0.5f * (e1 + e2);
        float sum = length(e1 + e2);
        float difference = length(e1 - e2);
        *radius = 0.5f * (sum > difference ? sum : difference);
        return true;
    }
    default:
        return false;
    }
}

void makeSceneBounds(SceneBounds* bounds) {
    bounds->count = scene.objectCount;

    // Each entry's sphere, widened for rounding
    for (int32_t i = 0; i < scene.objectCount; i++) {
        Vector3 centre = {};
        float radius = 0.0f;
        bool bounded = primitiveSphere(scene.objects[i], &centre, &radius);
        float place = std::fabs(centre.x) + std::fabs(centre.y) + std::fabs(centre.z);
        float widened = RADIUS_WIDENING * radius + PLACE_WIDENING * place;
        float reach = widened * widened + REACH_PER_DISTANCE_SQUARED * radius * radius;
        // An infinite or NaN record gets no sphere: its entry is always tested
        bounds->bounded[i] = bounded && std::isfinite(reach) && std::isfinite(place);
        bounds->entries[i] = {centre, reach};
        // A sphere's own test costs no more than trying its bound
        bounds->checkFirst[i] = bounds->bounded[i] && scene.objects[i].kind != KIND_SPHERE;

        // A tube's axis, its radius widened as the sphere's is
        bounds->hasAxis[i] = 0;
        if (bounds->bounded[i] && scene.objects[i].kind == KIND_TUBE) {
            const TubeData* tube = static_cast<const TubeData*>(scene.objects[i].data);
            float axisLength = length(tube->axis);
            float across = RADIUS_WIDENING * std::fabs(tube->radius) + PLACE_WIDENING * place;
            Vector3 direction = (1.0f / axisLength) * tube->axis;
            bounds->axes[i] = {direction, across * across + REACH_PER_DISTANCE_SQUARED * radius * radius};
            bounds->hasAxis[i] = axisLength > 0.0f && std::isfinite(axisLength);
        }
    }

    // Each run's sphere round its entries' spheres: the middle of their
    // centres' box, and the farthest reach from it. An entry reaches
    // sqrt(reach + K |w_i|^2) <= sqrt(reach) + sqrt(K) (|w| + d_i), d_i its
    // centre's distance from the run's, so the run reaches the largest
    // d_i (1 + sqrt(K)) + sqrt(reach), plus sqrt(K) |w|.
    int32_t runs = scene.objectCount > 1 ? runOf(scene.objectCount - 1) + 1 : 0;
    for (int32_t run = 0; run < runs; run++) {
        int32_t first = 1 + run * BOUND_RUN;
        int32_t end = runEnd(run, scene.objectCount);
        bool bounded = true;
        Vector3 low = bounds->entries[first].centre;
        Vector3 high = low;
        for (int32_t i = first; i < end; i++) {
            const Vector3& c = bounds->entries[i].centre;
            bounded = bounded && bounds->bounded[i];
            low = {std::fmin(low.x, c.x), std::fmin(low.y, c.y), std::fmin(low.z, c.z)};
            high = {std::fmax(high.x, c.x), std::fmax(high.y, c.y), std::fmax(high.z, c.z)};
        }
        Vector3 centre = 0.5f * (low + high);
        float reach = 0.0f;
        for (int32_t i = first; i < end; i++) {
            float d = length(bounds->entries[i].centre - centre);
            float own = d * (1.0f + REACH_PER_DISTANCE) + std::sqrt(bounds->entries[i].reach);
            reach = own > reach ? own : reach;
        }
        bounds->runs[run] = {centre, RUN_WIDENING * reach};
        bounds->runBounded[run] = bounded && std::isfinite(reach);
    }
}
