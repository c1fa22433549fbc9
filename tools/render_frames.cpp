// Renders frames of the visualisation without the player: the demo tune, or a
// file of waveform blocks, goes in; PNG images, and on request the exact frame
// bytes, come out. The frame buffer persists from frame to frame, as the
// render surface does.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "compose/compose.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/stage.h"
#include "audio/demo_tune.h"
#include "cli/output_file.h"
#include "version.h"

static constexpr int32_t MAX_FRAMES = 1000000;
static constexpr size_t PATH_CAPACITY = 4096;
static constexpr size_t FILE_NAME_ROOM = 32; // "/frame_1000000.png" and its terminator fit
static constexpr int EXIT_BAD_ARGUMENTS = 2;

static const char* const PROGRAM = "render_frames";

// What the command line asks for.
struct Options {
    int32_t frameCount;            // frames to render, 1..MAX_FRAMES
    const char* outputDir;         // folder of the images, created if missing
    const char* waveformPath;      // blocks to feed, or null for the demo tune
    const char* writeWaveformPath; // where to copy the blocks fed, or null
    bool writeRaw;                 // also write each frame's bytes
    bool help;                     // print the usage and stop
    bool version;                  // print the version and stop
    int32_t width;                 // --size: a full-resolution frame of this size, 0 for the plug-in's frame
    int32_t height;                // --size
    int32_t threads;               // --threads: tracer threads, 0 for one per core
    const char* scene;             // --scene: a built-in scene's name or a scene file; null for classic
    bool listScenes;               // --list-scenes: list the built-in scenes and stop
    int32_t tracer;                // --tracer: a TracerKind, or -1 for the fastest here
};

// Open files of one run.
struct Files {
    FILE* waveformIn;       // blocks to feed, or null
    long blocksLeft;        // blocks of waveformIn not read yet
    OutputFile waveformOut; // copy of the blocks fed; its stream is null when not asked for
    const char* inPath;     // for messages
    const char* outPath;    // for messages
};

static uint8_t plugInFrame[FRAME_BYTES]; // the render surface, zero at start
static FrameImage frame;                 // what is written: the plug-in's frame, or the --size image
static WaveformBlock block;              // the frame's waveform, as the player would hand it over
static uint8_t* rgbImage;                // the frame as the PNG's RGB rows, made at start-up
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
                 "                         half-resolution 320 x 200 frame (which 320x200 gives);\n"
                 "                         --raw then writes W x H x 4\n"
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

// Reports a bad command line; the caller exits with EXIT_BAD_ARGUMENTS.
static bool badArguments(const char* message, const char* detail) {
    std::fprintf(stderr, "%s: %s%s\nTry '%s --help'.\n", PROGRAM, message, detail, PROGRAM);
    return false;
}

// Reads a frame count of 1..MAX_FRAMES written as plain decimal digits.
static bool parseFrameCount(const char* text, int32_t* count) {
    if (*text == '\0') {
        return false;
    }
    long value = 0;
    for (const char* c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9' || value > MAX_FRAMES) {
            return false;
        }
        value = value * 10 + (*c - '0');
    }
    if (value < 1 || value > MAX_FRAMES) {
        return false;
    }
    *count = static_cast<int32_t>(value);
    return true;
}

// Reads a whole number from..to written as plain decimal digits, ending at
// `end` (a character, or '\0'); sets *rest after it.
static bool parseNumber(const char* text, char end, int32_t from, int32_t to, int32_t* value, const char** rest) {
    long number = 0;
    const char* c = text;
    for (; *c >= '0' && *c <= '9'; c++) {
        number = number * 10 + (*c - '0');
        if (number > to) {
            return false;
        }
    }
    if (c == text || *c != end || number < from) {
        return false;
    }
    *value = static_cast<int32_t>(number);
    *rest = c + 1;
    return true;
}

