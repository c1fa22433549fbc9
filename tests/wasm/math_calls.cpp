// sinf, cosf and sincosf wrapped (link with --wrap=sinf --wrap=cosf
// --wrap=sincosf): each call's input and result are recorded, or the result
// is taken from a record of another build.
#include "tests/wasm/math_calls.h"

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
float __real_sinf(float x);
float __real_cosf(float x);
void __real_sincosf(float x, float* s, float* c);
}

enum MathRoutine : uint32_t { ROUTINE_SIN, ROUTINE_COS };

// One call: the routine, and the input's and result's bits.
struct MathPair {
    uint32_t routine;
    uint32_t input;
    uint32_t result;
};

MathCalls mathCalls = {};
static std::vector<MathPair> pairs; // recorded, or loaded to replay

static uint32_t bitsOf(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof(bits));
    return bits;
}

static float floatOf(uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof(v));
    return v;
}

// The result the program gets for routine(x), given this library's own.
static float answer(MathRoutine routine, float x, float own) {
    if (!mathCalls.active || mathCalls.mode == MATH_OWN) {
        return own;
    }
    mathCalls.calls++;
    MathPair call = {routine, bitsOf(x), bitsOf(own)};
    if (mathCalls.mode == MATH_RECORD) {
        pairs.push_back(call);
        return own;
    }
    for (const MathPair& pair : pairs) {
        if (pair.routine == call.routine && pair.input == call.input) {
            mathCalls.differing += pair.result != call.result;
            return floatOf(pair.result);
        }
    }
    mathCalls.missing++;
    return own;
}

extern "C" float __wrap_sinf(float x) {
    return answer(ROUTINE_SIN, x, __real_sinf(x));
}

extern "C" float __wrap_cosf(float x) {
    return answer(ROUTINE_COS, x, __real_cosf(x));
}

// GCC joins sinf and cosf of one value into sincosf.
extern "C" void __wrap_sincosf(float x, float* s, float* c) {
    float ownSin;
    float ownCos;
    __real_sincosf(x, &ownSin, &ownCos);
    *s = answer(ROUTINE_SIN, x, ownSin);
    *c = answer(ROUTINE_COS, x, ownCos);
}

bool loadMathRecord(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open the record %s\n", path);
        return false;
    }
    MathPair pair;
    while (std::fread(&pair, sizeof(pair), 1, file) == 1) {
        pairs.push_back(pair);
    }
    bool whole = std::ferror(file) == 0 && !pairs.empty();
    std::fclose(file);
    if (!whole) {
        std::fprintf(stderr, "the record %s is unreadable or empty\n", path);
    }
    return whole;
}

bool saveMathRecord(const char* path) {
    FILE* file = std::fopen(path, "wb");
    bool written = file != nullptr && std::fwrite(pairs.data(), sizeof(MathPair), pairs.size(), file) == pairs.size();
    written = file != nullptr && std::fclose(file) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "cannot write the record %s\n", path);
    }
    return written;
}
