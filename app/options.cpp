// The command line of raysphere.
#include "app/options.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include "frame/frame_image.h"
#include "raytracer/tracer_pool.h"
#include "cli/number_arg.h"
#include "cli/option_table.h"

const char* const APP_USAGE = "usage: raysphere [options] [FILE...]\n"
                              "Shows the ray-traced visualisation in a window, live, from the music playing:\n"
#ifdef _WIN32
                              "the sound files given (WAV, MP3, FLAC, AAC/M4A, ...), what the desktop plays\n"
#else
                              "the sound files given (WAV, FLAC, Ogg Vorbis, MP3, ...), what the desktop plays\n"
#endif
                              "(--capture), or the built-in demo tune when neither is given. The files play\n"
                              "one after another; after the last the program ends.\n"
                              "\n"
#ifdef _WIN32
                              "  --capture            visualise what the desktop plays: the default output's\n"
                              "                       sound (WASAPI loopback)\n"
#else
                              "  --capture            visualise what the desktop plays: the monitor of the\n"
                              "                       default output (PulseAudio or PipeWire)\n"
#endif
                              "  --capture=SOURCE     visualise another source (see --list-sources)\n"
                              "  --list-sources       list the sources --capture can take, then stop\n"
                              "  --fps N              frames per second to keep (default 60)\n"
                              "  --frames N           show N frames, then stop\n"
                              "  --screenshot FILE    save the last frame as shown in the window as PNG\n"
#ifdef _WIN32
                              "  --headless           run without a window or sound, e.g. with --frames and\n"
                              "                       --screenshot\n"
#else
                              "  --headless           run without a display or sound device (SDL's offscreen\n"
                              "                       video and dummy audio), e.g. with --frames and --screenshot\n"
#endif
                              "  --waveform FILE      feed frame k block k of a raw waveform file (1152 bytes a\n"
                              "                       frame, as render_frames --write-waveform makes); silent\n"
                              "  --write-waveform FILE  write every frame's block to FILE, in the format\n"
                              "                       --waveform reads: the run can be rendered again exactly\n"
                              "  --size WxH           trace every pixel of a W x H frame, for a sharp picture\n"
                              "                       (default: the plug-in's 320 x 200 frame, half traced)\n"
                              "  --size window        trace every pixel of the window, following its size; a\n"
                              "                       smaller picture in its shape when the machine cannot\n"
                              "                       keep the frame rate\n"
                              "  --threads N          trace a --size frame on N threads, 0 for one a core\n"
                              "                       (the default)\n"
                              "  --window WxH         initial window size (default 640x400)\n"
                              "  --fullscreen         start in full screen\n"
                              "  --verbose            print the frame rate and what happens\n"
                              "  --force              let --screenshot and --write-waveform replace an existing\n"
                              "                       file that is not of their kind\n"
                              "  --scene NAME|FILE    show a built-in scene (see --list-scenes; default\n"
                              "                       classic, the plug-in's) or a scene file of your own\n"
                              "  --list-scenes        list the built-in scenes, then stop\n"
                              "  --cycle SECONDS      go on to the next scene every SECONDS seconds\n"
#ifdef _WIN32
                              "  --video OUT SONG     not available on Windows: the video export runs in the\n"
                              "                       Linux program\n"
#else
                              "  --video OUT SONG     render SONG into the video file OUT with its sound, no\n"
                              "                       window (raysphere --video --help tells more)\n"
#endif
                              "  --help               show this text\n"
                              "  --version            show the program's version\n"
                              "\n"
                              "Keys: SPACE shows the title, F, Alt+Enter or a double-click toggles full\n"
                              "screen, N and P play the next and previous file, I shows the frame rate\n"
                              "(and the traced size), W toggles tracing at the window's size, PageDown or ]\n"
                              "and PageUp or [ show the next and previous scene, ESC quits.\n";

