// Renders frames of the visualisation without the player: the demo tune, or a
// file of waveform blocks, goes in; PNG images, and on request the exact frame
// bytes, come out. The frame buffer persists from frame to frame, as the
// render surface does.
#include <png.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "compose/compose.h"
#include "frame/image_rgb.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/stage.h"
#include "audio/demo_tune.h"
#include "audio/raw_waveform.h"
#include "cli/option_table.h"
#include "cli/same_file.h"
#include "cli/output_file.h"
#include "version.h"

static constexpr int32_t MAX_FRAMES = 1000000;
static constexpr size_t PATH_CAPACITY = 4096;
static constexpr size_t FILE_NAME_ROOM = 32; // "/frame_1000000.png" and its terminator fit

static constexpr int EXIT_BAD_ARGUMENTS = 2;

static const char* const PROGRAM = "render_frames";

// What the command line asks for.
struct Options {
    const char* framesText;        // FRAMES as given
    int32_t frameCount;            // frames to render, 1..MAX_FRAMES
    const char* outputDir;         // folder of the images, created if missing
    const char* waveformPath;      // blocks to feed, or null for the demo tune
    const char* writeWaveformPath; // where to copy the blocks fed, or null
    bool writeRaw;                 // also write each frame's bytes
    int32_t width;                 // --size: a full-resolution frame of this size, 0 for the plug-in's frame
    int32_t height;                // --size
    int32_t threads;               // --threads: tracer threads, 0 for one per core
    const char* scene;             // --scene: a built-in scene's name or a scene file; null for classic
    bool listScenes;               // --list-scenes: list the built-in scenes and stop
    int32_t tracer;                // --tracer: a TracerKind, or -1 for the fastest here
};

// Open files of one run.
struct Files {
    RawWaveformFile waveformIn; // blocks to feed; none for the demo tune
    OutputFile waveformOut;     // copy of the blocks fed; its stream is null when not asked for
    const char* inPath;         // for messages
    const char* outPath;        // for messages
};

static uint8_t plugInFrame[FRAME_BYTES]; // the render surface, zero at start
static FrameImage frame;                 // what is written: the plug-in's frame, or the --size image
static uint8_t* rgbImage;                // the frame as the PNG's RGB rows, made at start-up
static WaveformBlock block;              // the frame's waveform, as the player would hand it over
static char path[PATH_CAPACITY];         // file name of the frame being written
static OutputFile frameFile;             // the frame file being written

static void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: %s FRAMES OUTPUT_DIR [--waveform FILE] [--raw] [--write-waveform FILE]\n"
                 "\n"
                 "Renders FRAMES frames of the visualisation (320 x 200) into OUTPUT_DIR as\n"
                 "frame_0001.png, frame_0002.png, ...; the folder is created if missing.\n"
                 "Without --waveform the built-in demo tune plays, %u samples (1/%d s) per frame.\n"
                 "\n"
                 "  --waveform FILE        feed the frames from FILE: 8-bit waveform blocks of\n"
                 "                         %d bytes per frame (channel 0's %d samples, then\n"
                 "                         channel 1's); when the file runs out, its last block\n"
                 "                         repeats\n"
                 "  --raw                  also write each frame's %d bytes as frame_0001.raw, ...\n"
                 "                         (rows of blue, green, red and an unused byte)\n"
                 "  --write-waveform FILE  write the block of every frame rendered to FILE, in the\n"
                 "                         format --waveform reads\n"
                 "  --size WxH             trace every pixel of a W x H frame (%d to %d each way),\n"
                 "                         with the oscilloscope scaled, instead of the plug-in's\n"
                 "                         half-resolution 320 x 200 frame; --raw then writes W x H x 4\n"
                 "  --threads N            trace a --size frame on N threads (1 to %d; default: one\n"
                 "                         per core); the frames are the same for any N\n"
                 "  --scene NAME|FILE      render a built-in scene (default classic, the plug-in's)\n"
                 "                         or a scene file\n"
                 "  --list-scenes          list the built-in scenes, one a line, and stop\n"
                 "  --tracer NAME          trace with reference, sse2, avx2, avx512 or wasm128 where\n"
                 "                         this build and processor have it (default: the fastest);\n"
                 "                         every tracer gives the same bytes\n"
                 "  --help                 show this text\n"
                 "  --version              show the program's version\n",
                 PROGRAM, DEMO_FRAME_SAMPLES, DEMO_FRAMES_PER_SECOND, static_cast<int>(BLOCK_BYTES),
                 static_cast<int>(BLOCK_SAMPLES), FRAME_BYTES, MIN_IMAGE_SIDE, MAX_IMAGE_SIDE, MAX_TRACER_THREADS);
}

