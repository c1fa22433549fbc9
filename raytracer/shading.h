// Turns one ray into a colour: nearest hit, lighting by the entry's flags,
// refraction and reflection by recursion, shadow, fog and sky.
#pragma once
#include <cstdint>
#include "raytracer/geometry.h"
#include "raytracer/scene.h"

constexpr uint32_t TRACE_DEPTH_LIMIT = 5;

// The shading's constants, shared with the packet tracers.
constexpr float AMBIENT = 0.3f;
constexpr float SPECULAR_EXPONENT = 32.0f;
constexpr float SPECULAR_SCALE = 255.0f;
constexpr float UNLIT_FALLOFF = 4.9382716e-6f; // 1 / 450 squared: unlit surfaces fade out 450 units from the light
constexpr float UNLIT_GAIN = 1.3f;
constexpr float ETA_ENTERING = 0.8f;
constexpr float ETA_LEAVING = 1.25f;
constexpr float REFRACT_OFFSET = 0.0001f;
constexpr float STRAIGHT_THROUGH = 0.4f; // below this the refracted ray goes straight on
constexpr float MIRROR_OWN = 0.6f;
constexpr float MIRROR_REFLECTED = 0.4f;
constexpr float SHADOW_FACTOR = 0.5f;
constexpr float FOG_START = 300.0f;
constexpr float FOG_END = 400.0f;
constexpr float FOG_SLOPE = 0.01f;
constexpr float FOG_SCALE = 255.0f; // the fog's blend towards the sky, g = (1 - f) x 255
constexpr float SKY_RED = 128.0f;
constexpr float SKY_GREEN = 128.0f;
constexpr float SKY_BLUE = 255.0f;

// 0 or 1; cleared before every primary ray, flipped by every refraction.
// One per thread, since the rows of a frame may be traced on several.
extern thread_local int32_t refractInside;

// Writes the colour of `ray` into red, green and blue (0..255 scale, not
// clamped). `view` is the camera's unit forward direction, the same for every
// ray of a frame. The caller sets hit->t to NO_HIT first, and hit->object to
// null, or to the flat entry the ray leaves, which it then does not test.
void traceRay(uint32_t depth, const Ray* ray, HitRecord* hit, const Vector3* light, const Vector3* view, float* red,
              float* green, float* blue);

// What a hit's shadow ray and its reflected ray meet, found by a packet
// tracer for a packet's hits at once by the shading's own tests, while
// culling bounds are set. `next`, or null, is the same for the hit of the
// reflected ray, and so on down the chain of mirrors.
struct SecondaryReach {
    bool shadowed;          // for a shadowed surface: whether the shadow falls on it
    HitRecord reflectedHit; // for a mirror below the depth limit: its reflected ray's hit (t NO_HIT: none)
    const SecondaryReach* next;
    bool made;         // for a shadowed surface or a mirror: whether the three below are set
    Vector3 toLight;   // the unit direction towards the light, as shadeHit makes it
    Vector3 reflected; // the reflected ray's direction, likewise
    float specular;    // the highlight, likewise
};

// What traceRay does once `hit` holds the ray's nearest hit over the table
// (t NO_HIT for none) at a depth below the limit: the shading and the fog.
// `reach`, or null, gives what its shadow and reflected rays meet, while
// culling bounds are set.
void shadeNearest(uint32_t depth, const Ray* ray, const HitRecord* hit, const SecondaryReach* reach,
                  const Vector3* light, const Vector3* view, float* red, float* green, float* blue);

// Whether the shading looks at a hit: not at a miss, nor, in a scene
// without glass, at one so far that the fog paints it the sky's colour
// whatever it shows (with glass, its refractions would still have to count).
inline bool hitShaded(const HitRecord* hit) {
    return hit->t != NO_HIT && !(scene.fogEnabled && scene.farUnshaded && hit->t >= FOG_END);
}

// The unit direction of a ray along `d` reflected off a surface of unit normal N.
inline Vector3 reflectedDirection(const Vector3& d, const Vector3& N) {
    Vector3 reflected = d - (2.0f * dot(d, N)) * N;
    return normalize(reflected);
}
