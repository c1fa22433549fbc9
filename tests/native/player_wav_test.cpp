// WAV parsing: chunk walk, fmt checks, refusals with their reasons, samples.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "player/wav_file.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put16(Bytes* bytes, uint32_t value) {
    bytes->push_back((uint8_t)value);
    bytes->push_back((uint8_t)(value >> 8));
}

void put32(Bytes* bytes, uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

// Appends a chunk with its pad byte when the body is odd.
void putChunk(Bytes* bytes, const char* id, const Bytes& body) {
    bytes->insert(bytes->end(), id, id + 4);
    put32(bytes, (uint32_t)body.size());
    bytes->insert(bytes->end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        bytes->push_back(0);
    }
}

// A 16-byte fmt body with the block size and byte rate the fields imply.
Bytes formatBody(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits) {
    Bytes body;
    put16(&body, tag);
    put16(&body, channels);
    put32(&body, rate);
    put32(&body, rate * channels * bits / 8);
    put16(&body, channels * bits / 8);
    put16(&body, bits);
    return body;
}

// The extensible fmt body whose sub-format GUID starts with `subTag`.
Bytes extensibleBody(uint32_t channels, uint32_t rate, uint32_t subTag) {
    Bytes body = formatBody(0xFFFE, channels, rate, 16);
    put16(&body, 22);     // extension size
    put16(&body, 16);     // valid bits
    put32(&body, 3);      // channel mask
    put16(&body, subTag); // sub-format GUID: tag, then the shared tail
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), tail, tail + 14);
    return body;
}

Bytes samplesBody(const std::vector<int16_t>& samples) {
    Bytes body;
    for (int16_t sample : samples) {
        put16(&body, (uint16_t)sample);
    }
    return body;
}

// "RIFF" size "WAVE" and the given chunks.
Bytes riff(const Bytes& chunks, const char* form = "WAVE") {
    Bytes bytes = {'R', 'I', 'F', 'F'};
    put32(&bytes, (uint32_t)(chunks.size() + 4));
    bytes.insert(bytes.end(), form, form + 4);
    bytes.insert(bytes.end(), chunks.begin(), chunks.end());
    return bytes;
}

Bytes stereoFile(const std::vector<int16_t>& samples) {
    Bytes chunks;
    putChunk(&chunks, "fmt ", formatBody(1, 2, 44100, 16));
    putChunk(&chunks, "data", samplesBody(samples));
    return riff(chunks);
}

WavStatus parse(const Bytes& bytes, WavAudio* audio) {
    return parseWav(bytes.data(), bytes.size(), audio);
}

WavStatus statusOf(const Bytes& bytes) {
    WavAudio audio;
    return parse(bytes, &audio);
}

WavStatus statusWithFormat(const Bytes& format) {
    Bytes chunks;
    putChunk(&chunks, "fmt ", format);
    putChunk(&chunks, "data", samplesBody({1, 2, 3, 4}));
    return statusOf(riff(chunks));
}

} // namespace

TEST(WavParse, StereoFileGivesFormatAndSamples) {
    Bytes file = stereoFile({100, -100, 0x1234, -2, 32767, -32768});
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.bitsPerSample, 16);
    EXPECT_EQ(audio.frameCount, 3);
    EXPECT_EQ(audio.pcm, file.data() + 44); // 12 header + 24 fmt + 8 data header
    EXPECT_EQ(wavSample(&audio, 0, 0), 100);
    EXPECT_EQ(wavSample(&audio, 0, 1), -100);
    EXPECT_EQ(wavSample(&audio, 1, 0), 0x1234);
    EXPECT_EQ(wavSample(&audio, 1, 1), -2);
    EXPECT_EQ(wavSample(&audio, 2, 0), 32767);
    EXPECT_EQ(wavSample(&audio, 2, 1), -32768);
}

TEST(WavParse, MonoFileAtAnotherRate) {
    Bytes chunks;
    putChunk(&chunks, "fmt ", formatBody(1, 1, 22050, 16));
    putChunk(&chunks, "data", samplesBody({7, -7, 9, -9, 11}));
    Bytes file = riff(chunks); // the samples are read from it in place
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_EQ(audio.sampleRate, 22050);
    EXPECT_EQ(audio.frameCount, 5);
    EXPECT_EQ(wavSample(&audio, 3, 0), -9);
}

TEST(WavParse, UnknownChunksAreSkippedWithTheirPadByte) {
    // An odd LIST chunk: without its pad byte the walk would read "fmt "
    // one byte late and find no fmt chunk.
    Bytes chunks;
    putChunk(&chunks, "LIST", {'a', 'b', 'c'});
    putChunk(&chunks, "fmt ", formatBody(1, 2, 48000, 16));
    putChunk(&chunks, "fact", {1, 0, 0, 0});
    putChunk(&chunks, "junk", {9});
    putChunk(&chunks, "data", samplesBody({5, 6, 7, 8}));
    putChunk(&chunks, "id3 ", {1, 2, 3});
    Bytes file = riff(chunks); // the samples are read from it in place
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.sampleRate, 48000);
    EXPECT_EQ(audio.frameCount, 2);
    EXPECT_EQ(wavSample(&audio, 1, 1), 8);
}

