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

#define PACKET_ROWS traceRowsAvx2
#include "raytracer/packet_any_scene.inc"

void pow32Avx2(const float* x, float* out) {
    Floats all = cmpEq(_mm256_setzero_ps(), _mm256_setzero_ps());
    _mm256_storeu_ps(out, pow32(_mm256_loadu_ps(x), all));
}

#pragma GCC pop_options

bool avx2Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#else

// No AVX2 in this build: never available, so never called.
void traceRowsAvx2(const ViewRays* view, const RayRows* rows) {
    traceRowsSse2(view, rows);
}

void pow32Avx2(const float* x, float* out) {
    pow32Sse2(x, out);
    pow32Sse2(x + 4, out + 4);
}

bool avx2Available() {
    return false;
}

#endif
