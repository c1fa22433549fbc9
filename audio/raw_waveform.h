// A raw waveform file: one 1152-byte block per frame, channel 0's 576 bytes
// then channel 1's. A run fed from it is reproducible frame by frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include "audio/file_bytes.h"
#include "audio/waveform_block.h"

constexpr size_t RAW_BLOCK_BYTES = BLOCK_BYTES;

enum RawStatus { RAW_OK, RAW_EMPTY, RAW_PARTIAL_BLOCK };

struct RawWaveform {
    const uint8_t* bytes; // the caller's file contents
    int64_t blockCount;   // whole blocks
};

RawStatus parseRawWaveform(const uint8_t* bytes, size_t size, RawWaveform* raw);

// Block `frame` (counted from 0); past the last block the last one repeats.
void rawWaveformBlock(const RawWaveform* raw, int64_t frame, WaveformBlock waveform);

// A raw waveform file read whole.
struct RawWaveformFile {
    FileBytes contents; // the file's bytes
    RawWaveform raw;    // its blocks
};

// Reads the raw waveform file at `path`: false, with the reason in `error`,
// when it cannot be read or does not hold whole blocks, one at least.
bool loadRawWaveform(const char* path, RawWaveformFile* file, char* error, size_t errorSize);
void releaseRawWaveform(RawWaveformFile* file);
