// The oscilloscope: one trace per audio channel in rows 0..127.
#pragma once
#include "frame/frame_buffer.h"
#include "host/winamp_vis.h"

void drawScope(FrameBuffer frame, const winampVisModule* module);