// FRAMES, then OUTPUT_DIR.
static bool readOperand(const char* argument, void* record, char* error, size_t errorSize) {
    Options* options = static_cast<Options*>(record);
    const char** operand = options->framesText == nullptr  ? &options->framesText
                           : options->outputDir == nullptr ? &options->outputDir
                                                           : nullptr;
    if (operand == nullptr) {
        std::snprintf(error, errorSize, "unexpected argument %s", argument);
        return false;
    }
    *operand = argument;
    return true;
}

// --tracer NAME: a tracer this build and processor have.
static bool readTracer(const OptionCall* call) {
    Options* options = static_cast<Options*>(call->record);
    for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
        if (std::strcmp(call->value, tracerTable[kind].name) == 0) {
            options->tracer = kind;
        }
    }
    if (options->tracer < 0) {
        std::snprintf(call->error, call->errorSize,
                      "--tracer is one of reference, sse2, avx2, avx512 and wasm128, not %s", call->value);
        return false;
    }
    if (!tracerAvailable(static_cast<TracerKind>(options->tracer))) {
        std::snprintf(call->error, call->errorSize, "this build or processor has no tracer %s", call->value);
        return false;
    }
    return true;
}

static const OptionRow RENDER_OPTIONS[] = {
    flagOption("--raw", offsetof(Options, writeRaw)),
    sizeOption("--size", offsetof(Options, width), offsetof(Options, height), {MIN_IMAGE_SIDE, MAX_IMAGE_SIDE},
               {MIN_IMAGE_SIDE, MAX_IMAGE_SIDE}, "WxH with W and H from %s to %s"),
    numberOption("--threads", offsetof(Options, threads), 1, MAX_TRACER_THREADS),
    textOption("--waveform", offsetof(Options, waveformPath), "a FILE"),
    textOption("--write-waveform", offsetof(Options, writeWaveformPath), "a FILE"),
    textOption("--scene", offsetof(Options, scene), "a scene's NAME or a FILE"),
    flagOption("--list-scenes", offsetof(Options, listScenes)),
    customOption("--tracer", readTracer, {0, 0}, "a NAME: reference, sse2, avx2, avx512 or wasm128"),
};
static const OptionRow FRAMES_OPERAND = numberOption("FRAMES", offsetof(Options, frameCount), 1, MAX_FRAMES);
static const OptionWording RENDER_WORDING = {"%s must be %s, not %s", "%s needs %s"};
static const OptionTable RENDER_TABLE = {RENDER_OPTIONS, sizeof RENDER_OPTIONS / sizeof RENDER_OPTIONS[0],
                                         &RENDER_WORDING, readOperand, true};

static OptionsStatus parseArguments(int argc, char** argv, Options* options, char* error, size_t errorSize) {
    *options = Options{};
    options->tracer = -1;
    OptionsStatus status = readCommandLine(argc, argv, &RENDER_TABLE, options, error, errorSize);
    if (status != OPTIONS_RUN || options->listScenes) {
        return status;
    }
    if (options->outputDir == nullptr) {
        std::snprintf(error, errorSize, "expected FRAMES and OUTPUT_DIR");
        return OPTIONS_ERROR;
    }
    if (!readOptionValue(&RENDER_TABLE, &FRAMES_OPERAND, options->framesText, options, error, errorSize)) {
        return OPTIONS_ERROR;
    }
    if (std::strlen(options->outputDir) + FILE_NAME_ROOM > PATH_CAPACITY) {
        std::snprintf(error, errorSize, "OUTPUT_DIR is too long");
        return OPTIONS_ERROR;
    }
    return OPTIONS_RUN;
}

// Reads the waveform file whole and checks that it holds whole blocks, at least one.
static bool openWaveformIn(Files* files, const char* waveformPath) {
    files->inPath = waveformPath;
    char error[600];
    if (!loadRawWaveform(waveformPath, &files->waveformIn, error, sizeof(error))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
        return false;
    }
    return true;
}

