// The page: the visualiser (raysphere.js) on a canvas filling the window,
// moving from the first moment with the demo tune's picture in silence; the
// sound on a click; the demo tune, the user's files, an input device or a
// tab's sound; controls for mouse, keys and touch.
import { createRaysphere, hasWasmSimd } from "./raysphere.js";
import { element, nowPlaying, page, params, say } from "./page_state.js";
import { captureMicrophone, captureTab, playDemo, playEntry, playlistIndexOf, playPause, seek, setVolume,
         showPlaylist, showTransport, stepFile, stop, takeFiles } from "./sources.js";

const BAR_IDLE_MS = 4000; // the controls fade after this long untouched, once the sound has started
const touch = window.matchMedia("(pointer: coarse)").matches;

function toggleFullscreen() {
    if (document.fullscreenElement) {
        document.exitFullscreen().catch(() => {});
    } else if (document.documentElement.requestFullscreen) {
        document.documentElement.requestFullscreen().catch((error) => say(`No full screen: ${error.message}`, true));
    } else {
        say("This browser offers no full screen to pages.", true);
    }
}

function toggleFps() {
    page.showFps = !page.showFps;
    element("fps").hidden = !page.showFps;
    element("frame-rate").setAttribute("aria-pressed", String(page.showFps));
}

function showTitle() {
    if (page.source === "preview") {
        say("Nothing plays yet: the title shows once a source plays.");
    }
    page.vis.showTitle();
}

// A routine of the page run on a user's action, its failure said.
function run(routine) {
    Promise.resolve().then(routine).catch((error) => say(error.message, true));
}

function handleKey(event) {
    wakeBar();
    const tag = event.target.tagName;
    // A checkbox takes only SPACE; a list, a slider and a text field take the keys
    const checkbox = tag === "INPUT" && event.target.type === "checkbox";
    if (event.ctrlKey || event.altKey || event.metaKey || tag === "SELECT" || (tag === "INPUT" && !checkbox)) {
        return;
    }
    const key = event.key.toLowerCase();
    if (key === " " && (tag !== "BUTTON" && tag !== "LI" && !checkbox)) {
        // Held down, each repeat restarts the ten frames, as in the plug-in.
        event.preventDefault();
        showTitle();
    } else if (key === "f" && !event.repeat) {
        toggleFullscreen();
    } else if (key === "i" && !event.repeat) {
        toggleFps();
    } else if (key === "n" || key === "p") {
        run(() => stepFile(key === "n" ? 1 : -1));
    } else if (key === "s" && !event.repeat) {
        page.vis.setSharp(!page.vis.sharp);
    } else if (event.key === "PageDown" || event.key === "]" || event.key === "PageUp" || event.key === "[") {
        event.preventDefault();
        page.vis.stepScene(event.key === "PageDown" || event.key === "]" ? 1 : -1);
    }
}

// The scene picker: the built-in scenes, the one on show selected.
function fillScenes(names) {
    const picker = element("scene");
    picker.replaceChildren(...names.map((name) => new Option(name, name)));
    picker.value = page.vis.scene || names[0];
    picker.disabled = false;
}

// The controls fade while nothing touches them, once the sound has started;
// faded, they take no clicks (a tap on the picture brings them back).
function wakeBar() {
    const bar = element("bar");
    bar.classList.remove("idle");
    clearTimeout(page.barTimer);
    if (page.source !== "preview") {
        page.barTimer = setTimeout(() => {
            if (!bar.contains(document.activeElement) || document.activeElement === document.body) {
                bar.classList.add("idle");
            }
        }, BAR_IDLE_MS);
    }
}

// Whether the faded controls cover the point of `event`.
function barHolds(event) {
    const box = element("bar").getBoundingClientRect();
    return event.clientY >= box.top && event.clientY <= box.bottom && event.clientX >= box.left &&
           event.clientX <= box.right;
}

