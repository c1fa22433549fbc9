// The song title as the plug-in shows it, for the portable front ends: black
// text on an opaque white box centred on the image, in a bitmap font, on the
// ten frames after a request.
#pragma once
#include <cstdint>
#include "frame/frame_image.h"

constexpr int32_t TITLE_BOX_FRAMES = 10; // frames a request shows the title on

// A title request and its count, as SPACE makes it.
struct TitleRequest {
    int32_t requested;  // 1 while the title is shown
    int32_t frameCount; // title steps taken since the last request
};

// SPACE: show the title on the next ten frames, counting afresh.
void requestTitleBox(TitleRequest* request);

// One frame's title step: true when the title goes on this frame; the
// request ends after its tenth.
bool stepTitleBox(TitleRequest* request);

// Width and height in pixels of `text` (UTF-8) at scale 1.
void measureTitleBox(const char* text, int32_t* width, int32_t* height);

// Black text on a white box in the middle of the image, the plug-in's look,
// scaled by `scale` (1 at 320x200). `text` is UTF-8; characters the font
// lacks (beyond ISO 8859-1, control codes) show as a box of dots. A title
// wider than the image ends in "..." where the image ends.
void drawTitleBox(FrameImage* image, const char* text, int32_t scale);