// Creates the file for the copy of the blocks; refuses the waveform input
// itself, which opening would empty before it is read.
static bool openWaveformOut(Files* files, const char* writePath) {
    files->outPath = writePath;
    if (files->inPath != nullptr && sameFile(files->inPath, writePath)) {
        std::fprintf(stderr, "%s: --write-waveform '%s' is the waveform input; choose another file\n", PROGRAM,
                     writePath);
        return false;
    }
    if (!openOutputFile(&files->waveformOut, writePath)) {
        std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, writePath, std::strerror(errno));
        return false;
    }
    return true;
}

static bool createOutputDir(const char* dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!error && !std::filesystem::is_directory(dir, error)) {
        error = std::make_error_code(std::errc::not_a_directory);
    }
    if (error) {
        std::fprintf(stderr, "%s: cannot create output folder '%s': %s\n", PROGRAM, dir, error.message().c_str());
        return false;
    }
    return true;
}

// Puts the block of frame `index` (from 0) into `block`: the file's
// block of that frame while they last, the last one after, or the demo tune's.
static void feedWaveform(const Files* files, int32_t index) {
    if (files->inPath == nullptr) {
        demoTuneWaveform(static_cast<uint32_t>(index) * DEMO_FRAME_SAMPLES, block);
    } else {
        rawWaveformBlock(&files->waveformIn.raw, index, block);
    }
}

static bool copyWaveform(Files* files) {
    if (files->waveformOut.stream == nullptr) {
        return true;
    }
    if (std::fwrite(block, 1, BLOCK_BYTES, files->waveformOut.stream) != static_cast<size_t>(BLOCK_BYTES)) {
        std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, files->outPath,
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Sets `path` to OUTPUT_DIR/frame_NNNN.<extension>; the length was checked
// with the arguments.
static void framePath(const char* dir, int32_t number, const char* extension) {
    std::snprintf(path, sizeof(path), "%s/frame_%04d.%s", dir, static_cast<int>(number), extension);
}

static bool reportWriteError() {
    std::fprintf(stderr, "%s: cannot write '%s': %s\n", PROGRAM, path, std::strerror(errno));
    return false;
}

// Writes the frame to `path` as an RGB PNG of its size, under a temporary
// name until it is complete.
static bool writePng() {
    imageToRgb(&frame, rgbImage, RGB_CHANNELS);
    if (!openOutputFile(&frameFile, path)) {
        return reportWriteError();
    }
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(frame.width);
    image.height = static_cast<png_uint_32>(frame.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, frameFile.stream, 0, rgbImage, 0, nullptr)) {
        int error = errno;
        discardOutputFile(&frameFile);
        std::fprintf(stderr, "%s: cannot write '%s': %s (%s)\n", PROGRAM, path, image.message, std::strerror(error));
        return false;
    }
    if (!commitOutputFile(&frameFile)) {
        return reportWriteError();
    }
    return true;
}

// Writes the frame's bytes to `path` unchanged (256,000 for the plug-in's
// frame), under a temporary name until it is complete.
static bool writeRaw() {
    if (!openOutputFile(&frameFile, path)) {
        return reportWriteError();
    }
    size_t bytes = static_cast<size_t>(frame.pitch) * frame.height;
    if (std::fwrite(frame.pixels, 1, bytes, frameFile.stream) != bytes) {
        discardOutputFile(&frameFile);
        return reportWriteError();
    }
    if (!commitOutputFile(&frameFile)) {
        return reportWriteError();
    }
    return true;
}

// Closes what is open. The copy of the blocks gets its final name only after
// a complete run (`rendered`); false, reported, when it could not be completed.
static bool closeFiles(Files* files, bool rendered) {
    bool complete = true;
    releaseRawWaveform(&files->waveformIn);
    if (files->waveformOut.stream != nullptr && !rendered) {
        discardOutputFile(&files->waveformOut);
    }
    if (files->waveformOut.stream != nullptr && !commitOutputFile(&files->waveformOut)) {
        std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, files->outPath,
                     std::strerror(errno));
        complete = false;
    }
    return complete;
}