TEST(WavParse, DataBeforeFormatAndFirstChunksCount) {
    Bytes chunks;
    putChunk(&chunks, "data", samplesBody({1, 2}));
    putChunk(&chunks, "fmt ", formatBody(1, 1, 8000, 16));
    putChunk(&chunks, "data", samplesBody({3, 4, 5}));
    Bytes file = riff(chunks); // the samples are read from it in place
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.frameCount, 2);
    EXPECT_EQ(wavSample(&audio, 1, 0), 2);
}

TEST(WavParse, WrongRiffLengthIsTolerated) {
    Bytes file = stereoFile({1, 2});
    file[4] = file[5] = file[6] = file[7] = 0; // as a streaming recorder leaves it
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.frameCount, 1);
}

TEST(WavParse, PartialLastFrameIsDropped) {
    Bytes chunks;
    putChunk(&chunks, "fmt ", formatBody(1, 2, 44100, 16));
    putChunk(&chunks, "data", {1, 0, 2, 0, 3, 0, 4, 0, 5, 0}); // two frames and a half
    Bytes file = riff(chunks);                                 // the samples are read from it in place
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.frameCount, 2);
}

TEST(WavParse, ExtensibleFormat) {
    Bytes chunks;
    putChunk(&chunks, "fmt ", extensibleBody(2, 96000, 1));
    putChunk(&chunks, "data", samplesBody({1, 2}));
    Bytes file = riff(chunks); // the samples are read from it in place
    WavAudio audio;
    ASSERT_EQ(parse(file, &audio), WAV_OK);
    EXPECT_EQ(audio.sampleRate, 96000);

    EXPECT_EQ(statusWithFormat(extensibleBody(2, 96000, 3)), WAV_NOT_PCM); // float sub-format
    Bytes shortened = extensibleBody(2, 96000, 1);
    shortened.resize(24);
    EXPECT_EQ(statusWithFormat(shortened), WAV_BAD_FORMAT);
}

