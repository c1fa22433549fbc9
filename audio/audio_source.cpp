// Reading any audio source through the table of its kind's routines.
#include "audio/audio_source.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t MEASURE_FRAMES = 4096; // read at a time while measuring

// Each system has its own file and capture kinds behind the same rows:
// libsndfile and PulseAudio on Linux, Media Foundation and WASAPI on Windows.
const AudioRoutines* const routineTable[] = {
    &demoTuneRoutines,  // AUDIO_DEMO_TUNE
    &audioFileRoutines, // AUDIO_FILE
    &captureRoutines,   // AUDIO_CAPTURE
    &memoryRoutines,    // AUDIO_MEMORY
};
static_assert(sizeof routineTable / sizeof routineTable[0] == AUDIO_KIND_COUNT, "one row of routines per kind");

bool isOpen(const AudioSource* source) {
    return source->kind >= 0 && source->kind < AUDIO_KIND_COUNT && routineTable[source->kind] != nullptr &&
           source->state != nullptr;
}

} // namespace

int32_t readAudio(AudioSource* source, int16_t* samples, int32_t frames) {
    if (!isOpen(source) || frames <= 0) {
        return 0;
    }
    return routineTable[source->kind]->read(source, samples, frames);
}

bool readAudioAt(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples) {
    if (!isOpen(source) || frames < 0) {
        return false;
    }
    return routineTable[source->kind]->readAt(source, firstFrame, frames, samples);
}

bool seekAudio(AudioSource* source, int64_t frame) {
    if (!isOpen(source) || frame < 0) {
        return false;
    }
    return routineTable[source->kind]->seek(source, frame);
}

bool takeAudioNotice(AudioSource* source, char* text, size_t textSize) {
    if (!isOpen(source)) {
        return false;
    }
    return routineTable[source->kind]->takeNotice(source, text, textSize);
}

bool audioEnded(const AudioSource* source) {
    if (!isOpen(source)) {
        return true;
    }
    return source->frameCount >= 0 && source->position >= source->frameCount;
}

void closeAudio(AudioSource* source) {
    if (isOpen(source)) {
        routineTable[source->kind]->close(source);
    }
    source->state = nullptr;
}

bool refuseAudio(AudioSource* source, const char* verb, const char* what, const char* reason, char* error,
                 size_t errorSize) {
    if (what != nullptr) {
        snprintf(error, errorSize, "cannot %s %s: %s", verb, what, reason);
    } else {
        snprintf(error, errorSize, "cannot %s: %s", verb, reason);
    }
    closeAudio(source);
    return false;
}

void* makeAudioState(AudioSource* source, size_t stateSize, const char* verb, const char* what, char* error,
                     size_t errorSize) {
    source->state = calloc(1, stateSize);
    if (source->state == nullptr) {
        refuseAudio(source, verb, what, "out of memory", error, errorSize);
    }
    return source->state;
}

void* startAudioState(AudioSource* source, AudioKind kind, size_t stateSize, const char* verb, const char* what,
                      char* error, size_t errorSize) {
    startAudioSource(source, kind);
    return makeAudioState(source, stateSize, verb, what, error, errorSize);
}

bool openCapture(AudioSource* source, const char* device, char* error, size_t errorSize) {
    void* state = startAudioState(source, AUDIO_CAPTURE, captureStateSize, "capture", nullptr, error, errorSize);
    if (state == nullptr) {
        return false;
    }
    source->sampleRate = AUDIO_CAPTURE_RATE;
    source->channels = AUDIO_CAPTURE_CHANNELS;
    source->frameCount = AUDIO_ENDLESS;
    snprintf(((CaptureAsk*)state)->device, CAPTURE_NAME_CHARS, "%s", device != nullptr ? device : "");
    return connectCapture(source, error, errorSize);
}