// Renders and writes every frame; false after the first failure, reported.
static bool renderFrames(const Options& options, Files* files) {
    for (int32_t index = 0; index < options.frameCount; index++) {
        int32_t number = index + 1;
        feedWaveform(files, index);
        if (!copyWaveform(files)) {
            return false;
        }
        composeImage(&frame, block, 2);
        framePath(options.outputDir, number, "png");
        if (!writePng()) {
            return false;
        }
        if (options.writeRaw) {
            framePath(options.outputDir, number, "raw");
            if (!writeRaw()) {
                return false;
            }
        }
        if (number % 10 == 0 && number < options.frameCount) {
            std::printf("%d of %d frames\n", static_cast<int>(number), static_cast<int>(options.frameCount));
            std::fflush(stdout);
        }
    }
    return true;
}

// How the command line's help, version and errors are answered.
static const CommandLineAnswers ANSWERS = {PROGRAM, "render_frames --help", printUsage,
                                           "render_frames " RAYSPHERE_VERSION};

constexpr int RENDER_ON = -1; // the command line asks for frames

// Reads the command line and stages its scene: RENDER_ON, or the status to
// exit with once help, the version, the scene list or a refusal is answered.
static int readRequest(int argc, char** argv, Options* options) {
    char error[MAX_ERROR_TEXT];
    OptionsStatus status = parseArguments(argc, argv, options, error, sizeof(error));
    if (status != OPTIONS_RUN) {
        return answerCommandLine(status, &ANSWERS, error);
    }
    if (options->listScenes) {
        writeSceneList(stdout);
        return finishStandardOutput(PROGRAM) ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    // The scene is refused with its place before anything is written.
    if (options->scene != nullptr && !stageScene(options->scene, error, sizeof(error))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
        return EXIT_BAD_ARGUMENTS;
    }
    return RENDER_ON;
}

int main(int argc, char** argv) {
    Options options;
    int answered = readRequest(argc, argv, &options);
    if (answered != RENDER_ON) {
        return answered;
    }

    // Open the inputs and outputs before any frame is rendered
    Files files{};
    bool ready = (options.waveformPath == nullptr || openWaveformIn(&files, options.waveformPath)) &&
                 createOutputDir(options.outputDir) &&
                 (options.writeWaveformPath == nullptr || openWaveformOut(&files, options.writeWaveformPath));
    if (!ready) {
        closeFiles(&files, false);
        return EXIT_FAILURE;
    }

    // The frame and the image's memory, and the tracer threads for a --size frame
    frame = {plugInFrame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    size_t pixels = static_cast<size_t>(FRAME_WIDTH) * FRAME_HEIGHT;
    if (options.width != 0) {
        pixels = static_cast<size_t>(options.width) * options.height;
        frame = {static_cast<uint8_t*>(std::calloc(pixels, 4)), options.width, options.height, options.width * 4};
    }
    rgbImage = static_cast<uint8_t*>(std::malloc(pixels * 3));
    bool started = frame.pixels != nullptr && rgbImage != nullptr;
    if (!started) {
        std::fprintf(stderr, "%s: not enough memory for a %d x %d frame\n", PROGRAM, static_cast<int>(frame.width),
                     static_cast<int>(frame.height));
    } else if (options.width != 0 && !startTracerPool(options.threads)) {
        std::fprintf(stderr, "%s: cannot start the tracer threads\n", PROGRAM);
        started = false;
    }
    selectTracer(options.tracer < 0 ? fastestTracer() : static_cast<TracerKind>(options.tracer));

    // What the plug-in's Init does before the first frame
    startCore();

    bool rendered = started && renderFrames(options, &files);
    stopTracerPool();
    if (frame.pixels != plugInFrame) {
        std::free(frame.pixels);
    }
    std::free(rgbImage);
    bool closed = closeFiles(&files, rendered);
    if (!rendered || !closed) {
        return EXIT_FAILURE;
    }

    std::printf("wrote %d frames to %s (frame_0001.png .. frame_%04d.png%s)\n", static_cast<int>(options.frameCount),
                options.outputDir, static_cast<int>(options.frameCount), options.writeRaw ? ", and .raw" : "");
    if (options.writeWaveformPath != nullptr) {
        std::printf("wrote %d waveform blocks of %d bytes to %s\n", static_cast<int>(options.frameCount),
                    static_cast<int>(BLOCK_BYTES), options.writeWaveformPath);
    }
    return finishStandardOutput(PROGRAM) ? EXIT_SUCCESS : EXIT_FAILURE;
}
