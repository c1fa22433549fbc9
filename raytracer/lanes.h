// The lane operations the packet body (packet_trace.inc) is written in. Each
// instruction set has a header that defines them (lanes_sse2.h,
// lanes_avx2.h, lanes_avx512.h, lanes_wasm128.h), in the namespace in which
// its tracer then includes the body; the body includes this file first,
// which adds what follows from them. Every float operation is the lane's
// IEEE single-precision one, rounded to nearest, never fused, so a lane
// computes exactly what the reference computes for its ray.
//
// Packets of LANES rays:
//   LANES, ALL_LANES         rays a packet holds; laneBits of a full mask
//   Floats                   LANES floats
//   splat(v)                 v in every lane
//   negate(a)                the sign bit flipped
//   add, sub, mul, div       a op b in each lane
//   squareRoot(a), minimum(a, b)  minimum as a < b ? a : b
//   cmpLt, cmpGt, cmpGe, cmpEq    ordered comparisons, giving a Mask
//   maskAnd, maskOr          of two masks; maskAndNot(keep, drop): keep's lanes not in drop
//   select(mask, a, b)       a in the mask's lanes, b elsewhere
//   laneBits(mask)           bit k set where lane k is; anyLane(mask)
//   leaveLanes()             before calling the scalar code of another file
//                            once the lanes are done with
//   loadFloats, storeFloats  memory aligned on sizeof(Floats); storeFloatsAt anywhere
//   storeTruncated(out, v)   each lane truncated toward zero to int32 (v in 0..255)
//   pow32(x, lanes)          x^32 as the platform's powf rounds it, in the lanes `lanes`
// Masks are Floats with every bit of a true lane set, unless the header
// defines MASK_REGISTERS and then, with its own Mask type, noLanes(),
// keepLanes(mask, v) (v in the mask's lanes, 0 elsewhere), maskFloats(mask)
// and floatsMask(stored): a mask as Floats to store, and back.
//
// Four lanes, for the rows' running sums and the writing of pixels:
//   Quad, quadSplat, quadAdd  four floats; a + b in each lane
//   quadLoad, quadStore       memory anywhere
//   transposeQuads(q)         four quads as a 4 x 4 matrix, rows made columns
//   writeFourPixels(pixel, grey, blue)  four pixels side by side: byte 0 blue,
//                             bytes 1 and 2 grey (0..255 each), byte 3 kept
#pragma once

#ifndef MASK_REGISTERS
typedef Floats Mask;
// A mask with no lane set.
inline Mask noLanes() {
    return splat(0.0f);
}
// The value in the lanes of `mask`, 0 elsewhere.
inline Floats keepLanes(Mask mask, Floats value) {
    return maskAnd(mask, value);
}
// A mask as floats to store, and back.
inline Floats maskFloats(Mask mask) {
    return mask;
}
inline Mask floatsMask(Floats stored) {
    return stored;
}
#endif

// A mask with every lane set.
inline Mask allLanes() {
    return cmpEq(splat(0.0f), splat(0.0f));
}
