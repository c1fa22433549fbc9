// The stage: a scene description made into the tracer's table and moved.
#include "scenes/stage.h"

#include <cmath>
#include <cstring>

#include "raytracer/scene.h"
#include "scenes/builtin_scenes.h"
#include "scenes/scene_textures.h"

Stage stage;

// The design holds the camera and the light as their records' floats.
static_assert(sizeof(Camera) == sizeof(SceneDesign::camera), "the camera is eye, target, zoom and roll");
static_assert(sizeof(Light) == sizeof(SceneDesign::light), "the light is its position");

// What the drivers read in one frame.
struct DriverInputs {
    float angle; // the animation angle
    float byte;  // the first waveform byte of channel 0, shifted right by one
    const MusicAnalysis* analysis;
};

// The wave of each driver before its bias and amplitude.
typedef float (*DriverRoutine)(const MotionTerm* term, const DriverInputs* in);

static float driveSine(const MotionTerm* term, const DriverInputs* in) {
    float x = term->rate * in->angle;
    return std::sin(term->phase != 0.0f ? x + term->phase : x);
}
static float driveCosine(const MotionTerm* term, const DriverInputs* in) {
    float x = term->rate * in->angle;
    return std::cos(term->phase != 0.0f ? x + term->phase : x);
}
static float driveBand(const MotionTerm* term, const DriverInputs* in) {
    return in->analysis->envelopes[term->band];
}
static float driveBeat(const MotionTerm*, const DriverInputs* in) {
    return in->analysis->pulse;
}
static float driveLoudness(const MotionTerm*, const DriverInputs* in) {
    return in->analysis->loudnessEnvelope;
}
static float driveWaveform(const MotionTerm* term, const DriverInputs* in) {
    float x = term->rate * in->byte;
    return std::sin(term->phase != 0.0f ? x + term->phase : x);
}

static const DriverRoutine driverTable[DRIVER_COUNT] = {
    driveSine,     // DRIVER_SINE
    driveCosine,   // DRIVER_COSINE
    driveBand,     // DRIVER_BAND
    driveBeat,     // DRIVER_BEAT
    driveLoudness, // DRIVER_LOUDNESS
    driveWaveform, // DRIVER_WAVEFORM
};
static_assert(sizeof(driverTable) / sizeof(driverTable[0]) == DRIVER_COUNT, "one routine per driver");

int32_t findBuiltinScene(const char* name) {
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        if (readBuiltinScene(i, &design, error, sizeof(error)) && std::strcmp(design.name, name) == 0) {
            return i;
        }
    }
    return -1;
}

bool readBuiltinScene(int32_t index, SceneDesign* design, char* error, size_t errorSize) {
    const BuiltinScene& builtin = builtinScenes[index];
    return readSceneText(builtin.text, builtin.length, builtin.fileName, design, error, errorSize);
}

bool readNamedScene(const char* nameOrFile, SceneDesign* design, int32_t* builtin, char* error, size_t errorSize) {
    int32_t index = findBuiltinScene(nameOrFile);
    *builtin = index < 0 ? STAGE_FROM_FILE : index;
    if (index >= 0) {
        return readBuiltinScene(index, design, error, errorSize);
    }
    return readSceneFile(nameOrFile, design, error, errorSize);
}

bool putOnStage(const SceneDesign* design, int32_t builtin, char* error, size_t errorSize) {
    static SceneDesign incoming; // the design may be the stage's own
    std::memcpy(&incoming, design, sizeof(incoming));

    // Textures first: the only step that can fail
    for (int32_t t = 0; t < incoming.textureCount; t++) {
        if (!makeTexture(&incoming.textures[t], &stage.textures[t], error, errorSize)) {
            return false;
        }
    }
    std::memcpy(&stage.design, &incoming, sizeof(incoming));
    stage.builtin = builtin;
    resetAnalysis(&stage.analysis);

    // The table: each object's record in the table of its kind
    int32_t used[KIND_COUNT] = {};
    float* records[MAX_SCENE_OBJECTS];
    for (int32_t i = 0; i < stage.design.objectCount; i++) {
        const ObjectDesign& object = stage.design.objects[i];
        SceneObject& entry = scene.objects[i];
        int32_t slot = used[object.kind]++;
        void* data = nullptr;
        size_t given = 0; // floats of the record that are given rather than derived
        switch (object.kind) {
        case KIND_FLOOR:
            data = &scene.floor;
            given = 2;
            break;
        case KIND_SPHERE:
            data = &scene.spheres[slot];
            given = 4;
            break;
        case KIND_TUBE:
            data = &scene.tubes[slot];
            given = 7;
            break;
        default:
            data = &scene.parallelograms[slot];
            given = 9;
            break;
        }
        records[i] = static_cast<float*>(data);
        std::memcpy(records[i], object.record, given * sizeof(float));
        Texture* texture = object.texture == TEXTURE_BLACK ? &textureStore.slots[0] : &stage.textures[object.texture];
        entry = {object.kind, data, texture, object.flags};
        prepareTable[entry.kind](&entry);
        stage.reprepare[i] = 0;
    }
    scene.objectCount = stage.design.objectCount;
    scene.fogEnabled = stage.design.fog;
    scene.blackTextures = stage.design.textureCount == 0 ? &textureStore : nullptr;
    // Only the built-in scene that is the fixed one goes to the packet tracers
    scene.fixedMotion = builtin == 0 ? 1 : 0;
    scene.farUnshaded = 1;
    for (int32_t i = 0; i < scene.objectCount; i++) {
        scene.farUnshaded &= (scene.objects[i].flags & SHADE_REFRACT) == 0 ? 1 : 0;
    }

    // Camera and light at their bases, and where each channel writes
    std::memcpy(&motion.camera, stage.design.camera, sizeof(stage.design.camera));
    std::memcpy(&motion.light.position, stage.design.light, sizeof(stage.design.light));
    for (int32_t c = 0; c < stage.design.channelCount; c++) {
        const MotionChannel& channel = stage.design.channels[c];
        float* owner = channel.owner == OWNER_CAMERA  ? &motion.camera.eye.x
                       : channel.owner == OWNER_LIGHT ? &motion.light.position.x
                                                      : records[channel.owner];
        stage.targets[c] = owner + channel.field;
        if (channel.owner < MAX_SCENE_OBJECTS) {
            uint8_t kind = stage.design.objects[channel.owner].kind;
            stage.reprepare[channel.owner] = kind == KIND_TUBE || kind == KIND_PARALLELOGRAM;
        }
    }
    return true;
}

