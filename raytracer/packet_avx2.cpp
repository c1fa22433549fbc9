// The packet tracer with AVX2, 8 rays at a time, chosen at run time on a
// processor that has it; 64-bit and native builds only. AVX2 is switched on
// below the includes, for this file's own routines alone, all of them
// internal, so no shared inline routine is ever compiled for it.
#include "raytracer/packet_body.h"

#if defined(__x86_64__)

#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

#include "raytracer/lanes_avx2.h"

#define PACKET_NAME(stem) stem##Avx2
#include "raytracer/packet_any_scene.inc"

#pragma GCC pop_options

bool avx2Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#else

PACKET_ABSENT(traceRowsAvx2, pow32Avx2, avx2Available, 8)

#endif
