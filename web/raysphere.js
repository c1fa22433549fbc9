// The visualiser as a library: ray-traced mirror spheres on a canvas that
// follow the sound of any Web Audio node. Each instance has its own trace
// worker (the core compiled to WebAssembly), its own tap and its own frame
// clock of 60 steps a second; the picture is the plug-in's 320 x 200 frame
// enlarged, or in the sharp mode every pixel of the canvas traced.
import { BLOCK_FRAMES, closeTap, createTap, fillBlock, tapNode, toPcm16, untapAll } from "./audio.js";
import { advanceMotion, chooseThreads, createTracer, demoTune, hasWasmSimd, sceneNames, stopTracer,
         traceFrame } from "./trace_client.js";

const FRAME_PERIOD_MS = 1000 / 60; // one animation step per frame, as the plug-in's player paces it
const EARLY_MS = 2;                // a display frame this close to the due time takes the step
const PLUGIN_WIDTH = 320;          // the plug-in's frame
const PLUGIN_HEIGHT = 200;
const BLOCK_BYTES = 1152;          // one block: 576 bytes a channel

export { hasWasmSimd };

// The 320 x 200 frame as large as it fits, in its shape, centred on black,
// its pixels kept sharp.
function drawScaled(vis) {
    const { canvas, context } = vis;
    const scale = Math.min(canvas.width / PLUGIN_WIDTH, canvas.height / PLUGIN_HEIGHT);
    const width = Math.round(PLUGIN_WIDTH * scale);
    const height = Math.round(PLUGIN_HEIGHT * scale);
    context.fillStyle = "#000";
    context.fillRect(0, 0, canvas.width, canvas.height);
    context.imageSmoothingEnabled = false;
    context.drawImage(vis.frameCanvas, Math.floor((canvas.width - width) / 2),
                      Math.floor((canvas.height - height) / 2), width, height);
}

