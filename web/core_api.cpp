// The core as the web page's trace worker calls it: one waveform block, the
// plug-in's 320 x 200 frame or a sharp frame of any size, the title box over
// it, and the result as RGBA bytes for a canvas.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/traced_size.h"
#include "audio/waveform_block.h"
#include "compose/compose.h"
#include "frame/image_rgb.h"
#include "overlays/title_box.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"
#include "audio/demo_tune.h"

namespace {

constexpr int32_t TITLE_BYTES = 1024;
constexpr int32_t LISTED_SCENES = 64; // the most built-in scenes webSceneNames lists

struct WebCore {
    WaveformBlock block;           // the waveform of the next frame
    uint8_t frame[FRAME_BYTES];    // the render surface; its bottom rows persist
    FrameImage image;              // the frame traced last: the render surface or the sharp image
    uint8_t* sharpPixels;          // the sharp image's memory, made anew when its size changes
    uint8_t* rgba;                 // what the canvas gets, sized with the largest frame made
    size_t rgbaBytes;              // bytes of rgba
    int16_t pcm[BLOCK_FRAMES * 2]; // the page's samples of the next block, interleaved stereo
    char title[TITLE_BYTES];       // UTF-8, shown while a request lasts
    TitleRequest titleRequest;     // SPACE
    bool poolStarted;              // the tracer threads run
};

WebCore web;

// The sharp image's memory for `width` x `height`, kept while the size stays.
bool sizeSharpImage(int32_t width, int32_t height) {
    if (web.sharpPixels != nullptr && web.image.width == width && web.image.height == height &&
        web.image.pixels == web.sharpPixels) {
        return true;
    }
    free(web.sharpPixels);
    web.sharpPixels = (uint8_t*)calloc((size_t)width * height, 4);
    if (web.sharpPixels == nullptr) {
        return false;
    }
    web.image = FrameImage{web.sharpPixels, width, height, width * 4};
    return true;
}

// The canvas's RGBA bytes of the frame just made, opaque.
uint8_t* toRgba(const FrameImage* image) {
    size_t bytes = (size_t)image->width * image->height * 4;
    if (bytes > web.rgbaBytes) {
        free(web.rgba);
        web.rgba = (uint8_t*)malloc(bytes);
        web.rgbaBytes = web.rgba != nullptr ? bytes : 0;
        if (web.rgba == nullptr) {
            return nullptr;
        }
    }
    imageToRgb(image, web.rgba, RGBA_CHANNELS);
    return web.rgba;
}

} // namespace

