// The tests' look inside the page, added by them to a copy of the site (the
// page itself ships without it): frames from given blocks, and the state.
import { element, page } from "./page_state.js";
import { createRaysphere } from "./raysphere.js";

const FRAME_LOG_LENGTH = 600; // live frames the tests can look back on
const frameLog = [];
page.frameListeners.push((message) => {
    frameLog.push({ block: message.block, radius: message.radius });
    if (frameLog.length > FRAME_LOG_LENGTH) {
        frameLog.shift();
    }
});

// Every label the page showed for what plays, however briefly.
const labels = [];
new MutationObserver(() => labels.push(element("now-playing").textContent))
    .observe(element("now-playing"), { childList: true, characterData: true, subtree: true });

window.raysphere = {
    ready: page.vis.ready,
    // Frames from `blocks` (2 x 576 bytes each), from the scene's first
    // step on, at 320 x 200 or in the sharp mode, by a visualiser of their
    // own on the page's canvas (the page's holds still); the last one shows.
    async renderBlocks(blocks, sharp, scene) {
        page.vis.pause();
        const vis = createRaysphere(page.vis.canvas, { live: false, sharp: sharp, threads: page.vis.threads,
                                                       scene: scene });
        const radii = [];
        let frame = null;
        for (let at = 0; at < blocks.length; at += 1152) {
            frame = await vis.renderBlock(blocks.slice(at, at + 1152));
            radii.push(frame.radius);
        }
        vis.destroy();
        return { width: frame.width, height: frame.height, radii: radii, scene: frame.scene };
    },
    trace: (input, width, height) => page.vis.trace(input, width, height),
    // Holds the live frames (the last one stays shown); the sound goes on.
    pause() {
        page.vis.pause();
        return page.audio.context ? page.audio.context.sampleRate : 0;
    },
    resume: () => page.vis.resume(),
    frameLog: () => frameLog,
    status: () => ({ scene: page.vis.scene, picked: element("scene").value,
                     scenes: Array.from(element("scene").options, (option) => option.value), source: page.source, title: page.title, live: page.vis.live, shown: page.vis.stats.shown,
                     fps: page.vis.stats.fps, stats: page.vis.stats, sharp: page.vis.sharp, threads: page.vis.threads,
                     isolated: self.crossOriginIsolated, fullscreen: document.fullscreenElement !== null,
                     message: element("toast").hidden ? "" : element("toast").textContent,
                     nowPlaying: element("now-playing").textContent,
                     playlist: page.playlist.entries.map((e) => ({ name: e.file.name, title: e.title,
                                                                     failed: e.failed || "" })),
                     index: page.playlist.index,
                     current: Array.from(document.querySelectorAll("#playlist li[aria-current]"),
                                         (item) => parseInt(item.dataset.index, 10)),
                     paused: page.audio.element ? page.audio.element.paused : true,
                     position: page.audio.element ? page.audio.element.currentTime : 0,
                     volume: page.audio.output ? page.audio.output.gain.value : 1,
                     barIdle: element("bar").classList.contains("idle"),
                     time: element("time").textContent, labels: labels.slice(-12) }),
};
