// Reading 16-bit PCM WAV files held in memory.
#include "player/wav_file.h"

#include <cstdio>
#include <cstring>

namespace {

// Sub-format of the extensible fmt chunk after its first two bytes: the
// tail shared by every format tag GUID.
const uint8_t GUID_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr size_t CHUNK_HEADER = 8;
constexpr size_t FORMAT_BASIC = 16;      // format tag up to bits per sample
constexpr size_t FORMAT_EXTENSIBLE = 40; // basic part, extension size and 22 extension bytes

uint16_t read16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

uint32_t read32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

bool isTag(const uint8_t* p, const char* tag) {
    return memcmp(p, tag, 4) == 0;
}

// Reads and checks a fmt chunk body of `size` bytes.
WavStatus parseFormat(const uint8_t* body, uint32_t size, WavAudio* audio) {
    if (size < FORMAT_BASIC) {
        return WAV_BAD_FORMAT;
    }
    audio->formatTag = read16(body);
    audio->channels = read16(body + 2);
    audio->sampleRate = (int32_t)read32(body + 4);
    int32_t blockAlign = read16(body + 12);
    audio->bitsPerSample = read16(body + 14);

    bool pcm = audio->formatTag == WAV_FORMAT_PCM;
    if (audio->formatTag == WAV_FORMAT_EXTENSIBLE) {
        if (size < FORMAT_EXTENSIBLE) {
            return WAV_BAD_FORMAT;
        }
        // The real tag is the first two bytes of the sub-format GUID.
        const uint8_t* subFormat = body + 24;
        pcm = read16(subFormat) == WAV_FORMAT_PCM && memcmp(subFormat + 2, GUID_TAIL, sizeof GUID_TAIL) == 0;
    }
    if (!pcm) {
        return WAV_NOT_PCM;
    }
    if (audio->bitsPerSample != 16) {
        return WAV_NOT_16_BIT;
    }
    if (audio->channels != 1 && audio->channels != 2) {
        return WAV_BAD_CHANNELS;
    }
    if (audio->sampleRate <= 0) {
        return WAV_BAD_RATE;
    }
    if (blockAlign != audio->channels * 2) {
        return WAV_BAD_FORMAT;
    }
    return WAV_OK;
}

} // namespace

// Walks the chunks of a RIFF WAVE file: the first fmt and the first data
// chunk count, everything else is skipped, odd chunks carry a pad byte.
WavStatus parseWav(const uint8_t* bytes, size_t size, WavAudio* audio) {
    memset(audio, 0, sizeof *audio);

    // RIFF header
    if (size < 4 || !isTag(bytes, "RIFF")) {
        return WAV_NOT_RIFF;
    }
    if (size < 12) {
        return WAV_TRUNCATED;
    }
    if (!isTag(bytes + 8, "WAVE")) {
        return WAV_NOT_WAVE;
    }
    // The RIFF length is not trusted: recorders that stream leave it 0 or
    // wrong. The walk ends at the end of the file or once both chunks are found.
    size_t end = size;

    // Chunk walk
    const uint8_t* format = nullptr;
    uint32_t formatSize = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    size_t offset = 12;
    while (offset + CHUNK_HEADER <= end && (format == nullptr || data == nullptr)) {
        const uint8_t* chunk = bytes + offset;
        uint32_t chunkSize = read32(chunk + 4);
        size_t body = offset + CHUNK_HEADER;
        if (chunkSize > end - body) {
            return WAV_TRUNCATED;
        }
        if (isTag(chunk, "fmt ") && format == nullptr) {
            format = bytes + body;
            formatSize = chunkSize;
        } else if (isTag(chunk, "data") && data == nullptr) {
            data = bytes + body;
            dataSize = chunkSize;
        }
        offset = body + chunkSize + (chunkSize & 1);
    }

    // Format and samples
    if (format == nullptr) {
        return WAV_NO_FORMAT;
    }
    WavStatus status = parseFormat(format, formatSize, audio);
    if (status != WAV_OK) {
        return status;
    }
    if (data == nullptr) {
        return WAV_NO_DATA;
    }
    audio->pcm = data;
    audio->frameCount = dataSize / (uint32_t)(audio->channels * 2);
    return audio->frameCount > 0 ? WAV_OK : WAV_EMPTY;
}

const char* wavStatusText(WavStatus status) {
    static const char* const texts[WAV_STATUS_COUNT] = {
        "a valid 16-bit PCM file",                           // WAV_OK
        "not a RIFF file",                                   // WAV_NOT_RIFF
        "a RIFF file but not WAVE",                          // WAV_NOT_WAVE
        "no fmt chunk",                                      // WAV_NO_FORMAT
        "malformed fmt chunk",                               // WAV_BAD_FORMAT
        "not PCM",                                           // WAV_NOT_PCM
        "not 16-bit",                                        // WAV_NOT_16_BIT
        "neither mono nor stereo",                           // WAV_BAD_CHANNELS
        "sample rate of zero",                               // WAV_BAD_RATE
        "no data chunk",                                     // WAV_NO_DATA
        "no samples in the data chunk",                      // WAV_EMPTY
        "truncated (a chunk runs past the end of the file)", // WAV_TRUNCATED
    };
    if (status < 0 || status >= WAV_STATUS_COUNT) {
        return "unknown error";
    }
    return texts[status];
}

void formatWavError(char* text, size_t textSize, const char* path, WavStatus status, const WavAudio* audio) {
    switch (status) {
    case WAV_NOT_PCM:
        snprintf(text, textSize, "cannot play %s: not PCM (format tag 0x%X), only 16-bit PCM is supported", path,
                 (unsigned)audio->formatTag);
        break;
    case WAV_NOT_16_BIT:
        snprintf(text, textSize, "cannot play %s: not 16-bit (%d bits per sample), only 16-bit PCM is supported", path,
                 (int)audio->bitsPerSample);
        break;
    case WAV_BAD_CHANNELS:
        snprintf(text, textSize, "cannot play %s: neither mono nor stereo (%d channels)", path, (int)audio->channels);
        break;
    default:
        snprintf(text, textSize, "cannot play %s: %s", path, wavStatusText(status));
        break;
    }
}

int16_t wavSample(const WavAudio* audio, int64_t frame, int32_t channel) {
    const uint8_t* p = audio->pcm + (frame * audio->channels + channel) * 2;
    return (int16_t)read16(p);
}
