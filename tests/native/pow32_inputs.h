// The inputs x^32 in packets is held to against the platform's own powf(x, 32),
// for the native, Windows and WebAssembly tests alike. By default: a seeded
// sample of the floats in (0, 2], and every one of them whose x^32 lies near
// the middle between two floats, where roundings part: very near it (where
// powf itself may round either way) and at the edge of POW32_MARGIN (where
// the packets stop handing a lane to powf). With RAYSPHERE_FULL_TESTS=1 in
// the environment: every float in (0, 2], over a billion.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "raytracer/pow32.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
// node's environment, which a WebAssembly program's getenv does not see.
EM_JS(int, pow32FullRunAsked, (), {
    if (typeof process == "undefined") {
        return 0;
    }
    return process.env.RAYSPHERE_FULL_TESTS == "1" ? 1 : 0;
});
#else
inline int pow32FullRunAsked() {
    const char* value = std::getenv("RAYSPHERE_FULL_TESTS");
    return value != nullptr && std::strcmp(value, "1") == 0 ? 1 : 0;
}
#endif

typedef void (*Pow32Routine)(const float* x, float* out);

// The shading's pow32One, eight values to a call, as a routine to test.
inline void pow32OneByOne(const float* x, float* out) {
    for (int32_t i = 0; i < 8; i++) {
        out[i] = pow32One(x[i]);
    }
}

constexpr uint32_t POW32_SAMPLE_INPUTS = 1u << 20;       // the seeded sample's floats
constexpr uint32_t POW32_SAMPLE_SEED = 32;               // its seed
constexpr double POW32_NEAR_MIDDLE = 1.0 / (1ull << 36); // "very near the middle": within 2^-36 of it
constexpr double POW32_EDGE_WIDTH = 1.0 / 64;            // the margin's edge: within 1/64 of the margin either way
// Below 2^-5, x^32 is below 2^-160: far under the first middle, 2^-150
// (between 0 and the smallest subnormal), so every such input gives 0.
constexpr float POW32_FIRST_NEAR = 0.03125f;
// How many inputs lie near a middle, from IEEE double arithmetic alone: the
// same in every build, so a count off says the search went wrong.
constexpr uint32_t POW32_NEAR_MIDDLE_COUNT = 14780;
constexpr uint32_t POW32_AT_EDGE_COUNT = 29305;

// The bits of 2.0f, the last input.
inline uint32_t pow32LastBits() {
    float two = 2.0f;
    uint32_t bits;
    std::memcpy(&bits, &two, sizeof(bits));
    return bits;
}

// Whether a middle between two floats lies within `relative` of `value`:
// then `value` shrunk and grown by that much round to different floats.
inline bool pow32MiddleWithin(double value, double relative) {
    return static_cast<float>(value * (1.0 - relative)) != static_cast<float>(value * (1.0 + relative));
}

// What the default run checks, as float bits: the sample (a sixteenth of it
// over all of (0, 2], the rest over the inputs whose x^32 is not 0), then
// every input very near a middle or at the margin's edge, ascending. x^32 is
// squared out in double, exact to 2^-48, as the packets do.
struct Pow32Inputs {
    std::vector<uint32_t> bits;
    uint32_t nearMiddle; // inputs within POW32_NEAR_MIDDLE of a middle
    uint32_t atEdge;     // inputs at POW32_MARGIN's edge
};

inline Pow32Inputs pow32DefaultInputs() {
    Pow32Inputs inputs = {{}, 0, 0};
    uint32_t last = pow32LastBits();
    uint32_t firstNear;
    std::memcpy(&firstNear, &POW32_FIRST_NEAR, sizeof(firstNear));
    std::mt19937 random(POW32_SAMPLE_SEED);
    for (uint32_t i = 0; i < POW32_SAMPLE_INPUTS; i++) {
        uint32_t from = i % 16 == 0 ? 1 : firstNear;
        inputs.bits.push_back(from + static_cast<uint32_t>(random()) % (last - from + 1));
    }
    const double edgeInside = POW32_MARGIN * (1.0 - POW32_EDGE_WIDTH);
    const double edgeOutside = POW32_MARGIN * (1.0 + POW32_EDGE_WIDTH);
    for (uint32_t bits = firstNear; bits <= last; bits++) {
        float x;
        std::memcpy(&x, &bits, sizeof(x));
        double value = x;
        for (int32_t i = 0; i < 5; i++) {
            value *= value;
        }
        if (!pow32MiddleWithin(value, edgeOutside)) {
            continue; // nowhere near a middle: most inputs
        }
        if (pow32MiddleWithin(value, POW32_NEAR_MIDDLE)) {
            inputs.bits.push_back(bits);
            inputs.nearMiddle++;
        } else if (!pow32MiddleWithin(value, edgeInside)) {
            inputs.bits.push_back(bits);
            inputs.atEdge++;
        }
    }
    return inputs;
}

// Compares the routine, `lanes` inputs at a time, with powf on the inputs:
// every float from the smallest subnormal up to 2 when `every`, else
// `listed`. Returns how many differ and sets the first that does.
inline int64_t pow32Differences(Pow32Routine routine, int32_t lanes, bool every, const std::vector<uint32_t>& listed,
                                float* firstDifferent) {
    uint32_t last = pow32LastBits();
    uint64_t count = every ? last : listed.size();
    int64_t differences = 0;
    float x[16];
    float out[16];
    for (uint64_t start = 0; start < count; start += static_cast<uint64_t>(lanes)) {
        for (int32_t lane = 0; lane < lanes; lane++) {
            // Short of a whole packet at the end, the last input repeats
            uint64_t k = start + static_cast<uint64_t>(lane) < count ? start + lane : count - 1;
            uint32_t bits = every ? static_cast<uint32_t>(k + 1) : listed[k];
            std::memcpy(&x[lane], &bits, sizeof(float));
        }
        routine(x, out);
        for (int32_t lane = 0; lane < lanes; lane++) {
            float expected = std::pow(x[lane], 32.0f);
            if (std::memcmp(&expected, &out[lane], sizeof(float)) != 0) {
                if (differences == 0) {
                    *firstDifferent = x[lane];
                }
                differences++;
            }
        }
    }
    return differences;
}
