// What the host plays: the built-in demo tune or a WAV file held in memory,
// read at any position (the sound output and the plug-in's blocks read the
// same source at different frames) through one table of routines per kind.
// A new kind needs a row in both tables. The Linux programs stream through
// audio/audio_source.h; both build the blocks with audio/waveform_block.h.
#pragma once
#include <cstdint>
#include "audio/waveform_block.h"
#include "host/winamp_vis.h"
#include "player/wav_file.h"

enum SourceKind { SOURCE_DEMO_TUNE, SOURCE_WAV_FILE, SOURCE_KIND_COUNT };

constexpr int64_t SOURCE_ENDLESS = -1; // frameCount of a source that never ends

struct PlayerSource {
    int32_t kind;       // SourceKind
    int32_t sampleRate; // sample frames per second
    int32_t channels;   // 1 or 2; becomes the module's nCh
    int64_t frameCount; // sample frames, or SOURCE_ENDLESS
    WavAudio wav;       // the parsed file, SOURCE_WAV_FILE only
};

typedef WaveformBlock Waveform;

void demoTuneSource(PlayerSource* source);
void wavFileSource(PlayerSource* source, const WavAudio* wav);

// The 576 frames from `firstFrame` as signed 8-bit samples (the high byte of
// each 16-bit one); mono fills both channel slots; past the end, silence.
void sourceWaveform(const PlayerSource* source, int64_t firstFrame, Waveform waveform);

// `frames` frames from `firstFrame` as interleaved 16-bit samples of the
// source's channels, for the sound output; past the end, silence.
void sourcePcm(const PlayerSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);
