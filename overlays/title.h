// The song-title overlay: a SPACE request prints the title on ten frames.
// This file owns the request: SPACE asks, Init ends it, each frame counts it.
#pragma once
#include <cstdint>
#include "host/winamp_vis.h"
#include "overlays/title_request.h"

extern TitleRequest songTitleRequest; // the plug-in's one title request

void requestTitle();
// Init: no title from an earlier run; the count stays as it was.
void endTitle();
void drawTitle(const winampVisModule* module);
