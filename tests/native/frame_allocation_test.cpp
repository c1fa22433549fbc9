// Frames allocate nothing once the program has started: every operator new
// (and, outside the address sanitizer, which owns malloc, every malloc) is
// counted while frames of every size are made, on one thread and on a pool.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/builtin_scenes.h"
#include "scenes/stage.h"

static std::atomic<int64_t> allocations{0};

void* operator new(std::size_t size) {
    allocations++;
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations++;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

#if !defined(__SANITIZE_ADDRESS__)
// glibc's own allocator under its exported names.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void* malloc(size_t size) {
    allocations++;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    allocations++;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
    allocations++;
    return __libc_realloc(p, size);
}
#endif

namespace {

TEST(FrameAllocation, NoneAfterStartUp) {
    // Start-up: scene, pool, the images' memory
    startCore();
    WaveformBlock block = {};
    const int32_t channels = 2;
    std::vector<uint8_t> frame(FRAME_BYTES);
    const int32_t sizes[][2] = {{2, 2}, {161, 91}, {333, 200}, {1920, 1080}};
    std::vector<std::vector<uint8_t>> images;
    for (const auto& size : sizes) {
        images.emplace_back(static_cast<size_t>(size[0]) * size[1] * 4);
    }
    TracerKind saved = activeTracer;
    const int32_t threadCounts[] = {1, 3};
    for (int32_t threads : threadCounts) {
        ASSERT_TRUE(startTracerPool(threads));
        for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
            if (!selectTracer(static_cast<TracerKind>(kind))) {
                continue;
            }
            int64_t before = allocations.load();
            for (int32_t f = 0; f < 2; f++) {
                block[0][0] = static_cast<uint8_t>(f * 77);
                composeFrame(frame.data(), block, channels);
                for (size_t i = 0; i < images.size(); i++) {
                    // The reference at full HD is slow in this build: the small sizes suffice for it
                    if (kind == TRACER_REFERENCE && sizes[i][0] > 400) {
                        continue;
                    }
                    FrameImage image = {images[i].data(), sizes[i][0], sizes[i][1], sizes[i][0] * 4};
                    composeFrameAt(&image, block, channels);
                }
            }
            EXPECT_EQ(allocations.load() - before, 0) << tracerTable[kind].name << ", " << threads << " threads";
        }
    }
    // Every built-in scene moves and traces without allocating either
    for (int32_t scene = 0; scene < builtinSceneCount; scene++) {
        stepStage(1); // past the last comes classic again
        int64_t before = allocations.load();
        for (int32_t f = 0; f < 2; f++) {
            block[0][0] = static_cast<uint8_t>(f * 77);
            composeFrame(frame.data(), block, channels);
        }
        EXPECT_EQ(allocations.load() - before, 0) << stageSceneName();
    }
    stopTracerPool();
    activeTracer = saved;

    // The counter itself counts
    int64_t before = allocations.load();
    std::vector<int32_t>* probe = new std::vector<int32_t>(4);
    delete probe;
    EXPECT_GT(allocations.load() - before, 0);
}

} // namespace