TEST(WavRefusal, NotRiffOrNotWave) {
    EXPECT_EQ(statusOf({}), WAV_NOT_RIFF);
    EXPECT_EQ(statusOf({'R', 'I'}), WAV_NOT_RIFF);
    EXPECT_EQ(statusOf({'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0, 0, 0}), WAV_NOT_RIFF);
    EXPECT_EQ(statusOf({'R', 'I', 'F', 'F', 4, 0, 0}), WAV_TRUNCATED);
    Bytes chunks;
    putChunk(&chunks, "avih", {0, 0});
    EXPECT_EQ(statusOf(riff(chunks, "AVI ")), WAV_NOT_WAVE);
}

TEST(WavRefusal, FormatChecks) {
    EXPECT_EQ(statusWithFormat(formatBody(3, 2, 44100, 32)), WAV_NOT_PCM); // IEEE float
    EXPECT_EQ(statusWithFormat(formatBody(2, 2, 44100, 4)), WAV_NOT_PCM);  // ADPCM
    EXPECT_EQ(statusWithFormat(formatBody(1, 2, 44100, 8)), WAV_NOT_16_BIT);
    EXPECT_EQ(statusWithFormat(formatBody(1, 2, 44100, 24)), WAV_NOT_16_BIT);
    EXPECT_EQ(statusWithFormat(formatBody(1, 0, 44100, 16)), WAV_BAD_CHANNELS);
    EXPECT_EQ(statusWithFormat(formatBody(1, 6, 44100, 16)), WAV_BAD_CHANNELS);
    EXPECT_EQ(statusWithFormat(formatBody(1, 2, 0, 16)), WAV_BAD_RATE);

    Bytes wrongBlock = formatBody(1, 2, 44100, 16);
    wrongBlock[12] = 2; // block size of a mono file
    EXPECT_EQ(statusWithFormat(wrongBlock), WAV_BAD_FORMAT);
    Bytes shortFormat = formatBody(1, 2, 44100, 16);
    shortFormat.resize(14);
    EXPECT_EQ(statusWithFormat(shortFormat), WAV_BAD_FORMAT);
}

TEST(WavRefusal, MissingChunks) {
    Bytes onlyData;
    putChunk(&onlyData, "data", samplesBody({1, 2}));
    EXPECT_EQ(statusOf(riff(onlyData)), WAV_NO_FORMAT);
    EXPECT_EQ(statusOf(riff({})), WAV_NO_FORMAT);

    Bytes onlyFormat;
    putChunk(&onlyFormat, "fmt ", formatBody(1, 2, 44100, 16));
    EXPECT_EQ(statusOf(riff(onlyFormat)), WAV_NO_DATA);

    Bytes emptyData = onlyFormat;
    putChunk(&emptyData, "data", {});
    EXPECT_EQ(statusOf(riff(emptyData)), WAV_EMPTY);
    Bytes lessThanAFrame = onlyFormat;
    putChunk(&lessThanAFrame, "data", {1, 0, 2});
    EXPECT_EQ(statusOf(riff(lessThanAFrame)), WAV_EMPTY);
}

TEST(WavRefusal, TruncatedFiles) {
    Bytes file = stereoFile({1, 2, 3, 4, 5, 6});
    file.resize(file.size() - 1); // the data chunk claims one byte more than there is
    EXPECT_EQ(statusOf(file), WAV_TRUNCATED);
    Bytes cutInFormat = stereoFile({1, 2});
    cutInFormat.resize(30);
    EXPECT_EQ(statusOf(cutInFormat), WAV_TRUNCATED);
}

// Cutting a valid file anywhere before the end of its data is refused,
// and never reads past the cut (AddressSanitizer watches the copies).
TEST(WavProperty, EveryCutBeforeTheDataEndIsRefused) {
    Bytes full = stereoFile({10, 20, 30, 40, 50, 60, 70, 80});
    for (size_t cut = 0; cut < full.size(); cut++) {
        Bytes part(full.begin(), full.begin() + (long)cut);
        WavAudio audio;
        EXPECT_NE(parseWav(part.data(), part.size(), &audio), WAV_OK) << "cut at " << cut;
    }
}

// Random unknown chunks of random odd and even sizes around fmt and data
// never change what is found.
TEST(WavProperty, RandomUnknownChunksAreSkipped) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; round++) {
        std::vector<int16_t> samples;
        int frames = 1 + (int)(random() % 50);
        for (int i = 0; i < frames * 2; i++) {
            samples.push_back((int16_t)(random() & 0xFFFF));
        }
        Bytes chunks;
        for (int part = 0; part < 3; part++) {
            int extra = (int)(random() % 3);
            for (int k = 0; k < extra; k++) {
                Bytes body(random() % 40);
                for (uint8_t& byte : body) {
                    byte = (uint8_t)random();
                }
                // Bodies full of "fmt "/"data" look-alikes must not confuse the walk.
                if (body.size() >= 4 && random() % 2 == 0) {
                    memcpy(body.data(), "data", 4);
                }
                putChunk(&chunks, random() % 2 ? "LIST" : "cue ", body);
            }
            if (part == 0) {
                putChunk(&chunks, "fmt ", formatBody(1, 2, 32000, 16));
            } else if (part == 1) {
                putChunk(&chunks, "data", samplesBody(samples));
            }
        }
        WavAudio audio;
        Bytes file = riff(chunks);
        ASSERT_EQ(parse(file, &audio), WAV_OK) << "round " << round;
        ASSERT_EQ(audio.frameCount, frames);
        for (int i = 0; i < frames * 2; i++) {
            ASSERT_EQ(wavSample(&audio, i / 2, i % 2), samples[i]);
        }
    }
}

TEST(WavMessages, ReasonsNameWhatWasFound) {
    char text[200];
    WavAudio audio;

    EXPECT_EQ(statusOf(stereoFile({1, 2})), WAV_OK);
    ASSERT_EQ(parseWav((const uint8_t*)"RIFX", 4, &audio), WAV_NOT_RIFF);
    formatWavError(text, sizeof text, "a.wav", WAV_NOT_RIFF, &audio);
    EXPECT_STREQ(text, "cannot play a.wav: not a RIFF file");

    Bytes chunks;
    putChunk(&chunks, "fmt ", formatBody(1, 1, 8000, 8));
    Bytes eightBit = riff(chunks);
    ASSERT_EQ(parse(eightBit, &audio), WAV_NOT_16_BIT);
    formatWavError(text, sizeof text, "b.wav", WAV_NOT_16_BIT, &audio);
    EXPECT_STREQ(text, "cannot play b.wav: not 16-bit (8 bits per sample), only 16-bit PCM is supported");

    Bytes floatChunks;
    putChunk(&floatChunks, "fmt ", formatBody(3, 2, 8000, 32));
    ASSERT_EQ(parse(riff(floatChunks), &audio), WAV_NOT_PCM);
    formatWavError(text, sizeof text, "c.wav", WAV_NOT_PCM, &audio);
    EXPECT_STREQ(text, "cannot play c.wav: not PCM (format tag 0x3), only 16-bit PCM is supported");

    formatWavError(text, sizeof text, "d.wav", WAV_TRUNCATED, &audio);
    EXPECT_STREQ(text, "cannot play d.wav: truncated (a chunk runs past the end of the file)");

    for (int status = 0; status < WAV_STATUS_COUNT; status++) {
        EXPECT_GT(strlen(wavStatusText((WavStatus)status)), 5u) << status;
    }
    EXPECT_STREQ(wavStatusText(WAV_STATUS_COUNT), "unknown error");
}
