// Speed of one frame: composeFrame as a whole, with the time per frame and
// primary rays per second as counters, and its stages one by one.
#include <benchmark/benchmark.h>

#include <cstring>

#include "frame/compose.h"
#include "overlays/scope.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "tools/demo_tune.h"

static constexpr int32_t PRIMARY_RAYS = 161 * 91; // 14,651 samples per frame
static constexpr int32_t TUNE_FRAMES = 64;        // blocks of the demo tune cycled through

static uint8_t frame[FRAME_BYTES];
static winampVisModule module;
static uint8_t tuneBlocks[TUNE_FRAMES][VIS_CHANNEL_SLOTS][VIS_SAMPLES_PER_CHANNEL];

// What Init does, plus the demo tune's first blocks, made before timing starts.
static void prepare() {
    setSampleGrid();
    buildScene(&textureStore);
    module.nCh = 2;
    for (int32_t k = 0; k < TUNE_FRAMES; k++) {
        demoTuneWaveform(static_cast<uint32_t>(k) * DEMO_FRAME_SAMPLES, tuneBlocks[k]);
    }
}

// Time per frame (an inverted rate: printed in ms) and primary rays per second.
static void setFrameCounters(benchmark::State& state) {
    double frames = static_cast<double>(state.iterations());
    state.counters["frame_time"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["primary_rays"] = benchmark::Counter(frames * PRIMARY_RAYS, benchmark::Counter::kIsRate);
}

static void composeFrameBench(benchmark::State& state) {
    prepare();
    int32_t k = 0;
    for (auto _ : state) {
        std::memcpy(module.waveformData, tuneBlocks[k], sizeof(module.waveformData));
        k = (k + 1) % TUNE_FRAMES;
        composeFrame(frame, &module);
        benchmark::DoNotOptimize(frame);
    }
    setFrameCounters(state);
}
BENCHMARK(composeFrameBench)->Unit(benchmark::kMillisecond);

static void renderViewBench(benchmark::State& state) {
    prepare();
    animateScene(&module);
    for (auto _ : state) {
        renderView(frame, &motion.camera, &motion.light);
        benchmark::DoNotOptimize(frame);
    }
    setFrameCounters(state);
}
BENCHMARK(renderViewBench)->Unit(benchmark::kMillisecond);

static void upsampleFrameBench(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        upsampleFrame(frame);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(upsampleFrameBench)->Unit(benchmark::kMicrosecond);

static void drawScopeBench(benchmark::State& state) {
    prepare();
    std::memcpy(module.waveformData, tuneBlocks[5], sizeof(module.waveformData));
    for (auto _ : state) {
        drawScope(frame, &module);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(drawScopeBench)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
