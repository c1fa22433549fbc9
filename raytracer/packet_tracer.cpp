// Placeholder until the packet tracers land: the reference under their names.
#include "raytracer/packet_tracer.h"

void traceSpanSse2(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes) {
    traceSpanReference(view, rowStart, count, firstPixel, pixelBytes);
}
void traceSpanAvx2(const ViewRays* view, Vector3 rowStart, int32_t count, uint8_t* firstPixel, int32_t pixelBytes) {
    traceSpanReference(view, rowStart, count, firstPixel, pixelBytes);
}
bool avx2Available() {
    return false;
}
