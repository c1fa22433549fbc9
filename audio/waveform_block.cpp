// 16-bit samples to the waveform block.
#include "audio/waveform_block.h"

#include <cstring>

void blockFromPcm16(const int16_t* samples, int32_t channels, int32_t frames, WaveformBlock block) {
    memset(block, 0, sizeof(WaveformBlock));
    if (frames > BLOCK_FRAMES) {
        frames = BLOCK_FRAMES;
    }
    for (int32_t i = 0; i < frames; i++) {
        const int16_t* frame = samples + (int64_t)i * channels;
        block[0][i] = sampleHighByte(frame[0]);
        // Mono audio repeats its one channel in the second slot.
        block[1][i] = sampleHighByte(channels > 1 ? frame[1] : frame[0]);
    }
}
