// Loudness, bands, onsets and envelopes of one waveform block at a time.
#include "analysis/analysis.h"

#include <cmath>
#include <cstring>

#include "third_party/kissfft/kiss_fftr.h"

constexpr float LEVEL_RANGE_DB = 60.0f; // a band's level runs 0..1 over the 60 dB below full scale
constexpr float ATTACK = 0.6f;          // share of a rise an envelope takes in one frame
constexpr float RELEASE = 0.1f;         // share of a fall
constexpr float FLUX_ADAPT = 0.1f;      // how fast the threshold follows the flux
constexpr float FLUX_SPREAD = 2.0f;     // deviations above the mean an onset must reach
constexpr float FLUX_FLOOR = 0.02f;     // and this much at least, so that noise and silence give none
constexpr float PULSE_DECAY = 0.88f;    // the pulse's fall per frame after a beat
constexpr int32_t FRAMES_SATURATE = 1000000;

// One step of an envelope towards `target`: quick up, slow down.
static float follow(float envelope, float target) {
    return envelope + (target - envelope) * (target > envelope ? ATTACK : RELEASE);
}

bool resetAnalysis(MusicAnalysis* analysis) {
    std::memset(analysis, 0, sizeof(*analysis));
    analysis->framesSinceBeat = FRAMES_SATURATE;

    // The FFT's tables, in the record itself, so that nothing is allocated
    size_t bytes = sizeof(analysis->fftState);
    analysis->fft = kiss_fftr_alloc(FFT_SIZE, 0, analysis->fftState, &bytes);
    if (analysis->fft == nullptr) {
        return false;
    }

    // Hann window over the block
    const double pi = 3.14159265358979323846;
    for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
        analysis->window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * pi * i / (BLOCK_SAMPLES - 1)));
        analysis->windowSquares += analysis->window[i] * analysis->window[i];
    }

    // Band edges spaced evenly in log frequency over bins 1..FFT_SIZE / 2,
    // each band at least one bin wide
    constexpr int32_t lastBin = FFT_SIZE / 2;
    int32_t previous = 0;
    for (int32_t b = 0; b <= BAND_COUNT; b++) {
        int32_t edge =
            static_cast<int32_t>(std::lround(std::pow(static_cast<double>(lastBin), double(b) / BAND_COUNT)));
        if (b == BAND_COUNT) {
            edge = lastBin + 1;
        }
        if (edge <= previous) {
            edge = previous + 1;
        }
        analysis->bandFirstBin[b] = edge;
        previous = edge;
    }
    return true;
}

void analyseBlock(MusicAnalysis* analysis, const WaveformBlock block, int32_t channels) {
    // Mix the channels to one signal in -1..1 and measure its loudness
    float input[FFT_SIZE];
    float squares = 0.0f;
    for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
        float sample = static_cast<float>(static_cast<int8_t>(block[0][i])) / 128.0f;
        if (channels >= 2) {
            sample = 0.5f * (sample + static_cast<float>(static_cast<int8_t>(block[1][i])) / 128.0f);
        }
        squares += sample * sample;
        input[i] = sample * analysis->window[i];
    }
    for (int32_t i = BLOCK_SAMPLES; i < FFT_SIZE; i++) {
        input[i] = 0.0f;
    }
    float loudness = std::sqrt(squares / BLOCK_SAMPLES) * 1.4142135f;
    analysis->loudness = loudness > 1.0f ? 1.0f : loudness;
    analysis->loudnessEnvelope = follow(analysis->loudnessEnvelope, analysis->loudness);

    // Spectrum
    kiss_fft_cpx spectrum[FFT_BINS];
    kiss_fftr(static_cast<kiss_fftr_cfg>(analysis->fft), input, spectrum);

    // Bands: the amplitude of a sine holding all of a band's power, in
    // decibels (by Parseval a sine of amplitude A puts A * A * FFT_SIZE *
    // windowSquares / 4 into the bins of one half)
    float scale = 4.0f / (static_cast<float>(FFT_SIZE) * analysis->windowSquares);
    float flux = 0.0f;
    for (int32_t b = 0; b < BAND_COUNT; b++) {
        int32_t first = analysis->bandFirstBin[b];
        int32_t end = analysis->bandFirstBin[b + 1];
        float power = 0.0f;
        for (int32_t k = first; k < end; k++) {
            power += spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;
        }
        float amplitude = std::sqrt(power * scale);
        float level = 0.0f;
        if (amplitude > 0.0f) {
            level = (20.0f * std::log10(amplitude) + LEVEL_RANGE_DB) / LEVEL_RANGE_DB;
            level = level < 0.0f ? 0.0f : (level > 1.0f ? 1.0f : level);
        }
        float rise = level - analysis->bands[b];
        if (rise > 0.0f) {
            flux += rise;
        }
        analysis->bands[b] = level;
        analysis->envelopes[b] = follow(analysis->envelopes[b], level);
    }
    flux /= static_cast<float>(BAND_COUNT);
    analysis->flux = flux;

    // Onset: a rise well above the flux's recent run, not too soon after the last
    bool onset = flux > analysis->fluxMean + FLUX_SPREAD * analysis->fluxDeviation + FLUX_FLOOR &&
                 analysis->framesSinceBeat >= BEAT_REFRACTORY_FRAMES;
    analysis->fluxMean += FLUX_ADAPT * (flux - analysis->fluxMean);
    analysis->fluxDeviation += FLUX_ADAPT * (std::fabs(flux - analysis->fluxMean) - analysis->fluxDeviation);
    analysis->beat = onset ? 1 : 0;
    if (onset) {
        analysis->pulse = 1.0f;
        analysis->framesSinceBeat = 0;
        analysis->beats++;
    } else {
        analysis->pulse *= PULSE_DECAY;
        if (analysis->framesSinceBeat < FRAMES_SATURATE) {
            analysis->framesSinceBeat++;
        }
    }
}
