// Shading and ray recursion: lighting, refraction, reflection, shadow, fog.
#include "raytracer/shading.h"

#include <cmath>

#include "raytracer/bounds.h"
#include "raytracer/pow32.h"
#include "raytracer/scene.h"

thread_local int32_t refractInside = 0;

struct Colour {
    float* red;
    float* green;
    float* blue;
};

static void setColour(const Colour& colour, float red, float green, float blue) {
    *colour.red = red;
    *colour.green = green;
    *colour.blue = blue;
}

static void addToColour(const Colour& colour, float amount) {
    *colour.red += amount;
    *colour.green += amount;
    *colour.blue += amount;
}

// Whether entry i's test puts a hit nearer than the light into the shadow record.
static bool castsShadow(int32_t i, const HitRecord* hit, const Ray* shadowRay, HitRecord* shadowHit,
                        float lightDistanceSquared) {
    const SceneObject* entry = &scene.objects[i];
    if (!intersectTable[entry->kind](shadowRay, entry, shadowHit) || shadowHit->t == NO_HIT) {
        return false;
    }
    Vector3 D = shadowHit->point - hit->point;
    return dot(D, D) < lightDistanceSquared;
}

// inShadow's loop over the entries but the floor's first try, passing over
// those whose spheres lie off the shadow ray or wholly beyond the light.
// Such an entry can only report a hit beyond the light, which casts no
// shadow; and one that would have been recorded first could only have
// stopped the recording of others' hits farther still, beyond the light too.
static bool inShadowCulled(const SceneBounds* bounds, const HitRecord* hit, const Ray* shadowRay, HitRecord* shadowHit,
                           float lightDistanceSquared) {
    float limit = shadowReachLimit(hit->point, lightDistanceSquared);
    int32_t i = 0;
    while (i < scene.objectCount) {
        int32_t next = pastRunOutOfReach(bounds, i, shadowRay, limit);
        if (next != i) {
            i = next;
            continue;
        }
        bool skipped =
            &scene.objects[i] == hit->object || (bounds->checkFirst[i] && entryOutOfReach(bounds, i, shadowRay, limit));
        if (!skipped && castsShadow(i, hit, shadowRay, shadowHit, lightDistanceSquared)) {
            return true;
        }
        i++;
    }
    return false;
}

// Whether the shadow ray from the hit point meets an entry nearer than the
// light.
static bool inShadow(const HitRecord* hit, const Vector3& towardLight, float lightDistanceSquared) {
    Ray shadowRay = {hit->point, towardLight};
    HitRecord shadowHit = {};
    shadowHit.t = NO_HIT;
    const SceneObject* floor = &scene.objects[0];

    // A point off the floor tries the floor alone first, and settles it there if it is hit
    if (hit->object != floor && intersectTable[floor->kind](&shadowRay, floor, &shadowHit)) {
        if (shadowHit.t == NO_HIT) {
            return false;
        }
        Vector3 D = shadowHit.point - hit->point;
        return dot(D, D) < lightDistanceSquared;
    }

    // Otherwise every other entry, all into the same shadow record
    const SceneBounds* bounds = cullingBounds;
    if (bounds != nullptr && bounds->count == scene.objectCount) {
        return inShadowCulled(bounds, hit, &shadowRay, &shadowHit, lightDistanceSquared);
    }
    for (int32_t i = 0; i < scene.objectCount; i++) {
        if (&scene.objects[i] != hit->object && castsShadow(i, hit, &shadowRay, &shadowHit, lightDistanceSquared)) {
            return true;
        }
    }
    return false;
}

static void traceRayWithin(uint32_t depth, const Ray* ray, HitRecord* hit, const Vector3* light, const Vector3* view,
                           const Colour& colour);
static void shadeNearestWithin(uint32_t depth, const Ray* ray, const HitRecord* hit, const SecondaryReach* reach,
                               const Vector3* light, const Vector3* view, const Colour& colour);

