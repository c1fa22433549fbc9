// The song-title overlay: a SPACE request prints the title on ten frames.
#pragma once
#include <cstdint>
#include "host/winamp_vis.h"

constexpr int32_t TITLE_FRAMES = 10;

extern int32_t titleRequested;  // 1 while the title is shown; cleared by Init
extern int32_t titleFrameCount; // title steps since the last request

void requestTitle();
void drawTitle(const winampVisModule* module);
