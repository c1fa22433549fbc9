// Reading 16-bit PCM WAV files held in memory: the RIFF chunks are walked,
// unknown chunks skipped, and the fmt chunk is checked before any sample is used.
#pragma once
#include <cstddef>
#include <cstdint>

// Why a file was refused; wavStatusText gives the words for each.
enum WavStatus {
    WAV_OK,
    WAV_NOT_RIFF,     // no "RIFF" at the start
    WAV_NOT_WAVE,     // a RIFF form other than "WAVE"
    WAV_NO_FORMAT,    // no fmt chunk
    WAV_BAD_FORMAT,   // fmt chunk too short, or its block size disagrees with the channels
    WAV_NOT_PCM,      // compressed or floating-point samples
    WAV_NOT_16_BIT,   // PCM of another sample size
    WAV_BAD_CHANNELS, // neither mono nor stereo
    WAV_BAD_RATE,     // sample rate of zero
    WAV_NO_DATA,      // no data chunk
    WAV_EMPTY,        // a data chunk without one whole sample frame
    WAV_TRUNCATED,    // the file ends inside a chunk it needs
    WAV_STATUS_COUNT
};

constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint16_t WAV_FORMAT_EXTENSIBLE = 0xFFFE;

// A parsed file. The format fields are filled as far as parsing got, so a
// refusal can name what was found; pcm points into the caller's bytes.
struct WavAudio {
    int32_t formatTag;     // 1 for PCM, 0xFFFE for the extensible form
    int32_t channels;      // 1 or 2 once accepted
    int32_t sampleRate;    // sample frames per second
    int32_t bitsPerSample; // 16 once accepted
    int64_t frameCount;    // whole sample frames in the data chunk
    const uint8_t* pcm;    // data chunk: little-endian 16-bit samples, channels interleaved
};

WavStatus parseWav(const uint8_t* bytes, size_t size, WavAudio* audio);
const char* wavStatusText(WavStatus status);

// Writes "cannot play PATH: REASON" into `text`, naming the sample size or
// format found where that is the reason.
void formatWavError(char* text, size_t textSize, const char* path, WavStatus status, const WavAudio* audio);

// Sample `frame` of `channel` as a signed 16-bit value.
int16_t wavSample(const WavAudio* audio, int64_t frame, int32_t channel);
