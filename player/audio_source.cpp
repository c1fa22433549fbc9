// Reading the demo tune and WAV files through one table per operation.
#include "player/audio_source.h"

#include <cstring>
#include "tools/demo_tune.h"

namespace {

// The high byte of a 16-bit sample is its signed 8-bit value.
uint8_t highByte(int16_t sample) {
    return (uint8_t)((uint16_t)sample >> 8);
}

// The tune repeats, so its sample index is taken within one loop.
uint32_t demoTuneIndex(int64_t frame) {
    int64_t index = frame % DEMO_LOOP_SAMPLES;
    return (uint32_t)(index < 0 ? index + DEMO_LOOP_SAMPLES : index);
}

void waveformOfDemoTune(const AudioSource*, int64_t firstFrame, Waveform waveform) {
    demoTuneWaveform(demoTuneIndex(firstFrame), waveform);
}

void waveformOfWavFile(const AudioSource* source, int64_t firstFrame, Waveform waveform) {
    const WavAudio* wav = &source->wav;
    memset(waveform, 0, sizeof(Waveform));
    for (int32_t i = 0; i < VIS_SAMPLES_PER_CHANNEL; i++) {
        int64_t frame = firstFrame + i;
        if (frame < 0 || frame >= wav->frameCount) {
            continue;
        }
        for (int32_t slot = 0; slot < VIS_CHANNEL_SLOTS; slot++) {
            // Mono audio repeats its one channel in the second slot.
            int32_t channel = slot < wav->channels ? slot : 0;
            waveform[slot][i] = highByte(wavSample(wav, frame, channel));
        }
    }
}

void pcmOfDemoTune(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    for (int32_t i = 0; i < frames; i++) {
        for (int32_t channel = 0; channel < source->channels; channel++) {
            samples[i * source->channels + channel] = demoTuneSample(channel, demoTuneIndex(firstFrame + i));
        }
    }
}

void pcmOfWavFile(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    const WavAudio* wav = &source->wav;
    for (int32_t i = 0; i < frames; i++) {
        int64_t frame = firstFrame + i;
        bool inside = frame >= 0 && frame < wav->frameCount;
        for (int32_t channel = 0; channel < wav->channels; channel++) {
            samples[i * wav->channels + channel] = inside ? wavSample(wav, frame, channel) : 0;
        }
    }
}

typedef void (*WaveformRoutine)(const AudioSource* source, int64_t firstFrame, Waveform waveform);
typedef void (*PcmRoutine)(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);

const WaveformRoutine waveformTable[] = {
    waveformOfDemoTune, // SOURCE_DEMO_TUNE
    waveformOfWavFile,  // SOURCE_WAV_FILE
};
const PcmRoutine pcmTable[] = {
    pcmOfDemoTune, // SOURCE_DEMO_TUNE
    pcmOfWavFile,  // SOURCE_WAV_FILE
};
static_assert(sizeof waveformTable / sizeof waveformTable[0] == SOURCE_KIND_COUNT, "one waveform row per kind");
static_assert(sizeof pcmTable / sizeof pcmTable[0] == SOURCE_KIND_COUNT, "one PCM row per kind");

} // namespace

void demoTuneSource(AudioSource* source) {
    memset(source, 0, sizeof *source);
    source->kind = SOURCE_DEMO_TUNE;
    source->sampleRate = DEMO_SAMPLE_RATE;
    source->channels = DEMO_CHANNELS;
    source->frameCount = SOURCE_ENDLESS;
}

void wavFileSource(AudioSource* source, const WavAudio* wav) {
    memset(source, 0, sizeof *source);
    source->kind = SOURCE_WAV_FILE;
    source->sampleRate = wav->sampleRate;
    source->channels = wav->channels;
    source->frameCount = wav->frameCount;
    source->wav = *wav;
}

void sourceWaveform(const AudioSource* source, int64_t firstFrame, Waveform waveform) {
    waveformTable[source->kind](source, firstFrame, waveform);
}

void sourcePcm(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    pcmTable[source->kind](source, firstFrame, frames, samples);
}
