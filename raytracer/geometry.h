// Vectors, rays, hit records, scene entries and the four primitive kinds
// with their preparation routines and intersection tests.
#pragma once
#include <cmath>
#include <cstdint>

struct Vector3 {
    float x;
    float y;
    float z;
};

struct Ray {
    Vector3 origin;
    Vector3 direction; // unit length wherever a ray is built
};

inline Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 operator*(float s, const Vector3& v) {
    return {s * v.x, s * v.y, s * v.z};
}

// Inline: called for every ray several times over.
inline float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
// Divides by the length in place; a zero vector is not guarded.
inline Vector3& normalize(Vector3& v) {
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    v.x /= length;
    v.y /= length;
    v.z /= length;
    return v;
}
void cross(Vector3& out, const Vector3& a, const Vector3& b);
// Float to integer toward zero; values out of range give INT32_MIN, as the
// processor's own conversion does, instead of undefined behaviour.
inline int32_t truncateToInt(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}
// The floor's texel column or row at a coordinate: truncated toward zero,
// then wrapped into 0..255.
inline int32_t floorTexel(float coordinate) {
    return truncateToInt(coordinate) & 255;
}

// Shading flags of a scene entry.
constexpr uint8_t SHADE_LIT = 0x01;
constexpr uint8_t SHADE_SHADOWED = 0x02;
constexpr uint8_t SHADE_MIRROR = 0x04;
constexpr uint8_t SHADE_REFRACT = 0x08;
constexpr uint8_t SHADE_INSIDE = 0x10; // the surface is seen from inside

constexpr float NO_HIT = 1000000.0f; // hit distance meaning "nothing hit"

struct Texture; // 256 x 256 texels, see scene.h

// A new kind needs a row in both prepareTable and intersectTable.
enum PrimitiveKind : uint8_t { KIND_FLOOR, KIND_SPHERE, KIND_TUBE, KIND_PARALLELOGRAM, KIND_COUNT };

struct SceneObject {
    uint8_t kind;     // PrimitiveKind
    void* data;       // primitive record of that kind
    Texture* texture; // texture slot of the store
    uint8_t flags;    // SHADE_* bits
};

struct HitRecord {
    float t;                   // nearest hit distance so far, NO_HIT for none
    Vector3 point;             // origin + t * direction
    Vector3 normal;            // unit surface normal
    const SceneObject* object; // entry that was hit
    const Texture* texture;    // copied from the entry
    uint8_t flags;             // copied from the entry
    int32_t u;                 // texture column
    int32_t v;                 // texture row
};

struct FloorPlaneData {
    float reserved; // not read
    float offset;   // the plane is y = -offset
};

struct SphereData {
    Vector3 center;
    float radius;
};

struct TubeData {
    Vector3 start;
    Vector3 end;
    float radius;
    Vector3 axis;            // derived: end - start
    float axisLengthSquared; // derived: dot(axis, axis)
};

struct ParallelogramData {
    Vector3 corner;
    Vector3 edgeEndU;
    Vector3 edgeEndV;
    Vector3 normal; // derived: unit normal of the plane
    Vector3 uAxis;  // derived: dot(X - corner, uAxis) is X's coordinate along the U edge
    Vector3 vAxis;  // derived: likewise along the V edge
};

typedef void (*PrepareRoutine)(SceneObject* entry);
// True when the primitive is hit at an acceptable distance; fills the record
// only when the new distance is below hit->t.
typedef bool (*IntersectRoutine)(const Ray* ray, const SceneObject* entry, HitRecord* hit);

extern const PrepareRoutine prepareTable[KIND_COUNT];
extern const IntersectRoutine intersectTable[KIND_COUNT];
