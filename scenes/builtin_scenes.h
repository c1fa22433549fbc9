// The built-in scenes: the scene files of scenes/builtin, compiled in as
// text at build time, "classic" (the plug-in's own scene) first.
#pragma once
#include <cstddef>
#include <cstdint>

struct BuiltinScene {
    const char* fileName; // the file it was made from, for messages
    const char* text;     // the whole file
    size_t length;
};

extern const BuiltinScene builtinScenes[];
extern const int32_t builtinSceneCount;
