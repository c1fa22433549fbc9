// The web page end to end in Debian's Chromium: frames against the native
// renderer's, threads on and off, the trace worker, a fake microphone, files
// with tags and a broken one, SPACE, full screen and the frame pace.
// Usage: node page_test.js ISOLATED_URL PLAIN_URL WORK_DIR (see run.sh).
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const os = require("node:os");
const http = require("node:http");
const { spawn, execFileSync } = require("node:child_process");
const puppeteer = require("puppeteer-core");

const [isolatedUrl, plainUrl, work] = process.argv.slice(2);
const BLOCK_BYTES = 1152;
const SHARP = { width: 400, height: 250 };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function launch(extra = []) {
    return puppeteer.launch({
        executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
        headless: true,
        userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), "raysphere-chromium-")),
        args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", ...extra],
    });
}

// A fresh page at `url`, its viewport `width` x `height` CSS pixels of
// `scale` device pixels each, once the tracer has started.
// `before` runs in the page before its own scripts.
async function openPage(browser, url, width, height, before = null, scale = 1) {
    const page = await browser.newPage();
    const problems = [];
    page.on("pageerror", (error) => problems.push(error.message));
    await page.setViewport({ width: width, height: height, deviceScaleFactor: scale });
    if (before) {
        await page.evaluateOnNewDocument(before);
    }
    await page.goto(url);
    await page.addScriptTag({ url: "test_hook.js", type: "module" });
    await page.waitForFunction(() => window.raysphere !== undefined);
    page.problems = problems;
    page.ready = await page.evaluate(() => window.raysphere.ready.catch((error) => ({ error: error.message })));
    return page;
}

// The canvas's RGBA bytes as shown.
async function canvasPixels(page) {
    const text = await page.evaluate(() => {
        const canvas = document.getElementById("screen");
        const bytes = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
        let binary = "";
        for (let i = 0; i < bytes.length; i += 32768) {
            binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));
        }
        return btoa(binary);
    });
    return Buffer.from(text, "base64");
}

// Pixels whose colour differs between canvas RGBA and a native BGRA frame.
function differingPixels(rgba, bgra) {
    assert.equal(rgba.length, bgra.length, "canvas and native frame differ in size");
    let count = 0;
    for (let i = 0; i < rgba.length; i += 4) {
        if (rgba[i] !== bgra[i + 2] || rgba[i + 1] !== bgra[i + 1] || rgba[i + 2] !== bgra[i]) {
            count++;
        }
    }
    return count;
}

async function status(page) {
    return page.evaluate(() => window.raysphere.status());
}

async function renderBlocks(page, blocks, sharp, scene) {
    return page.evaluate((encoded, sharp, scene) => {
        const bytes = Uint8Array.from(atob(encoded), (c) => c.charCodeAt(0));
        return window.raysphere.renderBlocks(bytes, sharp, scene);
    }, blocks.toString("base64"), sharp, scene);
}

async function waitFor(page, what, predicate, ms = 10000) {
    const end = Date.now() + ms;
    for (;;) {
        const now = await status(page);
        if (predicate(now)) {
            return now;
        }
        assert.ok(Date.now() < end, `${what}: not seen in ${ms} ms; the page says ${JSON.stringify(now)}`);
        await sleep(100);
    }
}

// The scope's marks of block channel 0 in a 320 x 200 canvas: column 2i + 2,
// row (byte ^ 0x80) >> 1, the pixel value 1 (blue 1, green and red 0).
function scopeMatches(rgba, block) {
    let found = 0;
    for (let i = 0; i < 156; i++) {
        const y = (block[i] ^ 0x80) >> 1;
        const at = (y * 320 + 2 * i + 2) * 4;
        if (rgba[at] === 0 && rgba[at + 1] === 0 && rgba[at + 2] === 1) {
            found++;
        }
    }
    return found;
}

