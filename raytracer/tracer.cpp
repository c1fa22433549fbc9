// The table of primary-ray tracers, the choice among them, and the reference.
#include "raytracer/tracer.h"

#include <atomic>

#include "raytracer/packet_tracer.h"
#include "raytracer/scene.h"
#include "raytracer/shading.h"

static bool referenceAvailable() {
    return true;
}

const TracerEntry tracerTable[TRACER_KIND_COUNT] = {
    {"reference", traceRowsReference, referenceAvailable}, // TRACER_REFERENCE
    {"sse2", traceRowsSse2, sse2Available},                // TRACER_SSE2
    {"avx2", traceRowsAvx2, avx2Available},                // TRACER_AVX2
    {"avx512", traceRowsAvx512, avx512Available},          // TRACER_AVX512
    {"wasm128", traceRowsWasm128, wasm128Available},       // TRACER_WASM128
};
static_assert(sizeof(tracerTable) / sizeof(tracerTable[0]) == TRACER_KIND_COUNT, "one row per tracer");

#if defined(__wasm_simd128__)
TracerKind activeTracer = TRACER_WASM128;
#elif defined(__SSE2__)
TracerKind activeTracer = TRACER_SSE2;
#else
TracerKind activeTracer = TRACER_REFERENCE;
#endif

bool tracerAvailable(TracerKind kind) {
    return kind < TRACER_KIND_COUNT && tracerTable[kind].available();
}

TracerKind fastestTracer() {
    const TracerKind fastestFirst[] = {TRACER_AVX512, TRACER_AVX2, TRACER_WASM128, TRACER_SSE2};
    for (TracerKind kind : fastestFirst) {
        if (tracerAvailable(kind)) {
            return kind;
        }
    }
    return TRACER_REFERENCE;
}

bool selectTracer(TracerKind kind) {
    if (kind >= TRACER_KIND_COUNT || !tracerAvailable(kind)) {
        return false;
    }
    activeTracer = kind;
    return true;
}

// Whether the scene table is the floor and five spheres of buildScene, with
// their flags, black textures and motion: the one scene the packet tracers trace.
bool sceneIsTheFixedOne() {
    constexpr uint8_t SPHERE_FLAGS = SHADE_LIT | SHADE_SHADOWED | SHADE_MIRROR;
    const TextureStore* store = scene.blackTextures;
    if (scene.objectCount != SCENE_OBJECT_COUNT || store == nullptr || !scene.fixedMotion) {
        return false;
    }
    for (int32_t i = 0; i < SCENE_OBJECT_COUNT; i++) {
        const SceneObject& entry = scene.objects[i];
        bool floor = i == 0;
        const void* data = floor ? static_cast<const void*>(&scene.floor) : &scene.spheres[i - 1];
        uint8_t flags = floor ? SHADE_SHADOWED | SHADE_MIRROR : SPHERE_FLAGS;
        bool blackTexture = entry.texture >= &store->slots[0] && entry.texture < &store->slots[4];
        if (entry.kind != (floor ? KIND_FLOOR : KIND_SPHERE) || entry.data != data || entry.flags != flags ||
            !blackTexture) {
            return false;
        }
    }
    return true;
}

RowsRoutine frameRowsRoutine() {
    return tracerTable[activeTracer].rows;
}

bool packetCulling = true;

static std::atomic<uint64_t> sphereTests[2][RAY_KIND_COUNT]; // tested, skipped

void addSphereTestCounts(const SphereTestCounts* counts) {
    for (int32_t kind = 0; kind < RAY_KIND_COUNT; kind++) {
        sphereTests[0][kind].fetch_add(counts->tested[kind], std::memory_order_relaxed);
        sphereTests[1][kind].fetch_add(counts->skipped[kind], std::memory_order_relaxed);
    }
}

SphereTestCounts takeSphereTestCounts() {
    SphereTestCounts counts = {};
    for (int32_t kind = 0; kind < RAY_KIND_COUNT; kind++) {
        counts.tested[kind] = sphereTests[0][kind].exchange(0, std::memory_order_relaxed);
        counts.skipped[kind] = sphereTests[1][kind].exchange(0, std::memory_order_relaxed);
    }
    return counts;
}

void traceRowsReference(const ViewRays* view, const RayRows* rows) {
    for (int32_t r = 0; r < rows->rows; r++) {
        uint8_t* pixel = rows->firstPixel + r * rows->rowBytes;
        Vector3 offset = rows->starts[r];
        for (int32_t j = 0; j < rows->count; j++) {
            Ray ray = {view->eye, offset};
            normalize(ray.direction);
            refractInside = 0;
            float red = 0.0f;
            float green = 0.0f;
            float blue = 0.0f;
            HitRecord hit = {};
            hit.t = NO_HIT;
            traceRay(0, &ray, &hit, &view->light, &view->view, &red, &green, &blue);
            pixel[0] = channelByte(blue);
            pixel[1] = channelByte(green);
            pixel[2] = channelByte(red);
            pixel += rows->pixelBytes;
            offset = offset + view->step;
        }
    }
}
