// The host program's command line.
#include "player/options.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include "cli/number_arg.h"

const char* const PLAYER_USAGE = "usage: vis_player [options] PLUGIN.dll [AUDIO.wav ...]\n"
                                 "Runs a visualisation plug-in as the player does: Init, Render once per frame\n"
                                 "with the waveform of the audio playing, Quit when the plug-in asks to stop.\n"
                                 "Without audio files the built-in demo tune plays.\n"
                                 "\n"
                                 "  --frames N        make N Render calls, then stop; the audio steps 1/30 s\n"
                                 "                    per call (as the native renderer does), not by the clock\n"
                                 "  --seconds N       run N seconds, then stop\n"
                                 "  --hold N          after the last frame keep the display up N seconds\n"
                                 "                    without rendering (ends early on WM_QUIT, e.g. ESC)\n"
                                 "  --waveform FILE   feed Render call k (from 0) block k of a raw waveform file\n"
                                 "                    (1152 bytes per frame; the last block repeats)\n"
                                 "  --delay MS        pause MS milliseconds between frames instead of the\n"
                                 "                    module's delayMs\n"
                                 "  --module N        run module N of the plug-in's header (default 0, the first)\n"
                                 "  --sound           play the audio through the wave output\n"
                                 "  --log FILE        write the callbacks' results to FILE (not one of the inputs)\n"
                                 "  --desktop WxH     under Wine: run in a virtual desktop of W x H pixels (the\n"
                                 "                    plug-in's 320 x 200 mode needs one); the exit status is\n"
                                 "                    the run's own\n"
                                 "  --config          show the plug-in's configuration box instead of running\n"
                                 "  --help            show this text\n"
                                 "  --version         show the program's version\n";

void printPlayerUsage(FILE* out) {
    fputs(PLAYER_USAGE, out);
}

namespace {

constexpr int32_t DESKTOP_MIN_WIDTH = 320; // the plug-in's mode must fit
constexpr int32_t DESKTOP_MIN_HEIGHT = 200;
constexpr int32_t DESKTOP_MAX_SIDE = 16384;

// --desktop WxH, once, remembering where it stands for the child's command line.
bool readDesktop(const OptionCall* call) {
    PlayerOptions* options = static_cast<PlayerOptions*>(call->record);
    if (options->desktopArgument != 0) {
        snprintf(call->error, call->errorSize, "--desktop is given twice");
        return false;
    }
    options->desktopArgument = call->argument;
    return readSize(call->value, DESKTOP_MIN_WIDTH, DESKTOP_MAX_SIDE, DESKTOP_MIN_HEIGHT, DESKTOP_MAX_SIDE,
                    &options->desktopWidth, &options->desktopHeight);
}

// The plug-in first, then the audio files.
bool readOperand(const char* argument, void* record, char* error, size_t errorSize) {
    PlayerOptions* options = static_cast<PlayerOptions*>(record);
    if (options->pluginPath == nullptr) {
        options->pluginPath = argument;
    } else if (options->audioCount < PLAYLIST_MAX_ENTRIES) {
        options->audioPaths[options->audioCount++] = argument;
    } else {
        snprintf(error, errorSize, "at most %d audio files", (int)PLAYLIST_MAX_ENTRIES);
        return false;
    }
    return true;
}

const OptionRow PLAYER_OPTIONS[] = {
    flagOption("--config", offsetof(PlayerOptions, config)),
    flagOption("--sound", offsetof(PlayerOptions, sound)),
    textOption("--waveform", offsetof(PlayerOptions, waveformPath), "a file name"),
    textOption("--log", offsetof(PlayerOptions, logPath), "a file name"),
    {"--desktop",
     OPTION_CUSTOM,
     0,
     0,
     {DESKTOP_MIN_WIDTH, DESKTOP_MAX_SIDE},
     {DESKTOP_MIN_HEIGHT, DESKTOP_MAX_SIDE},
     "a size WxH, from %s to %s",
     readDesktop},
    wideNumberOption("--frames", offsetof(PlayerOptions, frames), 1, 1000000000),
    wideNumberOption("--seconds", offsetof(PlayerOptions, seconds), 1, 1000000),
    wideNumberOption("--hold", offsetof(PlayerOptions, holdSeconds), 1, 1000000),
    wideNumberOption("--delay", offsetof(PlayerOptions, delayMs), 0, 10000),
    wideNumberOption("--module", offsetof(PlayerOptions, module), 0, 1000),
};

const OptionWording PLAYER_WORDING = {"%s needs %s", "%s needs %s"};

const OptionTable PLAYER_TABLE = {PLAYER_OPTIONS, sizeof PLAYER_OPTIONS / sizeof PLAYER_OPTIONS[0], &PLAYER_WORDING,
                                  readOperand, true};

// Appends `text` to `line` at `*used`; false when it does not fit.
bool append(char* line, size_t lineSize, size_t* used, const char* text, size_t length) {
    if (*used + length >= lineSize) {
        return false;
    }
    memcpy(line + *used, text, length);
    *used += length;
    line[*used] = '\0';
    return true;
}

// Appends one argument, quoted: backslashes are literal except before a
// quote, where each is doubled, and the quote itself is escaped.
bool appendQuoted(char* line, size_t lineSize, size_t* used, const char* arg) {
    if (!append(line, lineSize, used, "\"", 1)) {
        return false;
    }
    size_t backslashes = 0;
    for (const char* c = arg;; c++) {
        if (*c == '\\') {
            backslashes++;
            continue;
        }
        // Before a quote or the closing quote, the run of backslashes doubles.
        size_t copies = (*c == '"' || *c == '\0') ? backslashes * 2 : backslashes;
        for (size_t i = 0; i < copies; i++) {
            if (!append(line, lineSize, used, "\\", 1)) {
                return false;
            }
        }
        backslashes = 0;
        if (*c == '\0') {
            break;
        }
        if (*c == '"' && !append(line, lineSize, used, "\\", 1)) {
            return false;
        }
        if (!append(line, lineSize, used, c, 1)) {
            return false;
        }
    }
    return append(line, lineSize, used, "\"", 1);
}

} // namespace

OptionsStatus parseOptions(int argc, const char* const* argv, PlayerOptions* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof *options);
    options->delayMs = -1;
    OptionsStatus status = readCommandLine(argc, argv, &PLAYER_TABLE, options, error, errorSize);
    if (status != OPTIONS_RUN) {
        return status;
    }

    // Combinations
    if (options->pluginPath == nullptr) {
        snprintf(error, errorSize, "no plug-in DLL named");
        return OPTIONS_ERROR;
    }
    if (options->frames > 0 && options->seconds > 0) {
        snprintf(error, errorSize, "--frames and --seconds exclude each other");
        return OPTIONS_ERROR;
    }
    if (options->holdSeconds > 0 && options->frames == 0 && options->seconds == 0) {
        snprintf(error, errorSize, "--hold needs --frames or --seconds");
        return OPTIONS_ERROR;
    }
    return OPTIONS_RUN;
}

bool commandLineWithoutDesktop(int argc, const char* const* argv, const PlayerOptions* options, char* line,
                               size_t lineSize) {
    size_t used = 0;
    if (lineSize == 0) {
        return false;
    }
    line[0] = '\0';
    for (int i = 0; i < argc; i++) {
        if (i > 0 && i == options->desktopArgument) {
            i++; // and its size
            continue;
        }
        if (used > 0 && !append(line, lineSize, &used, " ", 1)) {
            return false;
        }
        if (!appendQuoted(line, lineSize, &used, argv[i])) {
            return false;
        }
    }
    return true;
}
