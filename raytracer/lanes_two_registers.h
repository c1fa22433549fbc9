// The lane operations (see lanes.h) that SSE2 and WebAssembly's 128-bit SIMD
// write alike: packets of eight rays as two registers of four. The
// including header first defines, over its own register
// of four lanes (Quad), lanes_quad.h's operations and QUAD_PS(op); then
// QUAD_COMPARE(predicate, a, b), the ordered comparison (lt, gt, ge, eq)
// giving a mask; QUAD_AND and QUAD_OR, of two masks; and quadNegate,
// quadMin, quadAndNot, quadSelect, quadBits (the lanes' top bits),
// quadStoreTruncated and pow32Quad, each the lane operation of the same
// name in lanes.h on four lanes.
#pragma once
#include <cstdint>

namespace {

constexpr int32_t LANES = 8;

// Two registers of four lanes traced side by side: their operations are
// independent, so the processor overlaps the long divisions and square roots
// of one with those of the other.
struct Floats { // also masks: all bits set in a true lane
    Quad low;   // lanes 0..3
    Quad high;  // lanes 4..7
};

// Each operation on a packet is the same operation on each register.
#define PAIR_UNARY(name, op)                                                                                           \
    inline Floats name(Floats a) {                                                                                     \
        return {op(a.low), op(a.high)};                                                                                \
    }
#define PAIR_BINARY(name, op)                                                                                          \
    inline Floats name(Floats a, Floats b) {                                                                           \
        return {op(a.low, b.low), op(a.high, b.high)};                                                                 \
    }
#define PAIR_COMPARE(name, predicate)                                                                                  \
    inline Floats name(Floats a, Floats b) {                                                                           \
        return {QUAD_COMPARE(predicate, a.low, b.low), QUAD_COMPARE(predicate, a.high, b.high)};                       \
    }
PAIR_UNARY(negate, quadNegate)
PAIR_UNARY(squareRoot, QUAD_PS(sqrt))
PAIR_BINARY(add, QUAD_PS(add))
PAIR_BINARY(sub, QUAD_PS(sub))
PAIR_BINARY(mul, QUAD_PS(mul))
PAIR_BINARY(div, QUAD_PS(div))
PAIR_BINARY(minimum, quadMin)
PAIR_COMPARE(cmpLt, lt)
PAIR_COMPARE(cmpGt, gt)
PAIR_COMPARE(cmpGe, ge)
PAIR_COMPARE(cmpEq, eq)
PAIR_BINARY(maskAnd, QUAD_AND)
PAIR_BINARY(maskOr, QUAD_OR)
// Lanes of the first mask that are not in the second.
PAIR_BINARY(maskAndNot, quadAndNot)
#undef PAIR_UNARY
#undef PAIR_BINARY
#undef PAIR_COMPARE

inline Floats splat(float v) {
    return {quadSplat(v), quadSplat(v)};
}
inline Floats select(Floats mask, Floats ifTrue, Floats ifFalse) {
    return {quadSelect(mask.low, ifTrue.low, ifFalse.low), quadSelect(mask.high, ifTrue.high, ifFalse.high)};
}
constexpr int32_t ALL_LANES = (1 << LANES) - 1;
inline int32_t laneBits(Floats mask) {
    return quadBits(mask.low) | (quadBits(mask.high) << 4);
}
// Nothing to clear: the scalar code runs at full speed after these registers.
inline void leaveLanes() {}
// Masks have every bit of a lane alike, so a lane's top bit tells.
inline bool anyLane(Floats mask) {
    return quadBits(QUAD_OR(mask.low, mask.high)) != 0;
}
inline Floats loadFloats(const float* v) {
    return {quadLoad(v), quadLoad(v + 4)};
}
inline void storeFloats(float* out, Floats v) {
    quadStore(out, v.low);
    quadStore(out + 4, v.high);
}
inline void storeFloatsAt(float* out, Floats v) {
    storeFloats(out, v);
}
inline void storeTruncated(int32_t* out, Floats v) {
    quadStoreTruncated(out, v.low);
    quadStoreTruncated(out + 4, v.high);
}

inline Floats pow32(Floats x, Floats lanes) {
    return {pow32Quad(x.low, lanes.low), pow32Quad(x.high, lanes.high)};
}

} // namespace
