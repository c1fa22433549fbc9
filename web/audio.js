// The sound: one AudioContext, the tap every source passes through, and the
// player's block cut from the tapped samples at the moment being heard.

export const BLOCK_FRAMES = 576;
const HISTORY_FRAMES = 1 << 16; // about 1.4 s of tapped samples
const HISTORY_MASK = HISTORY_FRAMES - 1;

// A float sample as the 16-bit sample it came from: the browser's decoders
// scale a 16-bit sample s by 1/32767 above zero and by 1/32768 below.
function toPcm16(value) {
    const sample = Math.round(value > 0 ? value * 32767 : value * 32768);
    return sample > 32767 ? 32767 : sample < -32768 ? -32768 : sample;
}

export function createAudio() {
    return {
        context: null,
        tap: null,
        history: new Int16Array(HISTORY_FRAMES * 2), // interleaved stereo, indexed by frame
        newest: -1,          // the last frame tapped, -1 before any
        source: null,        // the node now playing or capturing
        stream: null,        // a capture's MediaStream, its tracks stopped on change
        followsOutput: true, // the source is heard: the block follows the output's latency
    };
}

// Opens the sound output and the tap; must follow a click.
export async function startAudio(audio) {
    audio.context = new AudioContext({ latencyHint: "interactive" });
    await audio.context.audioWorklet.addModule("tap_worklet.js");
    audio.tap = new AudioWorkletNode(audio.context, "raysphere-tap", {
        numberOfInputs: 1,
        numberOfOutputs: 1,
        outputChannelCount: [2],
        channelCount: 2,
        channelCountMode: "explicit",
        channelInterpretation: "speakers", // a mono source fills both channels
    });
    audio.tap.port.onmessage = (event) => storeRun(audio, event.data);
    audio.tap.connect(audio.context.destination); // pulls the tap; it plays silence
    await audio.context.resume();
}

function storeRun(audio, run) {
    const history = audio.history;
    for (let i = 0; i < run.left.length; i++) {
        const at = ((run.firstFrame + i) & HISTORY_MASK) * 2;
        history[at] = toPcm16(run.left[i]);
        history[at + 1] = toPcm16(run.right[i]);
    }
    audio.newest = Math.max(audio.newest, run.firstFrame + run.left.length - 1);
}

// Stops what plays or captures; the blocks are silent until the next source.
export function stopSource(audio) {
    if (audio.source) {
        audio.source.onended = null;
        if (audio.source.stop) {
            audio.source.stop();
        }
        audio.source.disconnect();
        audio.source = null;
    }
    if (audio.stream) {
        audio.stream.getTracks().forEach((track) => track.stop());
        audio.stream = null;
    }
    audio.history.fill(0);
}

// Plays a decoded buffer to the output through the tap; `onEnded` when it
// has played out.
export function playBuffer(audio, buffer, loop, onEnded) {
    stopSource(audio);
    const source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.loop = loop;
    source.connect(audio.context.destination);
    source.connect(audio.tap);
    source.onended = () => {
        if (audio.source === source) {
            onEnded();
        }
    };
    source.start();
    audio.source = source;
    audio.followsOutput = true;
}

// Takes a captured stream (microphone or tab) through the tap only: it is
// not played back.
export function captureStream(audio, stream) {
    stopSource(audio);
    const source = audio.context.createMediaStreamSource(stream);
    source.connect(audio.tap);
    audio.source = source;
    audio.stream = stream;
    audio.followsOutput = false;
}

// The context frame being heard now: the output's timestamp moved on to now,
// or the context's time less the output's latencies.
export function heardFrame(audio) {
    const context = audio.context;
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
export function fillBlock(audio, pcm) {
    if (!audio.context || audio.newest < 0) {
        pcm.fill(0);
        return;
    }
    const newestStart = audio.newest + 1 - BLOCK_FRAMES;
    let first = audio.followsOutput ? Math.min(heardFrame(audio), newestStart) : newestStart;
    first = Math.max(first, audio.newest + 1 - HISTORY_FRAMES);
    for (let i = 0; i < BLOCK_FRAMES; i++) {
        const at = ((first + i) & HISTORY_MASK) * 2;
        pcm[i * 2] = first + i < 0 ? 0 : audio.history[at];
        pcm[i * 2 + 1] = first + i < 0 ? 0 : audio.history[at + 1];
    }
}
