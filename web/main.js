// The page: starts the tracer in its worker, the sound on a click, and shows
// one frame of the visualisation every 60th of a second, from the demo tune,
// the user's files, an input device or a tab's sound.
import { captureStream, createAudio, fillBlock, playBuffer, startAudio, stopSource, BLOCK_FRAMES } from "./audio.js";
import { addFiles, createPlaylist, currentEntry, stepPlaylist } from "./playlist.js";
import { titleOfFile } from "./tags.js";
import { chooseThreads, createTracer, demoTune, hasWasmSimd, traceFrame } from "./trace_client.js";

const FRAME_PERIOD_MS = 1000 / 60; // one animation step per frame, as the plug-in's player paces it
const EARLY_MS = 2;                // a display frame this close to the due time takes the step
const FRAME_LOG_LENGTH = 600;      // live frames the test hook can look back on
const params = new URLSearchParams(location.search);
const element = (id) => document.getElementById(id);

const page = {
    canvas: element("screen"),
    context: element("screen").getContext("2d"),
    frameCanvas: document.createElement("canvas"), // the 320 x 200 frame before scaling
    tracer: null,
    audio: createAudio(),
    playlist: createPlaylist(),
    source: "none",    // "demo", "file", "microphone", "tab" or "none"
    title: "",         // what SPACE shows for the source
    titleSent: "",     // the title the worker has
    titlePending: false,
    sharp: params.has("sharp"),
    live: false,       // frames follow the sound on the 60 fps clock
    due: 0,            // when the next frame is due (performance.now)
    shown: 0,          // frames shown
    fps: 0,            // measured over the last second
    fpsStart: 0,
    fpsFrames: 0,
    showFps: false,
    lastFrame: null,   // the last 320 x 200 frame's pixels, redrawn when the window changes
    frameLog: [],      // {block, radius} of recent live frames, for the tests
    demoBuffer: null,
};
page.frameCanvas.width = 320;
page.frameCanvas.height = 200;

// Says something on the page; a problem shows in red until the next message.
function say(text, problem = false) {
    const message = element("message");
    message.textContent = text;
    message.classList.toggle("problem", problem);
}

// The canvas at the window's device pixels.
function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(2, Math.round(page.canvas.clientWidth * ratio));
    const height = Math.max(2, Math.round(page.canvas.clientHeight * ratio));
    if (page.canvas.width !== width || page.canvas.height !== height) {
        page.canvas.width = width;
        page.canvas.height = height;
        if (page.lastFrame && !page.sharp) {
            drawScaled();
        }
    }
}

// The 320 x 200 frame as large as it fits, in its shape, centred on black,
// its pixels kept sharp.
function drawScaled() {
    const { canvas, context } = page;
    const scale = Math.min(canvas.width / 320, canvas.height / 200);
    const width = Math.round(320 * scale);
    const height = Math.round(200 * scale);
    context.fillStyle = "#000";
    context.fillRect(0, 0, canvas.width, canvas.height);
    context.imageSmoothingEnabled = false;
    context.drawImage(page.frameCanvas, Math.floor((canvas.width - width) / 2),
                      Math.floor((canvas.height - height) / 2), width, height);
}

function showFrame(message) {
    const image = new ImageData(new Uint8ClampedArray(message.pixels.buffer), message.width, message.height);
    if (message.width === 320 && message.height === 200) {
        page.frameCanvas.getContext("2d").putImageData(image, 0, 0);
        page.lastFrame = image;
        drawScaled();
    } else {
        page.context.putImageData(image, 0, 0);
    }
    page.shown++;
    page.fpsFrames++;
    const now = performance.now();
    if (now - page.fpsStart >= 1000) {
        page.fps = (page.fpsFrames * 1000) / (now - page.fpsStart);
        page.fpsStart = now;
        page.fpsFrames = 0;
        element("fps").textContent = `${page.fps.toFixed(1)} fps of 60, ${message.width} x ${message.height}, ` +
                                     `${message.ms.toFixed(1)} ms a frame on ${page.tracer.threads} ` +
                                     `thread${page.tracer.threads > 1 ? "s" : ""}`;
    }
}

// The size to trace: the plug-in's frame, or the canvas's device pixels.
function frameSize() {
    return page.sharp ? [page.canvas.width, page.canvas.height] : [320, 200];
}

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

// Opens the sound on the first click, and starts the frames.
async function ensureAudio() {
    if (!page.audio.context) {
        await startAudio(page.audio);
    }
    await page.audio.context.resume();
    element("start").hidden = true;
    if (!page.live) {
        page.live = true;
        page.due = performance.now();
        page.fpsStart = page.due;
    }
}

function nowPlaying(text) {
    element("now-playing").textContent = text;
}

async function playDemo() {
    await ensureAudio();
    if (!page.demoBuffer) {
        const tune = await demoTune(page.tracer);
        page.demoBuffer = new AudioBuffer({ numberOfChannels: 2, length: tune.left.length, sampleRate: tune.rate });
        page.demoBuffer.copyToChannel(tune.left, 0);
        page.demoBuffer.copyToChannel(tune.right, 1);
    }
    playBuffer(page.audio, page.demoBuffer, true, () => {});
    page.source = "demo";
    page.title = "Demo tune";
    nowPlaying("Playing the demo tune");
}