// The canvas at its own device pixels.
function fitCanvas(vis) {
    const ratio = window.devicePixelRatio || 1;
    const canvas = vis.canvas;
    const width = Math.max(2, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(2, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
        if (vis.hasFrame && !vis.sharp) {
            drawScaled(vis);
        }
    }
}

function showFrame(vis, message) {
    const image = new ImageData(new Uint8ClampedArray(message.pixels.buffer), message.width, message.height);
    if (message.plugin) {
        vis.frameCanvas.getContext("2d").putImageData(image, 0, 0);
        vis.hasFrame = true;
        drawScaled(vis);
    } else if (message.width === vis.canvas.width && message.height === vis.canvas.height) {
        vis.context.putImageData(image, 0, 0);
    } else {
        // A smaller sharp frame, in the canvas's shape: enlarged without smoothing.
        const level = vis.levelCanvas;
        if (level.width !== message.width || level.height !== message.height) {
            level.width = message.width;
            level.height = message.height;
        }
        level.getContext("2d").putImageData(image, 0, 0);
        vis.context.imageSmoothingEnabled = false;
        vis.context.drawImage(level, 0, 0, vis.canvas.width, vis.canvas.height);
    }
    vis.stats.shown++;
    vis.fpsFrames++;
    const now = performance.now();
    if (now - vis.fpsStart >= 1000) {
        vis.stats.fps = (vis.fpsFrames * 1000) / (now - vis.fpsStart);
        vis.fpsStart = now;
        vis.fpsFrames = 0;
    }
    Object.assign(vis.stats, { width: message.width, height: message.height, ms: message.ms, level: message.level });
}

// The size to trace: the plug-in's frame, or the canvas's device pixels.
function frameSize(vis) {
    return vis.sharp ? [vis.canvas.width, vis.canvas.height] : [PLUGIN_WIDTH, PLUGIN_HEIGHT];
}

// The block of the demo tune at this moment of its silent loop.
function fillDemoBlock(vis, pcm) {
    const tune = vis.demo;
    const length = tune.left.length;
    const first = Math.floor(((performance.now() - vis.demoStart) * tune.rate) / 1000);
    for (let i = 0; i < BLOCK_FRAMES; i++) {
        const at = (first + i) % length;
        pcm[i * 2] = toPcm16(tune.left[at]);
        pcm[i * 2 + 1] = toPcm16(tune.right[at]);
    }
}

function report(vis, text) {
    if (vis.onError) {
        vis.onError(text);
    } else {
        console.warn(`raysphere: ${text}`);
    }
}

// The scene change asked for since the last step, into a request.
function takeSceneChange(vis, input, now) {
    if (vis.cycleMs > 0 && now - vis.cycleStart >= vis.cycleMs) {
        vis.cycleStart = now;
        vis.sceneStep++; // the cycle: the next scene's turn
    }
    if (vis.sceneWanted !== null) {
        input.scene = vis.sceneWanted;
        vis.sceneWanted = null;
    }
    if (vis.sceneStep !== 0) {
        input.sceneStep = vis.sceneStep;
        vis.sceneStep = 0;
    }
    return input;
}

// The block heard now (the demo tune's, silently, until a node is first
// connected), with the scene change asked for since the last step.
function liveInput(vis, now) {
    const pcm = new Int16Array(BLOCK_FRAMES * 2);
    if (vis.demo && !vis.connected) {
        fillDemoBlock(vis, pcm);
    } else {
        fillBlock(vis.tap, pcm);
    }
    return takeSceneChange(vis, { pcm: pcm }, now);
}

// One live frame of the block heard now, the title if asked for.
async function liveFrame(vis, now) {
    const input = liveInput(vis, now);
    input.requestTitle = vis.titlePending;
    vis.titlePending = false;
    if (vis.title !== vis.titleSent) {
        input.title = vis.title; // a change shows from the next frame, as the plug-in asks every frame
        vis.titleSent = vis.title;
    }
    const [width, height] = frameSize(vis);
    input.adapt = vis.sharp && vis.adapt;
    let message;
    try {
        message = await traceFrame(vis.tracer, input, width, height);
    } catch (error) {
        if (vis.destroyed) {
            return;
        }
        // A sharp size the core cannot make: back to the plug-in's frame.
        if (vis.sharp) {
            setSharp(vis, false);
            report(vis, `${error.message}; back to the ${PLUGIN_WIDTH} x ${PLUGIN_HEIGHT} frame`);
        } else if (error.width === PLUGIN_WIDTH && error.height === PLUGIN_HEIGHT) {
            report(vis, `a frame failed: ${error.message}`);
        }
        return;
    }
    if (vis.destroyed || !vis.live) {
        return;
    }
    showFrame(vis, message);
    takeSceneName(vis, message);
    if (vis.onFrame) {
        vis.onFrame(message);
    }
}

// The scene a frame was traced in, told when it changes.
function takeSceneName(vis, message) {
    if (message.scene !== vis.scene) {
        vis.scene = message.scene;
        if (vis.onScene) {
            vis.onScene(vis.scene);
        }
    }
}

// Each display frame: a new frame when one is due; a late one moves the
// schedule on rather than hurrying the next, so the motion keeps 60 steps a
// second on any refresh rate and never more. A step due while the worker
// still traces moves the scene without a frame: the motion keeps its pace
// even where no frame size keeps up.
function tick(vis, now) {
    if (vis.destroyed) {
        return;
    }
    vis.animation = requestAnimationFrame((time) => tick(vis, time));
    fitCanvas(vis);
    // Sharp frames two at a time: the worker traces one while the other comes back.
    const inFlight = vis.sharp ? 2 : 1;
    if (!vis.live || !vis.started || now < vis.due - EARLY_MS) {
        return;
    }
    vis.due = now - vis.due > FRAME_PERIOD_MS ? now + FRAME_PERIOD_MS : vis.due + FRAME_PERIOD_MS;
    if (vis.tracer.busy >= inFlight) {
        advanceMotion(vis.tracer, liveInput(vis, now));
        vis.stats.skipped++;
        return;
    }
    liveFrame(vis, now);
}

function setSharp(vis, on) {
    vis.sharp = Boolean(on);
    if (!vis.sharp && vis.hasFrame) {
        drawScaled(vis);
    }
    if (vis.onSharp) {
        vis.onSharp(vis.sharp);
    }
}

// Creates a visualiser drawing on `canvas` (see raysphere.d.ts for the
// options and the object returned).
export function createRaysphere(canvas, options = {}) {
    const vis = {
        canvas: canvas,
        context: canvas.getContext("2d"),
        frameCanvas: document.createElement("canvas"), // the 320 x 200 frame before scaling
        levelCanvas: document.createElement("canvas"), // a sharp frame smaller than the canvas, before scaling
        tracer: null,
        tap: createTap(),
        audioContext: options.audioContext || null,
        sharp: Boolean(options.sharp),
        adapt: options.adapt !== false, // the sharp mode's size follows what the machine keeps up with
        live: options.live !== false,  // frames on the 60 fps clock
        started: false,                // the tracer runs
        destroyed: false,
        due: 0,                        // when the next frame is due (performance.now)
        animation: 0,                  // the requestAnimationFrame handle
        title: "",                     // what a title request shows
        titleSent: "",                 // the title the worker has
        titlePending: false,
        hasFrame: false,               // a 320 x 200 frame is in frameCanvas
        demo: null,                    // the demo tune's planes, for the silent picture
        connected: false,              // a node has been connected: the demo's picture is over
        demoStart: 0,
        fpsStart: 0,
        fpsFrames: 0,
        stats: { shown: 0, skipped: 0, fps: 0, width: 0, height: 0, ms: 0, level: 0 },
        scene: "",                     // the scene of the last frame
        sceneWanted: options.scene === undefined ? null : String(options.scene), // staged with the next step
        sceneStep: 0,                  // scenes to step on with the next step
        cycleMs: options.cycle > 0 ? options.cycle * 1000 : 0, // a scene's turn when cycling, 0: no cycling
        cycleStart: performance.now(),
        onScene: options.onScene || null,
        onFrame: options.onFrame || null,
        onError: options.onError || null,
        onSharp: null,
    };
    vis.frameCanvas.width = PLUGIN_WIDTH;
    vis.frameCanvas.height = PLUGIN_HEIGHT;

    let ready;
    if (!hasWasmSimd()) {
        ready = Promise.reject(new Error("this browser cannot run the tracer: it needs WebAssembly with 128-bit SIMD"));
    } else {
        const threads = chooseThreads(options.threads || 0);
        vis.tracer = createTracer(threads);
        vis.tracer.onNotice = (text) => report(vis, text);
        // Threads that cannot start leave one thread, which any page can load.
        ready = vis.tracer.ready.catch((error) => {
            if (threads === 1 || vis.destroyed) {
                throw error;
            }
            stopTracer(vis.tracer);
            vis.tracer = createTracer(1);
            vis.tracer.onNotice = (text) => report(vis, text);
            report(vis, `tracing on one thread: the threads did not start (${error.message})`);
            return vis.tracer.ready;
        }).then(async (started) => {
            if (options.demo !== false) {
                vis.demo = await demoTune(vis.tracer);
                vis.demoStart = performance.now();
            }
            vis.started = true;
            vis.due = performance.now();
            vis.fpsStart = vis.due;
            return { threads: started.threads, build: started.build };
        });
    }
    ready.catch(() => {}); // the caller sees it through `ready`
    vis.animation = requestAnimationFrame((time) => tick(vis, time));

    const api = {
        ready: ready,
        canvas: canvas,
        get sharp() {
            return vis.sharp;
        },
        get threads() {
            return vis.tracer ? vis.tracer.threads : 0;
        },
        get stats() {
            return Object.assign({}, vis.stats);
        },
        get live() {
            return vis.live;
        },
        set onSharp(routine) {
            vis.onSharp = routine;
        },
        // The scene of the frame shown last.
        get scene() {
            return vis.scene;
        },
        set onScene(routine) {
            vis.onScene = routine;
        },
        // The built-in scenes' names, "classic" first.
        scenes() {
            return ready.then(() => sceneNames(vis.tracer));
        },
        // The built-in scene of that name, from the next frame on.
        setScene(name) {
            vis.sceneWanted = String(name);
            vis.sceneStep = 0;
        },
        // `step` scenes on (negative: back), going round.
        stepScene(step = 1) {
            vis.sceneStep += Math.trunc(step);
        },
        // The next scene every `seconds` seconds; 0 stops it.
        setCycle(seconds) {
            vis.cycleMs = seconds > 0 ? seconds * 1000 : 0;
            vis.cycleStart = performance.now();
        },
        connect(node, connectOptions = {}) {
            if (vis.audioContext && node.context !== vis.audioContext) {
                throw new Error("the node belongs to another AudioContext than the visualiser's");
            }
            vis.audioContext = node.context;
            vis.connected = true;
            return tapNode(vis.tap, node, Boolean(connectOptions.capture));
        },
        disconnect() {
            untapAll(vis.tap);
        },
        setTitle(text) {
            vis.title = String(text);
        },
        showTitle() {
            vis.titlePending = true;
        },
        setSharp(on) {
            setSharp(vis, on);
        },
        pause() {
            vis.live = false;
        },
        resume() {
            vis.live = true;
            vis.due = performance.now();
        },
        // One frame from `bytes` (576 bytes a channel), drawn and returned;
        // the live frames stop, so that the frames follow only the blocks given.
        async renderBlock(bytes) {
            if (!(bytes instanceof Uint8Array) || bytes.length !== BLOCK_BYTES) {
                throw new TypeError(`renderBlock takes a Uint8Array of ${BLOCK_BYTES} bytes`);
            }
            vis.live = false;
            await ready;
            fitCanvas(vis);
            const [width, height] = frameSize(vis);
            const input = takeSceneChange(vis, { block: bytes.slice() }, performance.now());
            const message = await traceFrame(vis.tracer, input, width, height);
            showFrame(vis, message);
            takeSceneName(vis, message);
            return { width: message.width, height: message.height, radius: message.radius, block: message.block,
                     scene: message.scene, pixels: new Uint8Array(message.pixels.buffer) };
        },
        // A frame from an interleaved stereo block and a size of its own, not shown (for tests and tools).
        trace(input, width, height) {
            return ready.then(() => traceFrame(vis.tracer, input, width, height));
        },
        // The demo tune's loop as {left, right, rate}.
        demoTune() {
            return ready.then(() => vis.demo || demoTune(vis.tracer));
        },
        destroy() {
            if (vis.destroyed) {
                return;
            }
            vis.destroyed = true;
            cancelAnimationFrame(vis.animation);
            closeTap(vis.tap);
            if (vis.tracer) {
                stopTracer(vis.tracer);
            }
        },
    };
    return api;
}
