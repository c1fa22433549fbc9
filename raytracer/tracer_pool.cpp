// The tracer pool: workers sleep until a frame's rows are handed out, take
// rows one at a time from a shared counter, and report when they are done.
#include "raytracer/tracer_pool.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// The pool's threads and the job they share; written by start and stop, and
// by runRows under `lock`.
struct TracerPool {
    std::thread workers[MAX_TRACER_THREADS - 1]; // the caller is the last tracer
    int32_t workerCount;                         // threads started
    std::mutex lock;                             // guards everything below but nextRow
    std::condition_variable wake;                // a job was posted, or stop asked
    std::condition_variable done;                // the last busy worker finished
    uint32_t generation;                         // counts jobs posted
    int32_t busyWorkers;                         // workers still on the current job
    bool stopping;                               // workers leave when set
    const RowJob* job;                           // the current job
    std::atomic<int32_t> nextRow;                // next row nobody has taken
};

static TracerPool pool;

// Takes rows until none are left.
static void traceTakenRows(const RowJob* job) {
    for (;;) {
        int32_t row = pool.nextRow.fetch_add(1, std::memory_order_relaxed);
        if (row >= job->rowCount) {
            return;
        }
        job->traceRow(job->context, row);
    }
}

static void workerLoop() {
    uint32_t seen = 0;
    std::unique_lock<std::mutex> guard(pool.lock);
    for (;;) {
        pool.wake.wait(guard, [&] { return pool.stopping || pool.generation != seen; });
        if (pool.stopping) {
            return;
        }
        seen = pool.generation;
        const RowJob* job = pool.job;
        guard.unlock();
        traceTakenRows(job);
        guard.lock();
        pool.busyWorkers--;
        if (pool.busyWorkers == 0) {
            pool.done.notify_one();
        }
    }
}

bool startTracerPool(int32_t threads) {
    stopTracerPool();
    if (threads <= 0) {
        threads = static_cast<int32_t>(std::thread::hardware_concurrency());
    }
    threads = threads < 1 ? 1 : (threads > MAX_TRACER_THREADS ? MAX_TRACER_THREADS : threads);
    pool.stopping = false;
    pool.generation = 0;
    for (int32_t i = 0; i < threads - 1; i++) {
        // std::thread reports a thread it cannot make only by throwing
        try {
            pool.workers[i] = std::thread(workerLoop);
        } catch (const std::system_error&) {
            stopTracerPool();
            return false;
        }
        pool.workerCount = i + 1;
    }
    return true;
}

void stopTracerPool() {
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.stopping = true;
    }
    pool.wake.notify_all();
    for (int32_t i = 0; i < pool.workerCount; i++) {
        pool.workers[i].join();
    }
    pool.workerCount = 0;
}

int32_t tracerThreadCount() {
    return pool.workerCount + 1;
}

void runRows(const RowJob* job) {
    if (pool.workerCount == 0) {
        for (int32_t row = 0; row < job->rowCount; row++) {
            job->traceRow(job->context, row);
        }
        return;
    }

    // Post the job, share its rows, wait for the workers to finish theirs
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.job = job;
        pool.nextRow.store(0, std::memory_order_relaxed);
        pool.busyWorkers = pool.workerCount;
        pool.generation++;
    }
    pool.wake.notify_all();
    traceTakenRows(job);
    std::unique_lock<std::mutex> guard(pool.lock);
    pool.done.wait(guard, [] { return pool.busyWorkers == 0; });
}
