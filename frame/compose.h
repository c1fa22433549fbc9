// One frame's content: move the scene, trace it, fill the gaps, draw the scope.
#pragma once
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"
#include "host/winamp_vis.h"

void composeFrame(FrameBuffer frame, const winampVisModule* module);

// One frame at the image's own size: the scene moves one step (as
// composeFrame), every pixel is one primary ray, and the oscilloscope is
// drawn scaled to the image. Uses the tracer pool when started.
void composeFrameAt(FrameImage* image, const winampVisModule* module);
