// What plays: the demo tune, the playlist's files (streamed through a media
// element, so a file of any length starts at once), an input device or a
// tab's sound, each handed to the visualiser. Every choice counts: a load
// that finishes after a newer choice gives way to it.
import { element, nowPlaying, page, say } from "./page_state.js";
import { addFiles, currentEntry, stepIndex } from "./playlist.js";
import { titleOfBlob } from "./tags.js";

// Opens the sound on the first click: the context, the volume, the media element.
export async function ensureAudio() {
    const audio = page.audio;
    audio.started = audio.started || (async () => {
        audio.context = new AudioContext({ latencyHint: "interactive" });
        audio.output = audio.context.createGain();
        audio.output.gain.value = element("volume").value / 100;
        audio.output.connect(audio.context.destination);
        audio.element = new Audio();
        audio.element.preload = "auto";
        audio.elementNode = audio.context.createMediaElementSource(audio.element);
        audio.elementNode.connect(audio.output);
        wireElement(audio.element);
    })();
    await audio.started;
    await audio.context.resume();
    element("start").hidden = true;
}

// Stops what plays or captures; the picture goes on in silence.
function stopSource() {
    const audio = page.audio;
    page.vis.disconnect();
    if (audio.demoNode) {
        audio.demoNode.stop();
        audio.demoNode.disconnect();
        audio.demoNode = null;
    }
    if (audio.element && audio.element.src) {
        audio.element.pause();
        URL.revokeObjectURL(audio.element.src);
        audio.element.removeAttribute("src");
        audio.element.load();
    }
    if (audio.stream) {
        audio.stream.getTracks().forEach((track) => track.stop());
        audio.streamNode.disconnect();
        audio.stream = null;
        audio.streamNode = null;
    }
    page.source = "none";
    showTransport();
    showPlaylist();
}

function setSource(source, title, label) {
    page.source = source;
    page.title = title;
    page.vis.setTitle(title);
    nowPlaying(label);
    showTransport();
    showPlaylist();
}

// The demo tune, looping, the tracer's own samples of it.
export async function playDemo() {
    const mine = ++page.choice;
    await ensureAudio();
    const audio = page.audio;
    if (!audio.demoBuffer) {
        const tune = await page.vis.demoTune();
        audio.demoBuffer = new AudioBuffer({ numberOfChannels: 2, length: tune.left.length, sampleRate: tune.rate });
        audio.demoBuffer.copyToChannel(tune.left, 0);
        audio.demoBuffer.copyToChannel(tune.right, 1);
    }
    if (mine !== page.choice) {
        return;
    }
    stopSource();
    const node = new AudioBufferSourceNode(audio.context, { buffer: audio.demoBuffer, loop: true });
    node.connect(audio.output);
    node.start();
    audio.demoNode = node;
    await page.vis.connect(node);
    setSource("demo", "Demo tune", "Playing the demo tune");
}

// Waits until the media element can play what it was given, or says why not.
function elementOpened(media) {
    return new Promise((resolve) => {
        const done = (reason) => {
            media.removeEventListener("canplay", ok);
            media.removeEventListener("error", failed);
            resolve(reason);
        };
        const ok = () => done("");
        const failed = () => {
            const error = media.error;
            done(error ? `the browser cannot decode it (${error.message || `media error ${error.code}`})` : "it failed");
        };
        media.addEventListener("canplay", ok);
        media.addEventListener("error", failed);
    });
}

// Plays the playlist's entry `index`; one that cannot be played is named
// with the reason and skipped in the direction of travel.
export async function playEntry(index, direction = 1) {
    const mine = ++page.choice;
    await ensureAudio();
    const list = page.playlist;
    const audio = page.audio;
    for (; index >= 0 && index < list.entries.length; index += direction) {
        if (mine !== page.choice) {
            return false;
        }
        const entry = list.entries[index];
        stopSource();
        list.index = index;
        showPlaylist();
        nowPlaying(`Loading ${entry.file.name}\u2026`);
        let reason = entry.file.size === 0 ? "the file is empty" : "";
        if (!reason) {
            audio.element.src = URL.createObjectURL(entry.file);
            const [opened, title] = await Promise.all([elementOpened(audio.element),
                                                       titleOfBlob(entry.file, entry.file.name)]);
            reason = opened;
            entry.title = title;
        }
        if (mine !== page.choice) {
            return false; // a newer choice has taken over
        }
        if (!reason) {
            try {
                await audio.element.play();
            } catch (error) {
                reason = `the browser will not play it (${error.name}: ${error.message})`;
            }
        }
        if (mine !== page.choice) {
            return false;
        }
        if (!reason) {
            await page.vis.connect(audio.elementNode);
            entry.failed = "";
            setSource("file", entry.title,
                      `${entry.title} (${index + 1} of ${list.entries.length}: ${entry.file.name})`);
            return true;
        }
        entry.failed = reason;
        say(`Cannot play ${entry.file.name}: ${reason}; skipped.`, true);
    }
    stopSource();
    page.title = "";
    page.vis.setTitle("");
    nowPlaying(`No playable file ${direction > 0 ? "after" : "before"} it in the playlist; the spheres move on in silence.`);
    showPlaylist();
    return false;
}

// N and P (and the buttons), and the end of a file.
export async function stepFile(direction, ended = false) {
    const list = page.playlist;
    if (list.entries.length === 0) {
        say("No files to step through: choose Files\u2026 or drop sound files on the page.");
        return;
    }
    if (page.source !== "file" && page.source !== "none") {
        // From the demo or a device back to the playlist, where it was.
        say(`Back to the playlist: ${list.index + 1} of ${list.entries.length}.`);
        await playEntry(Math.max(0, list.index), 1);
        return;
    }
    const next = stepIndex(list, direction);
    if (next < 0) {
        if (ended) {
            stopSource();
            nowPlaying("The playlist has ended; the spheres move on in silence.");
            say("The playlist has ended.");
        } else {
            say(direction > 0 ? "This is the last file." : "This is the first file.");
        }
        return;
    }
    await playEntry(next, direction);
}

