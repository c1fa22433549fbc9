// The fixed scene: floor and five spheres, one light, one camera, and the
// per-frame motion driven by the animation angle and the first waveform byte.
#pragma once
#include <cstdint>
#include "frame/waveform_block.h"
#include "raytracer/geometry.h"

struct Texture {
    uint8_t texels[256 * 256][4]; // blue, green, red, unread; texel (u, v) at v * 256 + u
};

struct TextureStore {
    Texture slots[4]; // the scene refers to slots 0, 1 and 3
};

struct Camera {
    Vector3 eye;
    Vector3 target;
    float zoom;
    float roll; // radians
};

struct Light {
    Vector3 position;
};

constexpr int32_t SCENE_OBJECT_COUNT = 6; // entries of the fixed scene
constexpr int32_t SPHERE_COUNT = 5;       // spheres of the fixed scene
constexpr int32_t MAX_SCENE_OBJECTS = 64; // entries a scene may hold, the floor included

// Scene table and the records it points to; rebuilt by every Init, or by
// the stage for a scene read from its file.
struct Scene {
    SceneObject objects[MAX_SCENE_OBJECTS];              // entry 0 must be the floor
    int32_t objectCount;                                 // 6 for the fixed scene
    FloorPlaneData floor;                                // the plane y = 0 in the fixed scene
    SphereData spheres[MAX_SCENE_OBJECTS];               // the fixed scene's sphere 1 (centre) first; moved per frame
    TubeData tubes[MAX_SCENE_OBJECTS];                   // tubes of a scene from a file, in table order
    ParallelogramData parallelograms[MAX_SCENE_OBJECTS]; // likewise
    uint8_t fogEnabled;                                  // set by buildScene, never cleared; a scene's own
    uint8_t fixedMotion;               // 1 while the motion is the fixed scene's (the packet tracers' scene)
    uint8_t farUnshaded;               // 1 where no entry refracts: a hit the fog paints the sky goes unshaded
    const TextureStore* blackTextures; // the store buildScene found all black, or null
};

// Camera, light and animation angle; written once per frame by animateScene.
struct SceneMotion {
    Camera camera;
    Light light;
    float angle; // 0 at load; Init does not reset it
};

// The angle is accumulated in float steps of 0.01 exactly as long as that is
// smooth; every motion term repeats after 20 pi, so once the angle reaches
// ANGLE_WRAP_AT it is taken back by ANGLE_WRAP_BY (both whole periods) before
// float steps grow coarse and the motion jerks and finally stops.
constexpr float ANGLE_STEP = 0.01f;
constexpr float ANGLE_PERIOD = 62.83185307f;       // 20 pi
constexpr float ANGLE_WRAP_AT = 32 * ANGLE_PERIOD; // about 2010.6, some 201,000 frames in
constexpr float ANGLE_WRAP_BY = 31 * ANGLE_PERIOD;

extern Scene scene;
extern SceneMotion motion;
extern TextureStore textureStore; // zero at load, never written

void buildScene(TextureStore* store);
void animateScene(const WaveformBlock block);