// Frames the same as the native renderer's, plain and sharp, on threads and
// on one; the trace worker leaves the page's thread free.
async function framesRun() {
    const blocks = fs.readFileSync(path.join(work, "waveform.raw"));
    const frames = blocks.length / BLOCK_BYTES;
    const last = `frame_${String(frames).padStart(4, "0")}.raw`;
    const nativePlain = fs.readFileSync(path.join(work, "native", last));
    const nativeSharp = fs.readFileSync(path.join(work, "native-sharp", last));
    const browser = await launch();
    try {
        let page = await openPage(browser, isolatedUrl, 320, 200);
        assert.equal(page.ready.build, "raysphere_core_mt.js", "an isolated page loads the threaded build");
        assert.ok(page.ready.threads >= 2, `an isolated page traces on threads, not ${page.ready.threads}`);
        // Workers: the trace worker and one for each further thread, no more.
        await sleep(500);
        const workers = page.workers().length;
        assert.equal(workers, page.ready.threads, `${workers} workers for ${page.ready.threads} threads`);
        await renderBlocks(page, blocks, false);
        assert.equal(differingPixels(await canvasPixels(page), nativePlain), 0, "320 x 200 frame against native");

        // Sharp frames at the canvas's device pixels: two a CSS pixel here.
        page = await openPage(browser, isolatedUrl, SHARP.width / 2, SHARP.height / 2, null, 2);
        const sharp = await renderBlocks(page, blocks, true);
        assert.deepEqual([sharp.width, sharp.height], [SHARP.width, SHARP.height], "sharp frames at the device pixels");
        const threaded = await canvasPixels(page);
        assert.equal(differingPixels(threaded, nativeSharp), 0, "sharp frame on threads against native");
        const radii = new Set(sharp.radii);
        assert.ok(radii.size > 1, "the centre sphere's radius follows the blocks");

        // A big frame traced while the page's thread counts its timer ticks.
        const free = await page.evaluate(async () => {
            let ticks = 0;
            let last = performance.now();
            let longest = 0;
            const timer = setInterval(() => {
                const now = performance.now();
                longest = Math.max(longest, now - last);
                last = now;
                ticks++;
            }, 4);
            const started = performance.now();
            const block = new Uint8Array(1152).fill(0x40);
            await window.raysphere.trace({ block: block }, 1920, 1080);
            const ms = performance.now() - started;
            clearInterval(timer);
            return { ms: ms, ticks: ticks, longest: longest };
        });
        console.log(`a 1920 x 1080 frame took ${free.ms.toFixed(0)} ms in the worker; the page's timer ticked ` +
                    `${free.ticks} times meanwhile, its longest gap ${free.longest.toFixed(0)} ms`);
        assert.ok(free.ticks >= 3 && free.longest < free.ms, "the page's thread stays free while a frame traces");
        await page.close();

        // A browser without WebAssembly SIMD is told so and offered no start.
        page = await openPage(browser, isolatedUrl, 640, 400, () => {
            WebAssembly.validate = () => false;
        });
        assert.match(await page.$eval("#start-note", (note) => note.textContent), /needs WebAssembly with 128-bit SIMD/);
        assert.ok(await page.$eval("#start-button", (button) => button.disabled));
        await page.close();

        // A frame the core refuses settles with the reason; a sharp canvas wider
        // than the core traces drops to the plug-in's frame, says so, and goes on.
        page = await openPage(browser, `${isolatedUrl}?sharp=full`, 4200, 100, null, 2);
        const refused = await page.evaluate(() => window.raysphere.trace({ block: new Uint8Array(1152) }, 9000, 100)
            .then(() => "made", (error) => error.message));
        assert.match(refused, /^a 9000 x 100 frame cannot be made/);
        await page.click("#start-button");
        const dropped = await waitFor(page, "the page after a refused sharp size",
                                      (s) => !s.sharp && s.stats.width === 320 && /back to the 320 x 200/.test(s.message));
        await sleep(500);
        const later = await status(page);
        assert.ok(later.shown > dropped.shown + 10, `frames go on after the error (${dropped.shown}, ${later.shown})`);
        assert.ok(!(await page.$eval("#sharp", (box) => box.checked)), "the Sharp box follows");
        console.log(`worker errors: "${refused}"; "${dropped.message}"`);
        await page.close();

        // A 144 Hz display: the motion still takes 60 steps a second, no more.
        page = await openPage(browser, isolatedUrl, 640, 400, () => {
            window.requestAnimationFrame = (routine) => setTimeout(() => routine(performance.now()), 1000 / 144);
        });
        await page.click("#start-button");
        await waitFor(page, "the demo tune at 144 Hz", (s) => s.shown > 10);
        const first = await status(page);
        await sleep(3000);
        const steps = ((await status(page)).shown - first.shown) / 3;
        console.log(`at 144 Hz: ${steps.toFixed(1)} animation steps a second`);
        assert.ok(steps <= 61 && steps >= 30, `${steps} steps a second at 144 Hz`);
        await page.close();

        page = await openPage(browser, plainUrl, SHARP.width, SHARP.height);
        assert.equal(page.ready.build, "raysphere_core_st.js", "a plain page loads the one-thread build");
        assert.equal(page.ready.threads, 1);
        await renderBlocks(page, blocks, true);
        const single = await canvasPixels(page);
        assert.equal(differingPixels(single, nativeSharp), 0, "sharp frame on one thread against native");
        assert.ok(single.equals(threaded), "one thread against threads");

        // Another scene, asked for by name, against the native renderer's
        // frames of it: the C libraries' sinf and cosf may round a few
        // results differently, and nothing else differs.
        const differ = [];
        for (const [sharp, name, width, height] of [[false, "native-planets", 320, 200],
                                                    [true, "native-planets-sharp", SHARP.width, SHARP.height]]) {
            await page.close();
            page = await openPage(browser, plainUrl, width, height);
            const made = await renderBlocks(page, blocks, sharp, "planets");
            assert.equal(made.scene, "planets", "the scene asked for traces the frames");
            const count = differingPixels(await canvasPixels(page), fs.readFileSync(path.join(work, name, last)));
            assert.ok(count <= made.width * made.height / 200, `planets: ${count} pixels differ from ${name}`);
            differ.push(`${made.width} x ${made.height}: ${count}`);
        }
        console.log(`planets against native, pixels that differ: ${differ.join(", ")}`);
        assert.deepEqual(page.problems, []);
        await page.close();

        // The scene keys and the picker; the motion keeps 60 steps a second
        // where no frame keeps up (every pixel of a large canvas traced).
        page = await openPage(browser, `${plainUrl}?scene=glass`, 640, 400);
        await page.click("#start-button");
        let now = await waitFor(page, "the glass scene from ?scene=", (s) => s.scene === "glass" && s.scenes.length >= 8);
        assert.equal(now.picked, "glass", "the picker shows the scene");
        assert.equal(now.scenes[0], "classic");
        await page.keyboard.press("PageDown");
        await waitFor(page, "PageDown to the next scene", (s) => s.scene === now.scenes[2] && s.picked === s.scene);
        await page.keyboard.press("[");
        await waitFor(page, "[ back", (s) => s.scene === "glass");
        await page.select("#scene", "mirrors");
        await waitFor(page, "the picker's choice", (s) => s.scene === "mirrors");
        assert.deepEqual(page.problems, []);
        await page.close();
        // ?cycle=1 goes on to the next scene every second, however slow the frames.
        page = await openPage(browser, `${plainUrl}?sharp=full&cycle=1`, 1600, 900);
        await page.click("#start-button");
        await waitFor(page, "every pixel of 1600 x 900", (s) => s.shown > 2);
        // Timed by the page's own clock, read with the counts: a loaded
        // machine delays the calls, not what they read
        const timedStatus = () => page.evaluate(() => ({...window.raysphere.status(), at: performance.now()}));
        now = await timedStatus();
        await sleep(3000);
        const after = await timedStatus();
        const seconds = (after.at - now.at) / 1000;
        const motion = (after.stats.shown + after.stats.skipped - now.stats.shown - now.stats.skipped) / seconds;
        console.log(`every pixel of 1600 x 900: ${((after.stats.shown - now.stats.shown) / seconds).toFixed(1)} frames ` +
                    `and ${motion.toFixed(1)} steps of motion a second`);
        assert.ok(motion >= 45 && motion <= 61, `${motion} steps of motion a second`);
        assert.notEqual(after.scene, now.scene, "the cycle moves on to the next scene");
        assert.deepEqual(page.problems, []);
    } finally {
        await browser.close();
    }
    console.log(`frames: ${frames} blocks give the native frame at 320 x 200 and ${SHARP.width} x ${SHARP.height}, ` +
                "on threads and on one");
}

