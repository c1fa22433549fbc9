// The packet tracer with SSE2: every x86 processor the plug-in runs on has
// it, so the 32-bit DLL uses it too. It traces 8 rays at a time as two
// registers of 4. A build without SSE2 has the reference tracer alone.
#include "raytracer/packet_body.h"

#if defined(__SSE2__)

#include "raytracer/lanes_sse2.h"

#define PACKET_ROWS traceRowsSse2
#include "raytracer/packet_any_scene.inc"

// x^32 of four floats, for the test that holds it to powf over all inputs.
void pow32Sse2(const float* x, float* out) {
    __m128 all = _mm_cmpeq_ps(_mm_setzero_ps(), _mm_setzero_ps());
    _mm_storeu_ps(out, pow32Quad(_mm_loadu_ps(x), all));
}

bool sse2Available() {
    return true;
}

#else

// No SSE2 in this build: never available, so never called.
void traceRowsSse2(const ViewRays* view, const RayRows* rows) {
    traceRowsReference(view, rows);
}

void pow32Sse2(const float* x, float* out) {
    for (int32_t lane = 0; lane < 4; lane++) {
        out[lane] = std::pow(x[lane], 32.0f);
    }
}

bool sse2Available() {
    return false;
}

#endif
