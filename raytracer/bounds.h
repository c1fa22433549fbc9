// Spheres round the scene's entries, and round runs of consecutive entries,
// that let a tracer skip an entry's exact test when a ray cannot reach it:
// made once per call of a packet tracer from the table as it then stands.
#pragma once
#include <cmath>
#include <cstdint>
#include "raytracer/geometry.h"
#include "raytracer/scene.h"

constexpr int32_t BOUND_RUN = 4;                                                    // entries a run's sphere holds
constexpr int32_t MAX_BOUND_RUNS = (MAX_SCENE_OBJECTS + BOUND_RUN - 2) / BOUND_RUN; // runs start at entry 1

// Widening of an entry's squared reach per unit of the squared distance
// from the ray's origin to its centre: the exact tests' rounding, worst
// where a ray grazes a tube from afar (see bounds.cpp).
constexpr float REACH_PER_DISTANCE_SQUARED = 4e-5f;
// Its square root, the widening of a run's linear reach per unit of distance.
constexpr float REACH_PER_DISTANCE = 6.33e-3f;

// A sphere round an entry or a run, widened for rounding.
struct BoundSphere {
    Vector3 centre;
    float reach; // entries: the squared radius before the distance's share; runs: the radius before it
};

// Below this squared sine of the angle between a ray and a tube's axis the
// ray's distance from the axis rounds too coarsely to pass the tube over by it.
constexpr float TUBE_NEAR_PARALLEL = 1e-4f;

// A tube's axis line, through its sphere's centre, widened as the sphere is:
// a tighter bound than the sphere round a long thin tube.
struct AxisBound {
    Vector3 direction; // unit
    float reach;       // the squared distance from the line before the distance's share
};

static_assert(MAX_SCENE_OBJECTS <= 64, "a set of entries is a 64-bit word");

// Every entry's sphere and every run's; the floor has none.
struct SceneBounds {
    BoundSphere entries[MAX_SCENE_OBJECTS]; // entry i's sphere, read only where bounded[i]
    AxisBound axes[MAX_SCENE_OBJECTS];      // entry i's axis, read only where hasAxis[i]
    uint8_t hasAxis[MAX_SCENE_OBJECTS];     // 1 for a tube with an axis bound
    BoundSphere runs[MAX_BOUND_RUNS];       // run r holds entries 1 + r * BOUND_RUN onwards, BOUND_RUN of them
    uint8_t bounded[MAX_SCENE_OBJECTS];     // 1 for an entry with a sphere
    uint8_t checkFirst[MAX_SCENE_OBJECTS];  // 1 where trying the sphere first pays: not a sphere's own, as dear
    uint8_t runBounded[MAX_BOUND_RUNS];     // 1 for a run whose every entry has one
    int32_t count;                          // entries of the table when made
};

// The bounds the tracer on this thread traces with, or null while none are
// set: set by the packet tracers' rows of a scene other than the fixed one
// while culling is on, and read by traceRay and the shadow test.
extern thread_local const SceneBounds* cullingBounds;

// Fills `bounds` from the scene table as it stands.
void makeSceneBounds(SceneBounds* bounds);

// The run holding entry i (i > 0), and the first entry past it.
inline int32_t runOf(int32_t i) {
    return (i - 1) / BOUND_RUN;
}
inline int32_t runEnd(int32_t run, int32_t count) {
    int32_t end = 1 + (run + 1) * BOUND_RUN;
    return end < count ? end : count;
}

// Whether no point of the ball of squared radius `reachSq` whose centre lies
// at `w` from the origin is on the ray (unit direction `d`) at a distance in
// (0, limit]: wholly behind the origin, wholly beyond the limit, or off the
// ray's line. NaN anywhere answers false, so the entry is tested.
inline bool outOfReach(const Vector3& w, const Vector3& d, float reachSq, float limit) {
    float b = dot(w, d);
    if (b < 0.0f && b * b > reachSq) {
        return true;
    }
    float beyond = b - limit;
    if (beyond > 0.0f && beyond * beyond > reachSq) {
        return true;
    }
    // The squared distance from the centre to the line, without the
    // cancellation of dot(w, w) - b * b
    float cx = w.y * d.z - w.z * d.y;
    float cy = w.z * d.x - w.x * d.z;
    float cz = w.x * d.y - w.y * d.x;
    return cx * cx + cy * cy + cz * cz > reachSq;
}

// The squared reach of entry i's sphere from `origin`, and its centre from there.
inline float entryReachSq(const SceneBounds* bounds, int32_t i, const Vector3& origin, Vector3* w) {
    const BoundSphere& s = bounds->entries[i];
    *w = s.centre - origin;
    return s.reach + REACH_PER_DISTANCE_SQUARED * dot(*w, *w);
}

// The squared reach of a run's sphere from `origin`, and its centre from there.
inline float runReachSq(const SceneBounds* bounds, int32_t run, const Vector3& origin, Vector3* w) {
    const BoundSphere& s = bounds->runs[run];
    *w = s.centre - origin;
    float reach = s.reach + REACH_PER_DISTANCE * std::sqrt(dot(*w, *w));
    return reach * reach;
}

// Where a loop over the entries goes on from entry i for a ray reaching no
// farther than `limit`: past i's run when i begins a run out of its reach,
// else i itself.
inline int32_t pastRunOutOfReach(const SceneBounds* bounds, int32_t i, const Ray* ray, float limit) {
    if (i == 0 || (i - 1) % BOUND_RUN != 0) {
        return i;
    }
    int32_t run = runOf(i);
    if (!bounds->runBounded[run]) {
        return i;
    }
    Vector3 w;
    float reachSq = runReachSq(bounds, run, ray->origin, &w);
    return outOfReach(w, ray->direction, reachSq, limit) ? runEnd(run, bounds->count) : i;
}

// Whether a ray (unit direction `d`) passes a tube's widened axis bound by,
// `w` being its sphere's centre from the ray's origin: the distance between
// the two lines, |w . n| / |n| for n = d x axis, beyond the reach.
inline bool offAxis(const AxisBound& axis, const Vector3& w, const Vector3& d) {
    const Vector3& u = axis.direction;
    Vector3 n = {d.y * u.z - d.z * u.y, d.z * u.x - d.x * u.z, d.x * u.y - d.y * u.x};
    float nn = dot(n, n);
    float across = dot(w, n);
    return nn > TUBE_NEAR_PARALLEL && across * across > (axis.reach + REACH_PER_DISTANCE_SQUARED * dot(w, w)) * nn;
}

// Whether entry i, with a sphere, is out of the reach of a ray reaching no farther than `limit`.
inline bool entryOutOfReach(const SceneBounds* bounds, int32_t i, const Ray* ray, float limit) {
    Vector3 w;
    float reachSq = entryReachSq(bounds, i, ray->origin, &w);
    return outOfReach(w, ray->direction, reachSq, limit) ||
           (bounds->hasAxis[i] && offAxis(bounds->axes[i], w, ray->direction));
}

// How far a shadow ray from `o` is followed: the light's distance widened
// for the rounding of the squared distance to a hit that the shadow test
// compares with `lightDistanceSquared`.
inline float shadowReachLimit(const Vector3& o, float lightDistanceSquared) {
    return 1.001f * std::sqrt(lightDistanceSquared) + 1e-4f * (std::fabs(o.x) + std::fabs(o.y) + std::fabs(o.z));
}
