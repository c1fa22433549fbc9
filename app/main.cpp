// raysphere: the visualisation live in a window, from the sound files given,
// from what the desktop plays, or from the built-in demo tune. Each frame gets
// the waveform heard at that moment, as the player hands it to the plug-in,
// so the frames are the plug-in's frames. The system's window, sound and
// clock are behind app/platform.h.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/frame_clock.h"
#include "app/input.h"
#include "app/options.h"
#include "app/output_check.h"
#include "app/picture.h"
#include "app/platform.h"
#include "app/quit_signals.h"
#include "app/report.h"
#include "app/video_main.h"
#include "compose/compose.h"
#include "files/os_files.h"
#include "overlays/title_box.h"
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

struct AppRun {
    AppOptions options;     // the command line
    bool platformStarted;   // the system's display (and sound) started
    AppInput input;         // where the waveform comes from
    Picture picture;        // what is traced, at what size
    bool windowOpen;        // the platform's window is open
    WaveformBlock block;    // this frame's waveform
    TitleRequest title;     // SPACE
    bool showInfo;          // I: the frame rate over the frame
    bool quit;              // ESC or the window closed
    int64_t frameIndex;     // frames shown
    int64_t cycleFrames;    // --cycle: frames each scene is shown; 0 for no cycling
    int64_t sceneFrames;    // frames the current scene has been shown
    FILE* waveformOut;      // --write-waveform, open during the run
    bool waveformOutFailed; // a block could not be written
    FrameClock clock;
#ifdef RAYSPHERE_TEST_DELAY
    int64_t slowMs;     // test build: each of the first slowFrames frames takes this much longer
    int64_t slowFrames; // from RAYSPHERE_TEST_DELAY=MS:FRAMES
#endif
};

AppRun run;
volatile sig_atomic_t quitSignal = 0; // Ctrl-C, SIGTERM or SIGHUP: quit as ESC does, exit 128 + the signal

void onQuitSignal(int signal) {
    quitSignal = signal;
}

// True when the command line asks for a video: "--video" before any "--".
bool videoRequested(int argc, char** argv) {
    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strcmp(argv[i], "--video") == 0) {
            return true;
        }
    }
    return false;
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

// The command line: true when the run is to go on; else `code` is the exit
// status of what was done instead (help, version, the source list, a refusal).
bool readCommandLine(int argc, char** argv, int* code) {
    char error[ERROR_CHARS];
    AppOptionsStatus status = parseAppOptions(argc, argv, &run.options, error, sizeof error);
    *code = status == APP_OPTIONS_ERROR ? EXIT_BAD_ARGUMENTS : EXIT_OK;
    if (status == APP_OPTIONS_HELP) {
        fputs(APP_USAGE, stdout);
        return false;
    }
    if (status == APP_OPTIONS_VERSION) {
        fputs("raysphere " RAYSPHERE_VERSION "\n", stdout);
        return false;
    }
    if (status == APP_OPTIONS_ERROR) {
        fprintf(stderr, "raysphere: %s\nTry 'raysphere --help'.\n", error);
        return false;
    }
    setVerbose(run.options.verbose);
#ifdef RAYSPHERE_TEST_DELAY
    const char* slow = getenv("RAYSPHERE_TEST_DELAY");
    if (slow != nullptr && sscanf(slow, "%lld:%lld", (long long*)&run.slowMs, (long long*)&run.slowFrames) != 2) {
        fprintf(stderr, "raysphere: RAYSPHERE_TEST_DELAY needs MS:FRAMES, not '%s'\n", slow);
        *code = EXIT_BAD_ARGUMENTS;
        return false;
    }
#endif
    if (run.options.listSources) {
        *code = listSources();
        return false;
    }
    if (run.options.listScenes) {
        writeSceneList(stdout);
        *code = fflush(stdout) == 0 && !ferror(stdout) ? EXIT_OK : EXIT_FAILED;
        return false;
    }
    if (!checkOutputs(&run.options)) {
        *code = EXIT_BAD_ARGUMENTS;
        return false;
    }
    // The scene, refused with its place before anything starts
    char sceneError[MAX_ERROR_TEXT];
    if (run.options.scene != nullptr && !stageScene(run.options.scene, sceneError, sizeof sceneError)) {
        fprintf(stderr, "raysphere: %s\n", sceneError);
        *code = EXIT_BAD_ARGUMENTS;
        return false;
    }
    run.cycleFrames = (int64_t)run.options.cycleSeconds * run.options.fps;
    return true;
}

