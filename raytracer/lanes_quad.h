// The operations on four lanes (see lanes.h) that every instruction set
// writes alike: the including header first defines Quad, its register of
// four floats, and QUAD_PS(op), the name of op's four-float form.
#pragma once
#include <cstring>

namespace {

inline Quad quadAdd(Quad a, Quad b) {
    return QUAD_PS(add)(a, b);
}
// Copies: the compiler makes each one load or store instruction.
inline Quad quadLoad(const float* v) {
    Quad q;
    std::memcpy(&q, v, sizeof q);
    return q;
}
inline void quadStore(float* out, Quad v) {
    std::memcpy(out, &v, sizeof v);
}

} // namespace
