// Speed of the tracers, side by side in one run over the same fixed, named
// frames: the plug-in's 320 x 200 frame with the reference and each packet
// tracer on one thread, full-resolution HD frames, each packet tracer with
// its culling off and on by turns, the share of sphere tests culling skips,
// and how the time per frame grows with the pixels and with the threads.
// With --scenes instead: one line per built-in scene, an HD frame on two
// threads with the fastest tracer (or --tracer NAME's, --threads N's).
// Usage: bench_frame [--quick] [--scenes [--tracer NAME] [--threads N]]
#include <time.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "audio/demo_tune.h"
#include "cli/option_table.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"

static constexpr int32_t PRIMARY_RAYS = 161 * 91; // 14,651 samples per plug-in frame
static constexpr int32_t NAMED_FRAME_COUNT = 4;
static constexpr int32_t ROUNDS = 5; // each cell is the best of its rounds

// A frame to measure: the state just before it, from load with the demo tune.
struct NamedFrame {
    const char* name;
    int32_t number; // frames from load, 1 the first
    SceneMotion motion;
    Scene scene;
    WaveformBlock block; // the demo tune's block of the frame
};

static NamedFrame namedFrames[NAMED_FRAME_COUNT] = {
    {"first frame", 1, {}, {}, {}},
    {"10 s in", 300, {}, {}, {}},
    {"1 min in", 1800, {}, {}, {}},
    {"1 h in", 108000, {}, {}, {}},
};

static double secondsPerCell = 0.4; // time spent on one cell per round
static uint8_t frame[FRAME_BYTES];
static std::vector<uint8_t> imageBytes;

// Seconds of the calling thread's own processor time when the work runs on
// it alone (other programs running on this machine then cost it little),
// otherwise of the wall clock.
static bool threadTime = true;

