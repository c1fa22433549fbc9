// The video export: the song's blocks drive the frames exactly as the live
// program hands them over, every frame is scaled and encoded, and the song's
// sound goes along with it, frame by frame.
#include "app/video_main.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/output_check.h"
#include "app/quit_signals.h"
#include "app/song_cover.h"
#include "app/video_encoder.h"
#include "app/video_options.h"
#include "compose/compose.h"
#include "audio/audio_source.h"
#include "files/os_files.h"
#include "overlays/title_box.h"
#include "raytracer/sampling.h"
#include "raytracer/tracer_pool.h"
#include "raytracer/scene.h"
#include "scenes/stage.h"

static const char* const PROGRAM = "raysphere";
static constexpr int EXIT_BAD_ARGUMENTS = EXIT_BAD_COMMAND_LINE;
static constexpr int EXIT_SIGNALLED = 128;               // plus the signal, as a shell reports a run it ended
static constexpr double TERMINAL_PROGRESS_SECONDS = 0.5; // between two updates of the progress line
static constexpr double LOG_PROGRESS_SECONDS = 5;        // between two progress lines into a file or pipe

// How the pictures are made; a new kind needs a row in pictureTable.
enum PictureKind {
    PICTURE_SCALED, // the plug-in's 320 x 200 frame, enlarged by a whole number
    PICTURE_TRACED, // the scene traced at the video's own size
    PICTURE_KIND_COUNT
};

// What one export holds; released by endRun.
struct VideoRun {
    AudioSource blocks;                    // the song, read at each frame's time for its block
    AudioSource sound;                     // the song again, read straight through for the sound
    FILE* waveformOut;                     // copy of the blocks, or null
    const char* waveformPath;              // its name, for messages and for removal
    uint8_t* image;                        // the picture handed to the encoder
    FrameImage picture;                    // image, its size and pitch
    int32_t pictureKind;                   // PictureKind, chosen once
    int32_t scale;                         // enlargement of PICTURE_SCALED
    int16_t* pcm;                          // one video frame's sound
    int32_t width;                         // video size, pixels
    int32_t height;                        // video size, rows
    int64_t frameCount;                    // video frames of the whole song
    int32_t pcmCapacity;                   // sample frames pcm holds
    int64_t titleStarts[VIDEO_MAX_TITLES]; // first frame of each title request, ascending
    int32_t titleCount;                    // used entries of titleStarts
    int32_t nextTitle;                     // the first entry of titleStarts not yet requested
    TitleRequest title;                    // as SPACE makes it
    int32_t titleScale;                    // enlargement of the title box on PICTURE_TRACED
    bool encoderOpen;                      // the video file is being written
};

static uint8_t frameBuffer[FRAME_BYTES]; // the render surface, zero at start
static WaveformBlock songBlock;          // the frame's waveform, as the live program hands it over
static int32_t songChannels;             // the song's channels, as the live program hands them over
static VideoRun run;
static volatile sig_atomic_t interrupted = 0; // the signal that asked the export to end: Ctrl-C, SIGTERM, SIGHUP

// Opens the song twice: once for the blocks, at each frame's time, and once
// for the sound, read straight through. The song is read through first: the
// video holds what can be read of it, and a file that breaks off early (or
// gives no length) is said once, whatever its format.
static bool openSong(const char* path) {
    char error[AUDIO_MESSAGE_CHARS];
    if (!openAudioFile(&run.blocks, path, error, sizeof(error)) ||
        !openAudioFile(&run.sound, path, error, sizeof(error)) ||
        !measureAudioFile(&run.sound, path, error, sizeof(error))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
        return false;
    }
    if (takeAudioNotice(&run.sound, error, sizeof(error))) {
        std::fprintf(stderr, "%s: warning: %s; the video holds the part before\n", PROGRAM, error);
    }
    run.blocks.frameCount = run.sound.frameCount;
    if (!showSongCover(path, error, sizeof(error))) {
        std::fprintf(stderr, "%s: warning: %s\n", PROGRAM, error);
    }
    return true;
}

