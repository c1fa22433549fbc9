// What the packet tracers' body (packet_any_scene.inc) stands on: each
// packet tracer includes this before it switches its instruction set on, so
// that no shared routine is compiled for it.
#pragma once
#include <cmath>
#include <cstring>

#include "raytracer/bounds.h"
#include "raytracer/packet_tracer.h"
#include "raytracer/pow32.h"
#include "raytracer/scene.h"
#include "raytracer/shading.h"