// Lights, refracts, reflects and shadows the hit point into the colour;
// `reach`, or null, what its shadow and reflected rays meet, found by a packet.
static void shadeHit(uint32_t depth, const Ray* ray, const HitRecord* hit, const SecondaryReach* reach,
                     const Vector3* light, const Vector3* view, const Colour& colour) {
    // Light and half vectors, and the specular term
    const Vector3& N = hit->normal;
    Vector3 Lv = *light - hit->point;
    Vector3 L = Lv;
    bool made = reach != nullptr && reach->made;
    if (made) {
        L = reach->toLight;
    } else {
        normalize(L);
    }
    float specular = 0.0f;
    // Only a lit or a refracting surface shows the highlight: the others
    // are spared the half vector and the power, a good share of the
    // shading; a packet may have worked it out already
    if (made) {
        specular = reach->specular;
    } else if (hit->flags & (SHADE_LIT | SHADE_REFRACT)) {
        Vector3 Hh = L - *view;
        normalize(Hh);
        float halfDotNormal = dot(Hh, N);
        if (halfDotNormal > 0.0f) {
            specular = pow32One(halfDotNormal) * SPECULAR_SCALE;
        }
    }
    const uint8_t* texel = hit->texture->texels[hit->v * 256 + hit->u];
    float texRed = texel[2];
    float texGreen = texel[1];
    float texBlue = texel[0];

    // Surface colour
    if (hit->flags & SHADE_LIT) {
        setColour(colour, AMBIENT * texRed, AMBIENT * texGreen, AMBIENT * texBlue);
        float d = dot(L, N);
        if (d > 0.0f) {
            *colour.red += d * texRed;
            *colour.green += d * texGreen;
            *colour.blue += d * texBlue;
        }
        addToColour(colour, specular);
    } else {
        float F = dot(Lv, Lv) * UNLIT_FALLOFF;
        if (F < 1.0f) { // farther out the colour keeps what the caller passed in
            float scale = (1.0f - F);
            setColour(colour, scale * texRed * UNLIT_GAIN, scale * texGreen * UNLIT_GAIN, scale * texBlue * UNLIT_GAIN);
        }
    }

    // Refraction: the refracted colour replaces the surface colour
    if (hit->flags & SHADE_REFRACT) {
        float c = std::fabs(dot(ray->direction, N));
        float eta = refractInside == 0 ? ETA_ENTERING : ETA_LEAVING;
        refractInside = 1 - refractInside;
        Ray refracted = {hit->point + REFRACT_OFFSET * ray->direction, ray->direction};
        float k = 1.0f - eta * ((1.0f - c * c) * eta);
        if (k >= STRAIGHT_THROUGH) {
            refracted.direction = (eta * c - std::sqrt(k)) * N + eta * ray->direction;
            normalize(refracted.direction);
        }
        HitRecord refractedHit = {};
        refractedHit.t = NO_HIT;
        traceRayWithin(depth + 1, &refracted, &refractedHit, light, view, colour);
        addToColour(colour, specular);
    }

    // Reflection, mixed into what the surface and refraction gave
    if (hit->flags & SHADE_MIRROR) {
        Ray reflected = {hit->point, made ? reach->reflected : reflectedDirection(ray->direction, N)};
        float reflectedRed = 0.0f;
        float reflectedGreen = 0.0f;
        float reflectedBlue = 0.0f;
        Colour reflectedColour = {&reflectedRed, &reflectedGreen, &reflectedBlue};
        if (reach != nullptr && depth + 1 < TRACE_DEPTH_LIMIT) {
            // The packet has found the hit, by the same tests of the same ray
            shadeNearestWithin(depth + 1, &reflected, &reach->reflectedHit, reach->next, light, view, reflectedColour);
        } else {
            HitRecord reflectedHit = {};
            reflectedHit.t = NO_HIT;
            // A ray leaving a flat surface cannot meet it again; tested anyway,
            // rounding would have it do so at once, a dark speck
            if (hit->object->kind == KIND_PARALLELOGRAM) {
                reflectedHit.object = hit->object;
            }
            traceRayWithin(depth + 1, &reflected, &reflectedHit, light, view, reflectedColour);
        }
        *colour.red = MIRROR_OWN * *colour.red + MIRROR_REFLECTED * reflectedRed;
        *colour.green = MIRROR_OWN * *colour.green + MIRROR_REFLECTED * reflectedGreen;
        *colour.blue = MIRROR_OWN * *colour.blue + MIRROR_REFLECTED * reflectedBlue;
    }

    // Shadow halves the mixture
    if ((hit->flags & SHADE_SHADOWED) && (reach != nullptr ? reach->shadowed : inShadow(hit, L, dot(Lv, Lv)))) {
        *colour.red *= SHADOW_FACTOR;
        *colour.green *= SHADOW_FACTOR;
        *colour.blue *= SHADOW_FACTOR;
    }
}