bool readBlockAt(AudioSource* source, int64_t frame, WaveformBlock block) {
    if (!seekAudio(source, frame)) {
        return false;
    }
    int16_t samples[BLOCK_FRAMES * AUDIO_MAX_CHANNELS];
    int32_t frames = 0;
    // A file may hand its frames over in more than one piece.
    while (frames < BLOCK_FRAMES) {
        int32_t got = readAudio(source, samples + frames * source->channels, BLOCK_FRAMES - frames);
        if (got <= 0) {
            break;
        }
        frames += got;
    }
    blockFromPcm16(samples, source->channels, frames, block);
    return true;
}

// The block is made from the same samples a sound output plays.
bool blockAtFrame(const AudioSource* source, int64_t firstFrame, WaveformBlock block) {
    int16_t samples[BLOCK_FRAMES * AUDIO_MAX_CHANNELS];
    if (!readAudioAt(source, firstFrame, BLOCK_FRAMES, samples)) {
        return false;
    }
    blockFromPcm16(samples, source->channels, BLOCK_FRAMES, block);
    return true;
}

// Read through the kind's own routines, so that every system's files are
// measured alike.
bool measureAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    static int16_t samples[MEASURE_FRAMES * AUDIO_MAX_CHANNELS];
    while (readAudio(source, samples, MEASURE_FRAMES) > 0) {
        // only the count matters
    }
    if (source->position == 0) {
        snprintf(error, errorSize, "cannot play %s: not a sample could be read", path);
        return false;
    }
    source->frameCount = source->position;
    if (!seekAudio(source, 0)) {
        snprintf(error, errorSize, "cannot play %s: cannot go back to its start", path);
        return false;
    }
    return true;
}

int16_t floatToPcm16(float value) {
    float scaled = value * 32768.0f;
    if (!(scaled > -32768.0f)) {
        return -32768; // NaN too
    }
    if (scaled > 32767.0f) {
        return 32767;
    }
    return (int16_t)floorf(scaled);
}

namespace {

// "m:ss" of a frame count.
void formatTime(char* text, size_t textSize, int64_t frames, int32_t rate) {
    int64_t seconds = frames / rate;
    snprintf(text, textSize, "%lld:%02lld", (long long)(seconds / 60), (long long)(seconds % 60));
}

} // namespace

void noteFileBreak(AudioSource* source, FileBreak* fileBreak, int64_t promisedFrames) {
    if (!fileBreak->noted) {
        char at[32];
        char length[40] = "";
        formatTime(at, sizeof at, source->position, source->sampleRate);
        if (promisedFrames > source->position) {
            memcpy(length, " of ", 5);
            formatTime(length + 4, sizeof length - 4, promisedFrames, source->sampleRate);
        }
        snprintf(fileBreak->notice, sizeof fileBreak->notice, "%s ends early, at %s%s (truncated or damaged)",
                 fileBreak->path, at, length);
        fileBreak->noted = true;
        fileBreak->pending = true;
    }
    source->frameCount = source->position;
}

bool takeFileNotice(AudioSource* source, char* text, size_t textSize) {
    FileBreak* fileBreak = (FileBreak*)source->state;
    return takePendingNotice(&fileBreak->pending, fileBreak->notice, text, textSize);
}

bool takePendingNotice(bool* pending, const char* notice, char* text, size_t textSize) {
    if (!*pending) {
        return false;
    }
    snprintf(text, textSize, "%s", notice);
    *pending = false;
    return true;
}

int32_t readStereoRing(AudioSource* source, const int16_t* ring, int32_t ringFrames, int64_t written, int16_t* samples,
                       int32_t frames) {
    if (written - source->position > ringFrames) {
        source->position = written - ringFrames;
    }
    int64_t available = written - source->position;
    int32_t count = available < frames ? (int32_t)available : frames;
    for (int32_t i = 0; i < count; i++) {
        int64_t slot = (source->position + i) % ringFrames;
        samples[i * 2] = ring[slot * 2];
        samples[i * 2 + 1] = ring[slot * 2 + 1];
    }
    source->position += count;
    return count;
}
