// Sound files through libsndfile: any format it reads, any rate and channel
// count; the first two channels are kept, samples come as 16-bit.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "audio/audio_source.h"
#include "audio/file_title.h"

namespace {

constexpr int32_t MAX_FILE_CHANNELS = 1024; // more than any real file has
constexpr int32_t SCRATCH_SAMPLES = 16384;  // at least 16 frames of the widest file
constexpr size_t PATH_CHARS = 4096;

struct FileState {
    SNDFILE* file;                  // open while the source is
    int32_t fileChannels;           // channels in the file; the source keeps the first two
    bool floatingPoint;             // float samples: read through the scratch buffer
    bool broken;                    // reading failed before the end; the file counts as over
    bool noticePending;             // notice not yet taken
    char notice[PATH_CHARS + 256];  // what went wrong while reading
    char path[PATH_CHARS];          // for messages
    float scratch[SCRATCH_SAMPLES]; // frames of all channels, for float files and wide ones
};

// "m:ss" of a frame count.
void formatTime(char* text, size_t textSize, int64_t frames, int32_t rate) {
    int64_t seconds = frames / rate;
    snprintf(text, textSize, "%lld:%02lld", (long long)(seconds / 60), (long long)(seconds % 60));
}

// Records that the file broke off at the source's position.
void noteBreak(AudioSource* source, FileState* state) {
    char at[32];
    char length[32];
    formatTime(at, sizeof at, source->position, source->sampleRate);
    formatTime(length, sizeof length, source->frameCount, source->sampleRate);
    const char* reason = sf_strerror(state->file);
    snprintf(state->notice, sizeof state->notice, "%s ends early, at %s of %s%s%s", state->path, at, length,
             sf_error(state->file) != SF_ERR_NO_ERROR ? ": " : " (truncated or damaged)",
             sf_error(state->file) != SF_ERR_NO_ERROR ? reason : "");
    state->broken = true;
    state->noticePending = true;
    // Nothing more will be read: the source is over where it broke.
    source->frameCount = source->position;
}

// Full scale of a float sample is 32768, as 16-bit samples turn into floats
// (libsndfile's own conversion uses 32767 and so changes some high bytes);
// the fraction is dropped, as 24-bit samples lose their low byte.
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

// Reads float files and files of more than two channels through the scratch
// buffer, keeping the first two channels.
int32_t readThroughScratch(FileState* state, int16_t* samples, int32_t channels, int32_t frames) {
    int32_t chunkFrames = SCRATCH_SAMPLES / state->fileChannels;
    int32_t done = 0;
    while (done < frames) {
        int32_t want = frames - done < chunkFrames ? frames - done : chunkFrames;
        int32_t got = (int32_t)sf_readf_float(state->file, state->scratch, want);
        for (int32_t i = 0; i < got; i++) {
            for (int32_t channel = 0; channel < channels; channel++) {
                samples[(done + i) * channels + channel] =
                    floatToPcm16(state->scratch[i * state->fileChannels + channel]);
            }
        }
        done += got;
        if (got < want) {
            break;
        }
    }
    return done;
}

int32_t readFile(AudioSource* source, int16_t* samples, int32_t frames) {
    FileState* state = (FileState*)source->state;
    int64_t left = source->frameCount - source->position;
    if (state->broken || left <= 0) {
        return 0;
    }
    if (frames > left) {
        frames = (int32_t)left;
    }
    bool direct = state->fileChannels <= AUDIO_MAX_CHANNELS && !state->floatingPoint;
    int32_t got = direct ? (int32_t)sf_readf_short(state->file, samples, frames)
                         : readThroughScratch(state, samples, source->channels, frames);
    if (got < 0) {
        got = 0;
    }
    source->position += got;
    if (got < frames) {
        noteBreak(source, state);
    }
    return got;
}

bool seekFile(AudioSource* source, int64_t frame) {
    FileState* state = (FileState*)source->state;
    if (frame > source->frameCount) {
        frame = source->frameCount;
    }
    if (sf_seek(state->file, frame, SEEK_SET) < 0) {
        return false;
    }
    source->position = frame;
    return true;
}

bool takeFileNotice(AudioSource* source, char* text, size_t textSize) {
    FileState* state = (FileState*)source->state;
    if (!state->noticePending) {
        return false;
    }
    snprintf(text, textSize, "%s", state->notice);
    state->noticePending = false;
    return true;
}

void closeFile(AudioSource* source) {
    FileState* state = (FileState*)source->state;
    if (state->file != nullptr) {
        sf_close(state->file);
    }
    free(state);
}

// "artist - title" from the tags, the title alone, or the file's name.
void titleFromTags(SNDFILE* file, const char* path, char* title, size_t titleSize) {
    const char* artist = sf_get_string(file, SF_STR_ARTIST);
    const char* name = sf_get_string(file, SF_STR_TITLE);
    bool hasArtist = artist != nullptr && artist[0] != '\0';
    bool hasName = name != nullptr && name[0] != '\0';
    if (hasArtist && hasName) {
        snprintf(title, titleSize, "%s - %s", artist, name);
    } else if (hasName) {
        snprintf(title, titleSize, "%s", name);
    } else {
        titleFromPath(path, title, titleSize);
    }
}

// Says why the file cannot be played and releases what was made.
bool refuse(FileState* state, char* error, size_t errorSize, const char* path, const char* reason) {
    snprintf(error, errorSize, "cannot play %s: %s", path, reason);
    if (state != nullptr) {
        if (state->file != nullptr) {
            sf_close(state->file);
        }
        free(state);
    }
    return false;
}

// A file streams from disk: it is read where its one position stands.
bool noFileReadAt(const AudioSource*, int64_t, int32_t, int16_t*) {
    return false;
}

} // namespace