function wireControls() {
    const clicked = (id, routine) => element(id).addEventListener("click", (event) => {
        if (event.detail > 0 && event.currentTarget.blur) {
            event.currentTarget.blur(); // clicked with the mouse: SPACE must not click it again
        }
        run(routine);
    });
    clicked("start", playDemo);
    clicked("source-demo", playDemo);
    clicked("files-button", () => element("file-input").click());
    clicked("source-microphone", () => captureMicrophone(element("device-select").value || undefined));
    clicked("previous", () => stepFile(-1));
    clicked("next", () => stepFile(1));
    clicked("play-pause", playPause);
    clicked("stop", stop);
    clicked("show-title", showTitle);
    clicked("fullscreen", toggleFullscreen);
    clicked("frame-rate", toggleFps);
    clicked("playlist-toggle", () => {
        const list = element("playlist");
        list.hidden = !list.hidden;
        element("playlist-toggle").setAttribute("aria-expanded", String(!list.hidden));
    });
    const playItem = (event) => {
        const index = playlistIndexOf(event.target.closest("li"));
        if (index >= 0) {
            run(() => playEntry(index, 1));
        }
    };
    element("playlist").addEventListener("click", playItem);
    element("playlist").addEventListener("keydown", (event) => {
        if (event.key === "Enter" || event.key === " ") {
            event.preventDefault();
            playItem(event);
        }
    });
    element("device-select").addEventListener("change", (event) => run(() => captureMicrophone(event.target.value)));
    element("file-input").addEventListener("change", (event) => {
        const files = Array.from(event.target.files);
        event.target.value = "";
        run(() => takeFiles(files));
    });
    if (!navigator.mediaDevices || !navigator.mediaDevices.getDisplayMedia) {
        const tab = element("source-tab");
        tab.disabled = true;
        tab.title = "This browser does not offer a tab's or the screen's sound to pages.";
        tab.textContent = "Tab or screen sound: not offered by this browser";
    } else {
        clicked("source-tab", captureTab);
    }
    const position = element("position");
    position.addEventListener("input", () => {
        page.seeking = true;
    });
    position.addEventListener("change", () => {
        page.seeking = false;
        seek(position.value / 1000);
    });
    element("volume").addEventListener("input", (event) => setVolume(event.target.value / 100));
    element("scene").addEventListener("change", (event) => page.vis.setScene(event.target.value));
    element("cycle").addEventListener("change", (event) => page.vis.setCycle(Number(event.target.value)));
    page.vis.onScene = (name) => {
        element("scene").value = name;
    };
    element("sharp").checked = page.vis.sharp;
    element("sharp").addEventListener("change", (event) => page.vis.setSharp(event.target.checked));
    page.vis.onSharp = (on) => {
        element("sharp").checked = on;
    };
    window.addEventListener("keydown", handleKey);
    page.vis.canvas.addEventListener("dblclick", toggleFullscreen);
    // Before the sound has started, the picture itself starts it.
    page.vis.canvas.addEventListener("click", () => {
        if (page.source === "preview") {
            run(playDemo);
        }
    });
    window.addEventListener("mousemove", wakeBar);
    // A tap on the faded controls wakes them and works none of them.
    window.addEventListener("pointerdown", (event) => {
        page.swallowClick = element("bar").classList.contains("idle") && barHolds(event);
        wakeBar();
    }, true);
    window.addEventListener("click", (event) => {
        if (page.swallowClick) {
            page.swallowClick = false;
            event.stopPropagation();
            event.preventDefault();
        }
    }, true);
    document.addEventListener("focusin", wakeBar);
    window.addEventListener("dragover", (event) => {
        event.preventDefault();
        document.body.classList.add("dragging");
    });
    window.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
    window.addEventListener("drop", (event) => {
        event.preventDefault();
        document.body.classList.remove("dragging");
        const files = Array.from(event.dataTransfer.files);
        run(() => takeFiles(files));
    });
    document.addEventListener("fullscreenchange", () => {
        element("fullscreen").textContent = document.fullscreenElement ? "Leave full screen" : "Full screen";
    });
    element("help").textContent = touch
        ? "Tap the picture to show the controls; double-tap for full screen. Drop or choose sound files to play them."
        : "SPACE title \u00b7 F or double-click full screen \u00b7 I frame rate \u00b7 N/P next/previous file \u00b7 " +
              "S sharp \u00b7 PageDown/PageUp or ]/[ scenes \u00b7 drop sound files anywhere";
    wakeBar();
}

