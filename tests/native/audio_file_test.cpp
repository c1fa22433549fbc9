// Sound files read through the audio layer, made during the test with sox,
// ffmpeg and lame: the blocks of lossless files are exactly the player's,
// lossy ones carry the tone they were made from, tags give the title, and
// damaged or cut files give their error.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "audio/audio_source.h"
#include "audio/demo_tune.h"

namespace {

constexpr int32_t RATE = 44100;
constexpr int32_t FRAMES = RATE; // one second

// A folder of its own for the files of one test program run, removed at the end.
std::string dir;

struct RemoveWorkDir : ::testing::Environment {
    void TearDown() override {
        if (!dir.empty()) {
            EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
        }
    }
};
const ::testing::Environment* const removeWorkDir = ::testing::AddGlobalTestEnvironment(new RemoveWorkDir);

const std::string& workDir() {
    if (dir.empty()) {
        char pattern[] = "/tmp/audio_file_test.XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        dir = made;
    }
    return dir;
}

std::string pathOf(const char* name) {
    return workDir() + "/" + name;
}

void run(const std::string& command) {
    int status = std::system(("(" + command + ") >/dev/null 2>&1").c_str());
    ASSERT_EQ(status, 0) << command;
}

void writeBytes(const std::string& path, const void* bytes, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fwrite(bytes, 1, size, file), size);
    fclose(file);
}

// Interleaved samples of `channels` channels: a sweep of every 16-bit value
// on the left, a 441 Hz sine on the right, and a third channel that must not
// be heard, all with low bytes that catch a wrong rounding.
std::vector<int16_t> testSamples(int32_t channels) {
    std::vector<int16_t> samples((size_t)FRAMES * channels);
    for (int32_t i = 0; i < FRAMES; i++) {
        samples[(size_t)i * channels] = (int16_t)(uint16_t)(i * 1487u);
        if (channels > 1) {
            samples[(size_t)i * channels + 1] = (int16_t)std::lrint(20000.0 * std::sin(2 * M_PI * 441.0 * i / RATE));
        }
        if (channels > 2) {
            samples[(size_t)i * channels + 2] = 0x5A5A;
        }
    }
    return samples;
}

// The block the player would make from `samples` at `frame`.
void expectedBlock(const std::vector<int16_t>& samples, int32_t channels, int32_t frame, WaveformBlock block) {
    blockFromPcm16(samples.data() + (size_t)frame * channels, channels, BLOCK_FRAMES, block);
}

// Opens `path`, failing the test with the reason when it cannot.
void openOrFail(AudioSource* source, const std::string& path) {
    char error[AUDIO_MESSAGE_CHARS];
    bool opened = openAudioFile(source, path.c_str(), error, sizeof error);
    ASSERT_TRUE(opened) << error;
}

// Raw test samples turned into `name` by `converter`, a command with IN and OUT.
std::string makeFile(const char* name, int32_t channels, int32_t rate, const std::string& options) {
    std::vector<int16_t> samples = testSamples(channels);
    std::string raw = pathOf("input.raw");
    writeBytes(raw, samples.data(), samples.size() * sizeof(int16_t));
    std::string out = pathOf(name);
    run("sox -t raw -r " + std::to_string(rate) + " -e signed -b 16 -c " + std::to_string(channels) + " " + raw + " " +
        options + " " + out);
    return out;
}

} // namespace