export async function takeFiles(files) {
    const audioFiles = Array.from(files);
    if (audioFiles.length === 0) {
        return;
    }
    addFiles(page.playlist, audioFiles);
    say(`${audioFiles.length} file${audioFiles.length > 1 ? "s" : ""} added to the playlist.`);
    await playEntry(page.playlist.index, 1);
}

// Play and pause: the file's element, else the whole sound (demo or device).
export async function playPause() {
    const audio = page.audio;
    if (page.source === "preview") {
        await playDemo();
    } else if (page.source === "file") {
        if (audio.element.paused) {
            await audio.element.play();
        } else {
            audio.element.pause();
        }
    } else if (page.source === "none") {
        if (page.playlist.entries.length > 0) {
            await playEntry(Math.max(0, page.playlist.index), 1);
        } else {
            await playDemo();
        }
    } else if (audio.context.state === "running") {
        await audio.context.suspend();
    } else {
        await audio.context.resume();
    }
    showTransport();
}

export function stop() {
    ++page.choice;
    if (page.source === "preview") {
        say("Nothing plays yet: the picture follows the demo tune in silence.");
        return;
    }
    if (page.audio.context && page.audio.context.state === "suspended") {
        page.audio.context.resume();
    }
    stopSource();
    nowPlaying("Stopped; the spheres move on in silence.");
}

export function seek(fraction) {
    const media = page.audio.element;
    if (page.source === "file" && Number.isFinite(media.duration)) {
        media.currentTime = fraction * media.duration;
    }
}

export function setVolume(fraction) {
    if (page.audio.output) {
        page.audio.output.gain.value = fraction;
    }
}

function clock(seconds) {
    if (!Number.isFinite(seconds)) {
        return "-:--";
    }
    const whole = Math.floor(seconds);
    const hours = Math.floor(whole / 3600);
    const minutes = Math.floor(whole / 60) % 60;
    const rest = String(whole % 60).padStart(2, "0");
    return hours > 0 ? `${hours}:${String(minutes).padStart(2, "0")}:${rest}` : `${minutes}:${rest}`;
}

// The play button, the position bar and the time as the source stands.
export function showTransport() {
    const audio = page.audio;
    const media = audio.element;
    const isFile = page.source === "file" && media !== null;
    const playing = isFile ? !media.paused
                           : (page.source === "demo" || page.source === "microphone" || page.source === "tab") &&
                                 audio.context.state === "running";
    const button = element("play-pause");
    button.textContent = playing ? "||" : "\u25B6";
    button.setAttribute("aria-label", playing ? "Pause" : "Play");
    const position = element("position");
    position.disabled = !isFile || !Number.isFinite(media.duration);
    if (isFile && Number.isFinite(media.duration) && media.duration > 0 && !page.seeking) {
        position.value = Math.round((media.currentTime / media.duration) * 1000);
    } else if (!isFile) {
        position.value = 0;
    }
    element("time").textContent = isFile ? `${clock(media.currentTime)} / ${clock(media.duration)}` : "-:--";
}

function wireElement(media) {
    media.addEventListener("timeupdate", showTransport);
    media.addEventListener("play", showTransport);
    media.addEventListener("pause", showTransport);
    media.addEventListener("durationchange", showTransport);
    media.addEventListener("ended", () => {
        if (page.source === "file") {
            stepFile(1, true);
        }
    });
}

// The list of files, the one playing marked; a click plays one.
export function showPlaylist() {
    const list = page.playlist;
    const items = list.entries.map((entry, i) => {
        const item = document.createElement("li");
        item.textContent = entry.title || entry.file.name;
        item.title = entry.failed ? `${entry.file.name}: ${entry.failed}` : entry.file.name;
        item.tabIndex = 0;
        item.classList.toggle("failed", entry.failed !== "");
        if (i === list.index && page.source === "file") {
            item.setAttribute("aria-current", "true");
        }
        item.dataset.index = String(i);
        return item;
    });
    element("playlist").replaceChildren(...items);
    element("playlist-toggle").textContent = `Playlist (${list.entries.length})`;
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

async function capture(stream, source, title) {
    const audio = page.audio;
    stopSource();
    audio.stream = stream;
    audio.streamNode = audio.context.createMediaStreamSource(stream);
    await page.vis.connect(audio.streamNode, { capture: true }); // heard by nobody: the newest samples
    setSource(source, title, `Listening to ${title}`);
}

export async function captureMicrophone(deviceId) {
    const mine = ++page.choice;
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
    if (mine !== page.choice) {
        stream.getTracks().forEach((track) => track.stop());
        return;
    }
    const track = stream.getAudioTracks()[0];
    await capture(stream, "microphone", track.label || "Microphone");
    await listDevices(track.getSettings().deviceId);
}

export async function captureTab() {
    const mine = ++page.choice;
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
    if (!track || mine !== page.choice) {
        stream.getTracks().forEach((t) => t.stop());
        if (!track) {
            say("No sound came with that share: this browser offers sound only for some shares (in Chrome, a tab " +
                    "with \"Share tab audio\" ticked), or none at all.",
                true);
        }
        return;
    }
    await capture(stream, "tab", track.label || "Tab or screen sound");
}

// Where the playlist stands, for a click on an entry.
export function playlistIndexOf(item) {
    return item && item.dataset.index !== undefined ? parseInt(item.dataset.index, 10) : -1;
}

export { currentEntry };
