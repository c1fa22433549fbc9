// The demo tune: a short synthesised piece, computed sample by sample in
// integer arithmetic, that stands in for the player's audio when frames are
// rendered without it. Every build on every system yields the same samples.
#pragma once
#include <cstdint>
#include "frame/waveform_block.h"

constexpr int32_t DEMO_SAMPLE_RATE = 44100;    // samples per second and channel
constexpr int32_t DEMO_CHANNELS = 2;           // stereo
constexpr int32_t DEMO_FRAMES_PER_SECOND = 30; // frame pace the renderers assume
// 1470 samples per frame: the block of frame k starts at sample k * 1470.
constexpr uint32_t DEMO_FRAME_SAMPLES = DEMO_SAMPLE_RATE / DEMO_FRAMES_PER_SECOND;
constexpr uint32_t DEMO_LOOP_SAMPLES = 176400; // the tune repeats every four seconds

// Sample `sampleIndex` of `channel` (0 left, 1 right) as 16-bit PCM; 0 for
// any other channel.
int16_t demoTuneSample(int32_t channel, uint32_t sampleIndex);

// The block the player would hand over for audio starting at `firstSample`:
// 576 samples per channel, each the signed high byte of the 16-bit sample.
void demoTuneWaveform(uint32_t firstSample, WaveformBlock waveform);
