// The library's side of the trace worker: starts it on the build the page
// can load and asks it for frames; every request is settled, by a reply or
// by an error, so that no frame waits for ever.

// Whether this browser runs 128-bit WebAssembly SIMD: a function returning
// a v128 constant must validate.
export function hasWasmSimd() {
    const module = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 22, 1, 20,
                                   0, 253, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11]);
    return typeof WebAssembly === "object" && WebAssembly.validate(module);
}

export const MAX_THREADS = 8; // the most tracer threads asked for

// Tracer threads: more than one only where shared memory is offered, which
// needs the page to be cross-origin isolated. `asked` (0 for the cores'
// count) overrides the count, never the rule.
export function chooseThreads(asked) {
    if (!self.crossOriginIsolated || typeof SharedArrayBuffer === "undefined") {
        return 1;
    }
    const cores = navigator.hardwareConcurrency || 2;
    const wanted = asked > 0 ? asked : cores;
    return Math.max(1, Math.min(wanted, MAX_THREADS));
}

// Settles every request still waiting with `error`.
function failAll(tracer, error) {
    for (const waiting of tracer.waiting.values()) {
        waiting.reject(error);
    }
    tracer.waiting.clear();
    tracer.busy = 0;
}

// Starts a worker tracing on `threads` threads; `ready` resolves with
// {threads, build} once the core runs.
export function createTracer(threads) {
    const core = threads > 1 ? "raysphere_core_mt.js" : "raysphere_core_st.js";
    const tracer = {
        worker: new Worker(new URL("./trace_worker.js", import.meta.url)),
        threads: threads,
        busy: 0,            // requests in flight
        nextId: 1,
        waiting: new Map(), // id -> {resolve, reject}
        broken: null,       // why the worker stopped, once it has
        onNotice: null,     // what the worker says outside any request
    };
    tracer.ready = new Promise((resolve, reject) => {
        tracer.worker.onmessage = (event) => {
            const message = event.data;
            if (message.type === "ready") {
                tracer.threads = message.threads;
                resolve(message);
                return;
            }
            if (message.type === "notice") {
                if (tracer.onNotice) {
                    tracer.onNotice(message.text);
                }
                return;
            }
            const waiting = tracer.waiting.get(message.id);
            if (message.id === undefined || !waiting) {
                reject(new Error(message.text || "the trace worker failed"));
                return;
            }
            tracer.waiting.delete(message.id);
            tracer.busy--;
            if (message.type === "error") {
                const error = new Error(message.text);
                error.width = message.width;
                error.height = message.height;
                waiting.reject(error);
            } else {
                waiting.resolve(message);
            }
        };
        tracer.worker.onerror = (event) => {
            event.preventDefault();
            const error = new Error(event.message || "the trace worker failed to load");
            tracer.broken = error;
            reject(error);
            failAll(tracer, error);
        };
    });
    tracer.worker.postMessage({ type: "start", threads: threads, coreUrl: new URL(`./${core}`, import.meta.url).href });
    return tracer;
}

function request(tracer, message, transfer = []) {
    if (tracer.broken) {
        return Promise.reject(tracer.broken);
    }
    const id = tracer.nextId++;
    tracer.busy++;
    return new Promise((resolve, reject) => {
        tracer.waiting.set(id, { resolve: resolve, reject: reject });
        tracer.worker.postMessage(Object.assign({ id: id }, message), transfer);
    });
}

// One frame from `input` ({pcm} or {block}; a new `title`, `requestTitle`
// for a title shown), at `width` x `height`: resolves with the worker's
// reply, rejects with what went wrong.
export function traceFrame(tracer, input, width, height) {
    return request(tracer, Object.assign({ type: "frame", width: width, height: height }, input));
}

// One step of motion from `input` without a frame (a frame that would come
// too late): nothing is answered or waited for.
export function advanceMotion(tracer, input) {
    if (!tracer.broken) {
        tracer.worker.postMessage(Object.assign({ type: "advance" }, input));
    }
}

// The built-in scenes' names, "classic" first.
export function sceneNames(tracer) {
    return request(tracer, { type: "scenes" }).then((message) => message.names);
}

// The demo tune's loop as {left, right, rate}.
export function demoTune(tracer) {
    return request(tracer, { type: "demo" });
}

export function stopTracer(tracer) {
    tracer.worker.terminate();
    const error = new Error("the visualiser was destroyed");
    tracer.broken = error;
    failAll(tracer, error);
}
