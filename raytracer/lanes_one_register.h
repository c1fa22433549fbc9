// The lane operations (see lanes.h) that AVX2 and AVX-512F write alike, a
// packet in one register: the including header names its intrinsics by
// LANE_PS(op) and LANE_PD(op) (op's single- and double-precision forms) and
// LANE_CMP (the compare with a predicate, giving its Mask), defines its own
// operations (those on masks too where it defines MASK_REGISTERS), Doubles
// (half a packet's lanes as doubles), lowHalf and highHalf (half a packet's
// floats) and narrowHalves (two Doubles rounded to floats, one packet), then
// includes this within its namespace.

inline Floats splat(float v) {
    return LANE_PS(set1)(v);
}

// Each operation below is one intrinsic on the packet's register.
#define LANE_UNARY(name, op)                                                                                           \
    inline Floats name(Floats a) {                                                                                     \
        return LANE_PS(op)(a);                                                                                         \
    }
#define LANE_BINARY(name, op)                                                                                          \
    inline Floats name(Floats a, Floats b) {                                                                           \
        return LANE_PS(op)(a, b);                                                                                      \
    }
#define LANE_COMPARE(name, predicate)                                                                                  \
    inline auto name(Floats a, Floats b) {                                                                             \
        return LANE_CMP(a, b, predicate);                                                                              \
    }
LANE_BINARY(add, add)
LANE_BINARY(sub, sub)
LANE_BINARY(mul, mul)
LANE_BINARY(div, div)
LANE_UNARY(squareRoot, sqrt)
LANE_BINARY(minimum, min)
LANE_COMPARE(cmpLt, _CMP_LT_OQ)
LANE_COMPARE(cmpGt, _CMP_GT_OQ)
LANE_COMPARE(cmpGe, _CMP_GE_OQ)
LANE_COMPARE(cmpEq, _CMP_EQ_OQ)

#ifndef MASK_REGISTERS
// Masks in float registers, all bits set in a true lane
LANE_BINARY(maskAnd, and)
LANE_BINARY(maskOr, or)
inline Floats negate(Floats a) {
    return LANE_PS(xor)(a, splat(-0.0f));
}
// Lanes of `keep` that are not in `drop`.
inline Floats maskAndNot(Floats keep, Floats drop) {
    return LANE_PS(andnot)(drop, keep);
}
inline Floats select(Floats mask, Floats ifTrue, Floats ifFalse) {
    return LANE_PS(blendv)(ifFalse, ifTrue, mask);
}
inline int32_t laneBits(Floats mask) {
    return LANE_PS(movemask)(mask);
}
inline bool anyLane(Floats mask) {
    return laneBits(mask) != 0;
}
#endif
#undef LANE_UNARY
#undef LANE_BINARY
#undef LANE_COMPARE
inline Floats loadFloats(const float* v) {
    return LANE_PS(load)(v);
}
inline void storeFloats(float* out, Floats v) {
    LANE_PS(store)(out, v);
}
inline void storeFloatsAt(float* out, Floats v) {
    LANE_PS(storeu)(out, v);
}

// The lanes `unsure` of pow32's packet handed to powf itself; apart from
// pow32, which is inlined, as they are few.
[[gnu::noinline]] Floats pow32Unsure(Floats x, Floats rounded, int32_t unsure) {
    alignas(sizeof(Floats)) float values[LANES];
    alignas(sizeof(Floats)) float inputs[LANES];
    storeFloats(values, rounded);
    storeFloats(inputs, x);
    powfUnsureLanes(inputs, values, unsure);
    return loadFloats(values);
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes`: squared five times in double, where it is exact to 2^-48; a lane
// whose value lies too near the middle between two floats to be sure how
// powf rounds it is handed to powf itself.
inline Floats pow32(Floats x, Mask lanes) {
    Doubles low = LANE_PD(cvtps)(lowHalf(x));
    Doubles high = LANE_PD(cvtps)(highHalf(x));
    for (int32_t i = 0; i < 5; i++) {
        low = LANE_PD(mul)(low, low);
        high = LANE_PD(mul)(high, high);
    }
    const Doubles below = LANE_PD(set1)(1.0 - POW32_MARGIN);
    const Doubles above = LANE_PD(set1)(1.0 + POW32_MARGIN);
    Floats lower = narrowHalves(LANE_PD(mul)(low, below), LANE_PD(mul)(high, below));
    Floats upper = narrowHalves(LANE_PD(mul)(low, above), LANE_PD(mul)(high, above));
    // Rounding keeps order, so lower == upper means both equal the value
    // itself rounded, which is then lower
    int32_t unsure = laneBits(maskAndNot(lanes, cmpEq(lower, upper)));
    return unsure == 0 ? lower : pow32Unsure(x, lower, unsure);
}

// Wide registers' upper halves cleared before the scalar code of another
// file runs: their contents would otherwise slow its every instruction.
inline void leaveLanes() {
    _mm256_zeroupper();
}

#undef LANE_PS
#undef LANE_PD
#undef LANE_CMP
