// The waveform handed to Render: from WAV audio held in memory, from the demo
// tune and from raw waveform files; and the samples handed to the sound output.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>
#include "audio/audio_source.h"
#include "audio/raw_waveform.h"
#include "audio/demo_tune.h"

namespace {

// A WAV file's samples held in memory: little-endian, held by the test.
AudioSource wavSource(const std::vector<int16_t>& samples, int32_t channels, std::vector<uint8_t>* pcm) {
    pcm->clear();
    for (int16_t sample : samples) {
        pcm->push_back((uint8_t)((uint16_t)sample & 0xFF));
        pcm->push_back((uint8_t)((uint16_t)sample >> 8));
    }
    AudioSource source;
    openAudioInMemory(&source, pcm->data(), channels, 44100, (int64_t)samples.size() / channels);
    return source;
}

} // namespace

TEST(WavWaveform, HighByteOfEachSampleInItsChannel) {
    std::vector<uint8_t> pcm;
    // left, right per frame
    AudioSource source = wavSource({0x1234, -1, -256, 0x7FFF, -32768, 255, 0x00FF, -0x0101}, 2, &pcm);
    EXPECT_EQ(source.channels, 2);
    EXPECT_EQ(source.frameCount, 4);
    WaveformBlock waveform;
    memset(waveform, 0xAA, sizeof waveform);
    ASSERT_TRUE(blockAtFrame(&source, 0, waveform));
    EXPECT_EQ(waveform[0][0], 0x12);
    EXPECT_EQ(waveform[1][0], 0xFF); // -1 is 0xFFFF
    EXPECT_EQ(waveform[0][1], 0xFF); // -256 is 0xFF00
    EXPECT_EQ(waveform[1][1], 0x7F);
    EXPECT_EQ(waveform[0][2], 0x80); // -32768 is 0x8000
    EXPECT_EQ(waveform[1][2], 0x00); // 255 is 0x00FF
    EXPECT_EQ(waveform[0][3], 0x00);
    EXPECT_EQ(waveform[1][3], 0xFE); // -0x0101 is 0xFEFF
    // Past the end of the audio: silence, in both channels.
    for (int i = 4; i < BLOCK_SAMPLES; i++) {
        ASSERT_EQ(waveform[0][i], 0) << i;
        ASSERT_EQ(waveform[1][i], 0) << i;
    }
}

TEST(WavWaveform, StartsAtTheGivenFrame) {
    std::vector<int16_t> samples;
    for (int frame = 0; frame < 1000; frame++) {
        samples.push_back((int16_t)((frame % 128) << 8));       // left: high byte frame % 128
        samples.push_back((int16_t)(((frame + 1) % 128) << 8)); // right: one ahead
    }
    std::vector<uint8_t> pcm;
    AudioSource source = wavSource(samples, 2, &pcm);
    WaveformBlock waveform;
    ASSERT_TRUE(blockAtFrame(&source, 600, waveform));
    EXPECT_EQ(waveform[0][0], 600 % 128);
    EXPECT_EQ(waveform[1][0], 601 % 128);
    EXPECT_EQ(waveform[0][399], 999 % 128);
    EXPECT_EQ(waveform[0][400], 0); // frame 1000 is past the end
    EXPECT_EQ(waveform[1][575], 0);
    ASSERT_TRUE(blockAtFrame(&source, 5000, waveform));
    for (int i = 0; i < BLOCK_SAMPLES; i++) {
        ASSERT_EQ(waveform[0][i], 0);
    }
}

TEST(WavWaveform, MonoFillsBothSlots) {
    std::vector<uint8_t> pcm;
    AudioSource source = wavSource({0x0500, -0x0600, 0x7F00}, 1, &pcm);
    EXPECT_EQ(source.channels, 1);
    WaveformBlock waveform;
    ASSERT_TRUE(blockAtFrame(&source, 0, waveform));
    EXPECT_EQ(waveform[0][0], 0x05);
    EXPECT_EQ(waveform[1][0], 0x05);
    EXPECT_EQ(waveform[0][1], 0xFA); // -0x0600 is 0xFA00
    EXPECT_EQ(waveform[1][1], 0xFA);
    EXPECT_EQ(waveform[1][2], 0x7F);
}

