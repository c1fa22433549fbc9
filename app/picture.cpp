// The picture's kinds, its size and what is drawn over it.
#include "app/picture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/platform.h"
#include "app/report.h"
#include "app/traced_size.h"
#include "compose/compose.h"
#include "overlays/title_box.h"
#include "overlays/title_font.h"
#include "raytracer/tracer_pool.h"
#include "scenes/stage.h"

namespace {

constexpr size_t ERROR_CHARS = 1024;
constexpr int32_t INFO_ROW = 184; // the frame rate line, in rows the plug-in's tracer never paints

// Writes `text` white on black in the rows below the picture, or clears them.
void drawInfoLine(Picture* picture, const char* text) {
    FrameImage* image = &picture->image;
    int32_t scale = picture->textScale;
    int32_t top = image->height * INFO_ROW / FRAME_HEIGHT;
    for (int32_t y = top; y < top + TITLE_FONT_HEIGHT * scale && y < image->height; y++) {
        memset(image->pixels + (size_t)y * image->pitch, 0, (size_t)image->width * 4);
    }
    for (int32_t column = 0; text != nullptr && text[column] != '\0'; column++) {
        drawTitleGlyph(image, (uint8_t)text[column], (4 + column * TITLE_FONT_WIDTH) * scale, top, scale, 255, -1);
    }
}

// Title and frame rate text: one font pixel per 320 x 200 of the picture.
void setTextScale(Picture* picture) {
    picture->textScale = titleScale(picture->image.width, picture->image.height);
}

// The plug-in's frame: half traced into the render surface, which keeps its
// bottom rows from frame to frame.

void composePluginFrame(Picture* picture, const WaveformBlock block, int32_t channels) {
    composeFrame(picture->frame, block, channels);
}

void describePluginFrame(const Picture* picture, char* text, size_t size, double fps) {
    snprintf(text, size, "%s %.1f fps of %d", stageSceneName(), fps, (int)picture->options->fps);
}

void clearPluginFrameInfo(Picture* picture) {
    drawInfoLine(picture, nullptr);
}

// A traced image: traced whole each frame, nothing to clear.

void composeTraced(Picture* picture, const WaveformBlock block, int32_t channels) {
    composeFrameAt(&picture->image, block, channels);
}

void describeTraced(const Picture* picture, char* text, size_t size, double fps) {
    snprintf(text, size, "%s %dx%d %.1f fps of %d", stageSceneName(), (int)picture->image.width,
             (int)picture->image.height, fps, (int)picture->options->fps);
}

void clearNothing(Picture*) {}

struct PictureRoutines {
    void (*compose)(Picture* picture, const WaveformBlock block, int32_t channels);
    void (*describe)(const Picture* picture, char* text, size_t size, double fps); // the frame rate line
    void (*clearInfo)(Picture* picture);                                           // the frame rate line taken away
    const char* remedy; // what helps when tracing limits the rate
};

const PictureRoutines pictureTable[] = {
    {composePluginFrame, describePluginFrame, clearPluginFrameInfo, "a lower --fps helps"},   // PICTURE_PLUGIN_FRAME
    {composeTraced, describeTraced, clearNothing, "a smaller --size or a lower --fps helps"}, // PICTURE_TRACED
};
static_assert(sizeof pictureTable / sizeof pictureTable[0] == PICTURE_KIND_COUNT, "one row of routines per kind");

// Starts the tracer threads a whole traced image needs; false, reported, when they cannot start.
bool startPool(Picture* picture) {
    if (!picture->poolStarted && !startTracerPool(picture->options->threads)) {
        reportProblem("cannot start the tracer threads");
        return false;
    }
    picture->poolStarted = true;
    return true;
}

// Images traced whole at `width` x `height` from now on, in memory kept
// from frame to frame and grown only when a larger size is first asked
// for; false, reported, with the picture as it was.
bool useTracedSize(Picture* picture, int32_t width, int32_t height) {
    bool traced = picture->kind == PICTURE_TRACED;
    if (traced && picture->image.width == width && picture->image.height == height) {
        return true;
    }
    size_t bytes = (size_t)width * height * 4;
    if (bytes > picture->sizedBytes) {
        uint8_t* pixels = (uint8_t*)calloc(bytes, 1);
        if (pixels == nullptr) {
            reportProblem("no memory for a %dx%d frame", (int)width, (int)height);
            return false;
        }
        if (traced) {
            picture->image.pixels = pixels; // the image as it was, should the window refuse the new size
        }
        free(picture->sizedPixels);
        picture->sizedPixels = pixels;
        picture->sizedBytes = bytes;
    }
    char error[ERROR_CHARS];
    if (!platform.resizeFrame(width, height, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    picture->kind = PICTURE_TRACED;
    picture->image = FrameImage{picture->sizedPixels, width, height, width * 4};
    setTextScale(picture);
    return true;
}

// The plug-in's own frame, or the --size image, as at start without --size window.
bool useStartingSize(Picture* picture) {
    const AppOptions* options = picture->options;
    if (options->frameWidth != 0) {
        return useTracedSize(picture, options->frameWidth, options->frameHeight);
    }
    char error[ERROR_CHARS];
    if (!platform.resizeFrame(FRAME_WIDTH, FRAME_HEIGHT, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    picture->kind = PICTURE_PLUGIN_FRAME;
    picture->image = FrameImage{picture->frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    setTextScale(picture);
    return true;
}

} // namespace

bool startPicture(Picture* picture, const AppOptions* options) {
    picture->options = options;
    picture->kind = PICTURE_PLUGIN_FRAME;
    picture->image = FrameImage{picture->frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    if ((options->frameWidth != 0 || options->windowSized) && !startPool(picture)) {
        return false;
    }
    if (options->frameWidth != 0 && !useTracedSize(picture, options->frameWidth, options->frameHeight)) {
        return false;
    }
    setTextScale(picture);
    return true;
}

bool startWindowSized(Picture* picture) {
    if (!picture->options->windowSized) {
        return true;
    }
    picture->windowSized = true;
    followWindowSize(picture);
    return picture->kind == PICTURE_TRACED; // else said why
}

bool followWindowSize(Picture* picture) {
    if (!picture->windowSized) {
        return false;
    }
    int32_t pixels[2];
    platform.pixelSize(&pixels[0], &pixels[1]);
    int32_t width = 0;
    int32_t height = 0;
    levelSize(pixels[0], pixels[1], picture->tracedLevel, &width, &height);
    if (picture->kind == PICTURE_TRACED && picture->image.width == width && picture->image.height == height) {
        return false;
    }
    if (!useTracedSize(picture, width, height)) {
        return false;
    }
    picture->windowPixels[0] = pixels[0];
    picture->windowPixels[1] = pixels[1];
    reportDetail("tracing %dx%d for a %dx%d window", (int)width, (int)height, (int)pixels[0], (int)pixels[1]);
    return true;
}

void adjustTracedLevel(Picture* picture, double frameMs, double budgetMs) {
    if (!picture->windowSized) {
        return;
    }
    int32_t level =
        nextTracedLevel(picture->windowPixels[0], picture->windowPixels[1], picture->tracedLevel, frameMs, budgetMs);
    if (level != picture->tracedLevel) {
        reportDetail("a frame takes %.1f ms to make: %s the traced size", frameMs,
                     level > picture->tracedLevel ? "lowering" : "raising");
        picture->tracedLevel = level;
    }
}

bool toggleWindowSized(Picture* picture) {
    if (picture->windowSized) {
        if (!useStartingSize(picture)) {
            return false;
        }
        picture->windowSized = false;
        reportDetail("tracing %dx%d", (int)picture->image.width, (int)picture->image.height);
        return true;
    }
    if (!startPool(picture)) {
        return false;
    }
    picture->windowSized = true;
    picture->tracedLevel = 0;
    return followWindowSize(picture);
}

void composePicture(Picture* picture, const WaveformBlock block, int32_t channels) {
    pictureTable[picture->kind].compose(picture, block, channels);
}

void drawPictureInfo(Picture* picture, bool shown, double measuredFps) {
    if (shown) {
        char info[96];
        pictureTable[picture->kind].describe(picture, info, sizeof info, measuredFps);
        drawInfoLine(picture, info);
        picture->infoDrawn = true;
    } else if (picture->infoDrawn) {
        pictureTable[picture->kind].clearInfo(picture);
        picture->infoDrawn = false;
    }
}

const char* tracingRemedy(const Picture* picture) {
    return pictureTable[picture->kind].remedy;
}

void stopPicture(Picture* picture) {
    if (picture->poolStarted) {
        stopTracerPool();
        picture->poolStarted = false;
    }
    free(picture->sizedPixels);
    picture->sizedPixels = nullptr;
    picture->sizedBytes = 0;
}
