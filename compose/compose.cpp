// One frame: the scene moves a step, is traced at half resolution, completed
// by averaging, and the oscilloscope is drawn over the result.
#include "compose/compose.h"
#include "overlays/scope.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "scenes/stage.h"

void startCore() {
    setSampleGrid();
    // The scene on stage built again (classic the first time), as every Init builds the plug-in's
    char error[MAX_ERROR_TEXT];
    if (stage.design.objectCount == 0 || !putOnStage(&stage.design, stage.builtin, error, sizeof(error))) {
        stepStage(0);
    }
}

void composeFrame(FrameBuffer frame, const WaveformBlock block, int32_t channels) {
    animateStage(block, channels);
    renderView(frame, &motion.camera, &motion.light);
    upsampleFrame(frame);
    drawScope(frame, block, channels);
}

void composeFrameAt(FrameImage* image, const WaveformBlock block, int32_t channels) {
    animateStage(block, channels);
    traceImage(image, &motion.camera, &motion.light);
    drawScopeAt(image, block, channels);
}

void composeImage(FrameImage* image, const WaveformBlock block, int32_t channels) {
    if (image->width == FRAME_WIDTH && image->height == FRAME_HEIGHT && image->pitch == FRAME_ROW_BYTES) {
        composeFrame(image->pixels, block, channels);
    } else {
        composeFrameAt(image, block, channels);
    }
}
