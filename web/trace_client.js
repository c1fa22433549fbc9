// The page's side of the trace worker: starts it on the build the page can
// load and asks it for frames, one at a time.

// Whether this browser runs 128-bit WebAssembly SIMD: a function returning
// a v128 constant must validate.
export function hasWasmSimd() {
    const module = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 22, 1, 20,
                                   0, 253, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11]);
    return typeof WebAssembly === "object" && WebAssembly.validate(module);
}

// Tracer threads: more than one only where shared memory is offered, which
// needs the page to be cross-origin isolated. `asked` (from ?threads=N)
// overrides the count, never the rule.
export function chooseThreads(asked) {
    if (!self.crossOriginIsolated || typeof SharedArrayBuffer === "undefined") {
        return 1;
    }
    const cores = navigator.hardwareConcurrency || 2;
    const wanted = asked > 0 ? asked : cores;
    return Math.max(1, Math.min(wanted, 8));
}

export function createTracer(threads) {
    const tracer = {
        worker: new Worker("trace_worker.js"),
        threads: threads,
        busy: false,
        nextId: 1,
        waiting: new Map(), // id -> resolve
        onError: null,
    };
    tracer.ready = new Promise((resolve, reject) => {
        tracer.worker.onmessage = (event) => {
            const message = event.data;
            if (message.type === "ready") {
                tracer.threads = message.threads;
                resolve(message);
            } else if (message.type === "frame" || message.type === "demo") {
                const key = message.type === "frame" ? message.id : "demo";
                const done = tracer.waiting.get(key);
                tracer.waiting.delete(key);
                done(message);
            } else if (message.type === "error") {
                reject(new Error(message.text));
                if (tracer.onError) {
                    tracer.onError(message.text);
                }
            }
        };
        tracer.worker.onerror = (event) => reject(new Error(event.message || "the trace worker failed to load"));
    });
    tracer.worker.postMessage({ type: "start", threads: threads });
    return tracer;
}

// One frame from `input` ({pcm} or {block}; a new `title`, `requestTitle` for SPACE), at
// `width` x `height`: resolves with the worker's reply.
export function traceFrame(tracer, input, width, height) {
    const id = tracer.nextId++;
    tracer.busy = true;
    return new Promise((resolve) => {
        tracer.waiting.set(id, (message) => {
            tracer.busy = false;
            resolve(message);
        });
        tracer.worker.postMessage(Object.assign({ type: "frame", id: id, width: width, height: height }, input));
    });
}

// The demo tune's loop as {left, right, rate}.
export function demoTune(tracer) {
    return new Promise((resolve) => {
        tracer.waiting.set("demo", resolve);
        tracer.worker.postMessage({ type: "demo" });
    });
}
