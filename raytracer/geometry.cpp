// Vector operations and the four primitive kinds: preparation and intersection.
#include "raytracer/geometry.h"

#include <cmath>
#include <cstdint>

void cross(Vector3& out, const Vector3& a, const Vector3& b) {
    Vector3 result = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    out = result; // out may alias a or b
}

// Stores a hit at distance t, nearer than the one already held (the tests
// ask notNearer first, sparing the point, normal and texel of a hit they
// would not keep).
static bool recordHit(const SceneObject* entry, HitRecord* hit, float t, const Vector3& point, const Vector3& normal,
                      int32_t u, int32_t v) {
    hit->t = t;
    hit->point = point;
    hit->normal = normal;
    hit->object = entry;
    hit->texture = entry->texture;
    hit->flags = entry->flags;
    hit->u = u;
    hit->v = v;
    return true;
}

// An acceptable hit at distance t that the record already holds one as near as.
static bool notNearer(const HitRecord* hit, float t) {
    return !(t < hit->t);
}

static Vector3 dividedBy(const Vector3& v, float divisor) {
    return {v.x / divisor, v.y / divisor, v.z / divisor};
}

static void prepareNothing(SceneObject*) {}

static void prepareTube(SceneObject* entry) {
    TubeData* tube = static_cast<TubeData*>(entry->data);
    tube->axis = tube->end - tube->start;
    tube->axisLengthSquared = dot(tube->axis, tube->axis);
}

// Normal and the two in-plane axes scaled so that projections give edge coordinates 0..1.
static void prepareParallelogram(SceneObject* entry) {
    ParallelogramData* quad = static_cast<ParallelogramData*>(entry->data);
    Vector3 e1 = quad->edgeEndU - quad->corner;
    Vector3 e2 = quad->edgeEndV - quad->corner;
    cross(quad->normal, e1, e2);
    normalize(quad->normal);
    cross(quad->uAxis, e2, quad->normal);
    cross(quad->vAxis, quad->normal, e1);
    float k = 1.0f / dot(quad->uAxis, e1);
    quad->uAxis = k * quad->uAxis;
    quad->vAxis = k * quad->vAxis;
}

static bool intersectFloor(const Ray* ray, const SceneObject* entry, HitRecord* hit) {
    const FloorPlaneData* floor = static_cast<const FloorPlaneData*>(entry->data);
    const Vector3& o = ray->origin;
    const Vector3& r = ray->direction;
    if (r.y > 0.0f) {
        return false;
    }
    // A ray parallel to the plane divides by zero: -inf or NaN, both rejected below.
    float t = -(floor->offset + o.y) / r.y;
    if (!(t > 0.0f)) {
        return false;
    }
    if (notNearer(hit, t)) {
        return true;
    }
    Vector3 point = o + t * r;
    int32_t u = floorTexel(point.x);
    int32_t v = floorTexel(point.z);
    return recordHit(entry, hit, t, point, Vector3{0.0f, 1.0f, 0.0f}, u, v);
}

static bool intersectSphere(const Ray* ray, const SceneObject* entry, HitRecord* hit) {
    const SphereData* sphere = static_cast<const SphereData*>(entry->data);
    const Vector3& o = ray->origin;
    const Vector3& r = ray->direction;
    Vector3 L = sphere->center - o;
    float b = dot(L, r);
    float disc = b * b - dot(L, L) + sphere->radius * sphere->radius;
    if (disc < 0.0f) {
        return false;
    }
    float s = std::sqrt(disc);
    bool inside = (entry->flags & SHADE_INSIDE) != 0;
    if (inside) {
        s = -s; // the far root: the surface is seen from inside
    }
    float t = b - s;
    if (!(t > 0.0f)) {
        return false;
    }
    if (notNearer(hit, t)) {
        return true;
    }
    Vector3 point = o + t * r;
    Vector3 normal = dividedBy(point - sphere->center, sphere->radius);
    if (inside) {
        normal = -1.0f * normal;
    }
    int32_t u = static_cast<int32_t>(normal.x * 127.0f + 128.0f);
    int32_t v = static_cast<int32_t>(normal.y * 127.0f + 128.0f);
    return recordHit(entry, hit, t, point, normal, u, v);
}