// Chromium's fake microphone plays the tone: the blocks carry it, the scope
// draws it, the centre sphere's size changes.
async function microphoneRun() {
    const browser = await launch(["--use-fake-ui-for-media-stream", "--use-fake-device-for-media-stream",
                                  `--use-file-for-fake-audio-capture=${path.join(work, "tone.wav")}`]);
    try {
        const page = await openPage(browser, isolatedUrl, 320, 200);
        await page.click("#start-button");
        await waitFor(page, "the demo tune", (s) => s.source === "demo");
        await page.click("#source-microphone");
        const listening = await waitFor(page, "the microphone", (s) => s.source === "microphone");
        await waitFor(page, "the microphone's frames", (s) => s.shown > listening.shown + 60);
        const rate = await page.evaluate(() => window.raysphere.pause());
        await sleep(200);
        const log = await page.evaluate(() => window.raysphere.frameLog().map((f) => ({
            block: Array.from(f.block), radius: f.radius })));
        const rgba = await canvasPixels(page);
        const latest = log[log.length - 1];
        assert.equal(scopeMatches(rgba, latest.block), 156, "the scope draws the last block");
        // A 441 Hz tone of amplitude 0.5: about 2 * 576 * 441 / rate zero crossings, peaks near 64.
        const recent = log.slice(-30);
        for (const frame of recent) {
            const left = frame.block.slice(0, 576).map((b) => (b << 24) >> 24);
            let crossings = 0;
            for (let i = 1; i < 576; i++) {
                crossings += (left[i - 1] < 0) !== (left[i] < 0) ? 1 : 0;
            }
            const expected = (2 * 576 * 441) / rate;
            assert.ok(Math.abs(crossings - expected) <= 2, `${crossings} zero crossings, ${expected} expected: ${left}`);
            const peak = Math.max(...left.map(Math.abs));
            assert.ok(peak >= 58 && peak <= 66, `peak ${peak} of a tone at half amplitude`);
            const c = frame.block[0] >> 1;
            assert.ok(Math.abs(frame.radius - (30 + 7.5 * Math.sin(c))) < 1e-4, "radius from the first byte");
        }
        assert.ok(new Set(recent.map((f) => f.radius)).size > 3, "the centre sphere's size changes");
        const now = await status(page);
        assert.ok(now.title.length > 0, "the device's label is the title");
        const devices = await page.$eval("#device-select", (select) => ({ hidden: select.hidden,
            labels: Array.from(select.options).map((option) => option.textContent) }));
        assert.ok(!devices.hidden && devices.labels.includes(now.title), `a choice of devices: ${devices.labels}`);
        console.log(`microphone: "${now.title}", ${recent.length} blocks of the tone checked, context at ${rate} Hz`);
        assert.deepEqual(page.problems, []);
    } finally {
        await browser.close();
    }
}

// Whether `title` shows in the 8 x 13 font's box centred on a 320 x 200
// canvas, as the plug-in centres it: every pixel of the box black or white,
// mostly white, and the pixels beside it not the box's white.
function titleShown(rgba, title) {
    const width = title.length * 8;
    const left = Math.trunc((320 - width) / 2);
    const top = Math.trunc((200 - 13) / 2);
    const value = (x, y) => {
        const at = (y * 320 + x) * 4;
        const same = rgba[at] === rgba[at + 1] && rgba[at + 1] === rgba[at + 2];
        return same && (rgba[at] === 0 || rgba[at] === 255) ? rgba[at] : -1;
    };
    let black = 0;
    for (let y = top; y < top + 13; y++) {
        for (let x = left; x < left + width; x++) {
            const v = value(x, y);
            if (v < 0) {
                return false;
            }
            black += v === 0 ? 1 : 0;
        }
    }
    const beside = [value(left - 1, top + 6), value(left + width, top + 6)];
    console.log(`title box: ${black} black pixels of ${width * 13}; beside it ${beside}`);
    return black > width && black < (width * 13) / 2 && beside[0] !== 255 && beside[1] !== 255;
}

// Where `block` lies in song.flac's samples (song.raw: 16-bit stereo): both
// channels' high bytes from that frame on; -1 when nowhere.
let songSamples = null;
function blockOffset(block) {
    songSamples = songSamples || new Int16Array(fs.readFileSync(path.join(work, "song.raw")).buffer.slice(0));
    const high = (sample) => (sample >> 8) & 0xff;
    const frames = songSamples.length / 2;
    for (let first = 0; first + 576 <= frames; first++) {
        let i = 0;
        while (i < 576 && high(songSamples[(first + i) * 2]) === block[i] &&
               high(songSamples[(first + i) * 2 + 1]) === block[576 + i]) {
            i++;
        }
        if (i === 576) {
            return first;
        }
    }
    return -1;
}

