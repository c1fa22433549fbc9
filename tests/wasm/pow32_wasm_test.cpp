// x^32 in the WebAssembly build's packets against its own C library's
// powf(x, 32) (musl's) on the floats in (0, 2]: every value a specular cosine
// can take. By default a sample and every input near a rounding boundary;
// every float with RAYSPHERE_FULL_TESTS=1 in node's environment. Both
// instantiations the build has are held to it: the WebAssembly SIMD one and
// SSE2's through emscripten's headers; so is the shading's one value at a
// time.
#include <cstdio>

#include "raytracer/packet_tracer.h"
#include "tests/native/pow32_inputs.h"

int main() {
    struct {
        const char* name;
        Pow32Routine routine;
        bool available;
    } routines[] = {{"wasm128", pow32Wasm128, wasm128Available()},
                    {"sse2", pow32Sse2, sse2Available()},
                    {"one by one", pow32OneByOne, true}};
    bool every = pow32FullRunAsked() != 0;
    Pow32Inputs inputs = {{}, 0, 0};
    int failures = 0;
    if (every) {
        std::printf("every float in (0, 2]\n");
    } else {
        inputs = pow32DefaultInputs();
        std::printf("%u sampled, %u within 2^-36 of a middle, %u at the margin's edge\n", POW32_SAMPLE_INPUTS,
                    inputs.nearMiddle, inputs.atEdge);
        if (inputs.nearMiddle != POW32_NEAR_MIDDLE_COUNT || inputs.atEdge != POW32_AT_EDGE_COUNT) {
            std::printf("FAILED: not the %u and %u inputs near a middle every build finds\n", POW32_NEAR_MIDDLE_COUNT,
                        POW32_AT_EDGE_COUNT);
            failures++;
        }
    }
    for (const auto& r : routines) {
        if (!r.available) {
            std::printf("FAILED: the %s instantiation is missing from this build\n", r.name);
            failures++;
            continue;
        }
        float first = 0.0f;
        int64_t differences = pow32Differences(r.routine, 8, every, inputs.bits, &first);
        std::printf("%s: %lld of the inputs differ from powf", r.name, static_cast<long long>(differences));
        if (differences != 0) {
            std::printf(", the first at %.9g", static_cast<double>(first));
            failures++;
        }
        std::printf("\n");
    }
    std::printf(failures == 0 ? "passed\n" : "FAILED\n");
    return failures == 0 ? 0 : 1;
}