static bool parseSize(const char* text, Options* options) {
    const char* rest = nullptr;
    return parseNumber(text, 'x', MIN_IMAGE_SIDE, MAX_IMAGE_SIDE, &options->width, &rest) &&
           parseNumber(rest, '\0', MIN_IMAGE_SIDE, MAX_IMAGE_SIDE, &options->height, &rest);
}

static bool parseArguments(int argc, char** argv, Options* options) {
    *options = Options{0, nullptr, nullptr, nullptr, false, false, false, 0, 0, 0, nullptr, false, -1};
    const char* positional[2] = {nullptr, nullptr};
    int32_t positionalCount = 0;
    bool optionsEnded = false; // after "--" every argument is positional
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool option = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
        if (!option) {
            if (positionalCount == 2) {
                return badArguments("unexpected argument ", arg);
            }
            positional[positionalCount++] = arg;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options->help = true;
            return true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options->version = true;
            return true;
        } else if (std::strcmp(arg, "--raw") == 0) {
            options->writeRaw = true;
        } else if (std::strcmp(arg, "--size") == 0 || std::strcmp(arg, "--threads") == 0) {
            if (i + 1 >= argc) {
                return badArguments(arg, arg[2] == 's' ? " needs WxH" : " needs a number");
            }
            const char* value = argv[++i];
            const char* rest = nullptr;
            if (arg[2] == 's' && !parseSize(value, options)) {
                return badArguments("--size must be WxH with W and H from 2 to 8192, not ", value);
            }
            if (arg[2] == 't' && !parseNumber(value, '\0', 1, MAX_TRACER_THREADS, &options->threads, &rest)) {
                return badArguments("--threads must be a whole number from 1 to 64, not ", value);
            }
        } else if (std::strcmp(arg, "--waveform") == 0 || std::strcmp(arg, "--write-waveform") == 0) {
            if (i + 1 >= argc) {
                return badArguments(arg, " needs a FILE");
            }
            bool reading = std::strcmp(arg, "--waveform") == 0;
            *(reading ? &options->waveformPath : &options->writeWaveformPath) = argv[++i];
        } else if (std::strcmp(arg, "--list-scenes") == 0) {
            options->listScenes = true;
            return true;
        } else if (std::strcmp(arg, "--scene") == 0) {
            if (i + 1 >= argc) {
                return badArguments(arg, " needs a scene's NAME or a FILE");
            }
            options->scene = argv[++i];
        } else if (std::strcmp(arg, "--tracer") == 0) {
            if (i + 1 >= argc) {
                return badArguments(arg, " needs a NAME: reference, sse2, avx2, avx512 or wasm128");
            }
            const char* name = argv[++i];
            for (int32_t kind = 0; kind < TRACER_KIND_COUNT; kind++) {
                if (std::strcmp(name, tracerNames[kind]) == 0) {
                    options->tracer = kind;
                }
            }
            if (options->tracer < 0) {
                return badArguments("--tracer is one of reference, sse2, avx2, avx512 and wasm128, not ", name);
            }
            if (!tracerAvailable(static_cast<TracerKind>(options->tracer))) {
                return badArguments("this build or processor has no tracer ", name);
            }
        } else {
            return badArguments("unknown option ", arg);
        }
    }
    if (positionalCount < 2) {
        return badArguments("expected FRAMES and OUTPUT_DIR", "");
    }
    if (!parseFrameCount(positional[0], &options->frameCount)) {
        return badArguments("FRAMES must be a whole number from 1 to 1000000, not ", positional[0]);
    }
    options->outputDir = positional[1];
    if (std::strlen(options->outputDir) + FILE_NAME_ROOM > PATH_CAPACITY) {
        return badArguments("OUTPUT_DIR is too long", "");
    }
    return true;
}