const AudioRoutines audioFileRoutines = {readFile, seekFile, takeFileNotice, closeFile, noFileReadAt};

bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    memset(source, 0, sizeof *source);
    source->kind = AUDIO_FILE;

    // Open and check the format
    FileState* state = (FileState*)calloc(1, sizeof(FileState));
    if (state == nullptr) {
        return refuse(nullptr, error, errorSize, path, "out of memory");
    }
    snprintf(state->path, sizeof state->path, "%s", path);
    SF_INFO info;
    memset(&info, 0, sizeof info);
    state->file = sf_open(path, SFM_READ, &info);
    if (state->file == nullptr) {
        // libsndfile's reasons end with a full stop; the message adds none.
        char reason[AUDIO_MESSAGE_CHARS];
        snprintf(reason, sizeof reason, "%s", sf_strerror(nullptr));
        size_t length = strlen(reason);
        if (length > 0 && reason[length - 1] == '.') {
            reason[length - 1] = '\0';
        }
        return refuse(state, error, errorSize, path, reason);
    }
    if (info.channels < 1 || info.channels > MAX_FILE_CHANNELS) {
        return refuse(state, error, errorSize, path, "unusable channel count");
    }
    if (info.samplerate <= 0) {
        return refuse(state, error, errorSize, path, "no sample rate");
    }
    if (info.frames <= 0) {
        return refuse(state, error, errorSize, path, "no samples");
    }

    // Floating-point samples beyond full scale are clipped, not wrapped.
    sf_command(state->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    state->fileChannels = info.channels;
    int32_t subtype = info.format & SF_FORMAT_SUBMASK;
    state->floatingPoint = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    source->sampleRate = info.samplerate;
    source->channels = info.channels < AUDIO_MAX_CHANNELS ? info.channels : AUDIO_MAX_CHANNELS;
    source->frameCount = info.frames;
    titleFromTags(state->file, path, source->title, sizeof source->title);
    source->state = state;
    return true;
}
