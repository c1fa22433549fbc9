// The lane operations (see lanes.h) that AVX2 and AVX-512F write alike, a
// packet in one register: the including header names its intrinsics by
// LANE_PS(op) and LANE_PD(op) (op's single- and double-precision forms) and
// LANE_CMP (the compare with a predicate, giving its Mask), defines its own
// operations, Doubles (half a packet's lanes as doubles), lowHalf and
// highHalf (half a packet's floats) and narrowHalves (two Doubles rounded to
// floats, one packet), then includes this within its namespace.

inline Floats splat(float v) {
    return LANE_PS(set1)(v);
}
inline Floats add(Floats a, Floats b) {
    return LANE_PS(add)(a, b);
}
inline Floats sub(Floats a, Floats b) {
    return LANE_PS(sub)(a, b);
}
inline Floats mul(Floats a, Floats b) {
    return LANE_PS(mul)(a, b);
}
inline Floats div(Floats a, Floats b) {
    return LANE_PS(div)(a, b);
}
inline Floats squareRoot(Floats a) {
    return LANE_PS(sqrt)(a);
}
inline Floats minimum(Floats a, Floats b) {
    return LANE_PS(min)(a, b);
}
inline auto cmpLt(Floats a, Floats b) {
    return LANE_CMP(a, b, _CMP_LT_OQ);
}
inline auto cmpGt(Floats a, Floats b) {
    return LANE_CMP(a, b, _CMP_GT_OQ);
}
inline auto cmpGe(Floats a, Floats b) {
    return LANE_CMP(a, b, _CMP_GE_OQ);
}
inline auto cmpEq(Floats a, Floats b) {
    return LANE_CMP(a, b, _CMP_EQ_OQ);
}
inline Floats loadFloats(const float* v) {
    return LANE_PS(load)(v);
}
inline void storeFloats(float* out, Floats v) {
    LANE_PS(store)(out, v);
}
inline void storeFloatsAt(float* out, Floats v) {
    LANE_PS(storeu)(out, v);
}

// x^32 rounded to float, as the platform's powf(x, 32) gives it, in the lanes
// `lanes`: squared five times in double, where it is exact to 2^-48; a lane
// whose value lies too near the middle between two floats to be sure how
// powf rounds it is handed to powf itself.
Floats pow32(Floats x, Mask lanes) {
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
    Floats result = lower;
    int32_t unsure = laneBits(maskAndNot(lanes, cmpEq(lower, upper)));
    if (unsure == 0) {
        return result;
    }
    alignas(sizeof(Floats)) float values[LANES];
    alignas(sizeof(Floats)) float inputs[LANES];
    storeFloats(values, result);
    storeFloats(inputs, x);
    powfUnsureLanes(inputs, values, LANES, unsure);
    return loadFloats(values);
}

// Wide registers' upper halves cleared before the scalar code of another
// file runs: their contents would otherwise slow its every instruction.
inline void leaveLanes() {
    _mm256_zeroupper();
}

#undef LANE_PS
#undef LANE_PD
#undef LANE_CMP
