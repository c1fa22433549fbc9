// The Windows audio kinds run for real (under Wine with a PulseAudio null
// sink, see audio_windows_test.sh): files decoded through Media Foundation,
// capture through WASAPI while a tone plays, and the WASAPI sound output.
//
//   audio_windows_check files DIR                 tone.{wav,flac,mp3,m4a}, broken.mp3, cut.{wav,flac}
//   audio_windows_check capture SECONDS HZ [--loopback] [SOURCE]
//   audio_windows_check output SECONDS HZ
//
// The files are 3 s of a sine at 441 Hz, at half scale on the left and a
// quarter on the right, tagged "Test Artist" and "Test Tone". Prints what it
// found; exits 1 when a check fails.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "audio/audio_source.h"
#include "audio/wasapi_output.h"

namespace {

int failures = 0;

void check(bool ok, const char* what, const char* detail) {
    if (!ok) {
        printf("FAIL: %s (%s)\n", what, detail);
        failures++;
    }
}

constexpr int32_t MAX_FRAMES = 44100 * 30;
int16_t samples[MAX_FRAMES * 2];

// Level and pitch of a stretch of stereo samples.
struct Sound {
    int32_t peakLeft;
    int32_t peakRight;
    double hertz; // from the left channel's crossings of zero
};

Sound measure(const int16_t* stereo, int64_t frames, int32_t rate, int32_t channels) {
    Sound sound = {0, 0, 0.0};
    int64_t crossings = 0;
    int64_t first = -1;
    int64_t last = -1;
    int32_t lastSide = 0;
    for (int64_t i = 0; i < frames; i++) {
        int32_t left = stereo[i * channels];
        int32_t right = stereo[i * channels + channels - 1];
        sound.peakLeft = abs(left) > sound.peakLeft ? abs(left) : sound.peakLeft;
        sound.peakRight = abs(right) > sound.peakRight ? abs(right) : sound.peakRight;
        // Crossings from below -1000 to above 1000 and back: noise near zero
        // (an encoder's priming) does not count.
        int32_t side = left > 1000 ? 1 : left < -1000 ? -1 : 0;
        if (side != 0 && side != lastSide) {
            if (lastSide != 0) {
                crossings++;
                first = first < 0 ? i : first;
                last = i;
            }
            lastSide = side;
        }
    }
    if (crossings > 1) {
        sound.hertz = (crossings - 1) / 2.0 * rate / (double)(last - first);
    }
    return sound;
}

// The loud stretch of a capture: from the first frame above a tenth of the
// peak to the last.
void loudStretch(const int16_t* stereo, int64_t frames, int64_t* start, int64_t* end) {
    Sound whole = measure(stereo, frames, 44100, 2);
    *start = -1;
    *end = -1;
    for (int64_t i = 0; i < frames; i++) {
        if (abs(stereo[i * 2]) > whole.peakLeft / 10 && whole.peakLeft > 1000) {
            *start = *start < 0 ? i : *start;
            *end = i;
        }
    }
}

int checkFiles(const char* dir) {
    char path[1024];
    char error[AUDIO_MESSAGE_CHARS];
    char notice[AUDIO_MESSAGE_CHARS];
    char detail[1200];
    const char* good[] = {"tone.wav", "tone.flac", "tone.mp3", "tone.m4a"};
    for (const char* name : good) {
        snprintf(path, sizeof path, "%s\\%s", dir, name);
        AudioSource source;
        bool opened = openAudioFile(&source, path, error, sizeof error);
        check(opened, name, error);
        if (!opened) {
            continue;
        }
        int64_t given = source.frameCount;
        bool measured = measureAudioFile(&source, path, error, sizeof error);
        check(measured, name, error);
        int64_t frames = 0;
        int32_t got = 0;
        while (frames < MAX_FRAMES && (got = readAudio(&source, samples + frames * source.channels, 4096)) > 0) {
            frames += got;
        }
        // Levels and pitch in the middle second, away from a decoder's onset.
        Sound sound = measure(samples + frames / 2 * source.channels - source.sampleRate / 2 * source.channels,
                              source.sampleRate, source.sampleRate, source.channels);
        printf("%s: \"%s\", %d Hz, %d channels, %lld frames (given %lld, measured %lld), peaks %d %d, %.1f Hz\n", name,
               source.title, source.sampleRate, source.channels, (long long)frames, (long long)given,
               (long long)source.frameCount, sound.peakLeft, sound.peakRight, sound.hertz);
        snprintf(detail, sizeof detail, "%s: %lld frames at %d Hz", name, (long long)frames, source.sampleRate);
        // AAC and MP3 add a little priming and padding.
        check(llabs(frames - 3 * (int64_t)source.sampleRate) < source.sampleRate / 10, "the length is 3 s", detail);
        check(frames == source.frameCount, "what is read is what was measured", detail);
        check(source.channels == 2, "two channels", detail);
        // AAC overshoots a pure tone by a tenth.
        check(sound.peakLeft > 15000 && sound.peakLeft < 19000, "left at half scale", detail);
        check(sound.peakRight > 7000 && sound.peakRight < 9500, "right at a quarter", detail);
        check(fabs(sound.hertz - 441.0) < 4.0, "441 Hz", detail);
        check(!takeAudioNotice(&source, notice, sizeof notice), "no notice for a whole file", notice);
        printf("  title %s\n", strcmp(source.title, "Test Artist - Test Tone") == 0 ? "from the tags"
                               : strcmp(source.title, "tone") == 0                  ? "from the file's name"
                                                                                    : "unexpected");
        check(strcmp(source.title, "Test Artist - Test Tone") == 0 || strcmp(source.title, "tone") == 0,
              "the title is the tags' or the file's name", source.title);
        closeAudio(&source);
    }

    // Unplayable: named with the reason.
    const char* bad[][2] = {{"broken.mp3", "not a sound file Windows can read"},
                            {"missing.flac", "no such file"},
                            {"folder.wav", "is a directory"}};
    for (const auto& entry : bad) {
        snprintf(path, sizeof path, "%s\\%s", dir, entry[0]);
        AudioSource source;
        bool opened = openAudioFile(&source, path, error, sizeof error);
        printf("%s: %s\n", entry[0], opened ? "opened" : error);
        char expected[1200];
        snprintf(expected, sizeof expected, "cannot play %s: %s", path, entry[1]);
        check(!opened && strcmp(error, expected) == 0, expected, error);
        closeAudio(&source);
    }

    // Cut short: what can be read plays, and one notice says where it ends.
    const char* cut[] = {"cut.wav", "cut.flac"};
    for (const char* name : cut) {
        snprintf(path, sizeof path, "%s\\%s", dir, name);
        AudioSource source;
        bool opened = openAudioFile(&source, path, error, sizeof error);
        check(opened, name, error);
        if (!opened) {
            continue;
        }
        int64_t given = source.frameCount;
        int64_t frames = 0;
        int32_t got = 0;
        int32_t notices = 0;
        char first[AUDIO_MESSAGE_CHARS] = "";
        while ((got = readAudio(&source, samples, 4096)) > 0) {
            frames += got;
            if (takeAudioNotice(&source, notice, sizeof notice)) {
                snprintf(first, sizeof first, "%s", notice);
                notices++;
            }
        }
        while (takeAudioNotice(&source, notice, sizeof notice)) {
            snprintf(first, sizeof first, "%s", notice);
            notices++;
        }
        // Read again from the start: the break is not told twice.
        seekAudio(&source, 0);
        while (readAudio(&source, samples, 4096) > 0) {
        }
        notices += takeAudioNotice(&source, notice, sizeof notice) ? 1 : 0;
        printf("%s: %lld frames (given %lld), notice \"%s\"\n", name, (long long)frames, (long long)given, first);
        char expected[1200];
        snprintf(expected, sizeof expected, "%s ends early, at 0:01 of 0:03 (truncated or damaged)", path);
        check(strcmp(first, expected) == 0 && notices == 1, expected, first);
        check(frames > source.sampleRate && frames < 2 * source.sampleRate, "about half of a cut file plays", name);
        check(audioEnded(&source) && source.frameCount == frames, "the cut file ends where it breaks off", name);
        closeAudio(&source);
    }
    return failures == 0 ? 0 : 1;
}

int checkCapture(int32_t seconds, double hertz, bool loopback, const char* device) {
    static CaptureDevice devices[64];
    char defaultMonitor[256];
    char error[AUDIO_MESSAGE_CHARS];
    int32_t count = listCaptureDevices(devices, 64, defaultMonitor, sizeof defaultMonitor, error, sizeof error);
    check(count > 0, "sources listed", error);
    bool listedDefault = false;
    for (int32_t i = 0; i < count; i++) {
        printf("%s %s\n    %s%s\n", strcmp(devices[i].name, defaultMonitor) == 0 ? "*" : " ", devices[i].name,
               devices[i].description, devices[i].monitor ? " (what an output plays)" : "");
        listedDefault = listedDefault || (strcmp(devices[i].name, defaultMonitor) == 0 && devices[i].monitor);
    }
    check(listedDefault, "the default output is listed as what --capture takes", defaultMonitor);

    AudioSource source;
    if (!openCapture(&source, device, error, sizeof error)) {
        check(false, "capture opens", error);
        return 1;
    }
    printf("capturing from %s\n", source.title);
    char notice[AUDIO_MESSAGE_CHARS];
    bool refused = false;
    int64_t frames = 0;
    int64_t limit = (int64_t)seconds * 44100 < MAX_FRAMES ? (int64_t)seconds * 44100 : MAX_FRAMES;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < (DWORD)seconds * 1000) {
        while (takeAudioNotice(&source, notice, sizeof notice)) {
            printf("notice: %s\n", notice);
            refused = refused || strstr(notice, "refuses loopback") != nullptr;
        }
        int32_t got = 0;
        while (frames < limit && (got = readAudio(&source, samples + frames * 2, 4096)) > 0) {
            frames += got;
        }
        Sleep(20);
    }
    closeAudio(&source);
    if (loopback) {
        check(!refused, "loopback capture itself ran", "the system refused it");
        check(strncmp(source.title, "Monitor of ", 11) != 0, "captured through loopback, not an input", source.title);
    }
    int64_t loudStart = 0;
    int64_t loudEnd = 0;
    loudStretch(samples, frames, &loudStart, &loudEnd);
    char detail[256];
    snprintf(detail, sizeof detail, "%lld frames, loud from %lld to %lld", (long long)frames, (long long)loudStart,
             (long long)loudEnd);
    printf("%s\n", detail);
    check(loudStart >= 0 && loudEnd - loudStart > 44100, "the tone is captured for more than a second", detail);
    if (loudStart >= 0) {
        // The middle of the tone, away from its edges.
        int64_t middle = (loudStart + loudEnd) / 2;
        Sound sound = measure(samples + (middle - 22050 / 2) * 2, 22050, 44100, 2);
        snprintf(detail, sizeof detail, "peaks %d %d, %.1f Hz", sound.peakLeft, sound.peakRight, sound.hertz);
        printf("the tone: %s\n", detail);
        check(fabs(sound.hertz - hertz) < hertz * 0.03, "the tone's pitch", detail);
        check(sound.peakLeft > 10000 && sound.peakRight > 5000 && sound.peakLeft > sound.peakRight,
              "left louder than right, both clear of silence", detail);
    }
    return failures == 0 ? 0 : 1;
}

