// The oscilloscope: one trace per audio channel in rows 0..127.
#pragma once
#include "frame/frame_buffer.h"
#include "frame/frame_image.h"
#include "frame/waveform_block.h"

// Draws channels 0 to `channels` - 1 of the block (a count of 0 or less draws
// nothing, one above 2 draws the block's two).
void drawScope(FrameBuffer frame, const WaveformBlock block, int32_t channels);
// The same trace scaled to the image: each mark covers the pixels that its
// pixel of a 320 x 200 frame would cover, so lines thicken and the band
// stretches with the image; at 320 x 200 it is drawScope.
void drawScopeAt(const FrameImage* image, const WaveformBlock block, int32_t channels);
