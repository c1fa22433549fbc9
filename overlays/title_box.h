// The song title as the plug-in shows it, for the portable front ends: black
// text on an opaque white box centred on the image, in a bitmap font, on the
// ten frames after a request.
#pragma once
#include <cstdint>
#include "frame/frame_image.h"
#include "overlays/title_request.h"

// The scale of the title and other text on a `width` x `height` image: one
// font pixel for each 320 x 200 the image holds, at least 1.
int32_t titleScale(int32_t width, int32_t height);

// Draws glyph `code` of the title font with its top left corner at (left,
// top), `scale` image pixels to a font pixel, clipped to the image: ink in
// grey level `ink`, the rest in grey level `paper`, or left as it is when
// `paper` is negative.
void drawTitleGlyph(FrameImage* image, uint32_t code, int32_t left, int32_t top, int32_t scale, int32_t ink,
                    int32_t paper);

// Width and height in pixels of `text` (UTF-8) at scale 1.
void measureTitleBox(const char* text, int32_t* width, int32_t* height);

// Black text on a white box in the middle of the image, the plug-in's look,
// scaled by `scale` (1 at 320x200). `text` is UTF-8; characters the font
// lacks (beyond ISO 8859-1, control codes) show as a box of dots. A title
// wider than the image ends in "..." where the image ends.
void drawTitleBox(FrameImage* image, const char* text, int32_t scale);