static double now() {
    if (threadTime) {
        timespec time;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) + time.tv_nsec * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Starts the pool for a measurement and picks the clock: the thread's own
// time for the one-thread table, the wall clock where threads are compared.
static void useThreads(int32_t threads, bool wallClock) {
    startTracerPool(threads);
    threadTime = threads == 1 && !wallClock;
}

// The machine's load average, which the wall-clock figures depend on.
static void printLoad(const char* when) {
    char text[64] = "unknown";
    FILE* file = std::fopen("/proc/loadavg", "r");
    if (file != nullptr) {
        if (std::fgets(text, sizeof(text), file) == nullptr) {
            std::strcpy(text, "unknown\n");
        }
        std::fclose(file);
    }
    std::printf("Load average %s: %s", when, text);
}

// Moves the scene from load up to each named frame, keeping the state before it.
static void prepareNamedFrames() {
    startCore();
    WaveformBlock block = {};
    int32_t done = 0;
    for (NamedFrame& named : namedFrames) {
        for (; done < named.number - 1; done++) {
            demoTuneWaveform(static_cast<uint32_t>(done) * DEMO_FRAME_SAMPLES, block);
            animateScene(block);
        }
        named.motion = motion;
        named.scene = scene;
        demoTuneWaveform(static_cast<uint32_t>(done) * DEMO_FRAME_SAMPLES, named.block);
    }
}

static void restore(const NamedFrame& named) {
    motion = named.motion;
    scene = named.scene;
}

// Milliseconds per frame, best of the rounds, of `frames` frames each
// composed afresh from the named state.
typedef void (*FrameRoutine)(const NamedFrame& named);

static void plugInFrame(const NamedFrame& named) {
    restore(named);
    composeFrame(frame, named.block, 2);
}

static FrameImage image;

static void imageFrame(const NamedFrame& named) {
    restore(named);
    composeFrameAt(&image, named.block, 2);
}

// Times the routine on the named frame: frames per round chosen from a first
// frame's time, best round kept. With `withoutCulling`, the rounds alternate
// between the packet tracers' culling off and on, the best of those with it
// off going there.
static double millisecondsPerFrame(FrameRoutine routine, const NamedFrame& named, int32_t rounds,
                                   double* withoutCulling = nullptr) {
    double start = now();
    routine(named);
    double first = now() - start;
    int32_t frames = static_cast<int32_t>(secondsPerCell / (first > 1e-6 ? first : 1e-6));
    frames = frames < 1 ? 1 : frames;
    // Culling off, on; the first frame, traced with it on, sets neither, as
    // a frame slower than a round's time would then count for both
    double best[2] = {1e30, 1e30};
    for (int32_t r = 0; r < rounds; r++) {
        for (int32_t cull = withoutCulling == nullptr ? 1 : 0; cull < 2; cull++) {
            packetCulling = cull == 1;
            start = now();
            for (int32_t f = 0; f < frames; f++) {
                routine(named);
            }
            double each = (now() - start) / frames;
            best[cull] = each < best[cull] ? each : best[cull];
        }
    }
    packetCulling = true;
    if (rounds < 1) {
        best[0] = best[1] = first; // no rounds: the first frame is all there is
    }
    if (withoutCulling != nullptr) {
        *withoutCulling = best[0] * 1000.0;
    }
    return best[1] * 1000.0;
}

// The share of sphere tests, a packet against a sphere each, that culling
// skips in one frame of the routine, per kind of ray.
static void printSkippedTests(const char* what, FrameRoutine routine, const NamedFrame& named) {
    static const char* const rayNames[RAY_KIND_COUNT] = {"primary", "reflected", "shadow"};
    std::printf("%-28s", what);
    for (int32_t cull = 0; cull < 2; cull++) {
        packetCulling = cull == 1;
        takeSphereTestCounts();
        routine(named);
        SphereTestCounts counts = takeSphereTestCounts();
        for (int32_t ray = 0; ray < RAY_KIND_COUNT; ray++) {
            double all = static_cast<double>(counts.tested[ray] + counts.skipped[ray]);
            std::printf(" %s %s %5.1f%%", ray == 0 ? (cull == 0 ? " off:" : "  on:") : "", rayNames[ray],
                        all > 0.0 ? 100.0 * static_cast<double>(counts.skipped[ray]) / all : 0.0);
        }
    }
    packetCulling = true;
    std::printf("\n");
}

static void setImageSize(int32_t width, int32_t height) {
    imageBytes.assign(static_cast<size_t>(width) * height * 4, 0);
    image = {imageBytes.data(), width, height, width * 4};
}

// Table 1: the plug-in's frame on one thread, every tracer, every named frame.
static void plugInTable() {
    useThreads(1, false);
    std::printf("\nThe plug-in's frame, 320 x 200 (14,651 primary rays), one thread: composeFrame\n");
    std::printf("%-12s %-10s %10s %9s %8s %12s %9s\n", "frame", "tracer", "ms/frame", "Mrays/s", "speed-up",
                "no-cull ms", "cull gain");
    double total[TRACER_KIND_COUNT] = {};
    double totalWithout[TRACER_KIND_COUNT] = {};
    for (const NamedFrame& named : namedFrames) {
        double reference = 0.0;
        for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
            if (!selectTracer(static_cast<TracerKind>(kind))) {
                continue;
            }
            double without = 0.0;
            double ms = millisecondsPerFrame(plugInFrame, named, ROUNDS, kind == TRACER_REFERENCE ? nullptr : &without);
            without = kind == TRACER_REFERENCE ? ms : without;
            reference = kind == TRACER_REFERENCE ? ms : reference;
            total[kind] += ms;
            totalWithout[kind] += without;
            std::printf("%-12s %-10s %10.3f %9.2f %7.2fx %12.3f %8.2fx\n", kind == 0 ? named.name : "",
                        tracerTable[kind].name, ms, PRIMARY_RAYS / ms / 1000.0, reference / ms, without, without / ms);
        }
    }
    for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
        if (tracerAvailable(static_cast<TracerKind>(kind))) {
            std::printf("%-12s %-10s %10.3f %9.2f %7.2fx %12.3f %8.2fx\n", kind == 0 ? "all four" : "",
                        tracerTable[kind].name, total[kind] / NAMED_FRAME_COUNT,
                        PRIMARY_RAYS * NAMED_FRAME_COUNT / total[kind] / 1000.0, total[0] / total[kind],
                        totalWithout[kind] / NAMED_FRAME_COUNT, totalWithout[kind] / total[kind]);
        }
    }
}

// Table 2: full resolution HD frames, each tracer on one thread and on all.
static void hdTable(int32_t allThreads) {
    std::printf("\nFull-resolution frames (composeFrameAt, %s)\n", namedFrames[1].name);
    std::printf("%-11s %-10s %7s %10s %9s %8s %8s %12s %9s\n", "size", "tracer", "threads", "ms/frame", "Mrays/s",
                "frames/s", "speed-up", "no-cull ms", "cull gain");
    const int32_t sizes[2][2] = {{1920, 1080}, {3840, 2160}};
    for (const auto& size : sizes) {
        setImageSize(size[0], size[1]);
        double rays = static_cast<double>(size[0]) * size[1];
        double reference = 0.0;
        for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
            if (!selectTracer(static_cast<TracerKind>(kind))) {
                continue;
            }
            const int32_t threadChoices[2] = {1, allThreads};
            for (int32_t threads : threadChoices) {
                if (threads == allThreads && threads == 1 && kind != TRACER_REFERENCE) {
                    continue;
                }
                useThreads(threads, false);
                // The reference is slow: one round of one frame
                int32_t rounds = kind == TRACER_REFERENCE ? 0 : ROUNDS;
                double without = 0.0;
                double ms = millisecondsPerFrame(imageFrame, namedFrames[1], rounds,
                                                 kind == TRACER_REFERENCE ? nullptr : &without);
                without = kind == TRACER_REFERENCE ? ms : without;
                reference = (kind == TRACER_REFERENCE && threads == 1) ? ms : reference;
                std::printf("%4dx%-6d %-10s %7d %10.2f %9.1f %8.1f %7.2fx %12.2f %8.2fx\n", size[0], size[1],
                            tracerTable[kind].name, threads, ms, rays / ms / 1000.0, 1000.0 / ms, reference / ms,
                            without, without / ms);
                if (kind == TRACER_REFERENCE) {
                    break; // on one thread only: the ratio is per thread
                }
            }
        }
    }
    stopTracerPool();
}

