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

// The entry points of a packet tracer whose instruction set this build lacks:
// never available, so never called; were one called, it would answer as the
// reference tracer and powf do.
#define PACKET_ABSENT(ROWS, POW32, AVAILABLE, LANES)                                                                   \
    void ROWS(const ViewRays* view, const RayRows* rows) {                                                             \
        traceRowsReference(view, rows);                                                                                \
    }                                                                                                                  \
    void POW32(const float* x, float* out) {                                                                           \
        for (int32_t lane = 0; lane < (LANES); lane++) {                                                               \
            out[lane] = std::pow(x[lane], 32.0f);                                                                      \
        }                                                                                                              \
    }                                                                                                                  \
    bool AVAILABLE() {                                                                                                 \
        return false;                                                                                                  \
    }
