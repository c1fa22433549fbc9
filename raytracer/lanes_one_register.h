// The lane operations (see lanes.h) that AVX2 and AVX-512F write alike, a
// packet in one register: the including header names its intrinsics by
// LANE_PS(op) (op's single-precision form) and LANE_CMP (the compare with a
// predicate, giving its Mask) and includes this within its namespace.

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

// Wide registers' upper halves cleared before the scalar code of another
// file runs: their contents would otherwise slow its every instruction.
inline void leaveLanes() {
    _mm256_zeroupper();
}

#undef LANE_PS
#undef LANE_CMP
