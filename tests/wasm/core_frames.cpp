// Frames of the core for the comparison of two builds (native and
// WebAssembly): a named waveform goes in, the chosen frames' bytes come out
// in one file, and a line per frame says how many sinf/cosf calls it made
// and, when replaying another build's results, how many of those differ
// from this C library's own. Frames not chosen are only animated, so a frame
// a hundred thousand in costs little.
// Usage: core_frames --waveform NAME --frames LIST --out FILE [--size WxH]
//        [--threads N] [--tracer NAME] [--scene NAME] [--record-math FILE | --replay-math FILE]
// LIST: numbers and ranges A-B, comma separated, in order; "wrap" stands
// for the frames on both sides of the first wrap of the motion's angle.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/stage.h"
#include "tests/wasm/math_calls.h"
#include "audio/demo_tune.h"

typedef void (*WaveformRoutine)(int32_t frame, WaveformBlock block);

// A signed sample as the player's byte.
static uint8_t sampleByte(int32_t value) {
    return static_cast<uint8_t>(static_cast<int8_t>(value));
}

static void silence(int32_t, WaveformBlock block) {
    std::memset(block, 0, sizeof(WaveformBlock));
}

// Noise from a hash of the frame, channel and sample.
static void noise(int32_t frame, WaveformBlock block) {
    for (int32_t ch = 0; ch < BLOCK_CHANNELS; ch++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            uint32_t h = static_cast<uint32_t>(frame) * 2654435761u ^ static_cast<uint32_t>(ch * 1000003 + i);
            h ^= h >> 15;
            h *= 2246822519u;
            h ^= h >> 13;
            block[ch][i] = static_cast<uint8_t>(h >> 24);
        }
    }
}

// A triangle wave whose period sweeps from 8 to 207 samples, frame by frame.
static void sweep(int32_t frame, WaveformBlock block) {
    int32_t period = 8 + frame % 200;
    for (int32_t ch = 0; ch < BLOCK_CHANNELS; ch++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            int32_t phase = (i + ch * period / 4) % period;
            int32_t rise = phase < period / 2 ? phase : period - phase;
            block[ch][i] = sampleByte(rise * 255 / period - 64);
        }
    }
}

// A square wave of 64 samples moving along, the channels opposite.
static void square(int32_t frame, WaveformBlock block) {
    for (int32_t ch = 0; ch < BLOCK_CHANNELS; ch++) {
        for (int32_t i = 0; i < BLOCK_SAMPLES; i++) {
            bool high = ((i + frame * 3) / 32) % 2 == ch;
            block[ch][i] = sampleByte(high ? 100 : -100);
        }
    }
}

static void demo(int32_t frame, WaveformBlock block) {
    demoTuneWaveform(static_cast<uint32_t>(frame - 1) * DEMO_FRAME_SAMPLES, block);
}

static const char* const waveformNames[] = {"silence", "noise", "sweep", "square", "demo"};
static const WaveformRoutine waveformTable[] = {silence, noise, sweep, square, demo};
static_assert(sizeof(waveformNames) / sizeof(waveformNames[0]) == sizeof(waveformTable) / sizeof(waveformTable[0]),
              "one routine per waveform name");

static int usage(const char* problem) {
    std::fprintf(stderr,
                 "core_frames: %s\nusage: core_frames --waveform silence|noise|sweep|square|demo --frames LIST "
                 "--out FILE [--size WxH] [--threads N] [--tracer NAME] [--scene NAME] [--record-math FILE | "
                 "--replay-math FILE]\n",
                 problem);
    return 2;
}

// The first frame whose angle is below the one before.
static int32_t firstWrapFrame() {
    SceneMotion saved = motion;
    WaveformBlock block = {};
    int32_t frame = 1;
    for (float last = motion.angle;; frame++) {
        animateScene(block);
        if (motion.angle < last) {
            break;
        }
        last = motion.angle;
    }
    motion = saved;
    return frame;
}

// Reads LIST into ascending frame numbers; false when malformed.
static bool parseFrames(const char* list, std::vector<int32_t>* frames) {
    const char* p = list;
    while (*p != '\0') {
        int32_t first;
        int32_t last;
        if (std::strncmp(p, "wrap", 4) == 0) {
            int32_t wrap = firstWrapFrame();
            first = wrap - 1;
            last = wrap + 1;
            p += 4;
        } else {
            char* end;
            first = static_cast<int32_t>(std::strtol(p, &end, 10));
            last = first;
            if (end == p) {
                return false;
            }
            p = end;
            if (*p == '-') {
                last = static_cast<int32_t>(std::strtol(p + 1, &end, 10));
                if (end == p + 1) {
                    return false;
                }
                p = end;
            }
        }
        if (first < 1 || last < first || (!frames->empty() && first <= frames->back())) {
            return false;
        }
        for (int32_t f = first; f <= last; f++) {
            frames->push_back(f);
        }
        if (*p == ',') {
            p++;
        } else if (*p != '\0') {
            return false;
        }
    }
    return !frames->empty();
}

