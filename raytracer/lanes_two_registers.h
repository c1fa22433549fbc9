// The lane operations (see lanes.h) that SSE2 and WebAssembly's 128-bit SIMD
// write alike: packets of eight rays as two registers of four, in the
// namespace pair. The including header first defines, over its own register
// of four lanes (Quad), the operations on one register: quadSplat, quadAdd,
// quadLoad, quadStore and quadStoreAt (lanes.h), quadNegate, quadSub,
// quadMul, quadDiv, quadSqrt, quadMin, quadLt, quadGt, quadGe, quadEq,
// quadAnd, quadOr, quadAndNot, quadSelect, quadBits (the lanes' top bits),
// quadStoreTruncated and pow32Quad, each the lane operation of the same name
// in lanes.h on four lanes.
#pragma once
#include <cstdint>

namespace {
namespace pair {

constexpr int32_t LANES = 8;

// Two registers of four lanes traced side by side: their operations are
// independent, so the processor overlaps the long divisions and square roots
// of one with those of the other.
struct Floats { // also masks: all bits set in a true lane
    Quad low;   // lanes 0..3
    Quad high;  // lanes 4..7
};

inline Floats splat(float v) {
    return {quadSplat(v), quadSplat(v)};
}
inline Floats negate(Floats a) {
    return {quadNegate(a.low), quadNegate(a.high)};
}
inline Floats add(Floats a, Floats b) {
    return {quadAdd(a.low, b.low), quadAdd(a.high, b.high)};
}
inline Floats sub(Floats a, Floats b) {
    return {quadSub(a.low, b.low), quadSub(a.high, b.high)};
}
inline Floats mul(Floats a, Floats b) {
    return {quadMul(a.low, b.low), quadMul(a.high, b.high)};
}
inline Floats div(Floats a, Floats b) {
    return {quadDiv(a.low, b.low), quadDiv(a.high, b.high)};
}
inline Floats squareRoot(Floats a) {
    return {quadSqrt(a.low), quadSqrt(a.high)};
}
inline Floats minimum(Floats a, Floats b) {
    return {quadMin(a.low, b.low), quadMin(a.high, b.high)};
}
inline Floats cmpLt(Floats a, Floats b) {
    return {quadLt(a.low, b.low), quadLt(a.high, b.high)};
}
inline Floats cmpGt(Floats a, Floats b) {
    return {quadGt(a.low, b.low), quadGt(a.high, b.high)};
}
inline Floats cmpGe(Floats a, Floats b) {
    return {quadGe(a.low, b.low), quadGe(a.high, b.high)};
}
inline Floats cmpEq(Floats a, Floats b) {
    return {quadEq(a.low, b.low), quadEq(a.high, b.high)};
}
inline Floats maskAnd(Floats a, Floats b) {
    return {quadAnd(a.low, b.low), quadAnd(a.high, b.high)};
}
inline Floats maskOr(Floats a, Floats b) {
    return {quadOr(a.low, b.low), quadOr(a.high, b.high)};
}
// Lanes of `keep` that are not in `drop`.
inline Floats maskAndNot(Floats keep, Floats drop) {
    return {quadAndNot(keep.low, drop.low), quadAndNot(keep.high, drop.high)};
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
    return quadBits(quadOr(mask.low, mask.high)) != 0;
}
inline Floats loadFloats(const float* v) {
    return {quadLoad(v), quadLoad(v + 4)};
}
inline void storeFloats(float* out, Floats v) {
    quadStore(out, v.low);
    quadStore(out + 4, v.high);
}
inline void storeFloatsAt(float* out, Floats v) {
    quadStoreAt(out, v.low);
    quadStoreAt(out + 4, v.high);
}
inline void storeTruncated(int32_t* out, Floats v) {
    quadStoreTruncated(out, v.low);
    quadStoreTruncated(out + 4, v.high);
}

inline Floats pow32(Floats x, Floats lanes) {
    return {pow32Quad(x.low, lanes.low), pow32Quad(x.high, lanes.high)};
}

} // namespace pair
} // namespace