// Distant points fade into the sky; misses are sky.
static void applyFog(float t, const Colour& colour) {
    if (!scene.fogEnabled || !(t > FOG_START)) {
        return;
    }
    if (t >= FOG_END) {
        setColour(colour, SKY_RED, SKY_GREEN, SKY_BLUE);
        return;
    }
    float f = (FOG_END - t) * FOG_SLOPE;
    float g = (1.0f - f) * FOG_SCALE;
    setColour(colour, f * *colour.red + g / 2.0f, f * *colour.green + g / 2.0f, f * *colour.blue + g);
}

// traceRay's nearest hit, passing over the entries whose spheres lie off the
// ray or wholly beyond the nearest hit so far: their tests could only report
// a hit at least as far, which the record does not keep.
static void nearestCulled(const SceneBounds* bounds, const Ray* ray, HitRecord* hit, const SceneObject* leaving) {
    int32_t i = 0;
    while (i < scene.objectCount) {
        int32_t next = pastRunOutOfReach(bounds, i, ray, hit->t);
        if (next != i) {
            i = next;
            continue;
        }
        const SceneObject* entry = &scene.objects[i];
        bool skipped = entry == leaving || (bounds->checkFirst[i] && entryOutOfReach(bounds, i, ray, hit->t));
        if (!skipped) {
            intersectTable[entry->kind](ray, entry, hit);
        }
        i++;
    }
}

static void shadeNearestWithin(uint32_t depth, const Ray* ray, const HitRecord* hit, const SecondaryReach* reach,
                               const Vector3* light, const Vector3* view, const Colour& colour) {
    if (hit->t == NO_HIT) {
        setColour(colour, 0.0f, 0.0f, 0.0f);
    } else if (hitShaded(hit)) {
        shadeHit(depth, ray, hit, reach, light, view, colour);
    }
    applyFog(hit->t, colour);
}

// traceRay, below the packets' chains of mirrors.
static void traceRayWithin(uint32_t depth, const Ray* ray, HitRecord* hit, const Vector3* light, const Vector3* view,
                           const Colour& colour) {
    if (depth >= TRACE_DEPTH_LIMIT) {
        setColour(colour, 0.0f, 0.0f, 0.0f);
        return;
    }

    // Nearest hit over every entry
    const SceneObject* leaving = hit->object;
    const SceneBounds* bounds = cullingBounds;
    if (bounds != nullptr && bounds->count == scene.objectCount) {
        nearestCulled(bounds, ray, hit, leaving);
    } else {
        for (int32_t i = 0; i < scene.objectCount; i++) {
            const SceneObject* entry = &scene.objects[i];
            if (entry != leaving) {
                intersectTable[entry->kind](ray, entry, hit);
            }
        }
    }
    shadeNearestWithin(depth, ray, hit, nullptr, light, view, colour);
}

void traceRay(uint32_t depth, const Ray* ray, HitRecord* hit, const Vector3* light, const Vector3* view, float* red,
              float* green, float* blue) {
    traceRayWithin(depth, ray, hit, light, view, {red, green, blue});
}

void shadeNearest(uint32_t depth, const Ray* ray, const HitRecord* hit, const SecondaryReach* reach,
                  const Vector3* light, const Vector3* view, float* red, float* green, float* blue) {
    const SceneBounds* bounds = cullingBounds;
    bool usable = bounds != nullptr && bounds->count == scene.objectCount;
    shadeNearestWithin(depth, ray, hit, usable ? reach : nullptr, light, view, {red, green, blue});
}