int main(int argc, char** argv) {
    WaveformRoutine waveform = nullptr;
    std::vector<int32_t> frames;
    const char* outPath = nullptr;
    const char* recordPath = nullptr;
    const char* replayPath = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t threads = 1;
    TracerKind tracer = fastestTracer();
    const char* sceneName = nullptr;
    for (int32_t i = 1; i < argc; i += 2) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) {
            return usage("every option takes a value");
        } else if (std::strcmp(option, "--waveform") == 0) {
            for (size_t w = 0; w < sizeof(waveformNames) / sizeof(waveformNames[0]); w++) {
                waveform = std::strcmp(value, waveformNames[w]) == 0 ? waveformTable[w] : waveform;
            }
        } else if (std::strcmp(option, "--frames") == 0) {
            if (!parseFrames(value, &frames)) {
                return usage("--frames must be ascending numbers and ranges A-B from 1, or wrap");
            }
        } else if (std::strcmp(option, "--out") == 0) {
            outPath = value;
        } else if (std::strcmp(option, "--size") == 0) {
            if (std::sscanf(value, "%dx%d", &width, &height) != 2 || width < MIN_IMAGE_SIDE || width > MAX_IMAGE_SIDE ||
                height < MIN_IMAGE_SIDE || height > MAX_IMAGE_SIDE) {
                return usage("--size must be WxH");
            }
        } else if (std::strcmp(option, "--threads") == 0) {
            threads = std::atoi(value);
        } else if (std::strcmp(option, "--tracer") == 0) {
            int32_t kind = 0;
            while (kind < TRACER_KIND_COUNT && std::strcmp(value, tracerTable[kind].name) != 0) {
                kind++;
            }
            if (kind == TRACER_KIND_COUNT || !tracerAvailable(static_cast<TracerKind>(kind))) {
                return usage("--tracer names no tracer available here");
            }
            tracer = static_cast<TracerKind>(kind);
        } else if (std::strcmp(option, "--scene") == 0) {
            sceneName = value;
        } else if (std::strcmp(option, "--record-math") == 0) {
            recordPath = value;
        } else if (std::strcmp(option, "--replay-math") == 0) {
            replayPath = value;
        } else {
            return usage("unknown option");
        }
    }
    if (waveform == nullptr || frames.empty() || outPath == nullptr ||
        (recordPath != nullptr && replayPath != nullptr)) {
        return usage("--waveform, --frames and --out are needed, and one of --record-math and --replay-math at most");
    }
    if (replayPath != nullptr && !loadMathRecord(replayPath)) {
        return 1;
    }
    mathCalls.mode = recordPath != nullptr ? MATH_RECORD : replayPath != nullptr ? MATH_REPLAY : MATH_OWN;
    if (threads < 1 || threads > MAX_TRACER_THREADS || (threads > 1 && !startTracerPool(threads))) {
        std::fprintf(stderr, "core_frames: cannot start %d tracer threads\n", threads);
        return 1;
    }
    selectTracer(tracer);

    // What the plug-in's Init does, then every frame up to the last chosen
    startCore();
    char sceneError[MAX_ERROR_TEXT];
    if (sceneName != nullptr && !stageScene(sceneName, sceneError, sizeof(sceneError))) {
        return usage(sceneError);
    }
    if (width == 0) {
        width = FRAME_WIDTH;
        height = FRAME_HEIGHT;
    }
    std::vector<uint8_t> imageBytes(static_cast<size_t>(width) * height * 4);
    FrameImage image = {imageBytes.data(), width, height, width * 4};
    FILE* out = std::fopen(outPath, "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "core_frames: cannot write %s\n", outPath);
        return 1;
    }
    static WaveformBlock block = {};
    bool written = true;
    size_t next = 0;
    for (int32_t f = 1; f <= frames.back(); f++) {
        waveform(f, block);
        if (f != frames[next]) {
            if (sceneName != nullptr) {
                animateStage(block, 2);
            } else {
                animateScene(block);
            }
            continue;
        }
        next++;
        mathCalls.active = true;
        mathCalls.calls = mathCalls.differing = 0;
        composeImage(&image, block, 2);
        written = written && std::fwrite(imageBytes.data(), 1, imageBytes.size(), out) == imageBytes.size();
        mathCalls.active = false;
        std::printf("frame %d calls %d differing %d\n", static_cast<int>(f), static_cast<int>(mathCalls.calls),
                    static_cast<int>(mathCalls.differing));
    }
    written = std::fclose(out) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "core_frames: cannot write %s\n", outPath);
        return 1;
    }
    if (mathCalls.missing != 0) {
        std::fprintf(stderr, "core_frames: %d calls were not in the record\n", static_cast<int>(mathCalls.missing));
        return 1;
    }
    if (recordPath != nullptr && !saveMathRecord(recordPath)) {
        return 1;
    }
    std::printf("%s: %zu frames with the %s tracer on %d threads\n", outPath, frames.size(),
                tracerTable[activeTracer].name, static_cast<int>(tracerThreadCount()));
    stopTracerPool();
    return 0;
}