// Releases what the export holds and returns `code`. The video file, if
// still open, is abandoned; the copy of the blocks is kept only beside a
// finished video.
static int endRun(int code) {
    if (run.encoderOpen) {
        abandonVideo();
        run.encoderOpen = false;
    }
    if (run.waveformOut != nullptr) {
        bool closed = std::fclose(run.waveformOut) == 0;
        run.waveformOut = nullptr;
        if (code == EXIT_SUCCESS && !closed) {
            std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, run.waveformPath,
                         std::strerror(errno));
            code = EXIT_FAILURE;
        }
        if (code != EXIT_SUCCESS) {
            removeFile(run.waveformPath);
        }
    }
    closeAudio(&run.blocks);
    closeAudio(&run.sound);
    std::free(run.image);
    run.image = nullptr;
    std::free(run.pcm);
    run.pcm = nullptr;
    stopTracerPool();
    return code;
}

static void onInterrupt(int signal) {
    interrupted = signal;
}

// Sample position where video frame `k` begins.
static int64_t framePosition(int64_t k, const VideoOptions& options) {
    return k * run.blocks.sampleRate / options.fps;
}

// The first frame on or after each title time, in order; a time past the
// song's end is said, as it never comes.
static void planTitles(const VideoOptions& options) {
    run.titleCount = options.titleCount;
    double songSeconds = static_cast<double>(run.sound.frameCount) / run.sound.sampleRate;
    for (int32_t i = 0; i < options.titleCount; i++) {
        if (options.titleTimes[i] >= songSeconds) {
            std::fprintf(stderr, "%s: warning: --title-at %g is past the song's end (%.2f s); no title then\n", PROGRAM,
                         options.titleTimes[i], songSeconds);
        }
        // A time on a frame's boundary belongs to that frame, despite rounding;
        // one after the song's end never comes
        double start = std::ceil(options.titleTimes[i] * options.fps - 1e-6);
        run.titleStarts[i] = start < static_cast<double>(run.frameCount) ? static_cast<int64_t>(start) : run.frameCount;
    }
    std::sort(run.titleStarts, run.titleStarts + run.titleCount);
}

// Frame `k`'s title step: the requests due by this frame are made, as SPACE
// makes them between two frames; true when the title goes on this frame.
static bool stepTitle(int64_t k) {
    while (run.nextTitle < run.titleCount && run.titleStarts[run.nextTitle] <= k) {
        requestTitleBox(&run.title);
        run.nextTitle++;
    }
    return stepTitleBox(&run.title);
}

// The plug-in's frame, with the title as it prints it, enlarged `scale`
// times, each pixel a square block.
static void composeScaledPicture(bool title) {
    composeFrame(frameBuffer, songBlock, songChannels);
    if (title) {
        FrameImage frame = {frameBuffer, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
        drawTitleBox(&frame, run.blocks.title, 1);
    }
    int32_t scale = run.scale;
    int32_t pitch = run.picture.pitch;
    for (int32_t y = 0; y < FRAME_HEIGHT; y++) {
        const uint32_t* source = reinterpret_cast<const uint32_t*>(frameBuffer + y * FRAME_ROW_BYTES);
        uint8_t* firstRow = run.image + static_cast<int64_t>(y) * scale * pitch;
        uint32_t* target = reinterpret_cast<uint32_t*>(firstRow);
        for (int32_t x = 0; x < FRAME_WIDTH; x++) {
            for (int32_t i = 0; i < scale; i++) {
                *target++ = source[x];
            }
        }
        for (int32_t i = 1; i < scale; i++) {
            std::memcpy(firstRow + static_cast<int64_t>(i) * pitch, firstRow, pitch);
        }
    }
}

// The scene traced at the video's size, one ray a pixel, the title box
// enlarged to match.
static void composeTracedPicture(bool title) {
    composeFrameAt(&run.picture, songBlock, songChannels);
    if (title) {
        drawTitleBox(&run.picture, run.blocks.title, run.titleScale);
    }
}

typedef void (*PictureRoutine)(bool title);
static const PictureRoutine pictureTable[] = {
    composeScaledPicture, // PICTURE_SCALED
    composeTracedPicture, // PICTURE_TRACED
};
static_assert(sizeof(pictureTable) / sizeof(pictureTable[0]) == PICTURE_KIND_COUNT, "one row per picture kind");

// The next `frames` frames of the song's sound into run.pcm; silence past
// its end, and where a damaged file breaks off (which is reported).
static void readSound(int32_t frames) {
    int32_t done = 0;
    while (done < frames) {
        int32_t got = readAudio(&run.sound, run.pcm + static_cast<int64_t>(done) * run.sound.channels, frames - done);
        if (got <= 0) {
            break;
        }
        done += got;
    }
    std::memset(run.pcm + static_cast<int64_t>(done) * run.sound.channels, 0,
                static_cast<size_t>(frames - done) * run.sound.channels * sizeof(int16_t));
    // The song was measured before: a break, if any, was said then.
    char notice[AUDIO_MESSAGE_CHARS];
    if (takeAudioNotice(&run.sound, notice, sizeof(notice))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, notice);
    }
}

