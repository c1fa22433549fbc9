// The demo tune as an audio source: endless, computed on demand.
#include <cstdio>
#include <cstring>
#include "audio/audio_source.h"
#include "audio/demo_tune.h"

namespace {

// The source needs no state of its own, but an open source has one.
int32_t demoTuneState = 0;

int32_t readDemoTune(AudioSource* source, int16_t* samples, int32_t frames) {
    for (int32_t i = 0; i < frames; i++) {
        // The tune repeats, so the index is taken within one loop.
        uint32_t index = (uint32_t)((source->position + i) % DEMO_LOOP_SAMPLES);
        for (int32_t channel = 0; channel < DEMO_CHANNELS; channel++) {
            samples[i * DEMO_CHANNELS + channel] = demoTuneSample(channel, index);
        }
    }
    source->position += frames;
    return frames;
}

// The tune repeats, so its sample index is taken within one loop.
uint32_t demoTuneIndex(int64_t frame) {
    int64_t index = frame % DEMO_LOOP_SAMPLES;
    return (uint32_t)(index < 0 ? index + DEMO_LOOP_SAMPLES : index);
}

bool readDemoTuneAt(const AudioSource*, int64_t firstFrame, int32_t frames, int16_t* samples) {
    for (int32_t i = 0; i < frames; i++) {
        for (int32_t channel = 0; channel < DEMO_CHANNELS; channel++) {
            samples[i * DEMO_CHANNELS + channel] = demoTuneSample(channel, demoTuneIndex(firstFrame + i));
        }
    }
    return true;
}

} // namespace

const AudioRoutines demoTuneRoutines = {readDemoTune, seekHeldAudio, noAudioNotice, closeNothing, readDemoTuneAt};

void openDemoTune(AudioSource* source) {
    startAudioSource(source, AUDIO_DEMO_TUNE);
    source->sampleRate = DEMO_SAMPLE_RATE;
    source->channels = DEMO_CHANNELS;
    source->frameCount = AUDIO_ENDLESS;
    snprintf(source->title, sizeof source->title, "Demo tune");
    source->state = &demoTuneState;
}
