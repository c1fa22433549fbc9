// A video file with its sound, written through libav. The container follows
// the file name's extension (.mp4, .mkv, .webm, ...), the codecs are the
// container's own unless named. The file is written under a temporary name
// beside the one asked for and takes that name only once it is complete.
#pragma once
#include <cstdint>

constexpr int32_t VIDEO_DEFAULT_CRF = -1; // the chosen video codec's own default quality
constexpr int32_t VIDEO_MAX_CHANNELS = 8; // channels of the PCM handed in, at most

struct VideoSettings {
    const char* path;        // the file asked for; its extension picks the container
    const char* videoCodec;  // encoder name, or null for the container's default
    const char* audioCodec;  // encoder name, or null for the container's default
    int32_t width;           // pixels, even
    int32_t height;          // rows, even
    int32_t framesPerSecond; // video frames per second
    int32_t crf;             // constant rate factor (lower: better, larger), or VIDEO_DEFAULT_CRF
    const char* preset;      // encoder speed preset (libx264, libx265), or null for "veryfast"
    int32_t sampleRate;      // of the PCM handed in, frames per second
    int32_t channels;        // of the PCM handed in, 1..VIDEO_MAX_CHANNELS
};

// What was written, for the closing summary.
struct VideoFacts {
    char videoCodec[32];  // encoder's long-lived short name, e.g. "libx264"
    char audioCodec[32];  // e.g. "aac"
    char container[32];   // e.g. "mp4"
    int32_t crf;          // the quality used, or VIDEO_DEFAULT_CRF where the codec has none
    char preset[32];      // the speed preset used, or empty where the codec has none
    int32_t audioRate;    // sample rate of the encoded sound
    int64_t bytes;        // size of the finished file
    int64_t videoFrames;  // frames encoded
    int64_t audioSamples; // sample frames encoded (after resampling)
    double encodeSeconds; // time spent converting, encoding and writing
};

// Whether the name's extension picks a format that holds a video with its
// sound; a sound file's (.flac, .mp3, .ogg, .m4a, ...) or a picture's does
// not. Says why on stderr when it does not.
bool checkVideoName(const char* path);

// Whether an existing file holds a video stream (a cover picture is none).
bool fileHoldsVideo(const char* path);

// About how many bytes an export of `width` x `height` pictures holds at
// once: the picture handed in and the pictures the encoders keep. Their
// look-ahead is shortened for huge pictures, which bounds it.
int64_t videoMemoryNeeded(int32_t width, int32_t height);

// Checks the settings, chooses container and codecs, creates the temporary
// file and writes the header. Reports its errors on stderr; false on failure,
// with nothing left behind.
bool openVideo(const VideoSettings* settings);

// Encodes the next picture: rows of blue, green, red and an unused byte,
// `pitch` bytes apart, of the size given to openVideo.
bool writeVideoFrame(const uint8_t* pixels, int32_t pitch);

// Encodes the next `frames` sample frames, interleaved 16-bit samples of the
// channel count given to openVideo.
bool writeVideoSound(const int16_t* samples, int32_t frames);

// Drains the encoders, completes the file and gives it the name asked for.
// Fills `facts` on success. Whatever happens, everything is released.
bool finishVideo(VideoFacts* facts);

// Stops writing: releases everything and deletes the temporary file.
void abandonVideo();
