// Time per frame of one tracer at one size on one thread, the same program
// built natively and for WebAssembly, so that tools/bench_wasm.sh can run the
// two alternately and set them side by side. The frame is the demo tune's
// 300th (10 s in), composed afresh each time from the state before it.
// Usage: bench_core --tracer NAME [--size WxH] [--seconds S] [--culling on|off]
//        (no --size, or 320x200: the plug-in's frame; culling on by default)
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "audio/demo_tune.h"

static constexpr int32_t FRAME_NUMBER = 300;
static constexpr int32_t ROUNDS = 5; // the best round counts

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
// Processor time of node's process, which runs the program on one thread:
// other programs on the machine then cost it little.
EM_JS(double, seconds, (), {
    const used = process.cpuUsage();
    return (used.user + used.system) / 1e6;
});
#else
// Processor time of the process, as node's is measured.
static double seconds() {
    timespec time;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + time.tv_nsec * 1e-9;
}
#endif

int main(int argc, char** argv) {
    int32_t kind = TRACER_KIND_COUNT;
    int32_t width = 0;
    int32_t height = 0;
    double secondsPerRound = 0.3;
    bool badCulling = false;
    for (int32_t i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--tracer") == 0) {
            kind = 0;
            while (kind < TRACER_KIND_COUNT && std::strcmp(argv[i + 1], tracerTable[kind].name) != 0) {
                kind++;
            }
        } else if (std::strcmp(argv[i], "--size") == 0) {
            std::sscanf(argv[i + 1], "%dx%d", &width, &height);
        } else if (std::strcmp(argv[i], "--seconds") == 0) {
            secondsPerRound = std::atof(argv[i + 1]) / ROUNDS;
        } else if (std::strcmp(argv[i], "--culling") == 0) {
            packetCulling = std::strcmp(argv[i + 1], "off") != 0;
            badCulling = packetCulling && std::strcmp(argv[i + 1], "on") != 0;
        }
    }
    bool sized =
        width >= MIN_IMAGE_SIDE && width <= MAX_IMAGE_SIDE && height >= MIN_IMAGE_SIDE && height <= MAX_IMAGE_SIDE;
    if (argc % 2 == 0 || kind == TRACER_KIND_COUNT || (width != 0 && !sized) || !(secondsPerRound > 0.0) ||
        badCulling) {
        std::fprintf(stderr, "usage: bench_core --tracer NAME [--size WxH] [--seconds S] [--culling on|off]\n");
        return 2;
    }
    if (!selectTracer(static_cast<TracerKind>(kind))) {
        std::fprintf(stderr, "bench_core: the %s tracer is not available here\n", tracerTable[kind].name);
        return 1;
    }

    // The state just before the frame
    startCore();
    static WaveformBlock block = {};
    for (int32_t f = 1; f < FRAME_NUMBER; f++) {
        demoTuneWaveform(static_cast<uint32_t>(f - 1) * DEMO_FRAME_SAMPLES, block);
        animateScene(block);
    }
    demoTuneWaveform(static_cast<uint32_t>(FRAME_NUMBER - 1) * DEMO_FRAME_SAMPLES, block);
    const SceneMotion startMotion = motion;
    const Scene startScene = scene;
    if (width == 0) {
        width = FRAME_WIDTH;
        height = FRAME_HEIGHT;
    }
    std::vector<uint8_t> imageBytes(static_cast<size_t>(width) * height * 4);
    FrameImage image = {imageBytes.data(), width, height, width * 4};

    // A first round, which also warms the engine up, sets the frames per
    // round; the best of the rounds after it counts
    auto composeOne = [&]() {
        motion = startMotion;
        scene = startScene;
        composeImage(&image, block, 2);
    };
    int32_t frames = 0;
    double start = seconds();
    while (frames < 2 || seconds() - start < secondsPerRound) {
        composeOne();
        frames++;
    }
    double best = 0.0;
    for (int32_t round = 0; round < ROUNDS; round++) {
        start = seconds();
        for (int32_t f = 0; f < frames; f++) {
            composeOne();
        }
        double each = (seconds() - start) / frames;
        best = round == 0 || each < best ? each : best;
    }
    std::printf("%s %dx%d %.4f ms\n", tracerTable[kind].name, static_cast<int>(width), static_cast<int>(height),
                best * 1000.0);
    return 0;
}
