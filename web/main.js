// The page: starts the tracer in its worker, the sound on a click, and shows
// one frame of the visualisation every 60th of a second, from the demo tune,
// the user's files, an input device or a tab's sound.
import { fillBlock, BLOCK_FRAMES } from "./audio.js";
import { element, page, params, say } from "./page_state.js";
import { fitCanvas, frameSize, setSharp, showFrame } from "./screen.js";
import { captureMicrophone, captureTab, ensureAudio, nextFile, playDemo, playFile, takeFiles } from "./sources.js";
import { chooseThreads, createTracer, hasWasmSimd, traceFrame } from "./trace_client.js";

const FRAME_PERIOD_MS = 1000 / 60; // one animation step per frame, as the plug-in's player paces it
const EARLY_MS = 2;                // a display frame this close to the due time takes the step
const FRAME_LOG_LENGTH = 600;      // live frames the test hook can look back on

// One live frame: the block heard now, the title if SPACE asked for it.
async function liveFrame() {
    const pcm = new Int16Array(BLOCK_FRAMES * 2);
    fillBlock(page.audio, pcm);
    const input = { pcm: pcm, requestTitle: page.titlePending };
    page.titlePending = false;
    if (page.title !== page.titleSent) {
        input.title = page.title; // a change shows from the next frame, as the plug-in asks every frame
        page.titleSent = page.title;
    }
    const [width, height] = frameSize();
    const message = await traceFrame(page.tracer, input, width, height);
    page.frameLog.push({ block: message.block, radius: message.radius });
    if (page.frameLog.length > FRAME_LOG_LENGTH) {
        page.frameLog.shift();
    }
    showFrame(message);
}

// Each display frame: a new frame when one is due; a late one moves the
// schedule on rather than hurrying the next, so the motion keeps 60 steps a
// second on any refresh rate and never more.
function tick(now) {
    requestAnimationFrame(tick);
    fitCanvas();
    if (!page.live || page.tracer.busy || now < page.due - EARLY_MS) {
        return;
    }
    page.due = now - page.due > FRAME_PERIOD_MS ? now + FRAME_PERIOD_MS : page.due + FRAME_PERIOD_MS;
    liveFrame().catch((error) => say(`tracing failed: ${error.message}`, true));
}

function toggleFullscreen() {
    if (document.fullscreenElement) {
        document.exitFullscreen().catch(() => {});
    } else {
        document.documentElement.requestFullscreen().catch((error) => say(`No full screen: ${error.message}`, true));
    }
}

function handleKey(event) {
    if (event.ctrlKey || event.altKey || event.metaKey || event.target.tagName === "SELECT") {
        return;
    }
    const key = event.key.toLowerCase();
    if (key === " ") {
        // Held down, each repeat restarts the ten frames, as in the plug-in.
        event.preventDefault();
        page.titlePending = page.live;
    } else if (key === "f" && !event.repeat) {
        toggleFullscreen();
    } else if (key === "i" && !event.repeat) {
        page.showFps = !page.showFps;
        element("fps").hidden = !page.showFps;
    } else if (key === "n" || key === "p") {
        nextFile(key === "n" ? 1 : -1);
    } else if (key === "s" && !event.repeat) {
        setSharp(!page.sharp);
    }
}

// The controls fade while the mouse rests.
function wakeBar() {
    const bar = element("bar");
    bar.classList.remove("idle");
    clearTimeout(page.barTimer);
    page.barTimer = setTimeout(() => bar.classList.add("idle"), 4000);
}

