// A scene as data: its objects with their records, flags and textures, its
// camera, light and fog, and its motion, every moving property a base value
// plus a sum of terms, each term one driver from a small fixed vocabulary.
// Read from the scene format by readScene; turned into the tracer's table by
// the stage.
#pragma once
#include <cstddef>
#include <cstdint>
#include "raytracer/scene.h"

constexpr int32_t MAX_SCENE_TEXTURES = 8;       // textures a scene may make or read
constexpr int32_t MAX_MOTION_CHANNELS = 512;    // moving properties of a scene
constexpr int32_t MAX_MOTION_TERMS = 1024;      // terms of all of them together
constexpr int32_t MAX_RECORD_FLOATS = 9;        // the given fields of the largest record, the parallelogram's
constexpr int32_t MAX_SCENE_NAME = 32;          // bytes of a name, its terminating zero included
constexpr int32_t MAX_SCENE_ABOUT = 160;        // bytes of the one-line description
constexpr int32_t MAX_TEXTURE_PATH = 1024;      // bytes of an image texture's path
constexpr size_t MAX_SCENE_FILE_BYTES = 262144; // a longer file is refused unread
constexpr int32_t MAX_ERROR_TEXT = 1280;        // "FILE:LINE: what is wrong"
constexpr uint8_t OWNER_CAMERA = 0xFE;          // a motion channel's owner when it moves the camera
constexpr uint8_t OWNER_LIGHT = 0xFF;           // ... or the light
constexpr int8_t TEXTURE_BLACK = -1;            // an object's texture: black, as every slot of the plug-in's store

// What a motion term follows. A new driver needs a row in driverNames and in
// the stage's driver table.
enum DriverKind : uint8_t {
    DRIVER_SINE,     // sin(rate * angle + phase)
    DRIVER_COSINE,   // cos(rate * angle + phase)
    DRIVER_BAND,     // a band's envelope, 0..1
    DRIVER_BEAT,     // the beat's pulse: 1 at a beat, decaying
    DRIVER_LOUDNESS, // the loudness's envelope, 0..1
    DRIVER_WAVEFORM, // sin(rate * c + phase), c the first waveform byte of channel 0 shifted right by one
    DRIVER_COUNT
};
extern const char* const driverNames[DRIVER_COUNT]; // "sin", "cos", "band", "beat", "loudness", "waveform"

// A generated or read texture. A new kind needs a row in textureKindNames
// and in the stage's texture makers.
enum TextureKind : uint8_t {
    TEXTURE_CHECKER,  // squares x squares squares of the two colours
    TEXTURE_STRIPES,  // `squares` bands across v
    TEXTURE_RINGS,    // `squares` rings around the centre
    TEXTURE_NOISE,    // smooth value noise between the two colours, from `seed`
    TEXTURE_GRADIENT, // the first colour at v = 0 to the second at v = 255
    TEXTURE_IMAGE,    // a binary PPM file (P6), scaled to 256 x 256
    TEXTURE_COVER,    // the song's cover art where the front end has one, else a checker of the two colours
    TEXTURE_KIND_COUNT
};
extern const char* const textureKindNames[TEXTURE_KIND_COUNT];

// One term: amplitude * (wave + bias), the wave from the driver. A zero
// phase and a zero bias are not added at all, so that a term is exactly
// the float expression it stands for.
struct MotionTerm {
    uint8_t driver; // DriverKind
    uint8_t band;   // DRIVER_BAND: which band, 0..BAND_COUNT - 1
    float amplitude;
    float rate;  // DRIVER_SINE, DRIVER_COSINE, DRIVER_WAVEFORM: multiplies the angle or the byte
    float phase; // added after the rate
    float bias;  // added to the wave before the amplitude
};

// One moving float: base + terms[first] + ... in that order (a zero base is
// not added either).
struct MotionChannel {
    uint8_t owner; // object index, OWNER_CAMERA or OWNER_LIGHT
    uint8_t field; // float index in the owner's record (Camera: eye 0..2, target 3..5, zoom 6, roll 7)
    int32_t line;  // where the first term was written, for messages
    float base;    // the property's value as written
    int32_t first; // index of the first term
    int32_t count; // terms
};

struct TextureDesign {
    char name[MAX_SCENE_NAME];
    uint8_t kind;                // TextureKind
    uint8_t colours[2][3];       // red, green, blue of the two colours
    int32_t squares;             // checker, stripes, rings: how many
    uint32_t seed;               // noise
    char path[MAX_TEXTURE_PATH]; // image: as found from the scene file's folder
};

struct ObjectDesign {
    uint8_t kind;                    // PrimitiveKind
    uint8_t flags;                   // SHADE_* bits
    int8_t texture;                  // index into the scene's textures, or TEXTURE_BLACK
    float record[MAX_RECORD_FLOATS]; // the record's given fields, in the record's order
};

struct SceneDesign {
    char name[MAX_SCENE_NAME];
    char about[MAX_SCENE_ABOUT];
    uint8_t fog;     // 1: fog into the sky from 300 to 400 units
    float camera[8]; // eye, target, zoom, roll: the Camera record's fields
    float light[3];  // position
    ObjectDesign objects[MAX_SCENE_OBJECTS];
    int32_t objectCount; // object 0 is the floor
    TextureDesign textures[MAX_SCENE_TEXTURES];
    int32_t textureCount;
    MotionChannel channels[MAX_MOTION_CHANNELS];
    int32_t channelCount;
    MotionTerm terms[MAX_MOTION_TERMS];
    int32_t termCount;
};

// Reads a scene from text; `fileName` names it in messages and is the folder
// image textures are found from. False with "FILE:LINE: what is wrong" in
// `error` for anything out of place: nothing is half-read into `design`'s use.
bool readSceneText(const char* text, size_t length, const char* fileName, SceneDesign* design, char* error,
                   size_t errorSize);
// The same from a file of at most MAX_SCENE_FILE_BYTES.
bool readSceneFile(const char* path, SceneDesign* design, char* error, size_t errorSize);