// Files: a broken one named and skipped, a tagged one played with its title
// centred on SPACE; full screen by F and double-click; the 60 fps pace.
async function filesRun() {
    const browser = await launch(["--autoplay-policy=no-user-gesture-required", "--use-fake-device-for-media-stream",
                                  "--deny-permission-prompts"]);
    try {
        const page = await openPage(browser, isolatedUrl, 320, 200);
        await page.click("#start-button");
        await waitFor(page, "the demo tune", (s) => s.source === "demo" && s.shown > 30);
        // A refused microphone is said on the page; the sound goes on. (Headless
        // Chromium's screen-share picker never answers: a tab's sound is not tested.)
        await page.click("#source-microphone");
        await waitFor(page, "the microphone refused", (s) => /^The microphone was refused/.test(s.message));
        assert.equal((await status(page)).source, "demo");
        const input = await page.$("#file-input");
        await input.uploadFile(path.join(work, "broken.mp3"), path.join(work, "song.flac"),
                               path.join(work, "tagged.mp3"));
        const playing = await waitFor(page, "the tagged file", (s) => s.source === "file");
        assert.equal(playing.index, 1);
        assert.match(playing.playlist[0].failed, /cannot decode/);
        assert.match(playing.message, /^Cannot play broken\.mp3: the browser cannot decode it/);
        assert.equal(playing.title, "Test Artist - Blue Sky");
        await sleep(500);
        // The title shows for ten frames: a machine too busy to show one of
        // them before the pause gets another SPACE
        let titled = false;
        for (let attempt = 0; attempt < 4 && !titled; attempt++) {
            if (attempt > 0) {
                await page.evaluate(() => window.raysphere.resume());
            }
            await page.keyboard.press("Space");
            await sleep(60);
            await page.evaluate(() => window.raysphere.pause());
            await sleep(200);
            titled = titleShown(await canvasPixels(page), `classic - ${playing.title}`);
        }
        assert.ok(titled, "SPACE shows the scene and the tags' title centred");
        const log = await page.evaluate(() => window.raysphere.frameLog().slice(-20).map((f) => Array.from(f.block)));
        const offsets = log.map((block) => blockOffset(block));
        assert.ok(offsets.every((offset) => offset >= 0), `every block is the file's, exactly: ${offsets}`);
        const steps = offsets.slice(1).map((offset, i) => offset - offsets[i]).sort((a, b) => a - b);
        const median = steps[steps.length >> 1];
        assert.ok(median >= 600 && median <= 880, `blocks follow the sound, 735 frames a frame: ${steps}`);
        await page.evaluate(() => window.raysphere.resume());

        // N: the MP3's ID3 title; past the end said; P back to the FLAC.
        await page.keyboard.press("KeyN");
        await waitFor(page, "N to the MP3", (s) => s.index === 2 && s.title === "Second Artist - Song Two");
        await page.keyboard.press("KeyN");
        await waitFor(page, "N past the end", (s) => s.message === "This is the last file.");
        await page.keyboard.press("KeyP");
        await waitFor(page, "P back to the FLAC", (s) => s.index === 1 && s.title === "Test Artist - Blue Sky");

        // A WAV dropped on the page joins the playlist and plays: its RIFF INFO title.
        await page.evaluate(() => {
            const frames = 44100;
            const name = new TextEncoder().encode("Dropped Title\0\0\0");
            const info = 4 + 8 + name.length;
            const bytes = new Uint8Array(44 + frames * 2 + 8 + info);
            const view = new DataView(bytes.buffer);
            const text = (at, value) => value.split("").forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
            text(0, "RIFF");
            view.setUint32(4, bytes.length - 8, true);
            text(8, "WAVEfmt ");
            view.setUint32(16, 16, true);
            view.setUint16(20, 1, true);
            view.setUint16(22, 1, true);
            view.setUint32(24, 44100, true);
            view.setUint32(28, 88200, true);
            view.setUint16(32, 2, true);
            view.setUint16(34, 16, true);
            text(36, "data");
            view.setUint32(40, frames * 2, true);
            for (let i = 0; i < frames; i++) {
                view.setInt16(44 + i * 2, Math.round(12000 * Math.sin(i / 20)), true);
            }
            const list = 44 + frames * 2;
            text(list, "LIST");
            view.setUint32(list + 4, info, true);
            text(list + 8, "INFOINAM");
            view.setUint32(list + 16, name.length, true);
            bytes.set(name, list + 20);
            const transfer = new DataTransfer();
            transfer.items.add(new File([bytes], "dropped.wav", { type: "audio/wav" }));
            window.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, cancelable: true }));
        });
        await waitFor(page, "the dropped WAV", (s) => s.index === 3 && s.title === "Dropped Title" &&
                                                      s.source === "file");
        await page.keyboard.press("KeyF");
        await waitFor(page, "full screen on F", (s) => s.fullscreen);
        await page.keyboard.press("KeyF");
        await waitFor(page, "full screen off on F", (s) => !s.fullscreen);
        const barTop = await page.evaluate(() => document.getElementById("bar").getBoundingClientRect().top);
        assert.ok(barTop > 20, `the controls leave the picture room at 320 x 200 (their top at ${barTop})`);
        await page.mouse.click(160, Math.floor(barTop / 2), { clickCount: 2 });
        await waitFor(page, "full screen on a double-click", (s) => s.fullscreen);

        await page.keyboard.press("Space");
        await sleep(50);
        await page.screenshot({ path: path.join(work, "page-title.png") });
        const start = (await status(page)).shown;
        await sleep(3000);
        const after = await status(page);
        console.log(`files: broken.mp3 skipped with "${playing.message}"; SPACE showed "${playing.title}" centred; ` +
                    `${after.fps.toFixed(1)} fps at 320 x 200`);
        assert.ok((after.shown - start) / 3 <= 62, "never more than 60 animation steps a second");
        assert.deepEqual(page.problems, []);
    } finally {
        await browser.close();
    }
}