function wireControls() {
    const clicked = (id, routine) => element(id).addEventListener("click", (event) => {
        event.currentTarget.blur(); // SPACE must not click it again
        routine().catch((error) => say(error.message, true));
    });
    clicked("start-button", () => (page.playlist.entries.length > 0 ? ensureAudio().then(() => playFile(1))
                                                                     : playDemo()));
    clicked("source-demo", playDemo);
    clicked("source-microphone", () => captureMicrophone(element("device-select").value || undefined));
    element("device-select").addEventListener("change", (event) => captureMicrophone(event.target.value));
    element("file-input").addEventListener("change", (event) => {
        takeFiles(event.target.files).catch((error) => say(error.message, true));
        event.target.value = "";
    });
    if (!navigator.mediaDevices || !navigator.mediaDevices.getDisplayMedia) {
        const tab = element("source-tab");
        tab.disabled = true;
        tab.title = "This browser does not offer a tab's or the screen's sound to pages.";
        tab.textContent = "Tab or screen sound: not offered by this browser";
    } else {
        clicked("source-tab", captureTab);
    }
    element("sharp").checked = page.sharp;
    element("sharp").addEventListener("change", (event) => setSharp(event.target.checked));
    window.addEventListener("keydown", handleKey);
    page.canvas.addEventListener("dblclick", toggleFullscreen);
    window.addEventListener("mousemove", wakeBar);
    window.addEventListener("dragover", (event) => {
        event.preventDefault();
        document.body.classList.add("dragging");
    });
    window.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
    window.addEventListener("drop", (event) => {
        event.preventDefault();
        document.body.classList.remove("dragging");
        takeFiles(event.dataTransfer.files).catch((error) => say(error.message, true));
    });
    wakeBar();
}

// For the tests in a browser: frames from given blocks, and a look inside.
function installTestHook(ready) {
    window.raysphere = {
        ready: ready,
        // Frames from `blocks` (2 x 576 bytes each), from the scene's first
        // step on, at 320 x 200 or in the sharp mode; the last one shows.
        async renderBlocks(blocks, sharp) {
            page.live = false;
            setSharp(sharp);
            fitCanvas();
            const [width, height] = frameSize();
            const radii = [];
            for (let at = 0; at < blocks.length; at += 1152) {
                const message = await traceFrame(page.tracer, { block: blocks.slice(at, at + 1152) }, width, height);
                radii.push(message.radius);
                showFrame(message);
            }
            return { width: width, height: height, radii: radii };
        },
        trace: (input, width, height) => traceFrame(page.tracer, input, width, height),
        // Holds the live frames (the last one stays shown); the sound goes on.
        pause() {
            page.live = false;
            return page.audio.context ? page.audio.context.sampleRate : 0;
        },
        resume() {
            page.live = true;
            page.due = performance.now();
        },
        frameLog: () => page.frameLog,
        status: () => ({ source: page.source, title: page.title, live: page.live, shown: page.shown, fps: page.fps,
                         threads: page.tracer.threads, isolated: self.crossOriginIsolated,
                         fullscreen: document.fullscreenElement !== null, message: element("message").textContent,
                         nowPlaying: element("now-playing").textContent,
                         playlist: page.playlist.entries.map((e) => ({ name: e.file.name, title: e.title,
                                                                         failed: e.failed || "" })),
                         index: page.playlist.index }),
    };
}

async function boot() {
    fitCanvas();
    if (!hasWasmSimd()) {
        element("start-note").textContent =
            "This browser cannot run the tracer: it needs WebAssembly with 128-bit SIMD (Chrome or Edge 91, " +
            "Firefox 89, Safari 16.4 or later).";
        window.raysphere = { ready: Promise.reject(new Error("no WebAssembly SIMD")) };
        return;
    }
    const threads = chooseThreads(parseInt(params.get("threads") || "0", 10));
    page.tracer = createTracer(threads);
    // Threads that cannot start leave one thread, which any page can load.
    const started = page.tracer.ready.catch((error) => {
        if (threads === 1) {
            throw error;
        }
        page.tracer.worker.terminate();
        page.tracer = createTracer(1);
        say(`Tracing on one thread: the threads did not start (${error.message}).`, true);
        return page.tracer.ready;
    });
    const ready = started.then((started) => {
        page.tracer.onError = (text) => say(`The tracer failed: ${text}`, true);
        element("threads-note").textContent = started.threads > 1
            ? `traced on ${started.threads} threads`
            : "traced on one thread (threads need the page served cross-origin isolated)";
        element("start-note").textContent = "Sound starts with the click. Or choose files, a microphone or a tab below.";
        element("start-button").disabled = false;
        return started;
    });
    ready.catch((error) => {
        element("start-note").textContent = `The tracer could not start: ${error.message}`;
    });
    installTestHook(ready);
    wireControls();
    requestAnimationFrame(tick);
}

boot();