bool stageScene(const char* nameOrFile, char* error, size_t errorSize) {
    static SceneDesign design;
    int32_t builtin = STAGE_FROM_FILE;
    return readNamedScene(nameOrFile, &design, &builtin, error, errorSize) &&
           putOnStage(&design, builtin, error, errorSize);
}

void stepStage(int32_t step) {
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    int32_t from =
        stage.builtin == STAGE_FROM_FILE || stage.design.objectCount == 0 ? (step > 0 ? -1 : 0) : stage.builtin;
    int32_t index = ((from + step) % builtinSceneCount + builtinSceneCount) % builtinSceneCount;
    // Built-in scenes read and make their textures without fail: the tests see to it
    if (readBuiltinScene(index, &design, error, sizeof(error))) {
        putOnStage(&design, index, error, sizeof(error));
    }
}

const char* stageSceneName() {
    return stage.design.name;
}

void writeSceneList(FILE* out) {
    static SceneDesign design;
    char error[MAX_ERROR_TEXT];
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        if (readBuiltinScene(i, &design, error, sizeof(error))) {
            std::fprintf(out, "%-12s %s\n", design.name, design.about);
        }
    }
}

void setStageCover(const Texture* cover) {
    static Texture held;
    if (cover != nullptr) {
        std::memcpy(&held, cover, sizeof(held));
    }
    coverArt = cover != nullptr ? &held : nullptr;
    char error[MAX_ERROR_TEXT];
    for (int32_t t = 0; t < stage.design.textureCount; t++) {
        if (stage.design.textures[t].kind == TEXTURE_COVER) {
            makeTexture(&stage.design.textures[t], &stage.textures[t], error, sizeof(error));
        }
    }
}

void animateStage(const WaveformBlock block, int32_t channels) {
    // Advance the angle, keeping it within whole periods of the motion
    float a = motion.angle + ANGLE_STEP;
    if (a >= ANGLE_WRAP_AT) {
        a -= ANGLE_WRAP_BY;
    }
    motion.angle = a;
    analyseBlock(&stage.analysis, block, channels);

    // The camera and the light as written, as the fixed scene sets its zoom and roll every frame
    std::memcpy(&motion.camera, stage.design.camera, sizeof(stage.design.camera));
    std::memcpy(&motion.light.position, stage.design.light, sizeof(stage.design.light));

    // Every moving property: base + terms, a zero base, phase or bias not added
    DriverInputs in = {a, static_cast<float>(block[0][0] >> 1), &stage.analysis};
    const SceneDesign& design = stage.design;
    for (int32_t c = 0; c < design.channelCount; c++) {
        const MotionChannel& channel = design.channels[c];
        float value = channel.base;
        bool started = channel.base != 0.0f;
        for (int32_t t = channel.first; t < channel.first + channel.count; t++) {
            const MotionTerm& term = design.terms[t];
            float wave = driverTable[term.driver](&term, &in);
            if (term.bias != 0.0f) {
                wave = wave + term.bias;
            }
            float amount = term.amplitude * wave;
            value = started ? value + amount : amount;
            started = true;
        }
        *stage.targets[c] = value;
    }
    for (int32_t i = 0; i < design.objectCount; i++) {
        if (stage.reprepare[i]) {
            prepareTable[scene.objects[i].kind](&scene.objects[i]);
        }
    }
}
