// A raw waveform file as a sequence of frame blocks.
#include "audio/raw_waveform.h"

#include <cerrno>
#include <cstdio>
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

bool loadRawWaveform(const char* path, RawWaveformFile* file, char* error, size_t errorSize) {
    *file = RawWaveformFile{};
    if (!loadFileBytes(path, &file->contents, error, errorSize)) {
        snprintf(error, errorSize, "cannot read waveform file '%s': %s", path, strerror(errno));
        return false;
    }
    size_t size = file->contents.size;
    RawStatus status = parseRawWaveform(file->contents.bytes, size, &file->raw);
    if (status == RAW_EMPTY || size < RAW_BLOCK_BYTES) {
        snprintf(error, errorSize, "waveform file '%s' is too short: %zu bytes, less than one block of %zu bytes", path,
                 size, RAW_BLOCK_BYTES);
    } else if (status == RAW_PARTIAL_BLOCK) {
        snprintf(error, errorSize,
                 "waveform file '%s' has %zu bytes, not a whole number of %zu-byte blocks (%zu bytes over)", path, size,
                 RAW_BLOCK_BYTES, size % RAW_BLOCK_BYTES);
    }
    if (status != RAW_OK) {
        releaseRawWaveform(file);
        return false;
    }
    return true;
}

void releaseRawWaveform(RawWaveformFile* file) {
    releaseFileBytes(&file->contents);
    file->raw = RawWaveform{};
}
