// Windows only. The entry point of the scenes plug-in: one module per
// built-in scene, "classic" first, each the plug-in's own module (display,
// title, about box, frame) starting its scene on stage.
#ifndef _WIN32
#error "scenes_plugin/scenes_plugin.cpp is Windows-only"
#endif
#include "scenes_plugin/scenes_plugin.h"

#include <cstddef>
#include "host/lifecycle.h"
#include "scenes/builtin_scenes.h"
#include "scenes/scene_design.h"
#include "scenes/stage.h"
#include "scene_modules.h" // SCENE_MODULES(X): X(name) for every built-in scene, in order

namespace {

char headerDescription[] = "nox raytracer winamp plugin: scenes";

// Puts the built-in scene `name` on stage, then starts as the plug-in does.
// A scene that does not read (ruled out by the tests) leaves the one on stage.
int32_t initScene(const char* name, winampVisModule* module) {
    char error[MAX_ERROR_TEXT];
    stageScene(name, error, sizeof(error));
    return Init(module);
}

// Per scene: its description (the display window's title too) and its Init.
#define SCENE_DESCRIPTION(name) char name##Description[] = #name;
#define SCENE_INIT(name)                                                                                               \
    int32_t name##Init(winampVisModule* module) {                                                                      \
        return initScene(#name, module);                                                                               \
    }
SCENE_MODULES(SCENE_DESCRIPTION)
SCENE_MODULES(SCENE_INIT)

// A module record as the plug-in's own, with the scene's description and Init.
#define SCENE_MODULE(name)                                                                                             \
    {                                                                                                                  \
        name##Description, NULL, NULL, 0, 2, 15, 15, 0, 2, {}, {}, Config, name##Init, Render, Quit, NULL,             \
    },

winampVisModule sceneModules[] = {SCENE_MODULES(SCENE_MODULE)};

winampVisHeader sceneHeader = {
    VIS_HEADER_VERSION, // version
    headerDescription,  // description
    getSceneModule,     // getModule
};

} // namespace

const int32_t sceneModuleCount = sizeof(sceneModules) / sizeof(sceneModules[0]);

winampVisModule* getSceneModule(int32_t index) {
    if (index < 0 || index >= sceneModuleCount) {
        return NULL;
    }
    return &sceneModules[index];
}

extern "C" winampVisHeader* winampVisGetHeader() {
    return &sceneHeader;
}