// The live page in the sharp mode at 1920 x 1080, every pixel against the
// adapting size, side by side (figures printed, not asserted: speed is the
// benchmark's business); the adapting one must have left every pixel when
// that did not keep 60 frames a second, and the motion keeps 60 steps.
async function sharpRateRun() {
    const browser = await launch(["--autoplay-policy=no-user-gesture-required"]);
    try {
        const figures = {};
        for (const mode of ["full", "adapting"]) {
            const page = await openPage(browser, `${isolatedUrl}?sharp${mode === "full" ? "=full" : ""}`, 1920, 1080);
            await page.click("#start-button");
            await waitFor(page, "sharp frames", (s) => s.shown > 5, 20000);
            await sleep(4000);
            const first = await status(page);
            await sleep(2000);
            const now = await status(page);
            figures[mode] = now;
            console.log(`sharp, ${mode}: ${now.fps.toFixed(1)} fps at 1920 x 1080 on ${now.threads} threads, ` +
                        `traced at ${now.stats.width} x ${now.stats.height} (level ${now.stats.level}), ` +
                        `${now.stats.ms.toFixed(1)} ms a trace; ${((now.shown - first.shown) / 2).toFixed(1)} frames and ` +
                        `${((now.shown + now.stats.skipped - first.shown - first.stats.skipped) / 2).toFixed(1)} ` +
                        "steps of motion a second");
            assert.deepEqual(page.problems, []);
            await page.close();
        }
        const full = figures.full;
        assert.equal(full.stats.width, 1920, "?sharp=full traces every pixel");
        if (full.stats.ms > (1000 / 60) * 0.85) {
            assert.ok(figures.adapting.stats.width < 1920, "a size that does not keep up is left");
        }
    } finally {
        await browser.close();
    }
}

// The packed library in a page of its own (embed_main.js, bundled by
// esbuild): its oscillator drawn by two visualisers side by side, on
// threads where the page is isolated and on one where not; both destroyed
// cleanly.
async function embedRun() {
    const pack = JSON.parse(fs.readFileSync(path.join(work, "pack.json"), "utf8"))[0];
    const files = pack.files.map((file) => file.path).sort();
    console.log(`npm tarball ${pack.filename}: ${pack.size} bytes packed, ${pack.unpackedSize} unpacked; ` +
                `${files.join(", ")}`);
    for (const needed of ["package.json", "raysphere.js", "raysphere.d.ts", "trace_worker.js", "tap_worklet.js",
                          "raysphere_core_st.wasm", "raysphere_core_mt.wasm", "raysphere_core_mt.worker.js"]) {
        assert.ok(files.includes(needed), `the tarball holds ${needed}`);
    }
    const browser = await launch(["--autoplay-policy=no-user-gesture-required"]);
    try {
        for (const [url, isolated] of [[isolatedUrl, true], [plainUrl, false]]) {
            const page = await browser.newPage();
            const problems = [];
            page.on("pageerror", (error) => problems.push(error.message));
            await page.setViewport({ width: 700, height: 220 });
            await page.goto(`${url}embed/`);
            const started = await page.evaluate(() => Promise.all(window.visualisers.map((vis) => vis.ready)));
            for (const one of started) {
                assert.ok(isolated ? one.threads >= 2 : one.threads === 1, `threads ${one.threads}, isolated ${isolated}`);
            }
            await page.waitForFunction(() => window.frames.length === 2 && window.visualisers.every(
                (vis) => vis.stats.shown > 30), { timeout: 15000 });
            await page.evaluate(() => window.visualisers.forEach((vis) => vis.pause()));
            await sleep(200);
            const shown = await page.evaluate(() => window.frames.map((frame, i) => {
                const canvas = document.querySelectorAll("canvas")[i];
                const pixels = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
                let lit = 0;
                for (let at = 0; at < pixels.length; at += 4) {
                    lit += pixels[at] + pixels[at + 1] + pixels[at + 2] > 60 ? 1 : 0;
                }
                let binary = "";
                for (let at = 0; at < pixels.length; at += 32768) {
                    binary += String.fromCharCode.apply(null, pixels.subarray(at, at + 32768));
                }
                return { block: Array.from(frame.block), rgba: btoa(binary), lit: lit,
                         size: [canvas.width, canvas.height] };
            }));
            const rate = await page.evaluate(() => window.visualisers[0] && new AudioContext().sampleRate);
            for (const one of shown) {
                assert.deepEqual(one.size, [320, 200], "each canvas at its own CSS size");
                const rgba = Buffer.from(one.rgba, "base64");
                assert.equal(scopeMatches(rgba, one.block), 156, "the scope draws the oscillator's block");
                const left = one.block.slice(0, 576).map((b) => (b << 24) >> 24);
                let crossings = 0;
                for (let i = 1; i < 576; i++) {
                    crossings += (left[i - 1] < 0) !== (left[i] < 0) ? 1 : 0;
                }
                const expected = (2 * 576 * 220) / rate;
                assert.ok(Math.abs(crossings - expected) <= 2, `the 220 Hz tone: ${crossings} crossings, ${expected}`);
                assert.ok(one.lit > 320 * 200 * 0.2, `the spheres drawn (${one.lit} lit pixels)`);
            }
            const after = await page.evaluate(async () => {
                window.visualisers.forEach((vis) => vis.resume());
                await new Promise((resolve) => setTimeout(resolve, 300));
                window.visualisers.forEach((vis) => vis.destroy());
                const then = window.visualisers.map((vis) => vis.stats.shown);
                await new Promise((resolve) => setTimeout(resolve, 500));
                const trace = await window.visualisers[0].renderBlock(new Uint8Array(1152)).then(
                    () => "made", (error) => error.message);
                return { then: then, now: window.visualisers.map((vis) => vis.stats.shown), trace: trace };
            });
            assert.deepEqual(after.now, after.then, "no frames after destroy()");
            assert.equal(after.trace, "the visualiser was destroyed");
            assert.deepEqual(problems, []);
            if (isolated) {
                await page.screenshot({ path: path.join(work, "embed.png") });
            }
            await page.close();
            console.log(`embed: two visualisers of the packed library drew a 220 Hz oscillator on ` +
                        `${started[0].threads} thread(s) each (${isolated ? "isolated" : "plain"}); destroyed cleanly`);
        }
    } finally {
        await browser.close();
    }
}

