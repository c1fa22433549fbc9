// What plays: the demo tune, the playlist's files, an input device or a
// tab's sound, each through the tap.
import { captureStream, playBuffer, startAudio, stopSource } from "./audio.js";
import { element, nowPlaying, page, say } from "./page_state.js";
import { addFiles, currentEntry, stepPlaylist } from "./playlist.js";
import { titleOfFile } from "./tags.js";
import { demoTune } from "./trace_client.js";

// Opens the sound on the first click, and starts the frames.
export async function ensureAudio() {
    // Clicks in quick succession wait for the one start.
    page.audioStarted = page.audioStarted || startAudio(page.audio);
    await page.audioStarted;
    await page.audio.context.resume();
    element("start").hidden = true;
    if (!page.live) {
        page.live = true;
        page.due = performance.now();
        page.fpsStart = page.due;
    }
}

// The demo tune, looping, the tracer's own samples of it.
export async function playDemo() {
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
export async function playFile(direction) {
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
export async function nextFile(direction, ended = false) {
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

export async function takeFiles(files) {
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

export async function captureMicrophone(deviceId) {
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

export async function captureTab() {
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

