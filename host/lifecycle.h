// The module's four callbacks as the player calls them.
#pragma once
#include "host/winamp_vis.h"

void Config(winampVisModule* module);
int32_t Init(winampVisModule* module);
int32_t Render(winampVisModule* module);
void Quit(winampVisModule* module);

winampVisModule* getModule(int32_t index);
