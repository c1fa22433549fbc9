// The tap: copies every sample run that passes, both channels, to the page
// with the frame it starts at, so the page can cut the player's blocks from
// exactly what is played. It outputs silence.
const RUN_FRAMES = 256; // frames a message carries

class TapProcessor extends AudioWorkletProcessor {
    constructor() {
        super();
        this.left = new Float32Array(RUN_FRAMES);
        this.right = new Float32Array(RUN_FRAMES);
        this.filled = 0;
        this.firstFrame = 0;
    }

    process(inputs) {
        const input = inputs[0];
        if (input.length === 0) {
            return true; // nothing connected just now
        }
        const left = input[0];
        const right = input.length > 1 ? input[1] : input[0];
        for (let i = 0; i < left.length; i++) {
            if (this.filled === 0) {
                this.firstFrame = currentFrame + i;
            }
            this.left[this.filled] = left[i];
            this.right[this.filled] = right[i];
            this.filled++;
            if (this.filled === RUN_FRAMES) {
                this.port.postMessage({ firstFrame: this.firstFrame, left: this.left, right: this.right },
                                      [this.left.buffer, this.right.buffer]);
                this.left = new Float32Array(RUN_FRAMES);
                this.right = new Float32Array(RUN_FRAMES);
                this.filled = 0;
            }
        }
        return true;
    }
}

// Several visualisers on one context share the one registration.
try {
    registerProcessor("raysphere-tap", TapProcessor);
} catch (error) {
    // registered already
}
