// 16-bit samples to the block a frame is made from (frame/waveform_block.h).
// Portable: the Windows host and the Linux programs build the same routine.
#pragma once
#include <cstdint>
#include "frame/waveform_block.h"

constexpr int32_t BLOCK_FRAMES = BLOCK_SAMPLES; // sample frames one block covers

// The high byte of a 16-bit sample is its signed 8-bit value.
inline uint8_t sampleHighByte(int16_t sample) {
    return (uint8_t)((uint16_t)sample >> 8);
}

// Fills `block` from `frames` frames (at most BLOCK_FRAMES) of interleaved
// 16-bit samples with `channels` channels: the first two channels go to the
// two slots, a single channel fills both; frames past `frames` are silence.
void blockFromPcm16(const int16_t* samples, int32_t channels, int32_t frames, WaveformBlock block);
