// The packet tracer with AVX-512F, 16 rays at a time, chosen at run time on a
// processor that has it; 64-bit native (not Windows) builds only, since
// mingw-w64's compiler does not realign the stack for 64-byte spills. As with AVX2, the
// instruction set is switched on below the includes, for this file's own
// routines alone, all of them internal. Masks live in AVX-512F's mask
// registers, a bit a lane; only the shadow, kept in memory between depths,
// is stored as floats.
#include "raytracer/packet_body.h"

#if defined(__x86_64__) && !defined(_WIN32)

// GCC 12's AVX-512 intrinsics start some results from an "undefined"
// register that its own optimiser then reports as used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#pragma GCC push_options
#pragma GCC target("avx512f")

#include "raytracer/lanes_avx512.h"

#define PACKET_ROWS traceRowsAvx512
#include "raytracer/packet_any_scene.inc"

void pow32Avx512(const float* x, float* out) {
    _mm512_storeu_ps(out, pow32(_mm512_loadu_ps(x), static_cast<Mask>(ALL_LANES)));
}

#pragma GCC pop_options

bool avx512Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

#else

// No AVX-512 in this build: never available, so never called.
void traceRowsAvx512(const ViewRays* view, const RayRows* rows) {
    traceRowsSse2(view, rows);
}

void pow32Avx512(const float* x, float* out) {
    for (int32_t i = 0; i < 16; i += 4) {
        pow32Sse2(x + i, out + i);
    }
}

bool avx512Available() {
    return false;
}

#endif
