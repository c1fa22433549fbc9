// The host program's command line.
#include "player/options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
                                 "  --sound           play the audio through the wave output\n"
                                 "  --log FILE        write the callbacks' results to FILE (not one of the inputs)\n"
                                 "  --desktop WxH     under Wine: run in a virtual desktop of W x H pixels (the\n"
                                 "                    plug-in's 320 x 200 mode needs one); the exit status is\n"
                                 "                    the run's own\n"
                                 "  --config          show the plug-in's configuration box instead of running\n"
                                 "  --help            show this text\n"
                                 "  --version         show the program's version\n";

namespace {

// The options that take a number, with its range and where it goes.
struct NumberOption {
    const char* name;
    int64_t minimum;
    int64_t maximum;
    int64_t PlayerOptions::*field;
};

const NumberOption NUMBER_OPTIONS[] = {
    {"--frames", 1, 1000000000, &PlayerOptions::frames},
    {"--seconds", 1, 1000000, &PlayerOptions::seconds},
    {"--hold", 1, 1000000, &PlayerOptions::holdSeconds},
    {"--delay", 0, 10000, &PlayerOptions::delayMs},
};

// A desktop size "WxH", each side from 320 to 16384.
bool readDesktopSize(const char* text, int32_t* width, int32_t* height) {
    if (text == nullptr) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long w = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != 'x' || !isdigit((unsigned char)end[1])) {
        return false;
    }
    const char* second = end + 1;
    long h = strtol(second, &end, 10);
    if (errno != 0 || *end != '\0' || w < 320 || w > 16384 || h < 200 || h > 16384) {
        return false;
    }
    *width = (int32_t)w;
    *height = (int32_t)h;
    return true;
}

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

const NumberOption* findNumberOption(const char* arg) {
    for (const NumberOption& option : NUMBER_OPTIONS) {
        if (strcmp(arg, option.name) == 0) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

OptionsStatus parseOptions(int argc, const char* const* argv, PlayerOptions* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof *options);
    options->delayMs = -1;
    error[0] = '\0';

    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;

        // Flags
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            return OPTIONS_HELP;
        }
        if (strcmp(arg, "--version") == 0) {
            return OPTIONS_VERSION;
        }
        if (strcmp(arg, "--config") == 0) {
            options->config = true;
            continue;
        }
        if (strcmp(arg, "--sound") == 0) {
            options->sound = true;
            continue;
        }

        // Options with a file name
        if (strcmp(arg, "--waveform") == 0 || strcmp(arg, "--log") == 0) {
            if (value == nullptr) {
                snprintf(error, errorSize, "%s needs a file name", arg);
                return OPTIONS_ERROR;
            }
            *(strcmp(arg, "--log") == 0 ? &options->logPath : &options->waveformPath) = value;
            i++;
            continue;
        }

        if (strcmp(arg, "--desktop") == 0) {
            if (options->desktopArgument != 0) {
                snprintf(error, errorSize, "--desktop is given twice");
                return OPTIONS_ERROR;
            }
            options->desktopArgument = i;
            if (!readDesktopSize(value, &options->desktopWidth, &options->desktopHeight)) {
                snprintf(error, errorSize, "--desktop needs a size WxH, from 320x200 to 16384x16384");
                return OPTIONS_ERROR;
            }
            i++;
            continue;
        }

        // Options with a number
        const NumberOption* number = findNumberOption(arg);
        if (number != nullptr) {
            if (!readNumber(value, number->minimum, number->maximum, &(options->*number->field))) {
                snprintf(error, errorSize, "%s needs a whole number from %lld to %lld", arg, (long long)number->minimum,
                         (long long)number->maximum);
                return OPTIONS_ERROR;
            }
            i++;
            continue;
        }

        // File names
        if (arg[0] == '-' && arg[1] != '\0') {
            snprintf(error, errorSize, "unknown option %s", arg);
            return OPTIONS_ERROR;
        }
        if (options->pluginPath == nullptr) {
            options->pluginPath = arg;
        } else if (options->audioCount < PLAYLIST_MAX_ENTRIES) {
            options->audioPaths[options->audioCount++] = arg;
        } else {
            snprintf(error, errorSize, "at most %d audio files", (int)PLAYLIST_MAX_ENTRIES);
            return OPTIONS_ERROR;
        }
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