static double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// "1:02:03" or "2:03": a duration in whole seconds as a clock shows it.
static void formatDuration(int64_t seconds, char* text, size_t size) {
    if (seconds >= 3600) {
        std::snprintf(text, size, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, size, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
}

// "frame 120 of 600 (20%), 45.2 fps, 0:10 left": on one line that keeps
// changing at a terminal, one line each time otherwise.
static void printProgress(int64_t done, double seconds, bool last) {
    double fps = seconds > 0 ? done / seconds : 0;
    int64_t left = fps > 0 && run.frameCount > done ? static_cast<int64_t>((run.frameCount - done) / fps + 0.5) : 0;
    char leftText[32];
    formatDuration(left, leftText, sizeof(leftText));
    int32_t percent = run.frameCount > 0 ? static_cast<int32_t>(done * 100 / run.frameCount) : 100;
    bool terminal = isatty(STDERR_FILENO) != 0;
    std::fprintf(stderr, "%sframe %lld of %lld (%d%%), %.1f fps, %s left%s", terminal ? "\r" : "",
                 static_cast<long long>(done), static_cast<long long>(run.frameCount), static_cast<int>(percent), fps,
                 leftText, terminal && !last ? "\033[K" : "\n");
}

// Time spent per kind of work, for the summary.
struct Timings {
    double tracing;  // making the pictures: block, scene, tracer, scope, title, enlargement
    double encoding; // the sound read, colour conversion, encoders and writing
};

// Renders, encodes and writes every frame with its sound; false after the
// first failure (reported) or when interrupted.
static bool exportFrames(const VideoOptions& options, Timings* timings) {
    auto start = std::chrono::steady_clock::now();
    double lastProgress = 0;
    double progressInterval = isatty(STDERR_FILENO) != 0 ? TERMINAL_PROGRESS_SECONDS : LOG_PROGRESS_SECONDS;
    for (int64_t k = 0; k < run.frameCount && interrupted == 0; k++) {
        // The block at this frame's time, as the live program hands it over
        auto traceStart = std::chrono::steady_clock::now();
        int64_t position = framePosition(k, options);
        if (!readBlockAt(&run.blocks, position, songBlock)) {
            std::fprintf(stderr, "%s: cannot read the song at %lld\n", PROGRAM, static_cast<long long>(position));
            return false;
        }
        if (run.waveformOut != nullptr && std::fwrite(songBlock, sizeof(songBlock), 1, run.waveformOut) != 1) {
            std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, options.writeWaveformPath,
                         std::strerror(errno));
            return false;
        }
        pictureTable[run.pictureKind](stepTitle(k));
        timings->tracing += secondsSince(traceStart);

        // The picture and the sound up to the next frame's time
        auto encodeStart = std::chrono::steady_clock::now();
        int32_t samples = static_cast<int32_t>(framePosition(k + 1, options) - position);
        readSound(samples);
        if (!writeVideoFrame(run.picture.pixels, run.picture.pitch) || !writeVideoSound(run.pcm, samples)) {
            return false;
        }
        timings->encoding += secondsSince(encodeStart);

        double elapsed = secondsSince(start);
        if (elapsed - lastProgress >= progressInterval) {
            printProgress(k + 1, elapsed, false);
            lastProgress = elapsed;
        }
    }
    return interrupted == 0;
}

// "3.4 MB", "812 kB": a size as people read it.
static void formatSize(int64_t bytes, char* text, size_t size) {
    if (bytes >= 1000000) {
        std::snprintf(text, size, "%.1f MB", bytes / 1e6);
    } else {
        std::snprintf(text, size, "%.0f kB", bytes / 1e3);
    }
}

static void printSummary(const VideoOptions& options, const VideoFacts& facts, const Timings& timings, double seconds) {
    char size[32];
    formatSize(facts.bytes, size, sizeof(size));
    char quality[64] = "";
    if (facts.crf != VIDEO_DEFAULT_CRF) {
        std::snprintf(quality, sizeof(quality), " crf %d", static_cast<int>(facts.crf));
    }
    if (facts.preset[0] != '\0') {
        size_t used = std::strlen(quality);
        std::snprintf(quality + used, sizeof(quality) - used, " preset %s", facts.preset);
    }
    double length = static_cast<double>(facts.videoFrames) / options.fps;
    std::printf("wrote %s: %lld frames, %d:%05.2f at %d fps, %dx%d, %s%s + %s %d Hz, %s\n", options.outputPath,
                static_cast<long long>(facts.videoFrames), static_cast<int>(length / 60), std::fmod(length, 60.0),
                static_cast<int>(options.fps), static_cast<int>(run.width), static_cast<int>(run.height),
                facts.videoCodec, quality, facts.audioCodec, static_cast<int>(facts.audioRate), size);
    std::printf("took %.2f s, %.1f fps: tracing %.2f s (%.1f fps), encoding %.2f s (%.1f fps)\n", seconds,
                facts.videoFrames / seconds, timings.tracing, facts.videoFrames / timings.tracing, timings.encoding,
                facts.videoFrames / timings.encoding);
}

// Bytes of memory the system can give without swapping, or -1 when unknown.
static int64_t availableMemory() {
    FILE* info = std::fopen("/proc/meminfo", "r");
    if (info == nullptr) {
        return -1;
    }
    char line[256];
    long long kilobytes = -1;
    while (std::fgets(line, sizeof(line), info) != nullptr) {
        if (std::sscanf(line, "MemAvailable: %lld kB", &kilobytes) == 1) {
            break;
        }
    }
    std::fclose(info);
    return kilobytes >= 0 ? static_cast<int64_t>(kilobytes) * 1024 : -1;
}

// Huge pictures: what the export will hold is said, and refused beyond
// what the machine has free.
static bool checkMemory(const VideoOptions& options) {
    int32_t width = options.width != 0 ? options.width : FRAME_WIDTH * options.scale;
    int32_t height = options.width != 0 ? options.height : FRAME_HEIGHT * options.scale;
    double needed = static_cast<double>(videoMemoryNeeded(width, height));
    double available = static_cast<double>(availableMemory());
    if (available >= 0 && needed > available) {
        std::fprintf(stderr,
                     "%s: a %dx%d video takes up to about %.1f GB of memory, and %.1f GB are free; choose a smaller "
                     "--size\n",
                     PROGRAM, static_cast<int>(width), static_cast<int>(height), needed / 1e9, available / 1e9);
        return false;
    }
    if (needed >= 1e9) {
        std::fprintf(stderr, "%s: a %dx%d video takes up to about %.1f GB of memory\n", PROGRAM,
                     static_cast<int>(width), static_cast<int>(height), needed / 1e9);
    }
    return true;
}

// Refuses, before anything is opened, a request that cannot work: a video
// or waveform copy over the song, names that may not be written, more
// memory than there is, a scene that does not read. Says why.
static bool checkVideoRequest(const VideoOptions& options) {
    if (sameFile(options.outputPath, options.songPath)) {
        std::fprintf(stderr, "%s: the video '%s' would replace the song; choose another name\n", PROGRAM,
                     options.outputPath);
        return false;
    }
    if (options.writeWaveformPath != nullptr && sameFile(options.writeWaveformPath, options.songPath)) {
        std::fprintf(stderr, "%s: --write-waveform '%s' is the song; choose another file\n", PROGRAM,
                     options.writeWaveformPath);
        return false;
    }

    // The names: a video container, a file that may be replaced, folders that exist
    static const OutputRule videoRule = {"--video", "a video", nullptr, fileHoldsVideo};
    char error[640];
    if (!checkVideoName(options.outputPath)) {
        return false;
    }
    if (!checkOutput(options.outputPath, &videoRule, options.force, error, sizeof(error)) ||
        (options.writeWaveformPath != nullptr &&
         !checkOutput(options.writeWaveformPath, &waveformRule, options.force, error, sizeof(error)))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
        return false;
    }
    if (!checkMemory(options)) {
        return false;
    }
    char sceneError[MAX_ERROR_TEXT];
    if (options.scene != nullptr && !stageScene(options.scene, sceneError, sizeof(sceneError))) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, sceneError);
        return false;
    }
    return true;
}