// Plays the playlist's current file; one that cannot be decoded is named
// with the reason and skipped in the direction of travel.
async function playFile(direction) {
    const list = page.playlist;
    for (let tries = 0; tries < list.entries.length; tries++) {
        const entry = currentEntry(list);
        let buffer = null;
        let reason = "";
        try {
            const bytes = await entry.file.arrayBuffer();
            entry.title = titleOfFile(new Uint8Array(bytes), entry.file.name);
            if (bytes.byteLength === 0) {
                reason = "the file is empty";
            } else {
                buffer = await page.audio.context.decodeAudioData(bytes);
            }
        } catch (error) {
            reason = `the browser cannot decode it (${error.name}: ${error.message})`;
        }
        if (buffer) {
            playBuffer(page.audio, buffer, false, () => nextFile(1, true));
            page.source = "file";
            page.title = entry.title;
            nowPlaying(`Playing ${entry.file.name} (${list.index + 1} of ${list.entries.length}): ${entry.title}`);
            return true;
        }
        entry.failed = reason;
        say(`Cannot play ${entry.file.name}: ${reason}; skipped.`, true);
        if (!stepPlaylist(list, direction)) {
            break;
        }
    }
    stopSource(page.audio);
    page.source = "none";
    page.title = "";
    nowPlaying(`No playable file ${direction > 0 ? "after" : "before"} it in the playlist; the spheres move on in silence.`);
    return false;
}

// N and P, and the end of a file.
async function nextFile(direction, ended = false) {
    if (page.source !== "file") {
        return;
    }
    if (!stepPlaylist(page.playlist, direction)) {
        if (ended) {
            stopSource(page.audio);
            page.source = "none";
            nowPlaying("The playlist has ended; the spheres move on in silence.");
        } else {
            say(direction > 0 ? "This is the last file." : "This is the first file.");
        }
        return;
    }
    await playFile(direction);
}

async function takeFiles(files) {
    const audioFiles = Array.from(files);
    if (audioFiles.length === 0) {
        return;
    }
    await ensureAudio();
    addFiles(page.playlist, audioFiles);
    say(`${audioFiles.length} file${audioFiles.length > 1 ? "s" : ""} added to the playlist.`);
    await playFile(1);
}

// The input devices, once a permission lets the browser name them.
async function listDevices(chosen) {
    const select = element("device-select");
    const devices = (await navigator.mediaDevices.enumerateDevices()).filter((d) => d.kind === "audioinput");
    select.replaceChildren(...devices.map((device, i) => new Option(device.label || `Input ${i + 1}`,
                                                                    device.deviceId, false,
                                                                    device.deviceId === chosen)));
    select.hidden = devices.length === 0;
}

async function captureMicrophone(deviceId) {
    await ensureAudio();
    if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
        say("This browser offers no microphone to pages (they need https or localhost).", true);
        return;
    }
    let stream;
    try {
        stream = await navigator.mediaDevices.getUserMedia({
            audio: { deviceId: deviceId ? { exact: deviceId } : undefined, echoCancellation: false,
                     noiseSuppression: false, autoGainControl: false },
        });
    } catch (error) {
        say(error.name === "NotAllowedError"
                ? "The microphone was refused: allow it for this page in the browser's site settings to use it."
                : error.name === "NotFoundError" ? "No microphone or other input device was found."
                                                 : `The input device could not be opened (${error.name}: ${error.message}).`,
            true);
        return;
    }
    const track = stream.getAudioTracks()[0];
    captureStream(page.audio, stream);
    page.source = "microphone";
    page.title = track.label || "Microphone";
    nowPlaying(`Listening to ${page.title}`);
    say("");
    await listDevices(track.getSettings().deviceId);
}

async function captureTab() {
    await ensureAudio();
    let stream;
    try {
        stream = await navigator.mediaDevices.getDisplayMedia({ video: true, audio: true, systemAudio: "include" });
    } catch (error) {
        say(error.name === "NotAllowedError" ? "Sharing a tab's or the screen's sound was refused or cancelled."
                                              : `Sharing could not start (${error.name}: ${error.message}).`,
            true);
        return;
    }
    const track = stream.getAudioTracks()[0];
    if (!track) {
        stream.getTracks().forEach((t) => t.stop());
        say("No sound came with that share: this browser offers sound only for some shares (in Chrome, a tab with " +
                "\"Share tab audio\" ticked), or none at all.",
            true);
        return;
    }
    captureStream(page.audio, stream);
    page.source = "tab";
    page.title = track.label || "Tab or screen sound";
    nowPlaying(`Listening to ${page.title}`);
    say("");
}

function toggleFullscreen() {
    if (document.fullscreenElement) {
        document.exitFullscreen().catch(() => {});
    } else {
        document.documentElement.requestFullscreen().catch((error) => say(`No full screen: ${error.message}`, true));
    }
}

function setSharp(on) {
    page.sharp = on;
    element("sharp").checked = on;
    if (!on && page.lastFrame) {
        drawScaled();
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