// The names of the page's controls that have none a user can hear or read.
async function unnamedControls(page) {
    return page.evaluate(() => Array.from(document.querySelectorAll("button, input, select, li[tabindex]"))
        .filter((control) => control.type !== "file" && control.getClientRects().length > 0)
        .filter((control) => {
            const label = control.labels && control.labels[0] ? control.labels[0].textContent.trim() : "";
            return !(control.getAttribute("aria-label") || control.textContent.trim() || label);
        })
        .map((control) => control.id || control.outerHTML));
}

// A phone's 390 x 844 touch screen: the picture moves before the sound
// starts; every control is named, on the screen, and works by touch before
// and after the sound starts; messages show; the controls fade and a tap on
// the picture brings them back without working what lies under it.
async function phoneRun() {
    const browser = await launch(["--autoplay-policy=no-user-gesture-required"]);
    try {
        const page = await browser.newPage();
        const problems = [];
        page.on("pageerror", (error) => problems.push(error.message));
        await page.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 });
        await page.goto(isolatedUrl);
        await page.addScriptTag({ url: "test_hook.js", type: "module" });
        await page.waitForFunction(() => window.raysphere !== undefined);
        await page.evaluate(() => window.raysphere.ready);
        const before = await waitFor(page, "the silent picture", (s) => s.shown > 20);
        await sleep(500);
        const moving = await status(page);
        assert.equal(moving.source, "preview");
        assert.ok(moving.shown > before.shown + 10, "the picture moves before the sound starts");
        assert.deepEqual(await unnamedControls(page), [], "every control named");
        const outside = await page.evaluate(() => Array.from(document.querySelectorAll("#bar button, #bar input, #bar select"))
            .filter((control) => control.type !== "file" && control.getClientRects().length > 0)
            .filter((control) => {
                const box = control.getBoundingClientRect();
                return box.left < 0 || box.right > window.innerWidth;
            }).map((control) => control.id));
        assert.deepEqual(outside, [], "every control within the phone's width");
        assert.match(await page.$eval("#help", (help) => help.textContent), /^Tap the picture/);
        await page.screenshot({ path: path.join(work, "phone-before.png") });

        // Before the sound: the frame rate, and files chosen by touch.
        await page.tap("#frame-rate");
        assert.ok(!(await page.$eval("#fps", (fps) => fps.hidden)), "the frame rate shows");
        const choosing = page.waitForFileChooser();
        await sleep(300); // the browser told to hand the chooser over first
        await page.tap("#files-button");
        const chooser = await choosing;
        await chooser.accept([path.join(work, "song.flac"), path.join(work, "tagged.mp3"), path.join(work, "tone.wav")]);
        let now = await waitFor(page, "the first file", (s) => s.source === "file" && s.index === 0);
        assert.equal(now.title, "Test Artist - Blue Sky");
        assert.deepEqual(now.current, [0], "the list marks the one playing");
        assert.match(now.nowPlaying, /^Test Artist - Blue Sky \(1 of 3: song\.flac\)$/);

        // Next and previous, pause and play, seek, volume.
        await page.tap("#next");
        await waitFor(page, "next by touch", (s) => s.index === 1 && s.title === "Second Artist - Song Two" &&
                                                    s.current[0] === 1 && /^Second Artist/.test(s.nowPlaying));
        await page.tap("#previous");
        await waitFor(page, "previous by touch", (s) => s.index === 0 && s.source === "file" && !s.paused);
        await page.tap("#play-pause");
        await waitFor(page, "pause by touch", (s) => s.paused);
        assert.equal(await page.$eval("#play-pause", (button) => button.getAttribute("aria-label")), "Play");
        await page.tap("#play-pause");
        await waitFor(page, "play by touch", (s) => !s.paused);
        const bar = await (await page.$("#position")).boundingBox();
        await page.touchscreen.tap(bar.x + bar.width * 0.75, bar.y + bar.height / 2);
        await waitFor(page, "a seek on the position bar", (s) => s.position > 19 && s.position < 26);
        const volume = await (await page.$("#volume")).boundingBox();
        await page.touchscreen.tap(volume.x + volume.width * 0.25, volume.y + volume.height / 2);
        await waitFor(page, "the volume", (s) => s.volume > 0.1 && s.volume < 0.45);

        // The view: sharp, full screen, the playlist, the title.
        await page.tap("#sharp");
        await waitFor(page, "sharp by touch", (s) => s.sharp && s.stats.width !== 320);
        await page.tap("#sharp");
        await waitFor(page, "sharp off", (s) => !s.sharp && s.stats.width === 320);
        await page.tap("#fullscreen");
        await waitFor(page, "full screen by touch", (s) => s.fullscreen);
        await page.tap("#fullscreen");
        await waitFor(page, "full screen left", (s) => !s.fullscreen);
        await page.tap("#show-title");
        await waitFor(page, "the scene picker filled", (s) => s.scenes.length >= 8);
        await page.select("#scene", "fountain");
        await waitFor(page, "a scene picked on the phone", (s) => s.scene === "fountain");
        await page.tap("#playlist-toggle");
        assert.equal(await page.$$eval("#playlist li", (items) => items.length), 3);
        await page.tap("#playlist li:nth-child(3)");
        await waitFor(page, "a file chosen in the list", (s) => s.index === 2 && s.title === "tone" &&
                                                               s.current[0] === 2);
        await page.screenshot({ path: path.join(work, "phone-controls.png") });
        await page.tap("#next");
        await waitFor(page, "next past the end said", (s) => s.message === "This is the last file.");

        // Stop; the controls fade; a tap where a faded control sits only wakes them.
        await page.tap("#stop");
        await waitFor(page, "stop", (s) => s.source === "none" && /^Stopped/.test(s.nowPlaying));
        await page.evaluate(() => document.activeElement.blur());
        await waitFor(page, "the controls fading", (s) => s.barIdle && s.message === "", 12000);
        const next = await (await page.$("#next")).boundingBox();
        await page.touchscreen.tap(next.x + next.width / 2, next.y + next.height / 2);
        now = await waitFor(page, "the controls back", (s) => !s.barIdle);
        await sleep(300);
        assert.equal((await status(page)).message, "", "a faded control did not work");

        // A title of 2,000 characters stays within the screen.
        await page.evaluate(() => {
            const name = new TextEncoder().encode(`${"A very long title ".repeat(111)}ends\0\0`);
            const info = 4 + 8 + name.length;
            const frames = 44100;
            const bytes = new Uint8Array(44 + frames * 2 + 8 + info);
            const view = new DataView(bytes.buffer);
            const text = (at, value) => value.split("").forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
            text(0, "RIFF");
            view.setUint32(4, bytes.length - 8, true);
            text(8, "WAVEfmt ");
            view.setUint32(16, 16, true);
            view.setUint16(20, 1, true);
            view.setUint16(22, 1, true);
            view.setUint32(24, 44100, true);
            view.setUint32(28, 88200, true);
            view.setUint16(32, 2, true);
            view.setUint16(34, 16, true);
            text(36, "data");
            view.setUint32(40, frames * 2, true);
            const list = 44 + frames * 2;
            text(list, "LIST");
            view.setUint32(list + 4, info, true);
            text(list + 8, "INFOINAM");
            view.setUint32(list + 16, name.length, true);
            bytes.set(name, list + 20);
            const transfer = new DataTransfer();
            transfer.items.add(new File([bytes], "long-title.wav", { type: "audio/wav" }));
            window.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, cancelable: true }));
        });
        await waitFor(page, "the long title", (s) => s.source === "file" && s.title.length > 1990);
        const widths = await page.evaluate(() => [document.documentElement.scrollWidth,
            document.getElementById("bar").scrollWidth, document.getElementById("now-playing").getBoundingClientRect().right]);
        assert.ok(widths.every((width) => width <= 390), `a long title stays within the screen: ${widths}`);

        // The demo by touch; N there says where it goes.
        await page.tap("#source-demo");
        await waitFor(page, "the demo by touch", (s) => s.source === "demo");
        await page.tap("#next");
        await waitFor(page, "N from the demo", (s) => /^Back to the playlist/.test(s.message) && s.source === "file");
        assert.deepEqual(problems, []);
        console.log("phone: every control named, within the screen and working by touch, before and after Start");
    } finally {
        await browser.close();
    }
}

