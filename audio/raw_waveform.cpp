// A raw waveform file as a sequence of frame blocks.
#include "audio/raw_waveform.h"

#include <cstring>

RawStatus parseRawWaveform(const uint8_t* bytes, size_t size, RawWaveform* raw) {
    raw->bytes = bytes;
    raw->blockCount = (int64_t)(size / RAW_BLOCK_BYTES);
    if (size == 0) {
        return RAW_EMPTY;
    }
    // A cut-off block means the file is not what the renderer wrote.
    if (size % RAW_BLOCK_BYTES != 0) {
        return RAW_PARTIAL_BLOCK;
    }
    return RAW_OK;
}

void rawWaveformBlock(const RawWaveform* raw, int64_t frame, WaveformBlock waveform) {
    int64_t block = frame < raw->blockCount ? frame : raw->blockCount - 1;
    if (block < 0) {
        block = 0;
    }
    memcpy(waveform, raw->bytes + block * (int64_t)RAW_BLOCK_BYTES, RAW_BLOCK_BYTES);
}
