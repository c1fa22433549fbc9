// The picture raysphere shows: the plug-in's own 320 x 200 frame (half
// traced, gaps filled) scaled up, or every pixel of an image traced at a size
// of its own: --size, or the window's pixels (--size window, W), smaller
// when the machine cannot keep the frame rate. The kind is chosen when the
// size changes; the frame loop goes through its row of routines.
#pragma once
#include <cstddef>
#include <cstdint>
#include "app/options.h"
#include "frame/waveform_block.h"
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"

enum PictureKind {
    PICTURE_PLUGIN_FRAME, // the plug-in's frame; it persists from frame to frame
    PICTURE_TRACED,       // every pixel traced, on the tracer threads
    PICTURE_KIND_COUNT
};

struct Picture {
    int32_t kind;               // PictureKind
    const AppOptions* options;  // the command line
    uint8_t frame[FRAME_BYTES]; // the plug-in's render surface; persists from frame to frame
    uint8_t* sizedPixels;       // a traced image's memory, malloc'd, grown only
    size_t sizedBytes;          // bytes at sizedPixels
    FrameImage image;           // the picture shown: the frame or the traced image
    int32_t textScale;          // title and frame rate: 1 at 320 x 200
    bool infoDrawn;             // the frame rate line is in the picture and must be cleared
    bool poolStarted;           // the tracer threads run
    bool windowSized;           // --size window or W: the image follows the window's pixels
    int32_t windowPixels[2];    // the window's size the image follows
    int32_t tracedLevel;        // the image's share of it, from traced_size.h
};

// The picture the run starts with, before the window opens: the plug-in's
// frame, or the --size image with the tracer threads started. False, reported,
// when the threads or the memory cannot be had.
bool startPicture(Picture* picture, const AppOptions* options);

// Once the window is open, --size window: the image the window's size. False, reported, when none can be made.
bool startWindowSized(Picture* picture);

// Once a frame, with the image following the window: its size for the
// window's pixels now and the level the frame rate allows. True when the
// size changed.
bool followWindowSize(Picture* picture);

// After each measured second: the traced size the frame rate allows, with
// the image following the window.
void adjustTracedLevel(Picture* picture, double frameMs, double budgetMs);

// W: tracing at the window's size, or back to the size the run started
// with. True when the size changed.
bool toggleWindowSized(Picture* picture);

// One frame of the scene for `block` of `channels` channels (1 or 2).
void composePicture(Picture* picture, const WaveformBlock block, int32_t channels);

// I: with `shown`, the frame rate (and a traced image's size) over the
// picture; without, the line taken away again.
void drawPictureInfo(Picture* picture, bool shown, double measuredFps);

// What helps when tracing limits the frame rate, for the message.
const char* tracingRemedy(const Picture* picture);

// The threads and memory; safe in any state.
void stopPicture(Picture* picture);