TEST(WavPcm, InterleavedWithSilencePastTheEnd) {
    std::vector<uint8_t> pcm;
    AudioSource stereo = wavSource({1, 2, 3, 4, 5, 6}, 2, &pcm);
    int16_t samples[8];
    ASSERT_TRUE(readAudioAt(&stereo, 1, 4, samples));
    const int16_t expected[8] = {3, 4, 5, 6, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(samples, expected, sizeof expected), 0);

    std::vector<uint8_t> monoPcm;
    AudioSource mono = wavSource({-7, 8, -9}, 1, &monoPcm);
    int16_t monoSamples[3];
    ASSERT_TRUE(readAudioAt(&mono, 2, 3, monoSamples));
    EXPECT_EQ(monoSamples[0], -9);
    EXPECT_EQ(monoSamples[1], 0);
    EXPECT_EQ(monoSamples[2], 0);
}

TEST(DemoTuneSource, StereoEndlessAndLooping) {
    AudioSource source;
    openDemoTune(&source);
    EXPECT_EQ(source.kind, AUDIO_DEMO_TUNE);
    EXPECT_EQ(source.sampleRate, 44100);
    EXPECT_EQ(source.channels, 2);
    EXPECT_EQ(source.frameCount, AUDIO_ENDLESS);

    // Each byte is the high byte of the tune's 16-bit sample.
    WaveformBlock waveform;
    ASSERT_TRUE(blockAtFrame(&source, 2 * 44100, waveform));
    for (int c = 0; c < 2; c++) {
        for (int i = 0; i < BLOCK_SAMPLES; i += 25) {
            uint16_t sample = (uint16_t)demoTuneSample(c, 2 * 44100 + i);
            ASSERT_EQ(waveform[c][i], sample >> 8) << c << " " << i;
        }
    }

    // A frame far past a 32-bit sample count still plays the tune.
    WaveformBlock far;
    int64_t loops = ((int64_t)1 << 32) / DEMO_LOOP_SAMPLES + 3;
    ASSERT_TRUE(blockAtFrame(&source, loops * DEMO_LOOP_SAMPLES + 2 * 44100, far));
    EXPECT_EQ(memcmp(far, waveform, sizeof far), 0);

    int16_t samples[4];
    ASSERT_TRUE(readAudioAt(&source, DEMO_LOOP_SAMPLES + 10, 2, samples));
    EXPECT_EQ(samples[0], demoTuneSample(0, 10));
    EXPECT_EQ(samples[1], demoTuneSample(1, 10));
    EXPECT_EQ(samples[2], demoTuneSample(0, 11));
    EXPECT_EQ(samples[3], demoTuneSample(1, 11));
}

// Seeded: a source in memory and the demo tune read block by block as the
// Linux programs stream them and at any frame as the Windows host reads
// them give the same blocks; reading at a frame leaves the position alone,
// and the stream of a source in memory ends where its frames do.
TEST(AudioSourceAtAnyFrame, StreamedAndPositionalReadsAgree) {
    std::mt19937 random(18);
    std::vector<int16_t> samples(2 * 3000);
    for (int16_t& sample : samples) {
        sample = (int16_t)random();
    }
    std::vector<uint8_t> pcm;
    AudioSource memory = wavSource(samples, 2, &pcm);
    AudioSource demo;
    openDemoTune(&demo);
    for (AudioSource* source : {&memory, &demo}) {
        for (int round = 0; round < 20; round++) {
            int64_t frame = (int64_t)(random() % 3500);
            WaveformBlock streamed;
            WaveformBlock positional;
            ASSERT_TRUE(readBlockAt(source, frame, streamed));
            int64_t position = source->position;
            ASSERT_TRUE(blockAtFrame(source, (int64_t)(random() % 3500), positional));
            ASSERT_TRUE(blockAtFrame(source, frame, positional));
            ASSERT_EQ(source->position, position);
            ASSERT_EQ(memcmp(streamed, positional, sizeof streamed), 0) << source->kind << " " << frame;
        }
    }

    ASSERT_TRUE(seekAudio(&memory, 2990));
    int16_t tail[2 * 20];
    EXPECT_EQ(readAudio(&memory, tail, 20), 10);
    EXPECT_EQ(memcmp(tail, samples.data() + 2 * 2990, 2 * 10 * sizeof(int16_t)), 0);
    EXPECT_TRUE(audioEnded(&memory));
    EXPECT_EQ(readAudio(&memory, tail, 20), 0);
    EXPECT_FALSE(audioEnded(&demo));
    closeAudio(&memory);
    EXPECT_FALSE(readAudioAt(&memory, 0, 1, tail));
}

