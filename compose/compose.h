// The core's entry points: start it once, then make one frame at a time from
// a waveform block and its channel count: move the scene, trace it, fill the
// gaps, draw the scope.
#pragma once
#include <cstdint>
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"
#include "frame/waveform_block.h"

// What every start does before the first frame: the sample grid is set and
// the scene on stage built again, "classic" (the plug-in's) unless another
// was staged. The motion goes on from where it stood.
void startCore();

// The plug-in's frame: the scene moves one step, is traced on the
// half-resolution grid, completed by averaging, and the oscilloscope of
// channels 0 to `channels` - 1 is drawn over it.
void composeFrame(FrameBuffer frame, const WaveformBlock block, int32_t channels);

// One frame at the image's own size: the scene moves one step (as
// composeFrame), every pixel is one primary ray, and the oscilloscope is
// drawn scaled to the image. Uses the tracer pool when started.
void composeFrameAt(FrameImage* image, const WaveformBlock block, int32_t channels);

// One frame into the image, by its size: a 320 x 200 image with 1280-byte
// rows is the plug-in's frame (composeFrame: its rows 181..199 keep what they
// held), any other size has every pixel traced (composeFrameAt).
void composeImage(FrameImage* image, const WaveformBlock block, int32_t channels);
