// raysphere: the visualisation live in a window, from the sound files given,
// from what the desktop plays, or from the built-in demo tune. Each frame gets
// the waveform heard at that moment, as the player hands it to the plug-in,
// so the frames are the plug-in's frames.
#include <SDL.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/input.h"
#include "app/options.h"
#include "app/output_check.h"
#include "app/quit_signals.h"
#include "app/report.h"
#include "app/traced_size.h"
#include "app/video_main.h"
#include "app/window.h"
#include "compose/compose.h"
#include "overlays/title_box.h"
#include "overlays/title_font.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/tracer.h"
#include "raytracer/tracer_pool.h"
#include "scenes/stage.h"
#include "version.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;        // no display, nothing playable, a file not written
constexpr int EXIT_BAD_ARGUMENTS = 2; // the command line was wrong
constexpr int EXIT_SIGNALLED = 128;   // plus the signal that ended the run
constexpr size_t ERROR_CHARS = 1024;
constexpr int32_t MAX_LISTED_SOURCES = 64;
constexpr double BEHIND_SHARE = 0.9;     // below this share of the asked rate the machine does not keep up
constexpr double RECOVERED_SHARE = 0.97; // at or above it again, it does
constexpr double TRACING_SHARE = 0.8;    // making a frame takes this share of its time or more: tracing limits
constexpr int32_t INFO_ROW = 184;        // the frame rate line, in rows the plug-in's tracer never paints

// The frame rate, measured over each second.
struct FrameClock {
    uint64_t frequency;      // performance counter ticks a second
    uint64_t period;         // ticks a frame at the asked rate
    uint64_t start;          // when the first frame was due
    uint64_t due;            // when the next frame is to be shown
    uint64_t secondStart;    // start of the second being measured
    int64_t secondFrames;    // frames shown in it
    uint64_t workTicks;      // ticks spent making those frames
    uint64_t showTicks;      // ticks spent handing them to the window and presenting them
    double measuredFps;      // over the last whole second
    double frameMs;          // average time to make a frame in that second
    double showMs;           // average time to show one
    bool behind;             // said that the machine does not keep up
    int64_t secondsMeasured; // whole seconds so far
};

struct AppRun {
    AppOptions options;         // the command line
    AppWindow window;           // opened in set-up, closed in shutdown
    AppInput input;             // where the waveform comes from
    bool sdlStarted;            // SDL_Init succeeded
    WaveformBlock block;        // the frame's waveform, as the player would hand it to the plug-in
    int32_t channels;           // the block's channels in use
    uint8_t frame[FRAME_BYTES]; // the render surface; persists from frame to frame
    uint8_t* sizedPixels;       // --size or the window's size: the image's memory, malloc'd
    size_t sizedBytes;          // bytes at sizedPixels
    bool poolStarted;           // the tracer threads run
    FrameImage image;           // the frame shown: the render surface or a whole traced image
    bool windowSized;           // --size window or W: the image follows the window's pixels
    int32_t windowPixels[2];    // the window's size the image follows
    int32_t tracedLevel;        // the image's share of it, from traced_size.h
#ifdef RAYSPHERE_TEST_DELAY
    int64_t slowMs;     // test build: each of the first slowFrames frames takes this much longer
    int64_t slowFrames; // from RAYSPHERE_TEST_DELAY=MS:FRAMES
#endif
    int32_t textScale;      // title and frame rate: 1 at 320 x 200
    TitleRequest title;     // SPACE
    bool showInfo;          // I: the frame rate over the frame
    bool infoDrawn;         // the frame rate line is in the frame and must be cleared
    bool quit;              // ESC or the window closed
    int64_t frameIndex;     // frames shown
    int64_t cycleFrames;    // --cycle: frames each scene is shown; 0 for no cycling
    int64_t sceneFrames;    // frames the current scene has been shown
    FILE* waveformOut;      // --write-waveform, open during the run
    bool waveformOutFailed; // a block could not be written
    FrameClock clock;
};

