// The frames' waveform from the playlist, from capture or from a raw file.
#include "app/input.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/platform.h"
#include "app/report.h"
#include "app/song_cover.h"
#include "audio/file_title.h"

namespace {

constexpr int32_t READ_CHUNK_FRAMES = 4096;

// Milliseconds between two performance counter readings.
int64_t millisecondsBetween(uint64_t from, uint64_t to) {
    return (int64_t)((to - from) * 1000 / platform.tickFrequency());
}

// Keeps `frames` frames of `channels` channels in the history, as stereo.
void remember(AppInput* input, const int16_t* samples, int32_t channels, int32_t frames) {
    for (int32_t i = 0; i < frames; i++) {
        int64_t slot = (input->fedFrames + i) % HISTORY_FRAMES;
        input->history[slot * 2] = samples[i * channels];
        input->history[slot * 2 + 1] = samples[i * channels + (channels > 1 ? 1 : 0)];
    }
    input->fedFrames += frames;
}

// Gives out `frames` frames of the source into `samples` (its channels),
// silence once it has run out, and keeps them in the history.
void giveOut(AppInput* input, int16_t* samples, int32_t frames) {
    int32_t channels = input->source.channels;
    int32_t done = 0;
    while (done < frames && input->endFrame < 0) {
        int32_t got = readAudio(&input->source, samples + done * channels, frames - done);
        if (got <= 0) {
            input->endFrame = input->fedFrames + done;
            break;
        }
        done += got;
    }
    memset(samples + done * channels, 0, sizeof(int16_t) * (size_t)(frames - done) * channels);
    remember(input, samples, channels, frames);
}

// The sound output's request for the next buffer; on its own thread.
void fillSoundBuffer(void* context, int16_t* samples, int32_t frames) {
    AppInput* input = (AppInput*)context;
    giveOut(input, samples, frames);
}

// Opens the sound output for the source playing; without one, says so once
// and goes on silent, timed by the clock.
void openSound(AppInput* input) {
    input->startTicks = platform.ticks();
    if (!input->soundAvailable) {
        return;
    }
    char error[AUDIO_MESSAGE_CHARS];
    if (!platform.openSound(input->source.sampleRate, input->source.channels, fillSoundBuffer, input, error,
                            sizeof error)) {
        reportProblem("no sound device (%s): running silent, timed by the clock", error);
        input->soundAvailable = false;
        return;
    }
    input->soundOpen = true;
}

void closeSound(AppInput* input) {
    if (input->soundOpen) {
        platform.closeSound();
        input->soundOpen = false;
    }
}

// The frame heard now: with a sound output, the frames given out less
// those the output has not yet played; silent, the clock.
int64_t heardFrame(AppInput* input) {
    if (!input->soundOpen) {
        return millisecondsBetween(input->startTicks, platform.ticks()) * input->source.sampleRate / 1000;
    }
    platform.lockSound();
    int64_t heard = input->fedFrames - platform.soundLatencyFrames();
    platform.unlockSound();
    return heard > 0 ? heard : 0;
}

// The block of the frames from `first` on, from the history; silence for
// frames not given out or no longer kept.
void blockFromHistory(AppInput* input, int64_t first, WaveformBlock block) {
    int16_t samples[BLOCK_FRAMES * 2];
    for (int32_t i = 0; i < BLOCK_FRAMES; i++) {
        int64_t frame = first + i;
        bool kept = frame >= 0 && frame < input->fedFrames && frame >= input->fedFrames - HISTORY_FRAMES;
        int64_t slot = frame % HISTORY_FRAMES;
        samples[i * 2] = kept ? input->history[slot * 2] : 0;
        samples[i * 2 + 1] = kept ? input->history[slot * 2 + 1] : 0;
    }
    blockFromPcm16(samples, 2, BLOCK_FRAMES, block);
}

// Opens entry `entry` and starts its sound afresh; false, reported, when the file cannot be played.
bool openEntry(AppInput* input, int32_t entry) {
    closeSound(input);
    closeAudio(&input->source);
    input->fedFrames = 0;
    input->endFrame = -1;
    input->entry = entry;
    if (entry < 0) {
        openDemoTune(&input->source);
    } else {
        char error[AUDIO_MESSAGE_CHARS];
        if (!openAudioFile(&input->source, input->options->files[entry], error, sizeof error)) {
            reportProblem("%s", error);
            return false;
        }
    }
    char coverError[AUDIO_MESSAGE_CHARS];
    if (!showSongCover(entry < 0 ? nullptr : input->options->files[entry], coverError, sizeof coverError)) {
        reportProblem("%s", coverError);
    }
    reportDetail("playing %s (%d Hz, %s)", input->source.title, (int)input->source.sampleRate,
                 input->source.channels == 1 ? "mono" : "stereo");
    openSound(input);
    return true;
}

// From entry `start` on, going by `step`, opens the first file that plays;
// `limit` entries are tried at most. False when none would.
bool openPlayableEntry(AppInput* input, int32_t start, int32_t step, int32_t limit) {
    int32_t count = input->options->fileCount;
    for (int32_t tried = 0; tried < limit; tried++) {
        int32_t entry = ((start + step * tried) % count + count) % count;
        if (openEntry(input, entry)) {
            input->playedCount++;
            return true;
        }
    }
    return false;
}

// Playlist

bool startPlaylist(AppInput* input) {
    if (input->options->fileCount == 0) {
        return openEntry(input, -1);
    }
    if (!openPlayableEntry(input, 0, 1, input->options->fileCount)) {
        reportProblem("none of the files could be played");
        return false;
    }
    return true;
}

bool followPlaylist(AppInput* input) {
    char notice[AUDIO_MESSAGE_CHARS];
    if (input->soundOpen) {
        platform.lockSound();
    }
    bool pending = takeAudioNotice(&input->source, notice, sizeof notice);
    int64_t endFrame = input->endFrame;
    if (input->soundOpen) {
        platform.unlockSound();
    }
    if (pending) {
        reportProblem("%s", notice);
    }
    if (!input->soundOpen && input->endFrame < 0) {
        // Silent: the clock gives out what is heard now and a block beyond.
        int16_t samples[READ_CHUNK_FRAMES * AUDIO_MAX_CHANNELS];
        int64_t target = heardFrame(input) + BLOCK_FRAMES;
        while (input->fedFrames < target && input->endFrame < 0) {
            int64_t want = target - input->fedFrames;
            giveOut(input, samples, want < READ_CHUNK_FRAMES ? (int32_t)want : READ_CHUNK_FRAMES);
        }
        endFrame = input->endFrame;
    }
    if (endFrame < 0 || heardFrame(input) < endFrame) {
        return true;
    }
    // The entry has been heard to its end: the next that plays, if any.
    int32_t next = input->entry + 1;
    if (input->entry < 0 || next >= input->options->fileCount) {
        return false;
    }
    return openPlayableEntry(input, next, 1, input->options->fileCount - next);
}

void playlistBlock(AppInput* input, int64_t, WaveformBlock block) {
    int64_t heard = heardFrame(input);
    if (input->soundOpen) {
        platform.lockSound();
    }
    blockFromHistory(input, heard, block);
    if (input->soundOpen) {
        platform.unlockSound();
    }
}

void skipPlaylist(AppInput* input, int32_t step) {
    int32_t count = input->options->fileCount;
    if (count == 0) {
        return;
    }
    if (!openPlayableEntry(input, input->entry + step, step, count)) {
        reportProblem("none of the files could be played");
    }
}

// Capture

bool startCapture(AppInput* input) {
    char error[AUDIO_MESSAGE_CHARS];
    if (!openCapture(&input->source, input->options->captureDevice, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    reportDetail("capturing from %s (%s)", input->source.title,
                 input->options->captureDevice != nullptr ? input->options->captureDevice : "the default output");
    input->lastNewsTicks = platform.ticks();
    return true;
}

bool followCapture(AppInput* input) {
    char notice[AUDIO_MESSAGE_CHARS];
    if (takeAudioNotice(&input->source, notice, sizeof notice)) {
        reportProblem("%s", notice);
    }
    // Everything that has arrived goes into the history; silence counts as no news.
    int16_t samples[READ_CHUNK_FRAMES * AUDIO_MAX_CHANNELS];
    int32_t got = 0;
    uint64_t now = platform.ticks();
    while ((got = readAudio(&input->source, samples, READ_CHUNK_FRAMES)) > 0) {
        remember(input, samples, input->source.channels, got);
        for (int32_t i = 0; i < got * input->source.channels; i++) {
            if (samples[i] != 0) {
                input->lastNewsTicks = now;
                break;
            }
        }
    }
    bool quiet = millisecondsBetween(input->lastNewsTicks, now) >= QUIET_MS;
    if (quiet && !input->quiet) {
        reportProblem("no sound from %s: nothing playing, paused or stopped; the scope stays flat until there is",
                      input->source.title);
    } else if (!quiet && input->quiet) {
        reportProblem("sound from %s again", input->source.title);
    }
    input->quiet = quiet;
    return true;
}

void captureBlock(AppInput* input, int64_t, WaveformBlock block) {
    if (input->quiet) {
        memset(block, 0, sizeof(WaveformBlock));
        return;
    }
    blockFromHistory(input, input->fedFrames - BLOCK_FRAMES, block);
}

void skipNothing(AppInput*, int32_t) {}

// Raw waveform file

bool startWaveform(AppInput* input) {
    const char* path = input->options->waveformPath;
    char error[600];
    if (!loadRawWaveform(path, &input->waveform, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    titleFromPath(path, input->source.title, sizeof input->source.title);
    return true;
}

bool followWaveform(AppInput*) {
    return true;
}

void waveformBlock(AppInput* input, int64_t frameIndex, WaveformBlock block) {
    rawWaveformBlock(&input->waveform.raw, frameIndex, block);
}

struct InputRoutines {
    bool (*start)(AppInput* input);
    bool (*follow)(AppInput* input);
    void (*block)(AppInput* input, int64_t frameIndex, WaveformBlock block);
    void (*skip)(AppInput* input, int32_t step);
};

const InputRoutines inputTable[] = {
    {startPlaylist, followPlaylist, playlistBlock, skipPlaylist}, // INPUT_PLAYLIST
    {startCapture, followCapture, captureBlock, skipNothing},     // INPUT_CAPTURE
    {startWaveform, followWaveform, waveformBlock, skipNothing},  // INPUT_WAVEFORM
};
static_assert(sizeof inputTable / sizeof inputTable[0] == INPUT_KIND_COUNT, "one row of routines per input kind");

} // namespace

bool startInput(AppInput* input, const AppOptions* options, bool soundAvailable) {
    input->options = options;
    input->kind = options->capture ? INPUT_CAPTURE : options->waveformPath != nullptr ? INPUT_WAVEFORM : INPUT_PLAYLIST;
    input->entry = -1;
    input->endFrame = -1;
    input->soundAvailable = soundAvailable;
    return inputTable[input->kind].start(input);
}

bool followInput(AppInput* input) {
    return inputTable[input->kind].follow(input);
}

void inputBlock(AppInput* input, int64_t frameIndex, WaveformBlock block) {
    inputTable[input->kind].block(input, frameIndex, block);
}

void skipInput(AppInput* input, int32_t step) {
    inputTable[input->kind].skip(input, step);
}

void loseSound(AppInput* input) {
    if (!input->soundOpen) {
        return;
    }
    int64_t heard = heardFrame(input);
    reportProblem("the sound device went away: going on silent, timed by the clock");
    closeSound(input);
    input->soundAvailable = false;
    // The clock goes on from what was heard.
    input->startTicks =
        platform.ticks() - (uint64_t)(heard * (int64_t)platform.tickFrequency() / input->source.sampleRate);
}

const char* inputTitle(const AppInput* input) {
    return input->source.title;
}

void stopInput(AppInput* input) {
    closeSound(input);
    closeAudio(&input->source);
    releaseRawWaveform(&input->waveform);
}