// Opens the song, the buffers, the copy of the blocks and the video file,
// and starts the tracer threads; false with what failed said (endRun closes
// what was opened).
static bool openExport(const VideoOptions& options) {
    if (!openSong(options.songPath)) {
        return false;
    }
    run.pictureKind = options.width != 0 ? PICTURE_TRACED : PICTURE_SCALED;
    run.scale = options.scale;
    run.width = options.width != 0 ? options.width : FRAME_WIDTH * options.scale;
    run.height = options.width != 0 ? options.height : FRAME_HEIGHT * options.scale;
    run.titleScale = titleScale(run.width, run.height);
    int32_t rate = run.blocks.sampleRate;
    run.frameCount = (run.blocks.frameCount * options.fps + rate - 1) / rate;
    run.pcmCapacity = rate / options.fps + 1;
    run.image = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(run.width) * run.height, 4));
    run.pcm = static_cast<int16_t*>(std::calloc(static_cast<size_t>(run.pcmCapacity) * run.sound.channels, 2));
    run.picture = FrameImage{run.image, run.width, run.height, run.width * 4};
    if (run.image == nullptr || run.pcm == nullptr) {
        std::fprintf(stderr, "%s: not enough memory for %dx%d frames\n", PROGRAM, static_cast<int>(run.width),
                     static_cast<int>(run.height));
        return false;
    }
    run.waveformPath = options.writeWaveformPath;
    if (run.waveformPath != nullptr && (run.waveformOut = openFile(run.waveformPath, "wb")) == nullptr) {
        std::fprintf(stderr, "%s: cannot write waveform file '%s': %s\n", PROGRAM, options.writeWaveformPath,
                     std::strerror(errno));
        return false;
    }
    VideoSettings settings = {
        options.outputPath, options.videoCodec, options.audioCodec, run.width, run.height,
        options.fps,        options.crf,        options.preset,     rate,      run.sound.channels};
    catchQuitSignals(onInterrupt); // the export ends between two frames
    if (!openVideo(&settings)) {
        return false;
    }
    run.encoderOpen = true;
    if (run.pictureKind == PICTURE_TRACED && !startTracerPool(options.threads)) {
        std::fprintf(stderr, "%s: cannot start the tracer threads\n", PROGRAM);
        return false;
    }
    return true;
}

