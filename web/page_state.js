// The page's state, one record for all its modules, and its messages.
import { createAudio } from "./audio.js";
import { createPlaylist } from "./playlist.js";

export const params = new URLSearchParams(location.search);
export const element = (id) => document.getElementById(id);

export const page = {
    canvas: element("screen"),
    context: element("screen").getContext("2d"),
    frameCanvas: document.createElement("canvas"), // the 320 x 200 frame before scaling
    tracer: null,
    audio: createAudio(),
    audioStarted: null, // the sound's start, under way or done
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
export function say(text, problem = false) {
    const message = element("message");
    message.textContent = text;
    message.classList.toggle("problem", problem);
}

// What plays now, under the controls.
export function nowPlaying(text) {
    element("now-playing").textContent = text;
}