AppRun run;
volatile sig_atomic_t quitSignal = 0; // Ctrl-C, SIGTERM or SIGHUP: quit as ESC does, exit 128 + the signal

void onQuitSignal(int signal) {
    quitSignal = signal;
}

// Lists the sources --capture can take.
int listSources() {
    static CaptureDevice devices[MAX_LISTED_SOURCES];
    char defaultMonitor[256];
    char error[ERROR_CHARS];
    int32_t count =
        listCaptureDevices(devices, MAX_LISTED_SOURCES, defaultMonitor, sizeof defaultMonitor, error, sizeof error);
    if (count < 0) {
        reportProblem("%s", error);
        return EXIT_FAILED;
    }
    printf("Sources for --capture=SOURCE (* is what --capture alone takes):\n");
    for (int32_t i = 0; i < count; i++) {
        bool isDefault = strcmp(devices[i].name, defaultMonitor) == 0;
        printf("%s %s\n    %s%s\n", isDefault ? "*" : " ", devices[i].name, devices[i].description,
               devices[i].monitor ? " (what an output plays)" : "");
    }
    if (count == 0) {
        printf("  (none)\n");
    }
    return EXIT_OK;
}

// The files the run is to write, checked before it starts: none is one of
// the inputs or the other output, each can be written, none replaces a file
// of another kind unless --force. False, reported, when one is refused.
bool checkOutputs(const AppOptions* options) {
    char error[ERROR_CHARS];
    const char* outputs[] = {options->screenshotPath, options->writeWaveformPath};
    const OutputRule* rules[] = {&screenshotRule, &waveformRule};
    for (int32_t i = 0; i < 2; i++) {
        const char* output = outputs[i];
        if (output == nullptr) {
            continue;
        }
        for (int32_t f = 0; f < options->fileCount; f++) {
            if (sameFile(output, options->files[f])) {
                reportProblem("%s %s is the file %s, one of those to play; choose another name", rules[i]->option,
                              output, options->files[f]);
                return false;
            }
        }
        const char* other = outputs[1 - i];
        const char* waveform = options->waveformPath;
        if ((waveform != nullptr && sameFile(output, waveform)) || (other != nullptr && sameFile(output, other)) ||
            (other != nullptr && strcmp(output, other) == 0)) {
            reportProblem("%s %s is also %s; choose another name", rules[i]->option, output,
                          waveform != nullptr && sameFile(output, waveform) ? "the --waveform read"
                                                                            : "the other file written");
            return false;
        }
        if (!checkOutput(output, rules[i], options->force, error, sizeof error)) {
            reportProblem("%s", error);
            return false;
        }
    }
    return true;
}

// Writes `text` white on black in the rows below the picture, or clears them.
void drawInfoLine(const char* text) {
    FrameImage* image = &run.image;
    int32_t scale = run.textScale;
    int32_t top = image->height * INFO_ROW / FRAME_HEIGHT;
    for (int32_t y = top; y < top + TITLE_FONT_HEIGHT * scale && y < image->height; y++) {
        memset(image->pixels + (size_t)y * image->pitch, 0, (size_t)image->width * 4);
    }
    for (int32_t column = 0; text != nullptr && text[column] != '\0'; column++) {
        const uint8_t* glyph = titleFontGlyphs[(uint8_t)text[column]];
        for (int32_t y = 0; y < TITLE_FONT_HEIGHT * scale && top + y < image->height; y++) {
            for (int32_t x = 0; x < TITLE_FONT_WIDTH * scale; x++) {
                int32_t px = (4 + column * TITLE_FONT_WIDTH) * scale + x;
                if ((glyph[y / scale] & (0x80 >> (x / scale))) != 0 && px < image->width) {
                    memset(image->pixels + (size_t)(top + y) * image->pitch + (size_t)px * 4, 255, 3);
                }
            }
        }
    }
}

