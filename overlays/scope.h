// The oscilloscope: one trace per audio channel in rows 0..127.
#pragma once
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"
#include "host/winamp_vis.h"

void drawScope(FrameBuffer frame, const winampVisModule* module);
// The same trace scaled to the image: each mark covers the pixels that its
// pixel of a 320 x 200 frame would cover, so lines thicken and the band
// stretches with the image; at 320 x 200 it is drawScope.
void drawScopeAt(const FrameImage* image, const winampVisModule* module);