// Proportional memory (PSS) of the browser and every process under it, in MB.
function browserMemory(browser) {
    const parents = new Map();
    for (const entry of fs.readdirSync("/proc")) {
        try {
            const stat = fs.readFileSync(`/proc/${entry}/stat`, "utf8");
            parents.set(Number(entry), Number(stat.slice(stat.lastIndexOf(")") + 2).split(" ")[1]));
        } catch (error) {
            // not a process, or gone
        }
    }
    const family = new Set([browser.process().pid]);
    for (let grown = true; grown;) {
        grown = false;
        for (const [pid, parent] of parents) {
            if (family.has(parent) && !family.has(pid)) {
                family.add(pid);
                grown = true;
            }
        }
    }
    let kilobytes = 0;
    for (const pid of family) {
        try {
            kilobytes += Number(/^Pss:\s+(\d+)/m.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`, "utf8"))[1]);
        } catch (error) {
            // gone meanwhile
        }
    }
    return kilobytes / 1024;
}

// Two-hour files stream: each starts at once, "loading" shown meanwhile,
// the memory stays near the demo's; the position bar seeks an hour in; a
// file chosen while a long one opens wins over it.
async function longRun() {
    const browser = await launch(["--autoplay-policy=no-user-gesture-required"]);
    try {
        const page = await openPage(browser, isolatedUrl, 1280, 720);
        await sleep(500);
        await page.screenshot({ path: path.join(work, "desktop-before.png") });
        // Files... by the keyboard alone, before the sound starts.
        let focused = "";
        for (let presses = 0; presses < 20 && focused !== "files-button"; presses++) {
            await page.keyboard.press("Tab");
            focused = await page.evaluate(() => document.activeElement.id);
        }
        assert.equal(focused, "files-button", "Tab reaches Files...");
        const choosing = page.waitForFileChooser();
        await sleep(300); // the browser told to hand the chooser over first
        await page.keyboard.press("Enter");
        await (await choosing).cancel();
        await page.click("#start-button");
        await waitFor(page, "the demo tune", (s) => s.source === "demo");
        // N and P with no files say so.
        await page.keyboard.press("KeyN");
        await waitFor(page, "N in the demo", (s) => /^No files to step through/.test(s.message));
        await sleep(3000);
        const base = browserMemory(browser);
        const input = await page.$("#file-input");
        for (const [name, index] of [["long.flac", 0], ["long.wav", 1]]) {
            const started = Date.now();
            await input.uploadFile(path.join(work, name));
            const playing = await waitFor(page, `${name} playing`, (s) => s.source === "file" && s.index === index &&
                                                                         !s.paused && s.position > 0, 30000);
            const startMs = Date.now() - started;
            assert.ok(playing.labels.includes(`Loading ${name}\u2026`), `"loading" shown: ${playing.labels}`);
            await sleep(3000);
            const later = await status(page);
            const added = browserMemory(browser) - base;
            console.log(`${name} (2 hours): playing after ${startMs} ms, ${later.time}; ` +
                        `${added.toFixed(0)} MB more than the demo (${base.toFixed(0)} MB)`);
            assert.ok(startMs < 10000, `${name} started after ${startMs} ms`);
            assert.ok(added < 300, `${name} added ${added.toFixed(0)} MB`);
            assert.match(later.time, / \/ 2:00:00$/);
            const log = await page.evaluate(() => window.raysphere.frameLog().slice(-5).map((f) => Array.from(f.block)));
            assert.ok(log.every((block) => block.some((b) => b !== 0)), "the picture follows the file");
        }
        await page.evaluate(() => {
            const position = document.getElementById("position");
            position.value = 500;
            position.dispatchEvent(new Event("change"));
        });
        await waitFor(page, "a seek an hour in", (s) => /^1:00:0\d \/ 2:00:00$/.test(s.time));
        await page.mouse.move(600, 300);
        await page.mouse.move(640, 360);
        await sleep(400);
        await page.screenshot({ path: path.join(work, "long-playing.png") });

        // The long WAV again, and at once the MP3: the MP3 plays, labelled as itself.
        await input.uploadFile(path.join(work, "long.wav"));
        await input.uploadFile(path.join(work, "tagged.mp3"));
        await waitFor(page, "the newer file", (s) => s.source === "file" && s.index === 3);
        await sleep(2000);
        const last = await status(page);
        assert.equal(last.index, 3, "the newer choice stays");
        assert.equal(last.title, "Second Artist - Song Two");
        assert.match(last.nowPlaying, /^Second Artist - Song Two \(4 of 4: tagged\.mp3\)$/);
        assert.deepEqual(last.current, [3]);
        assert.deepEqual(page.problems, []);
    } finally {
        await browser.close();
    }
}

// serve.py on `site` at `port` (0: a free one); resolves with its process and URL.
function startServer(site, port) {
    const server = spawn("python3", ["-u", path.join(__dirname, "..", "..", "web", "serve.py"), "--port", String(port),
                                     "--site", site], { stdio: ["ignore", "pipe", "pipe"] });
    server.output = "";
    return new Promise((resolve, reject) => {
        const take = (data) => {
            server.output += data;
            const found = /http:\/\/localhost:(\d+)\//.exec(server.output);
            if (found) {
                resolve({ server: server, url: found[0], port: Number(found[1]) });
            }
        };
        server.stdout.on("data", take);
        server.stderr.on("data", take);
        server.on("exit", () => reject(new Error(`serve.py ended: ${server.output}`)));
    });
}

function stopServer(server) {
    return new Promise((resolve) => {
        server.removeAllListeners("exit");
        server.on("exit", resolve);
        server.kill();
    });
}

function statusOf(url) {
    return new Promise((resolve, reject) => http.get(url, (response) => {
        response.resume();
        resolve(response.statusCode);
    }).on("error", reject));
}

// Installable and offline: the manifest and icons without a fault, the
// page opened again with its server gone, a new version taking over cleanly;
// serve.py answers bad paths with 400.
async function installRun() {
    const site = path.join(work, "site-install");
    fs.cpSync(path.join(work, "site"), site, { recursive: true });
    let { server, url, port } = await startServer(site, 0);
    for (const bad of ["%00", "a%00b.js", "%ff%fe.js"]) {
        assert.equal(await statusOf(`${url}${bad}`), 400, `serve.py on /${bad}`);
    }
    assert.equal(await statusOf(`${url}nothing.js`), 404);
    const browser = await launch();
    try {
        const page = await browser.newPage();
        const problems = [];
        page.on("pageerror", (error) => problems.push(error.message));
        await page.setViewport({ width: 640, height: 400 });
        await page.goto(url);
        await page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 30000 });
        const session = await page.createCDPSession();
        const manifest = await session.send("Page.getAppManifest");
        assert.deepEqual(manifest.errors, [], "the manifest reads cleanly");
        const icons = JSON.parse(manifest.data).icons.map((icon) => icon.sizes);
        assert.deepEqual(icons, ["192x192", "512x512"]);
        const installable = await session.send("Page.getInstallabilityErrors");
        assert.deepEqual(installable.installabilityErrors, [], "installable");
        const stores = await page.evaluate(() => caches.keys());
        assert.equal(stores.length, 1);

        // The server gone: the page opens from its store and traces.
        await stopServer(server);
        assert.match(server.output, /^Serving/);
        assert.doesNotMatch(server.output, /Traceback/);
        await page.reload();
        await page.waitForFunction(() => !document.getElementById("start-button").disabled, { timeout: 20000 });
        assert.match(await page.$eval("#threads-note", (note) => note.textContent), /^traced on/);
        await page.screenshot({ path: path.join(work, "offline.png") });

        // A new version on the server: one reload, and it has taken over, alone.
        const index = path.join(site, "index.html");
        fs.writeFileSync(index, fs.readFileSync(index, "utf8").replace(/raysphere ([^:]*):/, "raysphere $1-next:"));
        execFileSync("cmake", [`-DSITE=${site}`, `-DTEMPLATE=${path.join(__dirname, "..", "..", "web", "service_worker.js.in")}`,
                               `-DOUTPUT=${path.join(site, "service_worker.js")}`, "-P",
                               path.join(__dirname, "..", "..", "web", "service_worker.cmake")]);
        ({ server } = await startServer(site, port));
        await page.reload();
        await page.waitForFunction(() => /-next:/.test(document.getElementById("about").textContent),
                                   { timeout: 30000 });
        const after = await page.evaluate(() => caches.keys());
        assert.equal(after.length, 1, `one store after the update: ${after}`);
        assert.notEqual(after[0], stores[0]);
        assert.deepEqual(problems, []);
        console.log(`install: manifest and icons clean, installable; offline from ${stores[0]}; ` +
                    `updated to ${after[0]}; serve.py answers bad paths with 400`);
    } finally {
        await browser.close();
        await stopServer(server);
    }
}

const RUNS = { frames: framesRun, microphone: microphoneRun, files: filesRun, sharp: sharpRateRun, embed: embedRun, phone: phoneRun, long: longRun, install: installRun };

(async () => {
    const chosen = process.argv.slice(5);
    for (const [name, routine] of Object.entries(RUNS)) {
        if (chosen.length === 0 || chosen.includes(name)) {
            await routine();
        }
    }
    console.log("web page tests passed");
})().catch((error) => {
    console.error(error);
    process.exit(1);
});
