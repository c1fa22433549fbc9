// The scene table, its records at load, and the per-frame motion.
#include "raytracer/scene.h"

#include <cmath>
#include <cstddef>

Scene scene = {
    {},           // objects: written by buildScene
    0,            // objectCount
    {0.0f, 0.0f}, // floor: reserved, offset
    {
        //  centre            radius
        {{0.0f, 0.0f, 0.0f}, 40.0f},   // sphere 1, the centre sphere
        {{90.0f, 0.0f, 0.0f}, 25.0f},  // sphere 2
        {{-90.0f, 0.0f, 0.0f}, 25.0f}, // sphere 3
        {{0.0f, 0.0f, 90.0f}, 25.0f},  // sphere 4
        {{0.0f, 0.0f, -90.0f}, 25.0f}, // sphere 5
    },
    {},      // tubes
    {},      // parallelograms
    0,       // fogEnabled
    0,       // fixedMotion
    0,       // farUnshaded
    nullptr, // blackTextures
};

SceneMotion motion = {};
TextureStore textureStore = {};

// Whether every texel of every slot is zero, as the store is from load on.
static bool storeIsBlack(const TextureStore* store) {
    const uint8_t* byte = store->slots[0].texels[0];
    uint8_t any = 0;
    for (size_t i = 0; i < sizeof(TextureStore); i++) {
        any |= byte[i];
    }
    return any == 0;
}

// Fills the six entries, prepares each one and turns the fog on.
void buildScene(TextureStore* store) {
    constexpr uint8_t SPHERE_FLAGS = SHADE_LIT | SHADE_SHADOWED | SHADE_MIRROR;
    SceneObject* objects = scene.objects;
    // kind          record             texture            flags
    objects[0] = {KIND_FLOOR, &scene.floor, &store->slots[3], SHADE_SHADOWED | SHADE_MIRROR}; // floor
    objects[1] = {KIND_SPHERE, &scene.spheres[0], &store->slots[1], SPHERE_FLAGS};            // centre sphere
    objects[2] = {KIND_SPHERE, &scene.spheres[1], &store->slots[0], SPHERE_FLAGS};            // sphere 2
    objects[3] = {KIND_SPHERE, &scene.spheres[2], &store->slots[0], SPHERE_FLAGS};            // sphere 3
    objects[4] = {KIND_SPHERE, &scene.spheres[3], &store->slots[1], SPHERE_FLAGS};            // sphere 4
    objects[5] = {KIND_SPHERE, &scene.spheres[4], &store->slots[1], SPHERE_FLAGS};            // sphere 5
    scene.objectCount = SCENE_OBJECT_COUNT;
    for (int32_t i = 0; i < scene.objectCount; i++) {
        prepareTable[objects[i].kind](&objects[i]);
    }
    scene.fogEnabled = 1;
    scene.fixedMotion = 1;
    scene.farUnshaded = 1;
    scene.blackTextures = storeIsBlack(store) ? store : nullptr;
}

// One step of motion: angle, camera, light and spheres; the centre sphere's
// radius follows the first waveform byte of channel 0.
void animateScene(const WaveformBlock block) {
    // Advance the angle, keeping it within whole periods of the motion
    float a = motion.angle + ANGLE_STEP;
    if (a >= ANGLE_WRAP_AT) {
        a -= ANGLE_WRAP_BY;
    }
    motion.angle = a;

    // Camera
    Camera& camera = motion.camera;
    camera.zoom = 2.5f;
    camera.roll = 3.1415927f;
    camera.eye = {150.0f * std::sin(2.0f * a), 50.0f + 30.0f * std::sin(1.2f * a), 130.0f * std::cos(2.7f * a)};
    camera.target = {25.0f * std::cos(0.5f * a), 10.0f + 8.0f * std::sin(1.3f * a), 15.0f * std::cos(1.1f * a)};

    // Centre sphere: fixed height, radius from the sound (the sine of 0..127 radians)
    int32_t c = block[0][0] >> 1;
    scene.spheres[0].center.y = 20.0f;
    scene.spheres[0].radius = 30.0f + 7.5f * std::sin(static_cast<float>(c));

    // Outer spheres: a quarter turn apart on a circle of 90, bouncing together
    float sn = 90.0f * std::sin(a);
    float cs = 90.0f * std::cos(a);
    float hb = 20.0f * (std::sin(20.0f * a) + 1.0f);
    scene.spheres[1].center = {sn, hb, cs};
    scene.spheres[2].center = {-sn, hb, -cs};
    scene.spheres[3].center = {-cs, hb, sn};
    scene.spheres[4].center = {cs, hb, -sn};

    // Light, always level with the eye in x
    motion.light.position = {150.0f * std::sin(2.0f * a), 90.0f + 25.0f * std::sin(4.0f * a),
                             150.0f * std::cos(2.0f * a)};
}