// A sine for the output, and how much of it was asked for.
struct Tone {
    double phase;
    double step;
    int64_t frames;
};

void fillTone(void* context, int16_t* out, int32_t frames) {
    Tone* tone = (Tone*)context;
    for (int32_t i = 0; i < frames; i++) {
        int16_t value = (int16_t)(16000.0 * sin(tone->phase));
        out[i * 2] = value;
        out[i * 2 + 1] = (int16_t)(value / 2);
        tone->phase += tone->step;
    }
    tone->frames += frames;
}

int checkOutput(int32_t seconds, double hertz) {
    Tone tone = {0.0, 2.0 * 3.14159265358979 * hertz / 44100.0, 0};
    SoundOutput* output = nullptr;
    char error[AUDIO_MESSAGE_CHARS];
    if (!openSoundOutput(&output, 44100, 2, fillTone, &tone, error, sizeof error)) {
        check(false, "the sound output opens", error);
        return 1;
    }
    int64_t least = INT64_MAX;
    int64_t most = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < (DWORD)seconds * 1000) {
        Sleep(50);
        int64_t latency = soundOutputLatencyFrames(output);
        least = latency < least ? latency : least;
        most = latency > most ? latency : most;
    }
    lockSoundOutput(output);
    int64_t asked = tone.frames;
    unlockSoundOutput(output);
    closeSoundOutput(&output);
    check(output == nullptr, "closing clears the output", "");
    char detail[256];
    snprintf(detail, sizeof detail, "%lld frames asked for in %d s, latency %lld..%lld frames", (long long)asked,
             (int)seconds, (long long)least, (long long)most);
    printf("%s\n", detail);
    int64_t expected = (int64_t)seconds * 44100;
    // Never ahead of the device by more than its buffer; Wine's driver starts
    // late and runs slow on a loaded machine, so behind it only loosely.
    check(asked > expected / 2 && asked < expected * 11 / 10 + 44100 / 2, "asked at about the device's pace", detail);
    check(least >= 0 && most > 0 && most < 44100 / 2, "a latency above nothing and below half a second", detail);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 3 && strcmp(argv[1], "files") == 0) {
        return checkFiles(argv[2]);
    }
    if (argc >= 4 && strcmp(argv[1], "capture") == 0) {
        bool loopback = argc >= 5 && strcmp(argv[4], "--loopback") == 0;
        const char* device = argc >= 5 + (loopback ? 1 : 0) ? argv[4 + (loopback ? 1 : 0)] : nullptr;
        return checkCapture(atoi(argv[2]), atof(argv[3]), loopback, device);
    }
    if (argc >= 4 && strcmp(argv[1], "output") == 0) {
        return checkOutput(atoi(argv[2]), atof(argv[3]));
    }
    fprintf(stderr, "usage: audio_windows_check files DIR | capture SECONDS HZ [--loopback] [SOURCE] | "
                    "output SECONDS HZ\n");
    return 2;
}
