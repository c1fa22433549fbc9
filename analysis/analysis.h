// What the music does in one frame, worked out from that frame's waveform
// block alone: loudness, log-spaced bands from an FFT, onsets with an
// adaptive threshold, and envelopes that rise fast and fall slowly. The same
// sequence of blocks gives the same values on every front end.
#pragma once
#include <cstdint>
#include "frame/waveform_block.h"

constexpr int32_t FFT_SIZE = 1024; // the block, windowed, zero-padded to this length
constexpr int32_t FFT_BINS = FFT_SIZE / 2 + 1;
constexpr int32_t BAND_COUNT = 16;            // log-spaced from about 43 Hz to 22 kHz at 44.1 kHz
constexpr int32_t FFT_STATE_BYTES = 16384;    // room for the FFT's tables, checked when they are made
constexpr int32_t BEAT_REFRACTORY_FRAMES = 6; // no second beat within this many frames of one

struct MusicAnalysis {
    float loudness;                       // 0..1, root mean square of the block, full-scale sine 1
    float loudnessEnvelope;               // loudness, smoothed
    float bands[BAND_COUNT];              // 0..1, each band's level over a 60 dB range, lowest band first
    float envelopes[BAND_COUNT];          // the bands, smoothed: fast attack, slow release
    float flux;                           // this block's onset strength: the bands' summed rise
    float fluxMean;                       // running mean of the flux, the threshold's base
    float fluxDeviation;                  // running mean distance from that mean
    uint8_t beat;                         // 1 in the frame an onset is found, else 0
    float pulse;                          // 1 at a beat, decaying towards 0
    int32_t framesSinceBeat;              // frames since the last beat, saturating
    int32_t beats;                        // beats found since the reset
    int32_t bandFirstBin[BAND_COUNT + 1]; // band b covers bins bandFirstBin[b] .. bandFirstBin[b + 1] - 1
    float window[BLOCK_SAMPLES];          // Hann window over the block
    float windowSquares;                  // sum of the window's squares
    void* fft;                            // the real FFT's set-up, inside fftState
    alignas(16) uint8_t fftState[FFT_STATE_BYTES];
};

// Clears the state and makes the FFT's tables and the band edges; false when
// the FFT's tables do not fit (never with these sizes).
bool resetAnalysis(MusicAnalysis* analysis);
// Takes one block (channels 1 or 2: one uses slot 0 alone) into the analysis.
// Allocates nothing.
void analyseBlock(MusicAnalysis* analysis, const WaveformBlock block, int32_t channels);
