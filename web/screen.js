// The canvas: the plug-in's frame enlarged in its shape, or a sharp frame
// at the canvas's device pixels.
import { element, page } from "./page_state.js";

// The canvas at the window's device pixels.
export function fitCanvas() {
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
export function drawScaled() {
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

export function showFrame(message) {
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
        const threads = page.tracer.threads; // the plug-in's frame is traced on one
        const on = message.width === 320 && message.height === 200 ? "" :
                   ` on ${threads} thread${threads > 1 ? "s" : ""}`;
        element("fps").textContent = `${page.fps.toFixed(1)} fps of 60, ${message.width} x ${message.height}, ` +
                                     `${message.ms.toFixed(1)} ms a frame${on}`;
    }
}

// The size to trace: the plug-in's frame, or the canvas's device pixels.
export function frameSize() {
    return page.sharp ? [page.canvas.width, page.canvas.height] : [320, 200];
}


export function setSharp(on) {
    page.sharp = on;
    element("sharp").checked = on;
    if (!on && page.lastFrame) {
        drawScaled();
    }
}