namespace {

constexpr int32_t MAX_FPS = 1000;
constexpr int32_t MAX_CYCLE_SECONDS = 86400; // a day
constexpr int64_t MAX_FRAMES = 1000000000;
constexpr int32_t MAX_WINDOW_SIDE = 16384;
constexpr int32_t THREADS_NOT_GIVEN = -1; // until --threads is read

// --size: WxH, or "window" for the window's own size.
bool readFrameSize(const OptionCall* call) {
    AppOptions* options = static_cast<AppOptions*>(call->record);
    const OptionRow* row = call->row;
    options->windowSized = call->value != nullptr && strcmp(call->value, "window") == 0;
    if (options->windowSized) {
        options->frameWidth = 0;
        options->frameHeight = 0;
        return true;
    }
    return readSize(call->value, (int32_t)row->range.minimum, (int32_t)row->range.maximum, (int32_t)row->range.minimum,
                    (int32_t)row->range.maximum, &options->frameWidth, &options->frameHeight);
}

// Sound files, in the order given.
bool readOperand(const char* argument, void* record, char* error, size_t errorSize) {
    AppOptions* options = static_cast<AppOptions*>(record);
    if (options->fileCount == APP_MAX_FILES) {
        snprintf(error, errorSize, "more than %d files, from %s on", (int)APP_MAX_FILES, argument);
        return false;
    }
    options->files[options->fileCount++] = argument;
    return true;
}

const OptionRow APP_OPTIONS[] = {
    flagOption("--capture", offsetof(AppOptions, capture)),
    textOption("--capture=", offsetof(AppOptions, captureDevice), "a SOURCE after the '='"),
    flagOption("--list-sources", offsetof(AppOptions, listSources)),
    flagOption("--headless", offsetof(AppOptions, headless)),
    flagOption("--fullscreen", offsetof(AppOptions, fullscreen)),
    flagOption("--force", offsetof(AppOptions, force)),
    flagOption("--verbose", offsetof(AppOptions, verbose)),
    flagOption("-v", offsetof(AppOptions, verbose)),
    numberOption("--fps", offsetof(AppOptions, fps), 1, MAX_FPS),
    wideNumberOption("--frames", offsetof(AppOptions, frames), 1, MAX_FRAMES),
    customOption("--size", readFrameSize, {MIN_IMAGE_SIDE, MAX_IMAGE_SIDE},
                 "WxH with W and H from %s to %s, or window"),
    numberOption("--threads", offsetof(AppOptions, threads), 0, MAX_TRACER_THREADS),
    sizeOption("--window", offsetof(AppOptions, windowWidth), offsetof(AppOptions, windowHeight), {1, MAX_WINDOW_SIDE},
               {1, MAX_WINDOW_SIDE}, "a size such as 640x400"),
    textOption("--screenshot", offsetof(AppOptions, screenshotPath), "a FILE"),
    textOption("--waveform", offsetof(AppOptions, waveformPath), "a FILE"),
    textOption("--write-waveform", offsetof(AppOptions, writeWaveformPath), "a FILE"),
    textOption("--scene", offsetof(AppOptions, scene), "a scene's NAME or a FILE"),
    flagOption("--list-scenes", offsetof(AppOptions, listScenes)),
    numberOption("--cycle", offsetof(AppOptions, cycleSeconds), 1, MAX_CYCLE_SECONDS),
};

const OptionWording APP_WORDING = {"%s needs %s, not '%s'", "%s needs %s, not ''"};

const OptionTable APP_TABLE = {APP_OPTIONS, sizeof APP_OPTIONS / sizeof APP_OPTIONS[0], &APP_WORDING, readOperand,
                               true};

AppOptionsStatus refuse(char* error, size_t errorSize, const char* message) {
    snprintf(error, errorSize, "%s", message);
    return APP_OPTIONS_ERROR;
}

} // namespace

AppOptionsStatus parseAppOptions(int argc, char** argv, AppOptions* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof *options);
    options->fps = APP_DEFAULT_FPS;
    options->windowWidth = 640;
    options->windowHeight = 400;
    options->threads = THREADS_NOT_GIVEN;
    AppOptionsStatus status = readCommandLine(argc, argv, &APP_TABLE, options, error, errorSize);
    bool threadsGiven = options->threads != THREADS_NOT_GIVEN;
    options->threads = threadsGiven ? options->threads : 0;
    options->capture = options->capture || options->captureDevice != nullptr;
    if (status != APP_OPTIONS_RUN) {
        return status;
    }

    // Choices that exclude each other
    int32_t inputs = (options->fileCount > 0) + options->capture + (options->waveformPath != nullptr);
    if (inputs > 1) {
        return refuse(error, errorSize, "choose one of FILE..., --capture and --waveform");
    }
    if (threadsGiven && options->frameWidth == 0 && !options->windowSized) {
        return refuse(error, errorSize, "--threads works with --size only: the plug-in's frame is traced on one");
    }
    return APP_OPTIONS_RUN;
}
