// Turns one ray into a colour: nearest hit, lighting by the entry's flags,
// refraction and reflection by recursion, shadow, fog and sky.
#pragma once
#include <cstdint>
#include "raytracer/geometry.h"

constexpr uint32_t TRACE_DEPTH_LIMIT = 5;

// 0 or 1; cleared before every primary ray, flipped by every refraction.
// One per thread, since the rows of a frame may be traced on several.
extern thread_local int32_t refractInside;

// Writes the colour of `ray` into red, green and blue (0..255 scale, not
// clamped). `view` is the camera's unit forward direction, the same for every
// ray of a frame. The caller sets hit->t to NO_HIT first.
void traceRay(uint32_t depth, const Ray* ray, HitRecord* hit, const Vector3* light, const Vector3* view, float* red,
              float* green, float* blue);
