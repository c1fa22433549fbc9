// A request to show the song title, as SPACE makes it: the title goes on the
// ten frames after it, counted afresh by each press. The plug-in and the
// portable front ends keep one each.
#pragma once
#include <cstdint>

constexpr int32_t TITLE_BOX_FRAMES = 10; // frames a request shows the title on

// A title request and its count.
struct TitleRequest {
    int32_t requested;  // 1 while the title is shown
    int32_t frameCount; // title steps taken since the last request
};

// SPACE: show the title on the next ten frames, counting afresh.
void requestTitleBox(TitleRequest* request);

// One frame's title step: true when the title goes on this frame; the
// request ends after its tenth.
bool stepTitleBox(TitleRequest* request);
