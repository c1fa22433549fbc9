// raysphere: the visualisation live in a window, from the sound files given,
// from what the desktop plays, or from the built-in demo tune. Each frame gets
// the waveform heard at that moment, as the player hands it to the plug-in,
// so the frames are the plug-in's frames.
#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/input.h"
#include "app/options.h"
#include "app/report.h"
#include "app/video_main.h"
#include "app/window.h"
#include "frame/compose.h"
#include "overlays/title_box.h"
#include "overlays/title_font.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;        // no display, nothing playable, a file not written
constexpr int EXIT_BAD_ARGUMENTS = 2; // the command line was wrong
constexpr size_t ERROR_CHARS = 1024;
constexpr int32_t MAX_LISTED_SOURCES = 64;
constexpr double BEHIND_SHARE = 0.9;     // below this share of the asked rate the machine does not keep up
constexpr double RECOVERED_SHARE = 0.97; // at or above it again, it does
constexpr int32_t INFO_ROW = 184;        // the frame rate line, in rows the tracer never paints

// The frame rate, measured over each second.
struct FrameClock {
    uint64_t frequency;      // performance counter ticks a second
    uint64_t period;         // ticks a frame at the asked rate
    uint64_t start;          // when the first frame was due
    uint64_t due;            // when the next frame is to be shown
    uint64_t secondStart;    // start of the second being measured
    int64_t secondFrames;    // frames shown in it
    uint64_t workTicks;      // ticks spent making those frames
    double measuredFps;      // over the last whole second
    double frameMs;          // average time to make a frame in that second
    bool behind;             // said that the machine does not keep up
    int64_t secondsMeasured; // whole seconds so far
};

struct AppRun {
    AppOptions options;         // the command line
    AppWindow window;           // opened in set-up, closed in shutdown
    AppInput input;             // where the waveform comes from
    bool sdlStarted;            // SDL_Init succeeded
    winampVisModule module;     // what the player would hand the plug-in
    uint8_t frame[FRAME_BYTES]; // the render surface; persists from frame to frame
    FrameImage image;           // the frame as an image of its size
    TitleRequest title;         // SPACE
    bool showInfo;              // I: the frame rate over the frame
    bool infoDrawn;             // the frame rate line is in the frame and must be cleared
    bool quit;                  // ESC or the window closed
    int64_t frameIndex;         // frames shown
    FILE* waveformOut;          // --write-waveform, open during the run
    bool waveformOutFailed;     // a block could not be written
    FrameClock clock;
};

AppRun run;

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

// Writes `text` in the bottom rows, white on black, or clears them.
void drawInfoLine(const char* text) {
    for (int32_t y = INFO_ROW; y < INFO_ROW + TITLE_FONT_HEIGHT; y++) {
        memset(run.frame + y * FRAME_ROW_BYTES, 0, FRAME_ROW_BYTES);
    }
    for (int32_t column = 0; text != nullptr && text[column] != '\0'; column++) {
        const uint8_t* glyph = titleFontGlyphs[(uint8_t)text[column]];
        for (int32_t y = 0; y < TITLE_FONT_HEIGHT; y++) {
            for (int32_t x = 0; x < TITLE_FONT_WIDTH; x++) {
                int32_t px = 4 + column * TITLE_FONT_WIDTH + x;
                if ((glyph[y] & (0x80 >> x)) != 0 && px < FRAME_WIDTH) {
                    memset(run.frame + (INFO_ROW + y) * FRAME_ROW_BYTES + px * 4, 255, 3);
                }
            }
        }
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
void measureFrame(uint64_t workTicks) {
    FrameClock* clock = &run.clock;
    uint64_t now = SDL_GetPerformanceCounter();
    clock->secondFrames++;
    clock->workTicks += workTicks;
    if (now - clock->secondStart < clock->frequency) {
        return;
    }
    double seconds = (double)(now - clock->secondStart) / (double)clock->frequency;
    clock->measuredFps = (double)clock->secondFrames / seconds;
    clock->frameMs = 1000.0 * (double)clock->workTicks / (double)clock->frequency / (double)clock->secondFrames;
    clock->secondStart = now;
    clock->secondFrames = 0;
    clock->workTicks = 0;
    clock->secondsMeasured++;
    int32_t fps = run.options.fps;
    if (!clock->behind && clock->measuredFps < BEHIND_SHARE * fps) {
        reportProblem("this machine keeps up only %.1f of the %d frames per second asked for (a frame takes %.1f ms "
                      "to make); the motion is slower than it should be",
                      clock->measuredFps, (int)fps, clock->frameMs);
        clock->behind = true;
    } else if (clock->behind && clock->measuredFps >= RECOVERED_SHARE * fps) {
        reportProblem("keeping up again: %.1f frames per second", clock->measuredFps);
        clock->behind = false;
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
    inputBlock(&run.input, run.frameIndex, run.module.waveformData);
    run.module.nCh = run.input.kind == INPUT_WAVEFORM ? 2 : run.input.source.channels;
    if (run.waveformOut != nullptr && fwrite(run.module.waveformData, 1, BLOCK_BYTES, run.waveformOut) != BLOCK_BYTES) {
        run.waveformOutFailed = true;
    }
    composeFrame(run.frame, &run.module);
    if (stepTitleBox(&run.title)) {
        drawTitleBox(&run.image, inputTitle(&run.input), 1);
    }
    if (run.showInfo) {
        char info[64];
        snprintf(info, sizeof info, "%.1f fps of %d", run.clock.measuredFps, (int)run.options.fps);
        drawInfoLine(info);
        run.infoDrawn = true;
    } else if (run.infoDrawn) {
        drawInfoLine(nullptr);
        run.infoDrawn = false;
    }
    drawWindow(&run.window, &run.image);
    uint64_t workTicks = SDL_GetPerformanceCounter() - workStart;
    waitForDue();
    presentWindow(&run.window);
    measureFrame(workTicks);
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
    if (status == APP_OPTIONS_ERROR) {
        fprintf(stderr, "raysphere: %s\nTry 'raysphere --help'.\n", error);
        return EXIT_BAD_ARGUMENTS;
    }
    setVerbose(run.options.verbose);
    if (run.options.listSources) {
        return listSources();
    }

    // SDL: a display is needed, sound is not
    if (run.options.headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
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
    if (!openWindow(&run.window, &run.options, FRAME_WIDTH, FRAME_HEIGHT, error, sizeof error)) {
        reportProblem("no display: %s", error);
        return shutdown(EXIT_FAILED);
    }
    reportDetail("window on SDL's %s driver, %s; %d frames per second", SDL_GetCurrentVideoDriver(),
                 run.window.vsync ? "presented with vsync" : "presented without vsync", (int)run.options.fps);

    // What the plug-in's Init does before the first frame
    setSampleGrid();
    buildScene(&textureStore);
    run.module.nCh = 2;
    run.image = FrameImage{run.frame, FRAME_WIDTH, FRAME_HEIGHT, FRAME_ROW_BYTES};

    // Frames until ESC, the window closing, the frame count or the end of the playlist
    run.clock.frequency = SDL_GetPerformanceFrequency();
    run.clock.period = run.clock.frequency / (uint64_t)run.options.fps;
    run.clock.start = SDL_GetPerformanceCounter();
    run.clock.due = run.clock.start;
    run.clock.secondStart = run.clock.start;
    while (!run.quit && (run.options.frames == 0 || run.frameIndex < run.options.frames)) {
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
    return shutdown(code);
}