// Open cylinder between start and end; only the near root is tried.
static bool intersectTube(const Ray* ray, const SceneObject* entry, HitRecord* hit) {
    const TubeData* tube = static_cast<const TubeData*>(entry->data);
    const Vector3& o = ray->origin;
    const Vector3& r = ray->direction;

    // Split origin offset and direction into parts along and across the axis
    Vector3 D = o - tube->start;
    float a = dot(D, tube->axis) / tube->axisLengthSquared;
    Vector3 P = D - a * tube->axis;
    float b = dot(r, tube->axis) / tube->axisLengthSquared;
    Vector3 Q = r - b * tube->axis;

    // Solve the quadratic across the axis
    float A2 = 2.0f * dot(Q, Q);
    float B = 2.0f * dot(P, Q);
    float disc = B * B - 2.0f * A2 * (dot(P, P) - tube->radius * tube->radius);
    if (disc < 0.0f) {
        return false;
    }
    float s = std::sqrt(disc);
    bool inside = (entry->flags & SHADE_INSIDE) != 0;
    if (inside) {
        s = -s;
    }
    float t = (-B - s) / A2;
    if (!(t > 0.0f)) {
        return false;
    }

    // Keep the hit only between the two ends
    float m = a + b * t;
    if (!(m > 0.0f) || m >= 1.0f) {
        return false;
    }
    if (notNearer(hit, t)) {
        return true;
    }
    Vector3 point = o + t * r;
    Vector3 normal = dividedBy(point - (tube->start + m * tube->axis), tube->radius);
    if (inside) {
        normal = -1.0f * normal;
    }
    int32_t u = static_cast<int32_t>(normal.x * 127.0f + 128.0f);
    int32_t v = static_cast<int32_t>(m * 255.0f);
    return recordHit(entry, hit, t, point, normal, u, v);
}

static bool intersectParallelogram(const Ray* ray, const SceneObject* entry, HitRecord* hit) {
    const ParallelogramData* quad = static_cast<const ParallelogramData*>(entry->data);
    const Vector3& o = ray->origin;
    const Vector3& r = ray->direction;
    float a = dot(o - quad->corner, quad->normal);
    float b = dot(r, quad->normal);
    if (b == 0.0f) {
        return false;
    }
    float t = -(a / b);
    if (!(t > 0.0f)) {
        return false;
    }
    Vector3 H = o + t * r - quad->corner;
    float pu = dot(H, quad->uAxis);
    if (pu < 0.0f || pu > 1.0f) {
        return false;
    }
    float pv = dot(H, quad->vAxis);
    if (pv < 0.0f || pv > 1.0f) {
        return false;
    }
    if (notNearer(hit, t)) {
        return true;
    }
    Vector3 point = o + t * r;
    int32_t u = static_cast<int32_t>(pu * 255.0f);
    int32_t v = static_cast<int32_t>(pv * 255.0f);
    return recordHit(entry, hit, t, point, quad->normal, u, v);
}

const PrepareRoutine prepareTable[KIND_COUNT] = {
    prepareNothing,       // KIND_FLOOR
    prepareNothing,       // KIND_SPHERE
    prepareTube,          // KIND_TUBE
    prepareParallelogram, // KIND_PARALLELOGRAM
};
static_assert(sizeof(prepareTable) / sizeof(prepareTable[0]) == KIND_COUNT, "one preparation per kind");

const IntersectRoutine intersectTable[KIND_COUNT] = {
    intersectFloor,         // KIND_FLOOR
    intersectSphere,        // KIND_SPHERE
    intersectTube,          // KIND_TUBE
    intersectParallelogram, // KIND_PARALLELOGRAM
};
static_assert(sizeof(intersectTable) / sizeof(intersectTable[0]) == KIND_COUNT, "one test per kind");
