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

#define PACKET_NAME(stem) stem##Avx512
#include "raytracer/packet_any_scene.inc"

#pragma GCC pop_options

bool avx512Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

#else

PACKET_ABSENT(traceRowsAvx512, pow32Avx512, avx512Available, 16)

#endif
