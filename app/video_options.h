// The command line of raysphere --video.
#pragma once
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include "cli/option_table.h"

constexpr int32_t VIDEO_MAX_TITLES = 256; // --title-at times, at most

// What the command line asks for.
struct VideoOptions {
    const char* outputPath;              // the video file to write
    const char* songPath;                // the song to render
    const char* videoCodec;              // encoder name, or null for the container's default
    const char* audioCodec;              // encoder name, or null for the container's default
    const char* writeWaveformPath;       // where to write every frame's block, or null
    int32_t fps;                         // video frames per second
    int32_t scale;                       // whole-number enlargement of the 320 x 200 frame
    int32_t width;                       // traced size (--size), or 0 for the scaled frame
    int32_t height;                      // traced size (--size), or 0 for the scaled frame
    int32_t threads;                     // tracer threads for --size, 0 for one per core
    int32_t crf;                         // video quality, or VIDEO_DEFAULT_CRF
    const char* preset;                  // encoder speed preset, or null for the default
    double titleTimes[VIDEO_MAX_TITLES]; // seconds into the song where the title is asked for
    int32_t titleCount;                  // used entries of titleTimes
    bool force;                          // replace an existing file that is not a video
    const char* scene;                   // --scene: a built-in scene's name or a scene file; null for classic
};

// Reads the whole command line (argv[0] is the program, "--video OUT" among
// the rest); on OPTIONS_ERROR `error` says what was wrong.
OptionsStatus parseVideoOptions(int argc, char** argv, VideoOptions* options, char* error, size_t errorSize);

void printVideoUsage(FILE* out);