// The system's display, and its sound when the run plays sound: without a
// sound device the run goes on silent. False, reported, without a display.
bool startPlatform() {
    char error[ERROR_CHARS];
    catchQuitSignals(onQuitSignal); // the run ends between two frames, files closed
    run.platformStarted = true;
    if (!platform.start(&run.options, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    bool playsSound = !run.options.capture && run.options.waveformPath == nullptr;
    bool soundAvailable = playsSound && platform.startSound(error, sizeof error);
    if (playsSound && !soundAvailable) {
        reportProblem("no sound device (%s): running silent, timed by the clock", error);
    }
    return startInput(&run.input, &run.options, soundAvailable);
}

// Where the blocks go: --write-waveform.
bool openWaveformOut() {
    if (run.options.writeWaveformPath == nullptr) {
        return true;
    }
    run.waveformOut = openFile(run.options.writeWaveformPath, "wb");
    if (run.waveformOut == nullptr) {
        reportProblem("cannot write waveform file %s: %s", run.options.writeWaveformPath, strerror(errno));
        return false;
    }
    return true;
}

// The picture, then the window it is shown in; the window's size is known
// once the window is open.
bool openPictureWindow() {
    char error[ERROR_CHARS];
    selectTracer(fastestTracer());
    if (!startPicture(&run.picture, &run.options)) {
        return false;
    }
    const FrameImage* image = &run.picture.image;
    if (!platform.openWindow(&run.options, image->width, image->height, error, sizeof error)) {
        reportProblem("no display: %s", error);
        return false;
    }
    run.windowOpen = true;
    if (!startWindowSized(&run.picture)) {
        return false; // no image the window's size: said why
    }
    reportDetail("%s; %dx%d frames, %d a second%s", platform.describeWindow(), (int)image->width, (int)image->height,
                 (int)run.options.fps, run.picture.poolStarted ? ", traced on the tracer threads" : "");
    if (run.picture.poolStarted) {
        reportDetail("tracing on %d threads", (int)tracerThreadCount());
    }
    // What the plug-in's Init does before the first frame
    startCore();
    return true;
}

void toggleFullscreen() {
    platform.toggleFullscreen();
    reportDetail("full screen %s", platform.isFullscreen() ? "on" : "off");
}

void handleKey(const AppEvent* event) {
    switch (event->key) {
    case KEY_ESCAPE:
        run.quit = true;
        break;
    case KEY_SPACE:
        // Auto-repeated presses count like the first, as in the plug-in.
        requestTitleBox(&run.title);
        break;
    case KEY_F:
        if (!event->repeat) {
            toggleFullscreen(); // held down, it would flip back and forth
        }
        break;
    case KEY_ENTER:
        if (event->alt && !event->repeat) {
            toggleFullscreen();
        }
        break;
    case KEY_N:
        skipInput(&run.input, 1);
        break;
    case KEY_P:
        skipInput(&run.input, -1);
        break;
    case KEY_I:
        run.showInfo = !run.showInfo;
        break;
    case KEY_W:
        if (!event->repeat && toggleWindowSized(&run.picture)) {
            restartSecond(&run.clock);
        }
        break;
    case KEY_NEXT_SCENE:
    case KEY_PREVIOUS_SCENE:
        stepStage(event->key == KEY_NEXT_SCENE ? 1 : -1);
        run.sceneFrames = 0;
        reportDetail("scene %s", stageSceneName());
        break;
    default:
        break;
    }
}

void handleEvents() {
    AppEvent event;
    while (platform.pollEvent(&event)) {
        if (event.kind == APP_EVENT_QUIT) {
            run.quit = true;
        } else if (event.kind == APP_EVENT_KEY) {
            handleKey(&event);
        } else if (event.kind == APP_EVENT_DOUBLE_CLICK) {
            toggleFullscreen();
        } else if (event.kind == APP_EVENT_SOUND_LOST) {
            loseSound(&run.input);
        }
    }
}

// After each measured second: the rate judged, the traced size it allows, now and then the rate said.
void measuredSecond() {
    FrameClock* clock = &run.clock;
    judgeRate(clock, tracingRemedy(&run.picture));
    if (clock->secondsMeasured > 1) {
        adjustTracedLevel(&run.picture, clock->frameMs, 1000.0 / run.options.fps);
    }
    if (clock->secondsMeasured % 5 == 0) {
        reportDetail("%.1f frames per second (a frame takes %.1f ms to make)", clock->measuredFps, clock->frameMs);
    }
}

// One frame: the waveform heard now, the plug-in's frame, title and info
// over it, shown when due.
bool showOneFrame() {
    uint64_t workStart = platform.ticks();
    if (!followInput(&run.input)) {
        return false;
    }
    if (followWindowSize(&run.picture)) {
        restartSecond(&run.clock);
    }
#ifdef RAYSPHERE_TEST_DELAY
    if (run.frameIndex < run.slowFrames) {
        platform.sleepMilliseconds((uint32_t)run.slowMs); // a slow machine, for the test of the traced size
    }
#endif
    if (run.cycleFrames > 0 && ++run.sceneFrames > run.cycleFrames) {
        stepStage(1); // --cycle: the next scene's turn
        run.sceneFrames = 1;
        reportDetail("scene %s", stageSceneName());
    }
    inputBlock(&run.input, run.frameIndex, run.block);
    if (run.waveformOut != nullptr && fwrite(run.block, 1, BLOCK_BYTES, run.waveformOut) != BLOCK_BYTES) {
        run.waveformOutFailed = true;
    }
    composePicture(&run.picture, run.block, run.input.kind == INPUT_WAVEFORM ? 2 : run.input.source.channels);
    if (stepTitleBox(&run.title)) {
        char title[320];
        snprintf(title, sizeof title, "%s - %s", stageSceneName(), inputTitle(&run.input));
        drawTitleBox(&run.picture.image, title, run.picture.textScale);
    }
    drawPictureInfo(&run.picture, run.showInfo, run.clock.measuredFps);
    uint64_t showStart = platform.ticks();
    uint64_t workTicks = showStart - workStart;
    platform.draw(&run.picture.image);
    uint64_t showTicks = platform.ticks() - showStart;
    waitForDue(&run.clock);
    uint64_t presentStart = platform.ticks();
    platform.present();
    showTicks += platform.ticks() - presentStart;
    if (countFrame(&run.clock, workTicks, showTicks)) {
        measuredSecond();
    }
    run.frameIndex++;
    return true;
}

// Frames until ESC, the window closing, the frame count or the end of the playlist.
void showFrames() {
    startClock(&run.clock, run.options.fps);
    while (!run.quit && quitSignal == 0 && (run.options.frames == 0 || run.frameIndex < run.options.frames)) {
        handleEvents();
        if (run.quit || !showOneFrame()) {
            break;
        }
    }
    double seconds = clockSeconds(&run.clock);
    reportDetail("%lld frames in %.1f s: %.1f frames per second", (long long)run.frameIndex, seconds,
                 seconds > 0 ? (double)run.frameIndex / seconds : 0.0);
}

// The last frame as shown, with --screenshot.
bool saveScreenshot() {
    if (run.options.screenshotPath == nullptr || run.frameIndex == 0) {
        return true;
    }
    char error[ERROR_CHARS];
    if (!platform.saveScreenshot(&run.picture.image, run.options.screenshotPath, error, sizeof error)) {
        reportProblem("%s", error);
        return false;
    }
    reportDetail("saved the last frame as shown in %s", run.options.screenshotPath);
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
    if (run.windowOpen) {
        platform.closeWindow();
        run.windowOpen = false;
    }
    stopPicture(&run.picture);
    if (run.platformStarted) {
        platform.stop();
        run.platformStarted = false;
    }
    return code;
}

} // namespace

int main(int argc, char** argv) {
    platform.utf8Arguments(&argc, &argv);
    if (videoRequested(argc, argv)) {
        return videoMain(argc, argv); // the song rendered into a video file, no window
    }
    int code = EXIT_OK;
    if (!readCommandLine(argc, argv, &code)) {
        return code;
    }
    if (!startPlatform() || !openWaveformOut() || !openPictureWindow()) {
        return shutdown(EXIT_FAILED);
    }
    showFrames();
    if (!saveScreenshot()) {
        return shutdown(EXIT_FAILED);
    }
    bool nonePlayed = run.input.kind == INPUT_PLAYLIST && run.options.fileCount > 0 && run.input.playedCount == 0;
    code = nonePlayed ? EXIT_FAILED : EXIT_OK;
    return shutdown(quitSignal != 0 ? EXIT_SIGNALLED + quitSignal : code);
}