extern "C" {

// What the plug-in's Init does before the first frame, and the tracer
// threads; returns the threads tracing a sharp frame.
EMSCRIPTEN_KEEPALIVE int32_t webStart(int32_t threads) {
    startCore();
    selectTracer(fastestTracer());
    web.image = FrameImage{web.frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    if (threads > 1 && !web.poolStarted) {
        web.poolStarted = startTracerPool(threads);
    }
    return tracerThreadCount();
}

// Where the page writes the next block's 576 interleaved stereo 16-bit samples.
EMSCRIPTEN_KEEPALIVE int16_t* webPcm() {
    return web.pcm;
}

// Where a ready-made block of 2 x 576 bytes goes (the test hook's waveforms).
EMSCRIPTEN_KEEPALIVE uint8_t* webBlock() {
    return &web.block[0][0];
}

// The samples written at webPcm as the next frame's block.
EMSCRIPTEN_KEEPALIVE void webBlockFromPcm() {
    blockFromPcm16(web.pcm, 2, BLOCK_FRAMES, web.block);
}

// The title a request shows: the source's, changed as the playlist moves.
EMSCRIPTEN_KEEPALIVE void webSetTitle(const char* text) {
    strncpy(web.title, text, TITLE_BYTES - 1);
    web.title[TITLE_BYTES - 1] = '\0';
}

// SPACE: the title on the next ten frames.
EMSCRIPTEN_KEEPALIVE void webRequestTitle() {
    requestTitleBox(&web.titleRequest);
}

// One frame from the block: the plug-in's at 320 x 200, else every pixel
// traced at `width` x `height`. Returns its RGBA bytes, or null when memory
// runs out.
EMSCRIPTEN_KEEPALIVE uint8_t* webFrame(int32_t width, int32_t height, int32_t channels) {
    if (width == FRAME_WIDTH && height == FRAME_HEIGHT) {
        web.image = FrameImage{web.frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    } else {
        if (width < MIN_IMAGE_SIDE || height < MIN_IMAGE_SIDE || width > MAX_IMAGE_SIDE || height > MAX_IMAGE_SIDE ||
            !sizeSharpImage(width, height)) {
            return nullptr;
        }
    }
    composeImage(&web.image, web.block, channels);
    if (stepTitleBox(&web.titleRequest)) {
        // The scene's name first, as the live program shows it
        static char shown[MAX_SCENE_NAME + 3 + TITLE_BYTES];
        snprintf(shown, sizeof(shown), "%s - %s", stageSceneName(), web.title);
        drawTitleBox(&web.image, shown, titleScale(width, height));
    }
    return toRgba(&web.image);
}

// One step of motion from the block without a frame: the page calls it for a
// step whose frame it cannot trace in time, so that the motion keeps its
// pace however slow the tracing.
EMSCRIPTEN_KEEPALIVE void webAdvance(int32_t channels) {
    animateStage(web.block, channels);
}

// Puts the built-in scene of that name on stage; 0 for a name no built-in
// scene has (the page reads no files of its own).
EMSCRIPTEN_KEEPALIVE int32_t webScene(const char* name) {
    char error[MAX_ERROR_TEXT];
    return findBuiltinScene(name) >= 0 && stageScene(name, error, sizeof(error)) ? 1 : 0;
}

// The built-in scene `step` places after the one on stage (negative: before).
EMSCRIPTEN_KEEPALIVE void webStepScene(int32_t step) {
    stepStage(step);
}

// The name of the scene on stage.
EMSCRIPTEN_KEEPALIVE const char* webSceneName() {
    return stageSceneName();
}

// The built-in scenes' names, "classic" first, one a line.
EMSCRIPTEN_KEEPALIVE const char* webSceneNames() {
    static char names[LISTED_SCENES * MAX_SCENE_NAME];
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    size_t used = 0;
    for (int32_t i = 0; i < builtinSceneCount && i < LISTED_SCENES; i++) {
        if (readBuiltinScene(i, &design, error, sizeof(error))) {
            size_t length = strlen(design.name);
            memcpy(names + used, design.name, length);
            used += length;
            names[used++] = '\n';
        }
    }
    names[used > 0 ? used - 1 : 0] = '\0';
    return names;
}

// The sharp mode's size for a canvas of `width` x `height` at `level`, as
// width * 65536 + height (the levels of raysphere's --size window).
EMSCRIPTEN_KEEPALIVE int32_t webLevelSize(int32_t width, int32_t height, int32_t level) {
    int32_t levelWidth = 0;
    int32_t levelHeight = 0;
    levelSize(width, height, level, &levelWidth, &levelHeight);
    return levelWidth * 65536 + levelHeight;
}

// The level for the next sharp frames, after one at `level` took `frameMs`.
EMSCRIPTEN_KEEPALIVE int32_t webNextLevel(int32_t width, int32_t height, int32_t level, double frameMs,
                                          double budgetMs) {
    return nextTracedLevel(width, height, level, frameMs, budgetMs);
}

// The centre sphere's radius in the frame made last.
EMSCRIPTEN_KEEPALIVE float webCentreRadius() {
    return scene.spheres[0].radius;
}

// The demo tune's loop as two planes of DEMO_LOOP_SAMPLES floats, left then
// right, scaled as the browsers' decoders scale 16-bit samples (by 1/32767
// above zero, 1/32768 below), so that the tapped sound gives them back.
EMSCRIPTEN_KEEPALIVE float* webDemoTune() {
    float* planes = (float*)malloc(sizeof(float) * DEMO_LOOP_SAMPLES * DEMO_CHANNELS);
    if (planes == nullptr) {
        return nullptr;
    }
    for (int32_t channel = 0; channel < DEMO_CHANNELS; channel++) {
        for (uint32_t i = 0; i < DEMO_LOOP_SAMPLES; i++) {
            int16_t sample = demoTuneSample(channel, i);
            planes[channel * DEMO_LOOP_SAMPLES + i] = (float)sample / (sample > 0 ? 32767.0f : 32768.0f);
        }
    }
    return planes;
}

EMSCRIPTEN_KEEPALIVE void webFree(void* memory) {
    free(memory);
}

} // extern "C"
