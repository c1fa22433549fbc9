// The command line of raysphere.
#include "app/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "frame/frame_image.h"
#include "raytracer/tracer_pool.h"
#include "cli/number_arg.h"

const char* const APP_USAGE = "usage: raysphere [options] [FILE...]\n"
                              "Shows the ray-traced visualisation in a window, live, from the music playing:\n"
                              "the sound files given (WAV, FLAC, Ogg Vorbis, MP3, ...), what the desktop plays\n"
                              "(--capture), or the built-in demo tune when neither is given. The files play\n"
                              "one after another; after the last the program ends.\n"
                              "\n"
                              "  --capture            visualise what the desktop plays: the monitor of the\n"
                              "                       default output (PulseAudio or PipeWire)\n"
                              "  --capture=SOURCE     visualise another source (see --list-sources)\n"
                              "  --list-sources       list the sources --capture can take, then stop\n"
                              "  --fps N              frames per second to keep (default 60)\n"
                              "  --frames N           show N frames, then stop\n"
                              "  --screenshot FILE    save the last frame as shown in the window as PNG\n"
                              "  --headless           run without a display or sound device (SDL's offscreen\n"
                              "                       video and dummy audio), e.g. with --frames and --screenshot\n"
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
                              "  --video OUT SONG     render SONG into the video file OUT with its sound, no\n"
                              "                       window (raysphere --video --help tells more)\n"
                              "  --help               show this text\n"
                              "  --version            show the program's version\n"
                              "\n"
                              "Keys: SPACE shows the title, F, Alt+Enter or a double-click toggles full\n"
                              "screen, N and P play the next and previous file, I shows the frame rate\n"
                              "(and the traced size), W toggles tracing at the window's size, PageDown or ]\n"
                              "and PageUp or [ show the next and previous scene, ESC quits.\n";

namespace {

AppOptionsStatus refuse(char* error, size_t errorSize, const char* format, const char* detail) {
    snprintf(error, errorSize, format, detail);
    return APP_OPTIONS_ERROR;
}

} // namespace

AppOptionsStatus parseAppOptions(int argc, char** argv, AppOptions* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof *options);
    options->fps = APP_DEFAULT_FPS;
    options->windowWidth = 640;
    options->windowHeight = 400;
    error[0] = '\0';
    bool optionsEnded = false; // after "--" every argument is a file
    bool threadsGiven = false;

    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int64_t number = 0;
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            if (options->fileCount == APP_MAX_FILES) {
                return refuse(error, errorSize, "more than 4096 files, from %s on", arg);
            }
            options->files[options->fileCount++] = arg;
        } else if (strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            return APP_OPTIONS_HELP;
        } else if (strcmp(arg, "--version") == 0) {
            return APP_OPTIONS_VERSION;
        } else if (strcmp(arg, "--capture") == 0) {
            options->capture = true;
        } else if (strncmp(arg, "--capture=", 10) == 0) {
            if (arg[10] == '\0') {
                return refuse(error, errorSize, "%s needs a SOURCE after the '='", "--capture=");
            }
            options->capture = true;
            options->captureDevice = arg + 10;
        } else if (strcmp(arg, "--list-sources") == 0) {
            options->listSources = true;
        } else if (strcmp(arg, "--headless") == 0) {
            options->headless = true;
        } else if (strcmp(arg, "--fullscreen") == 0) {
            options->fullscreen = true;
        } else if (strcmp(arg, "--force") == 0) {
            options->force = true;
        } else if (strcmp(arg, "--verbose") == 0 || strcmp(arg, "-v") == 0) {
            options->verbose = true;
        } else if (strcmp(arg, "--fps") == 0) {
            if (!readNumber(value, 1, 1000, &number)) {
                return refuse(error, errorSize, "--fps needs a whole number from 1 to 1000, not '%s'",
                              value != nullptr ? value : "");
            }
            options->fps = (int32_t)number;
            i++;
        } else if (strcmp(arg, "--frames") == 0) {
            if (!readNumber(value, 1, 1000000000, &number)) {
                return refuse(error, errorSize, "--frames needs a whole number from 1 to 1000000000, not '%s'",
                              value != nullptr ? value : "");
            }
            options->frames = number;
            i++;
        } else if (strcmp(arg, "--size") == 0 && value != nullptr && strcmp(value, "window") == 0) {
            options->windowSized = true;
            options->frameWidth = 0;
            options->frameHeight = 0;
            i++;
        } else if (strcmp(arg, "--size") == 0) {
            options->windowSized = false;
            if (!readSize(value, MIN_IMAGE_SIDE, MAX_IMAGE_SIDE, &options->frameWidth, &options->frameHeight)) {
                return refuse(error, errorSize, "--size needs WxH with W and H from 2 to 8192, or window, not '%s'",
                              value != nullptr ? value : "");
            }
            i++;
        } else if (strcmp(arg, "--threads") == 0) {
            if (!readNumber(value, 0, MAX_TRACER_THREADS, &number)) {
                return refuse(error, errorSize, "--threads needs a whole number from 0 to 64, not '%s'",
                              value != nullptr ? value : "");
            }
            options->threads = (int32_t)number;
            threadsGiven = true;
            i++;
        } else if (strcmp(arg, "--window") == 0) {
            if (!readSize(value, 1, 16384, &options->windowWidth, &options->windowHeight)) {
                return refuse(error, errorSize, "--window needs a size such as 640x400, not '%s'",
                              value != nullptr ? value : "");
            }
            i++;
        } else if (strcmp(arg, "--screenshot") == 0 || strcmp(arg, "--waveform") == 0 ||
                   strcmp(arg, "--write-waveform") == 0) {
            if (value == nullptr) {
                return refuse(error, errorSize, "%s needs a FILE", arg);
            }
            const char** path = arg[2] == 's'                    ? &options->screenshotPath
                                : arg[2] == 'w' && arg[3] == 'a' ? &options->waveformPath
                                                                 : &options->writeWaveformPath;
            *path = value;
            i++;
        } else if (strcmp(arg, "--scene") == 0) {
            if (value == nullptr) {
                return refuse(error, errorSize, "%s needs a scene's NAME or a FILE", arg);
            }
            options->scene = value;
            i++;
        } else if (strcmp(arg, "--list-scenes") == 0) {
            options->listScenes = true;
        } else if (strcmp(arg, "--cycle") == 0) {
            if (!readNumber(value, 1, 86400, &number)) {
                return refuse(error, errorSize, "--cycle needs a whole number of seconds from 1 to 86400, not '%s'",
                              value != nullptr ? value : "");
            }
            options->cycleSeconds = (int32_t)number;
            i++;
        } else {
            return refuse(error, errorSize, "unknown option %s", arg);
        }
    }

    // Choices that exclude each other
    int32_t inputs = (options->fileCount > 0) + options->capture + (options->waveformPath != nullptr);
    if (inputs > 1) {
        return refuse(error, errorSize, "%s", "choose one of FILE..., --capture and --waveform");
    }
    if (threadsGiven && options->frameWidth == 0 && !options->windowSized) {
        return refuse(error, errorSize, "%s", "--threads works with --size only: the plug-in's frame is traced on one");
    }
    return APP_OPTIONS_RUN;
}
