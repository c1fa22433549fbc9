// The trace worker: the core compiled to WebAssembly runs here, so the page's
// own thread stays free while a frame, however large, is traced. The
// threaded build spreads a sharp frame's rows over its own workers, one
// fewer than the threads it traces on (this worker is the other).
"use strict";

let core = null;  // the instantiated module
let frames = 0;   // frames made, for the page's checks

const FRAME_BUDGET_MS = 1000 / 60; // a live frame's share of a second
// The adapting sharp mode's level (raysphere's --size window), chosen anew
// for each canvas size.
const sharpLevel = { level: 0, width: 0, height: 0 };

// The size to trace for a request: as asked, or, adapting, the level's
// share of the canvas.
function tracedSize(message) {
    if (!message.adapt) {
        return [message.width, message.height];
    }
    if (message.width !== sharpLevel.width || message.height !== sharpLevel.height) {
        Object.assign(sharpLevel, { level: 0, width: message.width, height: message.height });
    }
    const packed = core._webLevelSize(message.width, message.height, sharpLevel.level);
    return [packed >>> 16, packed & 0xffff];
}

// Loads the build the page chose, from the URL it gives, and starts the scene.
async function start(message) {
    const url = message.coreUrl;
    importScripts(url);
    core = await createRaysphereCore({
        mainScriptUrlOrBlob: url,
        locateFile: (file) => new URL(file, url).href,
        raysphereWorkers: message.threads - 1, // read by the pool's start (PTHREAD_POOL_SIZE)
    });
    const threads = core._webStart(message.threads);
    postMessage({ type: "ready", threads: threads, build: url.replace(/^.*\//, "") });
}

// Hands the page's block to the core: 576 interleaved stereo 16-bit samples,
// or a ready-made block of 2 x 576 bytes.
function takeBlock(message) {
    if (message.pcm) {
        core.HEAP16.set(message.pcm, core._webPcm() >> 1);
        core._webBlockFromPcm();
    } else {
        core.HEAPU8.set(message.block, core._webBlock());
    }
}

// A string handed to the core for the length of one call.
function withString(text, routine) {
    const bytes = core.lengthBytesUTF8(text) + 1;
    const pointer = core._malloc(bytes);
    if (pointer === 0) {
        return false;
    }
    core.stringToUTF8(text, pointer, bytes);
    const result = routine(pointer);
    core._free(pointer);
    return result;
}

// A scene asked for with a frame: by name, or `sceneStep` scenes on.
function changeScene(message) {
    if (message.scene !== undefined && !withString(message.scene, (name) => core._webScene(name))) {
        postMessage({ type: "notice", text: `there is no scene "${message.scene}"` });
    }
    if (message.sceneStep) {
        core._webStepScene(message.sceneStep);
    }
}

// One frame, returned as RGBA bytes the page owns; a frame that cannot be
// made is answered with an error naming it.
function frame(message) {
    takeBlock(message);
    changeScene(message);
    if (message.title !== undefined) {
        withString(message.title, (text) => core._webSetTitle(text));
    }
    if (message.requestTitle) {
        core._webRequestTitle();
    }
    const [width, height] = tracedSize(message);
    const started = performance.now();
    const pointer = core._webFrame(width, height, 2);
    const ms = performance.now() - started;
    if (pointer === 0) {
        postMessage({ type: "error", id: message.id, width: width, height: height,
                      text: `a ${width} x ${height} frame cannot be made (too large, or no memory)` });
        return;
    }
    if (message.adapt) {
        sharpLevel.level = core._webNextLevel(message.width, message.height, sharpLevel.level, ms, FRAME_BUDGET_MS);
    }
    const bytes = width * height * 4;
    // A copy: the module's memory may be shared and may grow.
    const pixels = new Uint8Array(bytes);
    pixels.set(new Uint8Array(core.HEAPU8.buffer, pointer, bytes));
    const block = new Uint8Array(core.HEAPU8.buffer, core._webBlock(), 1152).slice();
    frames++;
    postMessage({ type: "frame", id: message.id, width: width, height: height, pixels: pixels, block: block,
                  plugin: !message.adapt && width === 320 && height === 200, level: message.adapt ? sharpLevel.level : 0, radius: core._webCentreRadius(), ms: ms, frames: frames,
                  scene: core.UTF8ToString(core._webSceneName()) }, [pixels.buffer]);
}

// The demo tune's four-second loop as two planes of floats.
function demoTune(message) {
    const samples = 176400;
    const pointer = core._webDemoTune();
    if (pointer === 0) {
        postMessage({ type: "error", id: message.id, text: "no memory for the demo tune" });
        return;
    }
    const planes = new Float32Array(core.HEAPU8.buffer, pointer, samples * 2).slice();
    core._webFree(pointer);
    postMessage({ type: "demo", id: message.id, left: planes.subarray(0, samples), right: planes.subarray(samples),
                  rate: 44100 }, [planes.buffer]);
}

onmessage = (event) => {
    const message = event.data;
    try {
        if (message.type === "start") {
            start(message).catch((error) => postMessage({ type: "error", text: String(error) }));
        } else if (message.type === "frame") {
            frame(message);
        } else if (message.type === "advance") {
            // A step of motion whose frame is not traced: no answer.
            takeBlock(message);
            changeScene(message);
            core._webAdvance(2);
        } else if (message.type === "scenes") {
            postMessage({ type: "scenes", id: message.id, names: core.UTF8ToString(core._webSceneNames()).split("\n") });
        } else if (message.type === "demo") {
            demoTune(message);
        }
    } catch (error) {
        // Whatever the core threw answers the request it belongs to.
        postMessage({ type: "error", id: message.id, text: String(error && error.message ? error.message : error) });
    }
};