// Opens the waveform file and checks that it holds whole blocks, at least one.
static bool openWaveformIn(Files* files, const char* waveformPath) {
    files->inPath = waveformPath;
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(waveformPath, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot read waveform file '%s': %s\n", PROGRAM, waveformPath,
                     error.message().c_str());
        return false;
    }
    if (size < static_cast<std::uintmax_t>(BLOCK_BYTES)) {
        std::fprintf(stderr, "%s: waveform file '%s' is too short: %ju bytes, less than one block of %d bytes\n",
                     PROGRAM, waveformPath, size, static_cast<int>(BLOCK_BYTES));
        return false;
    }
    if (size % BLOCK_BYTES != 0) {
        std::fprintf(stderr,
                     "%s: waveform file '%s' has %ju bytes, not a whole number of %d-byte blocks "
                     "(%ju bytes over)\n",
                     PROGRAM, waveformPath, size, static_cast<int>(BLOCK_BYTES), size % BLOCK_BYTES);
        return false;
    }
    files->waveformIn = std::fopen(waveformPath, "rb");
    if (files->waveformIn == nullptr) {
        std::fprintf(stderr, "%s: cannot read waveform file '%s': %s\n", PROGRAM, waveformPath, std::strerror(errno));
        return false;
    }
    files->blocksLeft = static_cast<long>(size / BLOCK_BYTES);
    return true;
}

// Creates the file for the copy of the blocks; refuses the waveform input
// itself, which opening would empty before it is read.
static bool openWaveformOut(Files* files, const char* writePath) {
    files->outPath = writePath;
    std::error_code error;
    if (files->inPath != nullptr && std::filesystem::equivalent(files->inPath, writePath, error)) {
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

// Puts the block of frame `index` (from 0) into `block`: the next
// block of the file while it lasts, the last one after, or the demo tune's.
static bool feedWaveform(Files* files, int32_t index) {
    if (files->waveformIn == nullptr) {
        demoTuneWaveform(static_cast<uint32_t>(index) * DEMO_FRAME_SAMPLES, block);
        return true;
    }
    if (files->blocksLeft == 0) {
        return true;
    }
    if (std::fread(block, 1, BLOCK_BYTES, files->waveformIn) != static_cast<size_t>(BLOCK_BYTES)) {
        std::fprintf(stderr, "%s: cannot read waveform file '%s': it ended early or failed\n", PROGRAM, files->inPath);
        return false;
    }
    files->blocksLeft--;
    return true;
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
    // Frame pixels are blue, green, red and an unused byte
    uint8_t* rgb = rgbImage;
    for (int32_t y = 0; y < frame.height; y++) {
        const uint8_t* pixel = frame.pixels + static_cast<size_t>(y) * frame.pitch;
        for (int32_t x = 0; x < frame.width; x++) {
            rgb[0] = pixel[2];
            rgb[1] = pixel[1];
            rgb[2] = pixel[0];
            rgb += 3;
            pixel += 4;
        }
    }
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
    if (files->waveformIn != nullptr) {
        std::fclose(files->waveformIn);
        files->waveformIn = nullptr;
    }
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
        if (!feedWaveform(files, index) || !copyWaveform(files)) {
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

int main(int argc, char** argv) {
    Options options;
    if (!parseArguments(argc, argv, &options)) {
        return EXIT_BAD_ARGUMENTS;
    }
    if (options.help || options.version) {
        if (options.help) {
            printUsage(stdout);
        } else {
            std::printf("%s %s\n", PROGRAM, RAYSPHERE_VERSION);
        }
        return finishStandardOutput(PROGRAM) ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    if (options.listScenes) {
        writeSceneList(stdout);
        return finishStandardOutput(PROGRAM) ? EXIT_SUCCESS : EXIT_FAILURE;
    }

    // The scene, refused with its place before anything is written
    char sceneError[MAX_ERROR_TEXT];
    if (options.scene != nullptr && !stageScene(options.scene, sceneError, sizeof(sceneError))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, sceneError);
        return EXIT_BAD_ARGUMENTS;
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
