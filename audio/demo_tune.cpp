// The demo tune: A minor, F, C, G at 120 beats per minute, a plucked bass and
// an arpeggiated lead in eighth notes, a kick on every beat and a hi-hat
// between the beats. Bass and kick sit mostly left, lead and hi-hat right.
#include "audio/demo_tune.h"

static constexpr uint32_t STEP_SAMPLES = 11025; // an eighth note at 120 beats per minute
static constexpr uint32_t PATTERN_STEPS = 16;
static constexpr uint32_t FADE_SAMPLES = 256;  // fade at both ends of a note, about 6 ms
static constexpr uint32_t KICK_SAMPLES = 5292; // 0.12 s
static constexpr uint32_t HAT_SAMPLES = 1323;  // 0.03 s
static constexpr int32_t ONE_Q15 = 32768;      // 1.0 in the 15-bit fractions used below
static constexpr int32_t LEAD_SUSTAIN = 9830;  // 0.3
static constexpr int32_t BASS_SUSTAIN = 13107; // 0.4
static_assert(STEP_SAMPLES * PATTERN_STEPS == DEMO_LOOP_SAMPLES, "the pattern fills the loop");

// Phase increment per sample of a 32-bit phase (2^32 is one turn) for `hz`.
static constexpr uint32_t phaseStep(double hz) {
    return static_cast<uint32_t>(hz * 4294967296.0 / DEMO_SAMPLE_RATE + 0.5);
}

// Lead, one note per step; 0 rests.
static const uint32_t leadNotes[PATTERN_STEPS] = {
    phaseStep(440.00), phaseStep(523.25), phaseStep(659.26), phaseStep(880.00), // A4 C5 E5 A5
    phaseStep(349.23), phaseStep(440.00), phaseStep(523.25), phaseStep(440.00), // F4 A4 C5 A4
    phaseStep(329.63), phaseStep(392.00), phaseStep(523.25), phaseStep(659.26), // E4 G4 C5 E5
    phaseStep(587.33), phaseStep(493.88), phaseStep(392.00), 0,                 // D5 B4 G4 rest
};

// Bass, one note per four steps.
static const uint32_t bassNotes[PATTERN_STEPS / 4] = {
    phaseStep(110.00), // A2
    phaseStep(87.31),  // F2
    phaseStep(130.81), // C3
    phaseStep(98.00),  // G2
};

static const uint32_t KICK_START = phaseStep(150.0); // the kick's pitch falls from 150 Hz ...
static const uint32_t KICK_END = phaseStep(45.0);    // ... to 45 Hz over its length

// Mixing gains in 15-bit fractions; each channel's gains add up to 1 at
// most, so the mix stays within range.
struct ChannelMix {
    int32_t bass;
    int32_t kick;
    int32_t lead;
    int32_t hat;
};
static const ChannelMix channelMix[DEMO_CHANNELS] = {
    // bass  kick   lead   hat
    {9830, 18022, 3277, 1638}, // left: 0.30, 0.55, 0.10, 0.05
    {4915, 9830, 14746, 3277}, // right: 0.15, 0.30, 0.45, 0.10
};

// Sine of a 32-bit phase, scaled to +-32767, by Bhaskara's rational
// approximation (error below 0.2 %).
static int32_t sineQ15(uint32_t phase) {
    int64_t h = (phase >> 16) & 0x7FFF; // position within the half turn, 15 bits
    int64_t q = h * (32768 - h);        // x (1 - x), scaled by 2^30
    int32_t value = static_cast<int32_t>(32767 * 16 * q / (5 * (int64_t(1) << 30) - 4 * q));
    return (phase & 0x80000000u) != 0 ? -value : value;
}

// 1 at the start of `length` samples, falling to 0 along a straight line.
static int32_t fallingQ15(uint32_t s, uint32_t length) {
    return static_cast<int32_t>((static_cast<int64_t>(length - s) * ONE_Q15) / length);
}

static int32_t multiplyQ15(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 15);
}