// Title and frame rate text: one font pixel per 320 x 200 of the frame.
void setTextScale() {
    int32_t widthScale = run.image.width / FRAME_WIDTH;
    int32_t heightScale = run.image.height / FRAME_HEIGHT;
    run.textScale = widthScale < heightScale ? widthScale : heightScale;
    run.textScale = run.textScale > 1 ? run.textScale : 1;
}

// Starts the tracer threads a whole traced image needs; false, reported, when they cannot start.
bool startPool() {
    if (!run.poolStarted && !startTracerPool(run.options.threads)) {
        reportProblem("cannot start the tracer threads");
        return false;
    }
    run.poolStarted = true;
    return true;
}

// Frames traced whole at `width` x `height` from now on, in memory kept
// from frame to frame and grown only when a larger size is first asked
// for; false, reported, with the frame as it was.
bool useTracedSize(int32_t width, int32_t height) {
    if (run.image.pixels == run.sizedPixels && run.image.width == width && run.image.height == height) {
        return true;
    }
    size_t bytes = (size_t)width * height * 4;
    if (bytes > run.sizedBytes) {
        uint8_t* pixels = (uint8_t*)calloc(bytes, 1);
        if (pixels == nullptr) {
            reportProblem("no memory for a %dx%d frame", (int)width, (int)height);
            return false;
        }
        if (run.image.pixels == run.sizedPixels) {
            run.image.pixels = pixels; // the frame as it was, should the window refuse the new size
        }
        free(run.sizedPixels);
        run.sizedPixels = pixels;
        run.sizedBytes = bytes;
    }
    char error[ERROR_CHARS];
    if (run.window.renderer != nullptr && !resizeWindowFrame(&run.window, width, height, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    run.image = FrameImage{run.sizedPixels, width, height, width * 4};
    setTextScale();
    return true;
}

// The plug-in's own frame, or the --size image, as at start without --size window.
bool useStartingSize() {
    if (run.options.frameWidth != 0) {
        return useTracedSize(run.options.frameWidth, run.options.frameHeight);
    }
    char error[ERROR_CHARS];
    if (!resizeWindowFrame(&run.window, FRAME_WIDTH, FRAME_HEIGHT, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    run.image = FrameImage{run.frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    setTextScale();
    return true;
}

// The clock's current second starts afresh: frames of another size would mix into it.
void restartSecond() {
    run.clock.secondStart = SDL_GetPerformanceCounter();
    run.clock.secondFrames = 0;
    run.clock.workTicks = 0;
}

// With the image following the window: its size for the window's pixels
// now and the level the frame rate allows.
void followWindowSize() {
    if (!run.windowSized) {
        return;
    }
    int32_t pixels[2];
    windowPixelSize(&run.window, &pixels[0], &pixels[1]);
    int32_t width = 0;
    int32_t height = 0;
    levelSize(pixels[0], pixels[1], run.tracedLevel, &width, &height);
    if (run.image.pixels == run.sizedPixels && run.image.width == width && run.image.height == height) {
        return;
    }
    if (useTracedSize(width, height)) {
        run.windowPixels[0] = pixels[0];
        run.windowPixels[1] = pixels[1];
        reportDetail("tracing %dx%d for a %dx%d window", (int)width, (int)height, (int)pixels[0], (int)pixels[1]);
        restartSecond();
    }
}

// W: tracing at the window's size, or back to the size the run started with.
void toggleWindowSized() {
    if (run.windowSized) {
        if (useStartingSize()) {
            run.windowSized = false;
            reportDetail("tracing %dx%d", (int)run.image.width, (int)run.image.height);
            restartSecond();
        }
    } else if (startPool()) {
        run.windowSized = true;
        run.tracedLevel = 0;
        followWindowSize();
    }
}

void handleKey(const SDL_KeyboardEvent* key) {
    switch (key->keysym.sym) {
    case SDLK_ESCAPE:
        run.quit = true;
        break;
    case SDLK_SPACE:
        // Auto-repeated presses count like the first, as in the plug-in.
        requestTitleBox(&run.title);
        break;
    case SDLK_f:
        if (key->repeat != 0) {
            break; // held down, it would flip back and forth
        }
        toggleFullscreen(&run.window);
        reportDetail("full screen %s", run.window.fullscreen ? "on" : "off");
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if ((key->keysym.mod & KMOD_ALT) != 0 && key->repeat == 0) {
            toggleFullscreen(&run.window);
            reportDetail("full screen %s", run.window.fullscreen ? "on" : "off");
        }
        break;
    case SDLK_n:
        skipInput(&run.input, 1);
        break;
    case SDLK_p:
        skipInput(&run.input, -1);
        break;
    case SDLK_i:
        run.showInfo = !run.showInfo;
        break;
    case SDLK_w:
        if (key->repeat == 0) {
            toggleWindowSized();
        }
        break;
    case SDLK_PAGEDOWN:
    case SDLK_RIGHTBRACKET:
    case SDLK_PAGEUP:
    case SDLK_LEFTBRACKET:
        // The next or previous scene
        stepStage(key->keysym.sym == SDLK_PAGEDOWN || key->keysym.sym == SDLK_RIGHTBRACKET ? 1 : -1);
        run.sceneFrames = 0;
        reportDetail("scene %s", stageSceneName());
        break;
    default:
        break;
    }
}

void handleEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            run.quit = true;
        } else if (event.type == SDL_KEYDOWN) {
            handleKey(&event.key);
        } else if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT &&
                   event.button.clicks == 2) {
            toggleFullscreen(&run.window);
            reportDetail("full screen %s", run.window.fullscreen ? "on" : "off");
        } else if (event.type == SDL_AUDIODEVICEREMOVED && event.adevice.iscapture == 0 &&
                   event.adevice.which == run.input.device) {
            loseSound(&run.input);
        }
    }
}

// Counts the frame shown and, once a second, measures the rate.
void measureFrame(uint64_t workTicks, uint64_t showTicks) {
    FrameClock* clock = &run.clock;
    uint64_t now = SDL_GetPerformanceCounter();
    clock->secondFrames++;
    clock->workTicks += workTicks;
    clock->showTicks += showTicks;
    if (now - clock->secondStart < clock->frequency) {
        return;
    }
    double seconds = (double)(now - clock->secondStart) / (double)clock->frequency;
    clock->measuredFps = (double)clock->secondFrames / seconds;
    clock->frameMs = 1000.0 * (double)clock->workTicks / (double)clock->frequency / (double)clock->secondFrames;
    clock->showMs = 1000.0 * (double)clock->showTicks / (double)clock->frequency / (double)clock->secondFrames;
    clock->secondStart = now;
    clock->secondFrames = 0;
    clock->workTicks = 0;
    clock->showTicks = 0;
    clock->secondsMeasured++;
    int32_t fps = run.options.fps;
    // The first second includes the window's and the libraries' warm-up.
    if (!clock->behind && clock->secondsMeasured > 1 && clock->measuredFps < BEHIND_SHARE * fps) {
        // What limits it: making the frames (tracing), or showing them (the
        // window's size, the display, its refresh).
        bool tracing = clock->frameMs >= TRACING_SHARE * 1000.0 / fps;
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(run.window.window, &width, &height);
        const char* remedy = !tracing                     ? "a smaller window or a lower --fps helps"
                             : run.sizedPixels != nullptr ? "a smaller --size or a lower --fps helps"
                                                          : "a lower --fps helps";
        reportProblem("only %.1f of the %d frames per second asked for are shown, the motion slower than it should be: "
                      "a frame takes %.1f ms to make and %.1f ms to show in the %dx%d window, so %s is the limit (%s)",
                      clock->measuredFps, (int)fps, clock->frameMs, clock->showMs, width, height,
                      tracing ? "tracing" : "showing it", remedy);
        clock->behind = true;
    } else if (clock->behind && clock->measuredFps >= RECOVERED_SHARE * fps) {
        reportProblem("keeping up again: %.1f frames per second", clock->measuredFps);
        clock->behind = false;
    }
    // Following the window: the traced size the frame rate allows
    if (run.windowSized && clock->secondsMeasured > 1) {
        int32_t level =
            nextTracedLevel(run.windowPixels[0], run.windowPixels[1], run.tracedLevel, clock->frameMs, 1000.0 / fps);
        if (level != run.tracedLevel) {
            reportDetail("a frame takes %.1f ms to make: %s the traced size", clock->frameMs,
                         level > run.tracedLevel ? "lowering" : "raising");
            run.tracedLevel = level;
        }
    }
    if (clock->secondsMeasured % 5 == 0) {
        reportDetail("%.1f frames per second (a frame takes %.1f ms to make)", clock->measuredFps, clock->frameMs);
    }
}

// Waits until the frame is due; a frame that is late moves the schedule on
// rather than hurrying the next ones.
void waitForDue() {
    FrameClock* clock = &run.clock;
    uint64_t now = SDL_GetPerformanceCounter();
    if (now < clock->due) {
        SDL_Delay((Uint32)((clock->due - now) * 1000 / clock->frequency));
        while (SDL_GetPerformanceCounter() < clock->due) {
            // the last part of a millisecond
        }
        clock->due += clock->period;
    } else if (now - clock->due > clock->period) {
        clock->due = now + clock->period;
    } else {
        clock->due += clock->period;
    }
}

// One frame: the waveform heard now, the plug-in's frame, title and info
// over it, shown when due.
bool showOneFrame() {
    uint64_t workStart = SDL_GetPerformanceCounter();
    if (!followInput(&run.input)) {
        return false;
    }
    followWindowSize();
#ifdef RAYSPHERE_TEST_DELAY
    if (run.frameIndex < run.slowFrames) {
        SDL_Delay((Uint32)run.slowMs); // a slow machine, for the test of the traced size
    }
#endif
    if (run.cycleFrames > 0 && ++run.sceneFrames > run.cycleFrames) {
        stepStage(1); // --cycle: the next scene's turn
        run.sceneFrames = 1;
        reportDetail("scene %s", stageSceneName());
    }
    inputBlock(&run.input, run.frameIndex, run.block);
    run.channels = run.input.kind == INPUT_WAVEFORM ? 2 : run.input.source.channels;
    if (run.waveformOut != nullptr && fwrite(run.block, 1, BLOCK_BYTES, run.waveformOut) != BLOCK_BYTES) {
        run.waveformOutFailed = true;
    }
    if (run.image.pixels != run.frame) {
        composeFrameAt(&run.image, run.block, run.channels);
    } else {
        composeFrame(run.frame, run.block, run.channels);
    }
    if (stepTitleBox(&run.title)) {
        char title[320];
        snprintf(title, sizeof title, "%s - %s", stageSceneName(), inputTitle(&run.input));
        drawTitleBox(&run.image, title, run.textScale);
    }
    if (run.showInfo) {
        char info[96];
        if (run.image.pixels != run.frame) {
            snprintf(info, sizeof info, "%s %dx%d %.1f fps of %d", stageSceneName(), (int)run.image.width,
                     (int)run.image.height, run.clock.measuredFps, (int)run.options.fps);
        } else {
            snprintf(info, sizeof info, "%s %.1f fps of %d", stageSceneName(), run.clock.measuredFps,
                     (int)run.options.fps);
        }
        drawInfoLine(info);
        run.infoDrawn = true;
    } else if (run.infoDrawn) {
        // A whole traced image is traced whole each frame; the plug-in's keeps its bottom rows.
        if (run.image.pixels == run.frame) {
            drawInfoLine(nullptr);
        }
        run.infoDrawn = false;
    }
    uint64_t showStart = SDL_GetPerformanceCounter();
    uint64_t workTicks = showStart - workStart;
    drawWindow(&run.window, &run.image);
    uint64_t showTicks = SDL_GetPerformanceCounter() - showStart;
    waitForDue();
    uint64_t presentStart = SDL_GetPerformanceCounter();
    presentWindow(&run.window);
    showTicks += SDL_GetPerformanceCounter() - presentStart;
    measureFrame(workTicks, showTicks);
    run.frameIndex++;
    return true;
}

// Releases whatever set-up made, in any state; returns `code`.
int shutdown(int code) {
    if (run.waveformOut != nullptr) {
        if (fclose(run.waveformOut) != 0 || run.waveformOutFailed) {
            reportProblem("cannot write waveform file %s: %s", run.options.writeWaveformPath, strerror(errno));
            code = EXIT_FAILED;
        }
        run.waveformOut = nullptr;
    }
    stopInput(&run.input);
    closeWindow(&run.window);
    if (run.poolStarted) {
        stopTracerPool();
        run.poolStarted = false;
    }
    free(run.sizedPixels);
    run.sizedPixels = nullptr;
    run.sizedBytes = 0;
    if (run.sdlStarted) {
        SDL_Quit();
        run.sdlStarted = false;
    }
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (videoRequested(argc, argv)) {
        return videoMain(argc, argv); // the song rendered into a video file, no window
    }
    char error[ERROR_CHARS];
    AppOptionsStatus status = parseAppOptions(argc, argv, &run.options, error, sizeof error);
    if (status == APP_OPTIONS_HELP) {
        fputs(APP_USAGE, stdout);
        return EXIT_OK;
    }
    if (status == APP_OPTIONS_VERSION) {
        fputs("raysphere " RAYSPHERE_VERSION "\n", stdout);
        return EXIT_OK;
    }
    if (status == APP_OPTIONS_ERROR) {
        fprintf(stderr, "raysphere: %s\nTry 'raysphere --help'.\n", error);
        return EXIT_BAD_ARGUMENTS;
    }
    setVerbose(run.options.verbose);
#ifdef RAYSPHERE_TEST_DELAY
    const char* slow = getenv("RAYSPHERE_TEST_DELAY");
    if (slow != nullptr && sscanf(slow, "%lld:%lld", (long long*)&run.slowMs, (long long*)&run.slowFrames) != 2) {
        fprintf(stderr, "raysphere: RAYSPHERE_TEST_DELAY needs MS:FRAMES, not '%s'\n", slow);
        return EXIT_BAD_ARGUMENTS;
    }
#endif
    if (run.options.listSources) {
        return listSources();
    }
    if (run.options.listScenes) {
        writeSceneList(stdout);
        return fflush(stdout) == 0 && !ferror(stdout) ? EXIT_OK : EXIT_FAILED;
    }
    if (!checkOutputs(&run.options)) {
        return EXIT_BAD_ARGUMENTS;
    }
    // The scene, refused with its place before anything starts
    char sceneError[MAX_ERROR_TEXT];
    if (run.options.scene != nullptr && !stageScene(run.options.scene, sceneError, sizeof sceneError)) {
        fprintf(stderr, "raysphere: %s\n", sceneError);
        return EXIT_BAD_ARGUMENTS;
    }
    run.cycleFrames = (int64_t)run.options.cycleSeconds * run.options.fps;

    // SDL: a display is needed, sound is not; the signals are ours
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    catchQuitSignals(onQuitSignal); // the run ends between two frames, files closed
    if (run.options.headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0); // a driver of the caller's choice stays
        // Nothing to show on: SDL's software renderer straight into the
        // window's memory, without loading a graphics library.
        setenv("SDL_RENDER_DRIVER", "software", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        reportProblem("no display to open a window on (%s); --headless runs without one", SDL_GetError());
        return shutdown(EXIT_FAILED);
    }
    run.sdlStarted = true;
    // SDL falls back to drawing in memory when it finds no display; unasked
    // for, that is no display either.
    const char* driver = SDL_GetCurrentVideoDriver();
    bool inMemory = driver != nullptr && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
    if (inMemory && !run.options.headless && getenv("SDL_VIDEODRIVER") == nullptr) {
        reportProblem("no display to open a window on (neither X11 nor Wayland answered); --headless runs without one");
        return shutdown(EXIT_FAILED);
    }
    bool playsSound = !run.options.capture && run.options.waveformPath == nullptr;
    if (playsSound && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reportProblem("no sound device (%s): running silent, timed by the clock", SDL_GetError());
    }

    // What plays, where its blocks go, then the window
    if (!startInput(&run.input, &run.options)) {
        return shutdown(EXIT_FAILED);
    }
    if (run.options.writeWaveformPath != nullptr) {
        run.waveformOut = fopen(run.options.writeWaveformPath, "wb");
        if (run.waveformOut == nullptr) {
            reportProblem("cannot write waveform file %s: %s", run.options.writeWaveformPath, strerror(errno));
            return shutdown(EXIT_FAILED);
        }
    }
    // The frame: the plug-in's, or every pixel of a --size image on the tracer
    // threads; the window's size is known once the window is open
    selectTracer(fastestTracer());
    run.image = FrameImage{run.frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};
    if ((run.options.frameWidth != 0 || run.options.windowSized) && !startPool()) {
        return shutdown(EXIT_FAILED);
    }
    if (run.options.frameWidth != 0 && !useTracedSize(run.options.frameWidth, run.options.frameHeight)) {
        return shutdown(EXIT_FAILED);
    }
    setTextScale();
    if (!openWindow(&run.window, &run.options, run.image.width, run.image.height, error, sizeof error)) {
        reportProblem("no display: %s", error);
        return shutdown(EXIT_FAILED);
    }
    if (run.options.windowSized) {
        run.windowSized = true;
        followWindowSize();
        if (run.image.pixels != run.sizedPixels) {
            return shutdown(EXIT_FAILED); // no image the window's size: said why
        }
    }
    reportDetail("window on SDL's %s driver, %s; %dx%d frames, %d a second%s", SDL_GetCurrentVideoDriver(),
                 run.window.vsync ? "presented with vsync" : "presented without vsync", (int)run.image.width,
                 (int)run.image.height, (int)run.options.fps, run.poolStarted ? ", traced on the tracer threads" : "");
    if (run.poolStarted) {
        reportDetail("tracing on %d threads", (int)tracerThreadCount());
    }

    // What the plug-in's Init does before the first frame
    startCore();

    // Frames until ESC, the window closing, the frame count or the end of the playlist
    run.clock.frequency = SDL_GetPerformanceFrequency();
    run.clock.period = run.clock.frequency / (uint64_t)run.options.fps;
    run.clock.start = SDL_GetPerformanceCounter();
    run.clock.due = run.clock.start;
    run.clock.secondStart = run.clock.start;
    while (!run.quit && quitSignal == 0 && (run.options.frames == 0 || run.frameIndex < run.options.frames)) {
        handleEvents();
        if (run.quit || !showOneFrame()) {
            break;
        }
    }
    double seconds = (double)(SDL_GetPerformanceCounter() - run.clock.start) / (double)run.clock.frequency;
    reportDetail("%lld frames in %.1f s: %.1f frames per second", (long long)run.frameIndex, seconds,
                 seconds > 0 ? (double)run.frameIndex / seconds : 0.0);

    // The last frame as shown
    if (run.options.screenshotPath != nullptr && run.frameIndex > 0) {
        if (!saveWindowPng(&run.window, &run.image, run.options.screenshotPath, error, sizeof error)) {
            reportProblem("%s", error);
            return shutdown(EXIT_FAILED);
        }
        reportDetail("saved the last frame as shown in %s", run.options.screenshotPath);
    }
    int code = run.input.kind == INPUT_PLAYLIST && run.options.fileCount > 0 && run.input.playedCount == 0 ? EXIT_FAILED
                                                                                                           : EXIT_OK;
    return shutdown(quitSignal != 0 ? EXIT_SIGNALLED + quitSignal : code);
}