namespace {

// Block k of the test file: every byte of channel c is 10 k + c.
std::vector<uint8_t> rawFile(int blocks) {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < blocks; k++) {
        bytes.insert(bytes.end(), 576, (uint8_t)(10 * k));
        bytes.insert(bytes.end(), 576, (uint8_t)(10 * k + 1));
    }
    return bytes;
}

} // namespace

TEST(RawWaveform, FrameKGetsBlockKAndTheLastRepeats) {
    std::vector<uint8_t> bytes = rawFile(3);
    bytes[1152 + 575] = 99; // last byte of block 1, channel 0
    bytes[1152 + 576] = 77; // first byte of block 1, channel 1
    RawWaveform raw;
    ASSERT_EQ(parseRawWaveform(bytes.data(), bytes.size(), &raw), RAW_OK);
    EXPECT_EQ(raw.blockCount, 3);

    WaveformBlock waveform;
    rawWaveformBlock(&raw, 0, waveform);
    EXPECT_EQ(waveform[0][0], 0);
    EXPECT_EQ(waveform[1][0], 1);
    rawWaveformBlock(&raw, 1, waveform);
    EXPECT_EQ(waveform[0][0], 10);
    EXPECT_EQ(waveform[0][575], 99);
    EXPECT_EQ(waveform[1][0], 77);
    EXPECT_EQ(waveform[1][1], 11);
    for (int64_t frame : {2, 3, 1000}) {
        rawWaveformBlock(&raw, frame, waveform);
        EXPECT_EQ(waveform[0][300], 20) << frame;
        EXPECT_EQ(waveform[1][575], 21) << frame;
    }
}

TEST(RawWaveform, RefusesEmptyAndCutFiles) {
    RawWaveform raw;
    std::vector<uint8_t> bytes = rawFile(2);
    EXPECT_EQ(parseRawWaveform(bytes.data(), 0, &raw), RAW_EMPTY);
    EXPECT_EQ(parseRawWaveform(bytes.data(), 1151, &raw), RAW_PARTIAL_BLOCK);
    EXPECT_EQ(parseRawWaveform(bytes.data(), 1153, &raw), RAW_PARTIAL_BLOCK);
    EXPECT_EQ(parseRawWaveform(bytes.data(), 2304, &raw), RAW_OK);
    EXPECT_EQ(raw.blockCount, 2);
}

// Seeded: whatever the block count and frame, the block is the frame's own
// or the last one, byte for byte.
TEST(RawWaveform, RandomFramesReadTheirBlock) {
    std::mt19937 random(7);
    for (int round = 0; round < 100; round++) {
        int blocks = 1 + (int)(random() % 20);
        std::vector<uint8_t> bytes(blocks * RAW_BLOCK_BYTES);
        for (uint8_t& byte : bytes) {
            byte = (uint8_t)random();
        }
        RawWaveform raw;
        ASSERT_EQ(parseRawWaveform(bytes.data(), bytes.size(), &raw), RAW_OK);
        int64_t frame = random() % 40;
        int64_t block = frame < blocks ? frame : blocks - 1;
        WaveformBlock waveform;
        rawWaveformBlock(&raw, frame, waveform);
        ASSERT_EQ(memcmp(waveform, bytes.data() + block * RAW_BLOCK_BYTES, RAW_BLOCK_BYTES), 0);
    }
}
