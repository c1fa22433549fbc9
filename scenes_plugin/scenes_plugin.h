// Windows only. The scenes plug-in's modules: one per built-in scene, in the
// order of the built-in scenes.
#pragma once
#include <cstdint>
#include "host/winamp_vis.h"

extern const int32_t sceneModuleCount;

// The module of built-in scene `index`, or NULL past the last.
winampVisModule* getSceneModule(int32_t index);