// How the command line's help and errors are answered.
static const CommandLineAnswers VIDEO_ANSWERS = {PROGRAM, "raysphere --video --help", printVideoUsage, nullptr};

int videoMain(int argc, char** argv) {
    VideoOptions options;
    char error[640];
    OptionsStatus status = parseVideoOptions(argc, argv, &options, error, sizeof(error));
    if (status != OPTIONS_RUN) {
        return answerCommandLine(status, &VIDEO_ANSWERS, error);
    }
    if (!checkVideoRequest(options)) {
        return EXIT_BAD_ARGUMENTS;
    }
    run = VideoRun{};
    if (!openExport(options)) {
        return endRun(EXIT_FAILURE);
    }
    planTitles(options);

    // What the plug-in's Init does before the first frame; the song's
    // channels go with every block, as the player's do, so a mono song draws
    // one trace
    startCore();
    songChannels = run.blocks.channels;

    auto start = std::chrono::steady_clock::now();
    Timings timings = {0, 0};
    bool exported = run.frameCount > 0 && exportFrames(options, &timings);
    if (interrupted != 0) {
        std::fprintf(stderr, "\n%s: interrupted; '%s' was not written\n", PROGRAM, options.outputPath);
        return endRun(EXIT_SIGNALLED + interrupted);
    }
    VideoFacts facts;
    auto finishStart = std::chrono::steady_clock::now();
    bool finished = false;
    if (exported) {
        finished = finishVideo(&facts);
        run.encoderOpen = false;
    }
    timings.encoding += secondsSince(finishStart);
    if (endRun(finished ? EXIT_SUCCESS : EXIT_FAILURE) != EXIT_SUCCESS) {
        return EXIT_FAILURE;
    }
    printProgress(facts.videoFrames, secondsSince(start), true);
    printSummary(options, facts, timings, secondsSince(start));
    return EXIT_SUCCESS;
}