// Envelope of a note filling one step: a short rise, a decay from 1 towards
// `sustain` along `fall` (a line or its square), and a short fade at the end,
// so that every note starts and ends at 0 and steps join without a click.
static int32_t noteEnvelopeQ15(uint32_t s, int32_t sustain, bool squared) {
    int32_t fall = fallingQ15(s, STEP_SAMPLES);
    if (squared) {
        fall = multiplyQ15(fall, fall);
    }
    int32_t level = sustain + multiplyQ15(ONE_Q15 - sustain, fall);
    uint32_t left = STEP_SAMPLES - s;
    uint32_t edge = s < left ? s : left; // distance to the nearer end of the step
    if (edge < FADE_SAMPLES) {
        level = static_cast<int32_t>((static_cast<int64_t>(level) * edge) / FADE_SAMPLES);
    }
    return level;
}

// Lead: fundamental and octave, plucked, fading to a quiet sustain.
static int32_t leadVoice(uint32_t step, uint32_t s) {
    uint32_t increment = leadNotes[step];
    if (increment == 0) {
        return 0;
    }
    uint32_t phase = s * increment;
    int32_t tone = (3 * sineQ15(phase) + sineQ15(2 * phase)) / 4;
    return multiplyQ15(tone, noteEnvelopeQ15(s, LEAD_SUSTAIN, true));
}

// Bass: the bar's root, struck again on every step.
static int32_t bassVoice(uint32_t step, uint32_t s) {
    uint32_t phase = s * bassNotes[step / 4];
    return multiplyQ15(sineQ15(phase), noteEnvelopeQ15(s, BASS_SUSTAIN, false));
}

// Kick on even steps: a sine whose pitch falls linearly, so its phase is the
// integral s * start - (start - end) * s^2 / (2 * length).
static int32_t kickVoice(uint32_t step, uint32_t s) {
    if (step % 2 != 0 || s >= KICK_SAMPLES) {
        return 0;
    }
    int64_t t = s;
    int64_t sweep = static_cast<int64_t>(KICK_START) - KICK_END;
    uint32_t phase = static_cast<uint32_t>(KICK_START * t - sweep * t * t / (2 * KICK_SAMPLES));
    int32_t fall = fallingQ15(s, KICK_SAMPLES);
    return multiplyQ15(sineQ15(phase), multiplyQ15(fall, fall));
}

// Hi-hat on odd steps: hashed noise with a fast decay.
static int32_t hatVoice(uint32_t step, uint32_t s, uint32_t n) {
    if (step % 2 == 0 || s >= HAT_SAMPLES) {
        return 0;
    }
    uint32_t h = n * 2654435761u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    int32_t noise = static_cast<int32_t>(h >> 16) - 32768;
    int32_t fall = fallingQ15(s, HAT_SAMPLES);
    return multiplyQ15(noise, multiplyQ15(fall, fall));
}

int16_t demoTuneSample(int32_t channel, uint32_t sampleIndex) {
    if (channel < 0 || channel >= DEMO_CHANNELS) {
        return 0;
    }
    uint32_t n = sampleIndex % DEMO_LOOP_SAMPLES;
    uint32_t step = n / STEP_SAMPLES;
    uint32_t s = n % STEP_SAMPLES;
    const ChannelMix& mix = channelMix[channel];
    int64_t sum =
        static_cast<int64_t>(mix.bass) * bassVoice(step, s) + static_cast<int64_t>(mix.kick) * kickVoice(step, s) +
        static_cast<int64_t>(mix.lead) * leadVoice(step, s) + static_cast<int64_t>(mix.hat) * hatVoice(step, s, n);
    int64_t value = sum >> 15;
    if (value > 32767) {
        value = 32767;
    }
    if (value < -32768) {
        value = -32768;
    }
    return static_cast<int16_t>(value);
}

void demoTuneWaveform(uint32_t firstSample, WaveformBlock waveform) {
    for (int32_t c = 0; c < BLOCK_CHANNELS; c++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            uint16_t bits = static_cast<uint16_t>(demoTuneSample(c, firstSample + static_cast<uint32_t>(i)));
            waveform[c][i] = static_cast<uint8_t>(bits >> 8);
        }
    }
}