// Table 3: the share of sphere tests culling skips, off (the bounds every
// build has) and on, in one frame of the fastest tracer.
static void skippedTable() {
    selectTracer(fastestTracer());
    useThreads(1, false);
    std::printf("\nSphere tests skipped, a packet against a sphere each (%s, %s)\n", tracerTable[activeTracer].name,
                namedFrames[1].name);
    printSkippedTests("plug-in frame 320 x 200", plugInFrame, namedFrames[1]);
    setImageSize(1920, 1080);
    printSkippedTests("1920 x 1080", imageFrame, namedFrames[1]);
    setImageSize(3840, 2160);
    printSkippedTests("3840 x 2160", imageFrame, namedFrames[1]);
    stopTracerPool();
}

// Table 4: time per frame against pixels, fastest tracer, one thread and all.
static void pixelsTable(int32_t allThreads) {
    selectTracer(fastestTracer());
    std::printf("\nTime per frame against pixels (%s, %s)\n", tracerTable[activeTracer].name, namedFrames[1].name);
    std::printf("%-11s %10s %12s %10s %12s\n", "size", "pixels", "1 thread ms", "ns/pixel", "all threads ms");
    const int32_t sizes[][2] = {{160, 91},    {320, 181},   {640, 360},  {1280, 720},
                                {1920, 1080}, {2560, 1440}, {3840, 2160}};
    for (const auto& size : sizes) {
        setImageSize(size[0], size[1]);
        double pixels = static_cast<double>(size[0]) * size[1];
        useThreads(1, true);
        double one = millisecondsPerFrame(imageFrame, namedFrames[1], ROUNDS);
        useThreads(allThreads, true);
        double all = millisecondsPerFrame(imageFrame, namedFrames[1], ROUNDS);
        std::printf("%4dx%-6d %10.0f %12.3f %10.1f %12.3f\n", size[0], size[1], pixels, one, one * 1e6 / pixels, all);
    }
    stopTracerPool();
}

// Table 5: time per HD frame against threads.
static void threadsTable() {
    selectTracer(fastestTracer());
    std::printf("\nTime per 1920 x 1080 frame against threads (%s; this machine has %d cores)\n",
                tracerTable[activeTracer].name, static_cast<int>(std::thread::hardware_concurrency()));
    std::printf("%7s %10s %8s %8s\n", "threads", "ms/frame", "frames/s", "scaling");
    setImageSize(1920, 1080);
    double single = 0.0;
    for (int32_t threads = 1; threads <= 4; threads++) {
        useThreads(threads, true);
        double ms = millisecondsPerFrame(imageFrame, namedFrames[1], ROUNDS);
        single = threads == 1 ? ms : single;
        std::printf("%7d %10.2f %8.1f %7.2fx\n", threads, ms, 1000.0 / ms, single / ms);
    }
    stopTracerPool();
}

// The scenes' table: every built-in scene 10 s into the demo tune, 1920 x
// 1080 on `threads` threads, one line each: SCENE WxH THREADS TRACER
// MS_PER_FRAME FPS, then the packet tracers' time with culling off and the
// gain culling gives (the reference does not cull). One thread is timed by its own processor time, which
// other programs running here slow down less; several by the wall clock.
static void scenesTable(TracerKind kind, int32_t threads) {
    static SceneDesign design;
    static NamedFrame named = {"10 s in", 300, {}, {}, {}};
    char error[MAX_ERROR_TEXT];
    selectTracer(kind);
    setImageSize(1920, 1080);
    useThreads(threads, false);
    for (int32_t i = 0; i < builtinSceneCount; i++) {
        if (!readBuiltinScene(i, &design, error, sizeof(error)) || !putOnStage(&design, i, error, sizeof(error))) {
            std::fprintf(stderr, "bench_frame: %s\n", error);
            continue;
        }
        motion.angle = 0.0f;
        WaveformBlock block = {};
        for (int32_t done = 0; done < named.number - 1; done++) {
            demoTuneWaveform(static_cast<uint32_t>(done) * DEMO_FRAME_SAMPLES, block);
            animateStage(block, 2);
        }
        named.motion = motion;
        named.scene = scene;
        demoTuneWaveform(static_cast<uint32_t>(named.number - 1) * DEMO_FRAME_SAMPLES, named.block);
        double without = 0.0;
        double ms = kind == TRACER_REFERENCE ? millisecondsPerFrame(imageFrame, named, 1)
                                             : millisecondsPerFrame(imageFrame, named, ROUNDS, &without);
        without = kind == TRACER_REFERENCE ? ms : without;
        std::printf("%s %dx%d %d %s %.2f %.1f %.2f %.2fx\n", design.name, image.width, image.height, threads,
                    tracerTable[kind].name, ms, 1000.0 / ms, without, without / ms);
        std::fflush(stdout);
    }
    stopTracerPool();
}