TEST(AudioFile, LosslessFilesGiveThePlayersBlocksExactly) {
    struct Case {
        const char* name;
        const char* options;
        const char* title; // the file's name without its extension
    };
    const Case cases[] = {
        {"pcm16.wav", "-b 16", "pcm16"},
        {"pcm24.wav", "-b 24", "pcm24"},
        {"float.wav", "-e floating-point -b 32", "float"},
        {"lossless.flac", "-b 16", "lossless"},
    };
    std::vector<int16_t> samples = testSamples(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = makeFile(c.name, 2, RATE, c.options);
        AudioSource source;
        openOrFail(&source, path);
        EXPECT_EQ(source.kind, AUDIO_FILE);
        EXPECT_EQ(source.sampleRate, RATE);
        EXPECT_EQ(source.channels, 2);
        EXPECT_EQ(source.frameCount, FRAMES);
        EXPECT_STREQ(source.title, c.title);
        for (int32_t frame : {0, 12345, FRAMES - BLOCK_FRAMES}) {
            WaveformBlock got;
            WaveformBlock want;
            ASSERT_TRUE(readBlockAt(&source, frame, got));
            expectedBlock(samples, 2, frame, want);
            ASSERT_EQ(memcmp(got, want, sizeof got), 0) << "block at frame " << frame;
        }
        // Reading on to the end gives every frame once, then nothing.
        ASSERT_TRUE(seekAudio(&source, 0));
        std::vector<int16_t> all((size_t)FRAMES * 2 + 64);
        int32_t total = 0;
        int32_t got = 0;
        while ((got = readAudio(&source, all.data() + (size_t)total * 2, 1000)) > 0) {
            total += got;
        }
        EXPECT_EQ(total, FRAMES);
        EXPECT_TRUE(audioEnded(&source));
        char notice[AUDIO_MESSAGE_CHARS];
        EXPECT_FALSE(takeAudioNotice(&source, notice, sizeof notice));
        closeAudio(&source);
    }
}

TEST(AudioFile, AnyRateAndChannelCountGivesTheFirstTwoChannels) {
    // Three channels at 48 kHz: the third is never heard.
    std::vector<int16_t> three = testSamples(3);
    AudioSource source;
    openOrFail(&source, makeFile("three.wav", 3, 48000, "-b 16"));
    EXPECT_EQ(source.sampleRate, 48000);
    EXPECT_EQ(source.channels, 2);
    WaveformBlock got;
    WaveformBlock want;
    ASSERT_TRUE(readBlockAt(&source, 1000, got));
    expectedBlock(three, 3, 1000, want);
    EXPECT_EQ(memcmp(got, want, sizeof got), 0);
    // A streamed file is read where its position stands, never at another frame.
    int64_t position = source.position;
    int16_t elsewhere[2];
    EXPECT_FALSE(readAudioAt(&source, 0, 1, elsewhere));
    EXPECT_EQ(source.position, position);
    closeAudio(&source);

    // Mono at 22.05 kHz fills both slots with its one channel.
    std::vector<int16_t> mono = testSamples(1);
    openOrFail(&source, makeFile("mono.flac", 1, 22050, "-b 16"));
    EXPECT_EQ(source.sampleRate, 22050);
    EXPECT_EQ(source.channels, 1);
    ASSERT_TRUE(readBlockAt(&source, 777, got));
    expectedBlock(mono, 1, 777, want);
    EXPECT_EQ(memcmp(got, want, sizeof got), 0);
    EXPECT_EQ(memcmp(got[0], got[1], sizeof got[0]), 0);

    // The block at the end: what is left, then silence.
    ASSERT_TRUE(readBlockAt(&source, FRAMES - 100, got));
    EXPECT_EQ(got[0][99], sampleHighByte(mono[FRAMES - 1]));
    for (int32_t i = 100; i < BLOCK_FRAMES; i++) {
        ASSERT_EQ(got[0][i], 0) << i;
    }
    closeAudio(&source);
}

// A lossy file of a 441 Hz sine at half scale on the left and a quarter on the
// right: each block holds 5.76 periods of the tone at the right level.
void expectTone(const std::string& path, const char* title) {
    AudioSource source;
    openOrFail(&source, path);
    EXPECT_STREQ(source.title, title);
    EXPECT_EQ(source.sampleRate, RATE);
    EXPECT_EQ(source.channels, 2);
    EXPECT_NEAR((double)source.frameCount, FRAMES, 2048.0); // encoders pad to whole frames
    WaveformBlock block;
    ASSERT_TRUE(readBlockAt(&source, RATE / 2, block));
    const int32_t peaks[2] = {64, 32};
    for (int32_t slot = 0; slot < 2; slot++) {
        int32_t highest = -128;
        int32_t lowest = 127;
        int32_t crossings = 0;
        for (int32_t i = 0; i < BLOCK_FRAMES; i++) {
            int32_t value = (int8_t)block[slot][i];
            highest = value > highest ? value : highest;
            lowest = value < lowest ? value : lowest;
            if (i > 0 && ((int8_t)block[slot][i - 1] < 0) != (value < 0)) {
                crossings++;
            }
        }
        EXPECT_NEAR(highest, peaks[slot] - 1, 3) << "slot " << slot;
        EXPECT_NEAR(lowest, -peaks[slot], 3) << "slot " << slot;
        EXPECT_NEAR(crossings, 11.5, 1.5) << "slot " << slot;
    }
    closeAudio(&source);
}

