// Sound files through libsndfile: any format it reads, any rate and channel
// count; the first two channels are kept, samples come as 16-bit.
#include <sndfile.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "audio/audio_source.h"
#include "audio/file_title.h"
#include "files/os_files.h"

namespace {

constexpr int32_t MAX_FILE_CHANNELS = 1024; // more than any real file has
constexpr int32_t SCRATCH_SAMPLES = 16384;  // at least 16 frames of the widest file
constexpr size_t LOG_CHARS = 16384;
constexpr int64_t MAX_SENSIBLE_SECONDS = 1000 * 3600; // a longer length in a header is nonsense

struct FileState {
    FileBreak fileBreak;            // first, where takeFileNotice looks: the path, and where the file broke off
    SNDFILE* file;                  // open while the source is
    int32_t fileChannels;           // channels in the file; the source keeps the first two
    bool floatingPoint;             // float samples: read through the scratch buffer
    bool headerPromisesMore;        // the header gives more data than the file holds
    bool lengthImpossible;          // the length given is nonsense, as that of an Ogg file cut short
    float scratch[SCRATCH_SAMPLES]; // frames of all channels, for float files and wide ones
};
static_assert(offsetof(FileState, fileBreak) == 0, "takeFileNotice finds the break first in the state");

// Records that the file broke off at the source's position. A header that
// promised more gives no length worth telling.
void noteBreak(AudioSource* source, FileState* state) {
    noteFileBreak(source, &state->fileBreak, source->frameCount);
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

void closeFile(AudioSource* source) {
    FileState* state = (FileState*)source->state;
    if (state->file != nullptr) {
        sf_close(state->file);
    }
    free(state);
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

} // namespace

const AudioRoutines audioFileRoutines = {readFile, seekFile, takeFileNotice, closeFile, noReadAt};

bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    // Open and check the format
    FileState* state =
        (FileState*)startAudioState(source, AUDIO_FILE, sizeof(FileState), "play", path, error, errorSize);
    if (state == nullptr) {
        return false;
    }
    snprintf(state->fileBreak.path, sizeof state->fileBreak.path, "%s", path);
    SF_INFO info;
    memset(&info, 0, sizeof info);
    FileStatus status;
    if (!fileStatus(path, &status)) {
        return refuseAudio(source, "play", path, errno == ENOENT ? "no such file" : strerror(errno), error, errorSize);
    }
    if (status.isFolder) {
        return refuseAudio(source, "play", path, "is a directory", error, errorSize);
    }
    state->file = openQuietly(path, &info);
    if (state->file == nullptr) {
        // libsndfile's own reasons speak of its insides ("possibly a pipe?")
        FILE* readable = openFile(path, "rb");
        if (readable == nullptr) {
            return refuseAudio(source, "play", path, strerror(errno), error, errorSize);
        }
        fclose(readable);
        return refuseAudio(source, "play", path, "not a sound file libsndfile can read", error, errorSize);
    }
    if (info.channels < 1 || info.channels > MAX_FILE_CHANNELS) {
        return refuseAudio(source, "play", path, "unusable channel count", error, errorSize);
    }
    if (info.samplerate <= 0) {
        return refuseAudio(source, "play", path, "no sample rate", error, errorSize);
    }
    if (info.frames == 0) {
        return refuseAudio(source, "play", path, "no samples", error, errorSize);
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
    composeTitle(sf_get_string(state->file, SF_STR_ARTIST), sf_get_string(state->file, SF_STR_TITLE), path,
                 source->title, sizeof source->title);
    return true;
}