// What the command line asks for.
struct BenchOptions {
    bool quick;         // shorter timings, for a smoke run
    bool scenes;        // the scenes' table alone
    const char* tracer; // --tracer: the scenes' tracer by name; null for the fastest
    int32_t threads;    // --threads: the scenes' threads
};

static void printBenchUsage(FILE* out) {
    std::fputs("usage: bench_frame [--quick] [--scenes [--tracer NAME] [--threads N]]\n"
               "Times the tracers side by side on the same frames.\n"
               "\n"
               "  --quick         shorter timings, for a smoke run\n"
               "  --scenes        time every built-in scene instead, one line each:\n"
               "                  SCENE WxH THREADS TRACER MS_PER_FRAME FPS NO_CULL_MS CULL_GAIN\n"
               "  --tracer NAME   the tracer --scenes times (reference, sse2, avx2, avx512,\n"
               "                  wasm128 where built; default the fastest)\n"
               "  --threads N     the threads --scenes traces on (1 to 64, default 2)\n"
               "  --help          show this text\n",
               out);
}

static bool refuseOperand(const char* argument, void*, char* error, size_t errorSize) {
    std::snprintf(error, errorSize, "unexpected argument %s", argument);
    return false;
}

static const OptionRow BENCH_OPTIONS[] = {
    flagOption("--quick", offsetof(BenchOptions, quick)),
    flagOption("--scenes", offsetof(BenchOptions, scenes)),
    textOption("--tracer", offsetof(BenchOptions, tracer), "a tracer's NAME"),
    numberOption("--threads", offsetof(BenchOptions, threads), 1, MAX_TRACER_THREADS),
};
static const OptionWording BENCH_WORDING = {"%s needs %s, not '%s'", "%s needs %s"};
static const OptionTable BENCH_TABLE = {BENCH_OPTIONS, sizeof BENCH_OPTIONS / sizeof BENCH_OPTIONS[0], &BENCH_WORDING,
                                        refuseOperand, false};

int main(int argc, char** argv) {
    BenchOptions options = {};
    options.threads = 2;
    char error[200];
    OptionsStatus status = readCommandLine(argc, argv, &BENCH_TABLE, &options, error, sizeof(error));
    if (status != OPTIONS_RUN) {
        const CommandLineAnswers answers = {"bench_frame", "bench_frame --help", printBenchUsage, nullptr};
        return answerCommandLine(status, &answers, error);
    }
    secondsPerCell = options.quick ? 0.02 : secondsPerCell;
    TracerKind kind = fastestTracer();
    if (options.tracer != nullptr) {
        int32_t k = 0;
        while (k < TRACER_KIND_COUNT && std::strcmp(options.tracer, tracerTable[k].name) != 0) {
            k++;
        }
        if (k == TRACER_KIND_COUNT || !tracerAvailable(static_cast<TracerKind>(k))) {
            std::fprintf(stderr, "bench_frame: no tracer '%s' here\n", options.tracer);
            return 2;
        }
        kind = static_cast<TracerKind>(k);
    }
    if (options.scenes) {
        startCore();
        scenesTable(kind, options.threads);
        return 0;
    }
    prepareNamedFrames();
    int32_t allThreads = static_cast<int32_t>(std::thread::hardware_concurrency());
    allThreads = allThreads < 1 ? 1 : allThreads;
    std::printf("Named frames of the demo tune from load:");
    for (const NamedFrame& named : namedFrames) {
        std::printf(" %s (frame %d)", named.name, static_cast<int>(named.number));
    }
    std::printf("\nEach cell: the best of %d rounds, tracers measured one after another in this run; the\n"
                "packet tracers' no-cull column comes from rounds with their culling off, taken by turns\n"
                "with those with it on. The first two tables time one thread by its own processor time\n"
                "and several by the wall clock; the last two time everything by the wall clock, which\n"
                "other programs running here slow down.\n",
                ROUNDS);
    printLoad("at start");
    plugInTable();
    hdTable(allThreads);
    skippedTable();
    pixelsTable(allThreads);
    threadsTable();
    printLoad("at end");
    return 0;
}
