// 16-bit samples held in memory as an audio source: read at any position,
// by any number of readers, without a copy.
#include <cstring>
#include "audio/audio_source.h"

namespace {

// The samples are the caller's; an open source still needs a state.
int32_t memoryState = 0;

// Sample `frame` of `channel`, little-endian whatever the machine.
int16_t memorySample(const AudioSource* source, int64_t frame, int32_t channel) {
    const uint8_t* at = source->pcm + (frame * source->channels + channel) * 2;
    return (int16_t)(uint16_t)(at[0] | (at[1] << 8));
}

bool readMemoryAt(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    for (int32_t i = 0; i < frames; i++) {
        int64_t frame = firstFrame + i;
        bool inside = frame >= 0 && frame < source->frameCount;
        for (int32_t channel = 0; channel < source->channels; channel++) {
            samples[i * source->channels + channel] = inside ? memorySample(source, frame, channel) : 0;
        }
    }
    return true;
}

// Streaming reads give what is left from the position on, as a file does.
int32_t readMemory(AudioSource* source, int16_t* samples, int32_t frames) {
    int64_t left = source->frameCount - source->position;
    int32_t count = left < frames ? (int32_t)(left > 0 ? left : 0) : frames;
    readMemoryAt(source, source->position, count, samples);
    source->position += count;
    return count;
}

} // namespace

void startAudioSource(AudioSource* source, AudioKind kind) {
    memset(source, 0, sizeof *source);
    source->kind = kind;
}

bool seekHeldAudio(AudioSource* source, int64_t frame) {
    source->position = frame;
    return true;
}

bool noAudioNotice(AudioSource*, char*, size_t) {
    return false;
}

void closeNothing(AudioSource*) {}

bool noReadAt(const AudioSource*, int64_t, int32_t, int16_t*) {
    return false;
}

const AudioRoutines memoryRoutines = {readMemory, seekHeldAudio, noAudioNotice, closeNothing, readMemoryAt};

void openAudioInMemory(AudioSource* source, const uint8_t* pcm, int32_t channels, int32_t sampleRate,
                       int64_t frameCount) {
    startAudioSource(source, AUDIO_MEMORY);
    source->sampleRate = sampleRate;
    source->channels = channels;
    source->frameCount = frameCount;
    source->pcm = pcm;
    source->state = &memoryState;
}
