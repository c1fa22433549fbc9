// The packet tracer with SSE2: every x86 processor the plug-in runs on has
// it, so the 32-bit DLL uses it too. It traces 8 rays at a time as two
// registers of 4. A build without SSE2 has the reference tracer alone.
#include "raytracer/packet_body.h"

#if defined(__SSE2__)

#include "raytracer/lanes_sse2.h"

#define PACKET_NAME(stem) stem##Sse2
#include "raytracer/packet_any_scene.inc"

bool sse2Available() {
    return true;
}

#else

PACKET_ABSENT(traceRowsSse2, pow32Sse2, sse2Available, 8)

#endif
