// The sound side of the visualiser: the tap the connected nodes pass
// through, and the player's block cut from the tapped samples at the moment
// being heard (or the newest, for a capture nobody hears).

export const BLOCK_FRAMES = 576;
const HISTORY_FRAMES = 1 << 16; // about 1.4 s of tapped samples
const HISTORY_MASK = HISTORY_FRAMES - 1;

// A float sample as the 16-bit sample it came from: the browsers' decoders
// scale a 16-bit sample s by 1/32767 above zero and by 1/32768 below.
export function toPcm16(value) {
    const sample = Math.round(value > 0 ? value * 32767 : value * 32768);
    return sample > 32767 ? 32767 : sample < -32768 ? -32768 : sample;
}

export function createTap() {
    return {
        context: null,
        node: null,          // the AudioWorkletNode, once made
        made: null,          // its making, under way or done
        history: new Int16Array(HISTORY_FRAMES * 2), // interleaved stereo, indexed by frame
        newest: -1,          // the last frame tapped, -1 before any
        inputs: [],          // the nodes connected
        followsOutput: true, // the block follows the output's latency (false: the newest samples)
    };
}

// Makes the tap in `context` (once): a worklet that copies what passes and
// outputs silence, pulled by the context's destination.
export function makeTap(tap, context) {
    if (tap.made) {
        return tap.made;
    }
    tap.context = context;
    tap.made = (async () => {
        await context.audioWorklet.addModule(new URL("./tap_worklet.js", import.meta.url).href);
        tap.node = new AudioWorkletNode(context, "raysphere-tap", {
            numberOfInputs: 1,
            numberOfOutputs: 1,
            outputChannelCount: [2],
            channelCount: 2,
            channelCountMode: "explicit",
            channelInterpretation: "speakers", // a mono source fills both channels
        });
        tap.node.port.onmessage = (event) => storeRun(tap, event.data);
        tap.node.connect(context.destination); // pulls the tap; it plays silence
    })();
    return tap.made;
}

function storeRun(tap, run) {
    const history = tap.history;
    for (let i = 0; i < run.left.length; i++) {
        const at = ((run.firstFrame + i) & HISTORY_MASK) * 2;
        history[at] = toPcm16(run.left[i]);
        history[at + 1] = toPcm16(run.right[i]);
    }
    tap.newest = Math.max(tap.newest, run.firstFrame + run.left.length - 1);
}

// Takes `node` through the tap as well as wherever it goes already.
export async function tapNode(tap, node, capture) {
    tap.inputs.push(node);
    tap.followsOutput = !capture;
    await makeTap(tap, node.context);
    if (tap.inputs.includes(node)) {
        node.connect(tap.node);
    }
}

// Lets go of every connected node; the blocks are silent from here.
export function untapAll(tap) {
    for (const node of tap.inputs) {
        if (tap.node) {
            try {
                node.disconnect(tap.node);
            } catch (error) {
                // already disconnected by its owner
            }
        }
    }
    tap.inputs = [];
    tap.history.fill(0);
    tap.newest = -1;
}

export function closeTap(tap) {
    untapAll(tap);
    if (tap.node) {
        tap.node.port.onmessage = null;
        tap.node.disconnect();
        tap.node = null;
    }
}

// The context frame being heard now: the output's timestamp moved on to now,
// or the context's time less the output's latencies.
function heardFrame(context) {
    let seconds;
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        seconds = stamp.contextTime + Math.max(0, performance.now() - stamp.performanceTime) / 1000;
    } else {
        seconds = context.currentTime - (context.baseLatency || 0) - (context.outputLatency || 0);
    }
    return Math.floor(seconds * context.sampleRate);
}

// Writes the 576 interleaved stereo samples the player would hand over now
// into `pcm`: from the frame being heard for a played source, the newest for
// a capture; silence where nothing was tapped.
export function fillBlock(tap, pcm) {
    if (!tap.context || tap.newest < 0) {
        pcm.fill(0);
        return;
    }
    const newestStart = tap.newest + 1 - BLOCK_FRAMES;
    let first = tap.followsOutput ? Math.min(heardFrame(tap.context), newestStart) : newestStart;
    first = Math.max(first, tap.newest + 1 - HISTORY_FRAMES);
    for (let i = 0; i < BLOCK_FRAMES; i++) {
        const at = ((first + i) & HISTORY_MASK) * 2;
        pcm[i * 2] = first + i < 0 ? 0 : tap.history[at];
        pcm[i * 2 + 1] = first + i < 0 ? 0 : tap.history[at + 1];
    }
}