TEST(AudioFile, LossyFilesCarryTheirToneAndTagsNameThem) {
    // left: half scale, right: a quarter; both 441 Hz
    std::string raw = pathOf("tone.raw");
    run("sox -n -r 44100 -e signed -b 16 -c 2 -t raw " + raw + " synth 1 sine 441 remix 1v0.5 1v0.25");
    std::string pcm = " -f s16le -ar 44100 -ac 2 -i " + raw;
    std::string ogg = pathOf("tone.ogg");
    run("ffmpeg -nostdin -y" + pcm +
        " -c:a libvorbis -q:a 6 -metadata artist='The Testers' -metadata title='Known Tone' " + ogg);
    expectTone(ogg, "The Testers - Known Tone");
    std::string mp3 = pathOf("tone.mp3");
    run("lame -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 " + raw + " " + mp3);
    expectTone(mp3, "tone");
    std::string tagged = pathOf("tagged.mp3");
    run("lame -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 --id3v2-only --ta 'The Testers' --tt "
        "'Known Tone' " +
        raw + " " + tagged);
    expectTone(tagged, "The Testers - Known Tone");
    std::string flac = pathOf("titled.flac");
    run("ffmpeg -nostdin -y" + pcm + " -metadata title='Only A Title' " + flac);
    expectTone(flac, "Only A Title");
}

TEST(AudioFile, DamagedAndCutFilesGiveTheirError) {
    char error[AUDIO_MESSAGE_CHARS];
    AudioSource source;

    // Files that cannot be opened name themselves and the reason.
    std::string missing = pathOf("missing.wav");
    EXPECT_FALSE(openAudioFile(&source, missing.c_str(), error, sizeof error));
    EXPECT_EQ(std::string(error).rfind("cannot play " + missing + ": ", 0), 0u) << error;
    EXPECT_EQ(std::string(error), "cannot play " + missing + ": no such file");
    std::string folder = workDir();
    EXPECT_FALSE(openAudioFile(&source, folder.c_str(), error, sizeof error));
    EXPECT_EQ(std::string(error), "cannot play " + folder + ": is a directory");

    std::string noise = pathOf("noise.flac");
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] = (uint8_t)(i * 2654435761u >> 13);
    }
    writeBytes(noise, bytes.data(), bytes.size());
    EXPECT_FALSE(openAudioFile(&source, noise.c_str(), error, sizeof error));
    EXPECT_EQ(std::string(error), "cannot play " + noise + ": not a sound file libsndfile can read");
    EXPECT_EQ(source.state, nullptr);

    std::string empty = pathOf("empty.wav");
    writeBytes(empty, "", 0);
    EXPECT_FALSE(openAudioFile(&source, empty.c_str(), error, sizeof error));
    EXPECT_EQ(std::string(error).rfind("cannot play " + empty + ": ", 0), 0u) << error;

    // A WAV file cut inside its header.
    std::string whole = makeFile("whole.wav", 2, RATE, "-b 16");
    std::string header = pathOf("header.wav");
    run("head -c 30 " + whole + " > " + header);
    EXPECT_FALSE(openAudioFile(&source, header.c_str(), error, sizeof error));
    EXPECT_EQ(std::string(error).rfind("cannot play " + header + ": ", 0), 0u) << error;

    // A FLAC file cut in the middle opens, plays what it holds, then says so
    // once and counts as over.
    std::string flac = makeFile("whole.flac", 2, RATE, "-b 16");
    std::string cut = pathOf("cut.flac");
    run("head -c 60000 " + flac + " > " + cut);
    openOrFail(&source, cut);
    std::vector<int16_t> samples(2000 * 2);
    int64_t total = 0;
    int32_t got = 0;
    while ((got = readAudio(&source, samples.data(), 2000)) > 0) {
        total += got;
    }
    EXPECT_GT(total, 0);
    EXPECT_LT(total, FRAMES);
    EXPECT_TRUE(audioEnded(&source));
    char notice[AUDIO_MESSAGE_CHARS];
    ASSERT_TRUE(takeAudioNotice(&source, notice, sizeof notice));
    EXPECT_EQ(std::string(notice).rfind(cut + " ends early, at 0:00 of 0:01", 0), 0u) << notice;
    EXPECT_FALSE(takeAudioNotice(&source, notice, sizeof notice));
    closeAudio(&source);
    closeAudio(&source); // closing twice is harmless
}

