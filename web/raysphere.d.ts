// Types of the raysphere visualiser: ray-traced mirror spheres on a canvas
// that follow the sound of a Web Audio node.

export interface RaysphereOptions {
    /** The AudioContext of the nodes to be connected (else the first connected node's). */
    audioContext?: AudioContext;
    /** Tracer threads for the sharp mode; 0 or absent: the cores' count, at most 8. Always 1 where the page
     *  is not cross-origin isolated (threads need SharedArrayBuffer). */
    threads?: number;
    /** Start in the sharp mode: every pixel of the canvas traced, rather than the 320 x 200 frame enlarged. */
    sharp?: boolean;
    /** The sharp mode's size follows the machine (default true): a share of the canvas expected to keep
     *  60 frames a second, enlarged, climbing back to every pixel when there is room, as raysphere's
     *  `--size window`. false: every pixel, however slow. */
    adapt?: boolean;
    /** The built-in scene to start with (default "classic", the plug-in's own); `scenes()` lists them. A
     *  name no scene has is reported through onError and the classic scene stays. */
    scene?: string;
    /** The next built-in scene every so many seconds, as raysphere's `--cycle`; absent or 0: no cycling. */
    cycle?: number;
    /** Told the scene's name whenever the frames' scene changes. */
    onScene?: (name: string) => void;
    /** Until a node is first connected, the picture follows the built-in demo tune in silence (default true);
     *  false: it follows silence. */
    demo?: boolean;
    /** Frames on the visualiser's own clock, 60 steps a second (default true); false: only renderBlock draws. */
    live?: boolean;
    /** Told of every frame drawn. */
    onFrame?: (frame: RaysphereFrame) => void;
    /** Told what went wrong (a frame that could not be made, threads that did not start); the default
     *  writes it to the console. The visualiser goes on. */
    onError?: (text: string) => void;
}

export interface RaysphereFrame {
    width: number;
    height: number;
    /** The block the frame was made from: 576 bytes of the left channel, then 576 of the right. */
    block: Uint8Array;
    /** The centre sphere's radius in this frame. */
    radius: number;
    /** Milliseconds the trace took. */
    ms: number;
    /** The scene the frame was traced in. */
    scene: string;
}

export interface RaysphereStats {
    shown: number;
    /** Steps of motion taken without a frame, because the tracer was still busy with an earlier one. */
    skipped: number;
    fps: number;
    width: number;
    height: number;
    ms: number;
    /** The sharp mode's level: 0 traces every pixel, each further level a smaller share of the canvas. */
    level: number;
}

export interface Raysphere {
    /** Settles once the tracer runs: the threads it traces on and the build loaded. */
    readonly ready: Promise<{ threads: number; build: string }>;
    readonly canvas: HTMLCanvasElement;
    readonly sharp: boolean;
    readonly threads: number;
    readonly live: boolean;
    readonly stats: RaysphereStats;
    /** The scene of the frame shown last ("" before the first). */
    readonly scene: string;
    onScene: ((name: string) => void) | null;
    /** The built-in scenes' names, "classic" first. */
    scenes(): Promise<string[]>;
    /** The built-in scene of that name, from the next frame on. */
    setScene(name: string): void;
    /** `step` scenes on (negative: back), going round; default 1. */
    stepScene(step?: number): void;
    /** The next scene every `seconds` seconds; 0 stops it. */
    setCycle(seconds: number): void;
    /** Takes the node's sound into the picture. Nothing is routed to the speakers: connect the node to
     *  the destination yourself to hear it. `capture`: a source nobody hears (a microphone), followed at
     *  its newest samples rather than at the output's latency. */
    connect(node: AudioNode, options?: { capture?: boolean }): Promise<void>;
    /** Lets go of every connected node; the picture goes on in silence. */
    disconnect(): void;
    /** The title a title request shows (UTF-8, up to 1023 bytes shown). */
    setTitle(text: string): void;
    /** Shows the title over the next ten frames, as SPACE does in the plug-in. */
    showTitle(): void;
    setSharp(on: boolean): void;
    /** Holds the picture on the frame shown; resume() goes on. */
    pause(): void;
    resume(): void;
    /** The next frame from a block of 1152 bytes (576 a channel, unsigned samples as the player's), drawn
     *  and returned. The live frames stop. Deterministic: in a visualiser made with `live: false`, the n-th
     *  block given makes, byte for byte, the native renderer's n-th frame of those blocks, on any thread
     *  count. */
    renderBlock(bytes: Uint8Array): Promise<RaysphereFrame & { pixels: Uint8Array }>;
    /** A frame of `width` x `height` from `input` (`pcm`: 576 interleaved stereo 16-bit samples, or `block`:
     *  1152 bytes), traced but not drawn; it moves the scene on like any frame. For tests and tools. */
    trace(input: { pcm?: Int16Array; block?: Uint8Array; title?: string; requestTitle?: boolean },
          width: number, height: number): Promise<RaysphereFrame & { pixels: Uint8Array }>;
    /** The demo tune's four-second loop, as two planes of samples at `rate`. */
    demoTune(): Promise<{ left: Float32Array; right: Float32Array; rate: number }>;
    /** Stops the frames, the worker and the tap; the canvas keeps its last frame. */
    destroy(): void;
}

/** Makes a visualiser drawing on `canvas`, which keeps its CSS size: the picture fills it. */
export function createRaysphere(canvas: HTMLCanvasElement, options?: RaysphereOptions): Raysphere;

/** Whether this browser can run the tracer (WebAssembly with 128-bit SIMD). */
export function hasWasmSimd(): boolean;
