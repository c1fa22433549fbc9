// One frame's content: move the scene, trace it, fill the gaps, draw the scope.
#pragma once
#include "frame/frame_buffer.h"
#include "host/winamp_vis.h"

void composeFrame(FrameBuffer frame, const winampVisModule* module);
