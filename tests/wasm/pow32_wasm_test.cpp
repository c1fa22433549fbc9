// x^32 in the WebAssembly build's packets against its own C library's
// powf(x, 32) (musl's), over every float in (0, 2]: every value a specular
// cosine can take. Both instantiations the build has are held to it: the
// WebAssembly SIMD one and SSE2's through emscripten's headers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "raytracer/packet_tracer.h"
#include "raytracer/pow32.h"

typedef void (*Pow32Routine)(const float* x, float* out);

// How many of the floats from the smallest subnormal up to 2 the routine
// rounds otherwise than powf, and the first of them.
static int64_t countDifferences(Pow32Routine routine, float* firstDifferent) {
    uint32_t last;
    float two = 2.0f;
    std::memcpy(&last, &two, sizeof(last));
    int64_t differences = 0;
    float x[4];
    float out[4];
    for (uint32_t bits = 1; bits <= last; bits += 4) {
        for (uint32_t lane = 0; lane < 4; lane++) {
            uint32_t laneBits = bits + lane <= last ? bits + lane : last;
            std::memcpy(&x[lane], &laneBits, sizeof(float));
        }
        routine(x, out);
        for (int32_t lane = 0; lane < 4; lane++) {
            float expected = std::pow(x[lane], 32.0f);
            if (std::memcmp(&expected, &out[lane], sizeof(float)) != 0) {
                *firstDifferent = differences == 0 ? x[lane] : *firstDifferent;
                differences++;
            }
        }
    }
    return differences;
}

int main() {
    struct {
        const char* name;
        Pow32Routine routine;
        bool available;
    } routines[] = {{"wasm128", pow32Wasm128, wasm128Available()}, {"sse2", pow32Sse2, sse2Available()}};
    int failures = 0;
    for (const auto& r : routines) {
        if (!r.available) {
            std::printf("FAILED: the %s instantiation is missing from this build\n", r.name);
            failures++;
            continue;
        }
        float first = 0.0f;
        int64_t differences = countDifferences(r.routine, &first);
        std::printf("%s: %lld of the floats in (0, 2] differ from powf", r.name, static_cast<long long>(differences));
        if (differences != 0) {
            std::printf(", the first at %.9g", static_cast<double>(first));
            failures++;
        }
        std::printf("\n");
    }
    std::printf(failures == 0 ? "passed\n" : "FAILED\n");
    return failures == 0 ? 0 : 1;
}
