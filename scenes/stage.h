// The stage: the scene being shown, put into the tracer's table from its
// description, and moved every frame by the angle, the waveform and the
// music's analysis.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include "analysis/analysis.h"
#include "scenes/scene_design.h"

constexpr int32_t STAGE_FROM_FILE = -1; // Stage::builtin of a scene read from a file

struct Stage {
    SceneDesign design;                   // the scene on stage, as read
    int32_t builtin;                      // index into builtinScenes, or STAGE_FROM_FILE
    MusicAnalysis analysis;               // of every block the stage is moved by
    Texture textures[MAX_SCENE_TEXTURES]; // the scene's textures, made when it is put on stage
    float* targets[MAX_MOTION_CHANNELS];  // the float each motion channel writes
    uint8_t reprepare[MAX_SCENE_OBJECTS]; // 1 for a tube or parallelogram whose record moves
};

extern Stage stage;

// The built-in scene of that name (as its file names it), or -1.
int32_t findBuiltinScene(const char* name);
// Reads built-in scene `index` into `design`; false only for a built-in file
// that does not read, which the tests rule out.
bool readBuiltinScene(int32_t index, SceneDesign* design, char* error, size_t errorSize);
// A built-in scene by name, else the scene file of that name, read into
// `design`; `builtin` gets its index or STAGE_FROM_FILE.
bool readNamedScene(const char* nameOrFile, SceneDesign* design, int32_t* builtin, char* error, size_t errorSize);
// Puts a scene on stage: its table, records and textures, the fog, and the
// motion targets; the analysis starts afresh, the angle goes on. False with
// what is wrong when an image texture cannot be read any more.
bool putOnStage(const SceneDesign* design, int32_t builtin, char* error, size_t errorSize);
// Reads a built-in scene by name or a scene file and puts it on stage;
// false with "FILE:LINE: what is wrong", the stage unchanged.
bool stageScene(const char* nameOrFile, char* error, size_t errorSize);
// Puts the built-in scene `step` places after the one on stage (negative:
// before) on stage, going round; from a scene file, 1 gives the first.
void stepStage(int32_t step);
// The name of the scene on stage, "" before the first.
const char* stageSceneName();
// Writes one line per built-in scene, "classic" first: its name, padded, and
// its description.
void writeSceneList(FILE* out);
// Shows `cover` (null: none) in the textures of kind "cover" of the scene on
// stage and of every scene staged after; the front end calls it when the
// song changes. The texels are copied: `cover` may go afterwards.
void setStageCover(const Texture* cover);
// One step of motion: the angle, the analysis of `block`, then every moving
// property. Allocates nothing.
void animateStage(const WaveformBlock block, int32_t channels);