// Every format cut short gives one rule: measured, the source holds the
// readable part, says once where it breaks off, and reads it again the same
// after going back. Ogg Vorbis cut short has no length at all.
TEST(AudioFile, CutFilesAreMeasuredToTheirReadablePart) {
    struct Case {
        const char* name;
        const char* options;
        bool lengthKnown; // before measuring
        bool noticed;     // the break is told
    };
    const Case cases[] = {
        {"cut.wav", "-b 16", true, true},
        {"cut.flac", "-b 16", true, true},
        {"cut.ogg", "", false, true},
    };
    for (const Case& c : cases) {
        std::string whole = makeFile((std::string("whole-") + c.name).c_str(), 2, RATE, c.options);
        std::string cut = pathOf(c.name);
        run("head -c $(( $(stat -c %s " + whole + ") / 2 )) " + whole + " > " + cut);
        AudioSource source;
        char error[AUDIO_MESSAGE_CHARS];
        openOrFail(&source, cut);
        EXPECT_EQ(source.frameCount >= 0, c.lengthKnown) << c.name << " " << source.frameCount;
        ASSERT_TRUE(measureAudioFile(&source, cut.c_str(), error, sizeof error)) << error;
        int64_t measured = source.frameCount;
        EXPECT_GT(measured, FRAMES / 4) << c.name;
        EXPECT_LT(measured, FRAMES * 3 / 4) << c.name;
        char notice[AUDIO_MESSAGE_CHARS];
        bool told = takeAudioNotice(&source, notice, sizeof notice);
        EXPECT_EQ(told, c.noticed) << c.name << ": " << (told ? notice : "");
        if (told) {
            EXPECT_EQ(std::string(notice).rfind(cut + " ends early, at 0:00", 0), 0u) << notice;
        }
        // Read again from the start: the same frames, no second notice.
        std::vector<int16_t> samples(3000 * 2);
        int64_t total = 0;
        int32_t got = 0;
        while ((got = readAudio(&source, samples.data(), 3000)) > 0) {
            total += got;
        }
        EXPECT_EQ(total, measured) << c.name;
        EXPECT_TRUE(audioEnded(&source)) << c.name;
        EXPECT_FALSE(takeAudioNotice(&source, notice, sizeof notice)) << c.name << ": " << notice;
        closeAudio(&source);
    }
}

TEST(AudioFile, DemoTuneIsTheRenderersTune) {
    AudioSource source;
    openDemoTune(&source);
    EXPECT_STREQ(source.title, "Demo tune");
    EXPECT_EQ(source.frameCount, AUDIO_ENDLESS);
    // Frame k of the renderer starts at sample k * 1470, past the loop too.
    for (uint32_t first : {0u, 1470u * 7, DEMO_LOOP_SAMPLES + 1470u * 3}) {
        WaveformBlock got;
        WaveformBlock want;
        ASSERT_TRUE(readBlockAt(&source, first, got));
        demoTuneWaveform(first, want);
        ASSERT_EQ(memcmp(got, want, sizeof got), 0) << first;
    }
    EXPECT_FALSE(audioEnded(&source));
    closeAudio(&source);
}
