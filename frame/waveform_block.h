// The sound every frame is made from: one block of 576 samples for each of
// two channels, every sample the signed high byte of a 16-bit sample, as the
// player hands a visualisation its waveform.
#pragma once
#include <cstdint>

constexpr int32_t BLOCK_SAMPLES = 576;                          // samples of each channel
constexpr int32_t BLOCK_CHANNELS = 2;                           // channels a block holds
constexpr int32_t BLOCK_BYTES = BLOCK_CHANNELS * BLOCK_SAMPLES; // 1152: channel 0, then channel 1

typedef uint8_t WaveformBlock[BLOCK_CHANNELS][BLOCK_SAMPLES];
