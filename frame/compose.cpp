// One frame: the scene moves a step, is traced at half resolution, completed
// by averaging, and the oscilloscope is drawn over the result.
#include "frame/compose.h"
#include "overlays/scope.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"

void composeFrame(FrameBuffer frame, const winampVisModule* module) {
    animateScene(module);
    renderView(frame, &motion.camera, &motion.light);
    upsampleFrame(frame);
    drawScope(frame, module);
}

void composeFrameAt(FrameImage* image, const winampVisModule* module) {
    animateScene(module);
    traceImage(image, &motion.camera, &motion.light);
    drawScopeAt(image, module);
}
