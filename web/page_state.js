// The page's state, one record for all its modules, and its messages.
import { createPlaylist } from "./playlist.js";

export const params = new URLSearchParams(location.search);
export const element = (id) => document.getElementById(id);

const TOAST_MS = 5000; // how long a message stays

export const page = {
    vis: null,          // the visualiser (raysphere.js)
    audio: {
        context: null,  // made on the first click
        started: null,  // its making, under way or done
        output: null,   // the volume on the way to the speakers
        element: null,  // the <audio> element files stream through
        elementNode: null, // its MediaElementAudioSourceNode
        demoNode: null, // the demo tune's buffer source, while it plays
        stream: null,   // a capture's MediaStream, its tracks stopped on change
        streamNode: null,
        demoBuffer: null,
    },
    playlist: createPlaylist(),
    choice: 0,          // counts the user's choices: a load older than the latest gives way
    source: "preview",  // "preview" (silent demo frames), "demo", "file", "microphone", "tab" or "none"
    title: "",          // what SPACE shows for the source
    showFps: false,
    frameListeners: [], // routines told of every frame shown
    toastTimer: 0,
    barTimer: 0,
    seeking: false,     // the position bar is being dragged: the time does not move it
    swallowClick: false, // a tap woke the faded controls: the click it makes works nothing
    updating: false,    // a new version of the page takes over: reload when it has
};

// Says something where it is seen, for a few seconds; a problem in red.
export function say(text, problem = false) {
    const toast = element("toast");
    clearTimeout(page.toastTimer);
    toast.textContent = text;
    toast.classList.toggle("problem", problem);
    toast.hidden = text === "";
    page.toastTimer = setTimeout(() => {
        toast.hidden = true;
    }, TOAST_MS);
}

// What plays now, over the controls.
export function nowPlaying(text) {
    element("now-playing").textContent = text;
    element("now-playing").title = text;
}