// The frame rate line, from the visualiser's figures.
function showFrameFigures(message) {
    for (const listener of page.frameListeners) {
        listener(message);
    }
    if (!page.showFps) {
        return;
    }
    const stats = page.vis.stats;
    const threads = page.vis.threads; // the plug-in's frame is traced on one
    const on = message.width === 320 && message.height === 200 ? "" : ` on ${threads} thread${threads > 1 ? "s" : ""}`;
    const canvas = page.vis.canvas;
    const enlarged = message.plugin || (message.width === canvas.width && message.height === canvas.height)
        ? "" : ` enlarged to ${canvas.width} x ${canvas.height}`;
    element("fps").textContent = `${message.scene} ${stats.fps.toFixed(1)} fps of 60, ${message.width} x ${message.height}${enlarged}, ` +
                                 `${message.ms.toFixed(1)} ms a frame${on}`;
}

// The service worker keeps the site for offline visits. A new version, once
// installed, takes over at once while nothing plays (the page reloads into
// it); else it waits for the next visit.
function keepOffline() {
    if (!("serviceWorker" in navigator) || !window.isSecureContext) {
        return;
    }
    let reloading = false;
    navigator.serviceWorker.addEventListener("controllerchange", () => {
        if (page.updating && !reloading) {
            reloading = true;
            location.reload();
        }
    });
    navigator.serviceWorker.register("service_worker.js").then((registration) => {
        const offer = (fresh) => {
            if (!fresh || !navigator.serviceWorker.controller) {
                return; // the first visit: nothing to replace
            }
            if (page.source === "preview") {
                page.updating = true;
                fresh.postMessage("take-over");
            } else {
                say("A new version of the page is ready: it opens on the next visit.");
            }
        };
        offer(registration.waiting);
        registration.addEventListener("updatefound", () => {
            const fresh = registration.installing;
            fresh.addEventListener("statechange", () => {
                if (fresh.state === "installed") {
                    offer(fresh);
                }
            });
        });
    }, (error) => console.warn(`raysphere: no offline copy (${error.message})`));
}

// ?cycle=SECONDS: the next scene every so many seconds, shown in the cycle control.
function cycleSeconds() {
    const seconds = Math.min(parseInt(params.get("cycle") || "0", 10) || 0, 86400);
    const control = element("cycle");
    if (seconds > 0 && !Array.from(control.options).some((option) => Number(option.value) === seconds)) {
        control.add(new Option(`${seconds} s`, String(seconds)));
    }
    control.value = String(Math.max(seconds, 0));
    return Math.max(seconds, 0);
}

function boot() {
    const requested = parseInt(params.get("threads") || "0", 10);
    page.vis = createRaysphere(element("screen"), {
        threads: requested > 0 ? requested : 0,
        sharp: params.has("sharp"),
        adapt: params.get("sharp") !== "full", // ?sharp=full: every pixel always, however slow
        scene: params.get("scene") || undefined, // ?scene=NAME: start with that scene
        cycle: cycleSeconds(),
        onFrame: showFrameFigures,
        onError: (text) => say(`The tracer: ${text}.`, true),
    });
    wireControls();
    keepOffline();
    showTransport();
    showPlaylist();
    if (!hasWasmSimd()) {
        element("start-note").textContent =
            "This browser cannot run the tracer: it needs WebAssembly with 128-bit SIMD (Chrome or Edge 91, " +
            "Firefox 89, Safari 16.4 or later).";
        return;
    }
    page.vis.ready.then((started) => {
        element("threads-note").textContent = started.threads > 1
            ? `traced on ${started.threads} threads`
            : "traced on one thread (threads need the page served cross-origin isolated)";
        element("start-note").textContent = touch
            ? "The picture follows the demo tune in silence. Tap for sound, or choose files, a microphone or a tab below."
            : "The picture follows the demo tune in silence. Click for sound, or choose files, a microphone or a tab below.";
        element("start-button").disabled = false;
        return page.vis.scenes().then(fillScenes);
    }).catch((error) => {
        element("start-note").textContent = `The tracer could not start: ${error.message}`;
    });
    nowPlaying("The demo tune's picture, silent");
}

boot();
