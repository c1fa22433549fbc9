// A page of its own using the library: its AudioContext, an oscillator, two
// visualisers side by side (the frames they draw kept for the test).
import { createRaysphere } from "raysphere";

const audioContext = new AudioContext();
const tone = new OscillatorNode(audioContext, { frequency: 220 });
tone.start();
window.frames = [];
window.visualisers = Array.from(document.querySelectorAll("canvas"), (canvas, i) => {
    const vis = createRaysphere(canvas, { audioContext, onFrame: (frame) => (window.frames[i] = frame) });
    vis.connect(tone);
    return vis;
});
