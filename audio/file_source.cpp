// Sound files through libsndfile: any format it reads, any rate and channel
// count; the first two channels are kept, samples come as 16-bit.
#include <sndfile.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "audio/audio_source.h"
#include "audio/file_title.h"
#include "files/os_files.h"

namespace {

constexpr int32_t MAX_FILE_CHANNELS = 1024; // more than any real file has
constexpr int32_t SCRATCH_SAMPLES = 16384;  // at least 16 frames of the widest file
constexpr size_t PATH_CHARS = 4096;
constexpr size_t LOG_CHARS = 16384;
constexpr int64_t MAX_SENSIBLE_SECONDS = 1000 * 3600; // a longer length in a header is nonsense

struct FileState {
    SNDFILE* file;                  // open while the source is
    int32_t fileChannels;           // channels in the file; the source keeps the first two
    bool floatingPoint;             // float samples: read through the scratch buffer
    bool broken;                    // reading broke off before the end; noted once
    bool headerPromisesMore;        // the header gives more data than the file holds
    bool lengthImpossible;          // the length given is nonsense, as that of an Ogg file cut short
    bool noticePending;             // notice not yet taken
    char notice[PATH_CHARS + 256];  // what went wrong while reading
    char path[PATH_CHARS];          // for messages
    float scratch[SCRATCH_SAMPLES]; // frames of all channels, for float files and wide ones
};

// Records that the file broke off at the source's position: the source is
// over there. Said once, however often the part before is read again.
void noteBreak(AudioSource* source, FileState* state) {
    // A header that promised more gives no length worth telling.
    if (!state->broken) {
        describeEarlyEnd(source, state->path, source->frameCount, state->notice, sizeof state->notice);
        state->broken = true;
        state->noticePending = true;
    }
    source->frameCount = source->position;
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
    bool lengthKnown = source->frameCount >= 0;
    if (lengthKnown) {
        int64_t left = source->frameCount - source->position;
        if (left <= 0) {
            return 0;
        }
        if (frames > left) {
            frames = (int32_t)left;
        }
    }
    bool direct = state->fileChannels <= AUDIO_MAX_CHANNELS && !state->floatingPoint;
    int32_t got = direct ? (int32_t)sf_readf_short(state->file, samples, frames)
                         : readThroughScratch(state, samples, source->channels, frames);
    if (got < 0) {
        got = 0;
    }
    source->position += got;
    bool failed = sf_error(state->file) != SF_ERR_NO_ERROR;
    if (got < frames && (lengthKnown || failed)) {
        noteBreak(source, state);
    } else if (got < frames && state->lengthImpossible) {
        noteBreak(source, state);
    } else if (got < frames) {
        source->frameCount = source->position; // the end of a file of unknown length
    } else if (state->headerPromisesMore && source->position == source->frameCount) {
        noteBreak(source, state);
    }
    return got;
}

bool seekFile(AudioSource* source, int64_t frame) {
    FileState* state = (FileState*)source->state;
    if (source->frameCount >= 0 && frame > source->frameCount) {
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
    return takePendingNotice(&state->noticePending, state->notice, text, textSize);
}

void closeFile(AudioSource* source) {
    FileState* state = (FileState*)source->state;
    if (state->file != nullptr) {
        sf_close(state->file);
    }
    free(state);
}

// "artist - title" from the tags, the title alone, or the file's name; a
// control character (ESC, BEL, a new line) becomes '?', so that printing the
// title cannot drive the user's terminal.
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
    for (char* c = title; *c != '\0'; c++) {
        if ((uint8_t)*c < 0x20 || *c == 0x7f) {
            *c = '?';
        }
    }
}

// sf_open with the standard error closed for the while: the MP3 decoder
// prints its own warnings there ("Xing stream size off by more than 1%"),
// which are not for the user; what matters is reported in the user's terms.
SNDFILE* openQuietly(const char* path, SF_INFO* info) {
    fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int quiet = open("/dev/null", O_WRONLY);
    if (saved >= 0 && quiet >= 0) {
        dup2(quiet, STDERR_FILENO);
    }
    SNDFILE* file = sf_open(path, SFM_READ, info);
    if (saved >= 0 && quiet >= 0) {
        dup2(saved, STDERR_FILENO);
    }
    if (quiet >= 0) {
        close(quiet);
    }
    if (saved >= 0) {
        close(saved);
    }
    return file;
}

// Whether libsndfile's log has the line of the data chunk `name` corrected,
// "data : 2116800 (should be 1058360)": the file is shorter than its header.
bool dataLineCorrected(const char* log, const char* name) {
    const char* line = strstr(log, name);
    if (line == nullptr) {
        return false;
    }
    const char* end = strchr(line + 1, '\n');
    const char* correction = strstr(line, "(should be");
    return correction != nullptr && (end == nullptr || correction < end);
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

} // namespace

const AudioRoutines audioFileRoutines = {readFile, seekFile, takeFileNotice, closeFile, noReadAt};

bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    startAudioSource(source, AUDIO_FILE);

    // Open and check the format
    FileState* state = (FileState*)calloc(1, sizeof(FileState));
    if (state == nullptr) {
        return refuse(nullptr, error, errorSize, path, "out of memory");
    }
    snprintf(state->path, sizeof state->path, "%s", path);
    SF_INFO info;
    memset(&info, 0, sizeof info);
    FileStatus status;
    if (!fileStatus(path, &status)) {
        return refuse(state, error, errorSize, path, errno == ENOENT ? "no such file" : strerror(errno));
    }
    if (status.isFolder) {
        return refuse(state, error, errorSize, path, "is a directory");
    }
    state->file = openQuietly(path, &info);
    if (state->file == nullptr) {
        // libsndfile's own reasons speak of its insides ("possibly a pipe?")
        FILE* readable = openFile(path, "rb");
        if (readable == nullptr) {
            return refuse(state, error, errorSize, path, strerror(errno));
        }
        fclose(readable);
        return refuse(state, error, errorSize, path, "not a sound file libsndfile can read");
    }
    if (info.channels < 1 || info.channels > MAX_FILE_CHANNELS) {
        return refuse(state, error, errorSize, path, "unusable channel count");
    }
    if (info.samplerate <= 0) {
        return refuse(state, error, errorSize, path, "no sample rate");
    }
    if (info.frames == 0) {
        return refuse(state, error, errorSize, path, "no samples");
    }
    // Some formats give no length, or the largest number there is, when the
    // file is cut short: the length is learnt at the end instead.
    bool sensible = info.frames > 0 && info.frames / info.samplerate <= MAX_SENSIBLE_SECONDS;
    // A WAV or AIFF header that promises more data than the file holds is
    // read to the file's end by libsndfile, which only logs it.
    static char log[LOG_CHARS];
    sf_command(state->file, SFC_GET_LOG_INFO, log, sizeof log);
    state->headerPromisesMore = dataLineCorrected(log, "\ndata") || dataLineCorrected(log, "\nSSND");

    // Floating-point samples beyond full scale are clipped, not wrapped.
    sf_command(state->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    state->fileChannels = info.channels;
    int32_t subtype = info.format & SF_FORMAT_SUBMASK;
    state->floatingPoint = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    source->sampleRate = info.samplerate;
    source->channels = info.channels < AUDIO_MAX_CHANNELS ? info.channels : AUDIO_MAX_CHANNELS;
    source->frameCount = sensible ? info.frames : AUDIO_UNKNOWN_LENGTH;
    state->lengthImpossible = info.frames > 0 && !sensible;
    titleFromTags(state->file, path, source->title, sizeof source->title);
    source->state = state;
    return true;
}
