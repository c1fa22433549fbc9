// Reading the demo tune and WAV files through one table per operation.
#include "player/audio_source.h"

#include <cstring>
#include "audio/demo_tune.h"

namespace {

// The tune repeats, so its sample index is taken within one loop.
uint32_t demoTuneIndex(int64_t frame) {
    int64_t index = frame % DEMO_LOOP_SAMPLES;
    return (uint32_t)(index < 0 ? index + DEMO_LOOP_SAMPLES : index);
}

void pcmOfDemoTune(const PlayerSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    for (int32_t i = 0; i < frames; i++) {
        for (int32_t channel = 0; channel < source->channels; channel++) {
            samples[i * source->channels + channel] = demoTuneSample(channel, demoTuneIndex(firstFrame + i));
        }
    }
}

void pcmOfWavFile(const PlayerSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    const WavAudio* wav = &source->wav;
    for (int32_t i = 0; i < frames; i++) {
        int64_t frame = firstFrame + i;
        bool inside = frame >= 0 && frame < wav->frameCount;
        for (int32_t channel = 0; channel < wav->channels; channel++) {
            samples[i * wav->channels + channel] = inside ? wavSample(wav, frame, channel) : 0;
        }
    }
}

typedef void (*PcmRoutine)(const PlayerSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);

const PcmRoutine pcmTable[] = {
    pcmOfDemoTune, // SOURCE_DEMO_TUNE
    pcmOfWavFile,  // SOURCE_WAV_FILE
};
static_assert(sizeof pcmTable / sizeof pcmTable[0] == SOURCE_KIND_COUNT, "one PCM row per kind");

} // namespace

void demoTuneSource(PlayerSource* source) {
    memset(source, 0, sizeof *source);
    source->kind = SOURCE_DEMO_TUNE;
    source->sampleRate = DEMO_SAMPLE_RATE;
    source->channels = DEMO_CHANNELS;
    source->frameCount = SOURCE_ENDLESS;
}

void wavFileSource(PlayerSource* source, const WavAudio* wav) {
    memset(source, 0, sizeof *source);
    source->kind = SOURCE_WAV_FILE;
    source->sampleRate = wav->sampleRate;
    source->channels = wav->channels;
    source->frameCount = wav->frameCount;
    source->wav = *wav;
}

// The block is made from the same samples the sound output plays.
void sourceWaveform(const PlayerSource* source, int64_t firstFrame, Waveform waveform) {
    int16_t samples[BLOCK_FRAMES * VIS_CHANNEL_SLOTS];
    sourcePcm(source, firstFrame, BLOCK_FRAMES, samples);
    blockFromPcm16(samples, source->channels, BLOCK_FRAMES, waveform);
}

void sourcePcm(const PlayerSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    pcmTable[source->kind](source, firstFrame, frames, samples);
}
