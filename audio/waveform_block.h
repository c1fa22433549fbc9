// The block the player hands a visualisation each frame: 576 samples for each
// of two channel slots, every one the signed high byte of a 16-bit sample.
// Portable: the Windows host and the Linux programs build the same routine.
#pragma once
#include <cstdint>
#include "host/winamp_vis.h"

constexpr int32_t BLOCK_FRAMES = VIS_SAMPLES_PER_CHANNEL; // sample frames one block covers
constexpr int32_t BLOCK_BYTES = VIS_CHANNEL_SLOTS * VIS_SAMPLES_PER_CHANNEL;

typedef uint8_t WaveformBlock[VIS_CHANNEL_SLOTS][VIS_SAMPLES_PER_CHANNEL];

// The high byte of a 16-bit sample is its signed 8-bit value.
inline uint8_t sampleHighByte(int16_t sample) {
    return (uint8_t)((uint16_t)sample >> 8);
}

// Fills `block` from `frames` frames (at most BLOCK_FRAMES) of interleaved
// 16-bit samples with `channels` channels: the first two channels go to the
// two slots, a single channel fills both; frames past `frames` are silence.
void blockFromPcm16(const int16_t* samples, int32_t channels, int32_t frames, WaveformBlock block);
