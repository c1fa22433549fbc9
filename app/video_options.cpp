// Reading raysphere --video's command line.
#include "app/video_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/video_encoder.h"
#include "frame/frame_image.h"
#include "raytracer/tracer_pool.h"
#include "cli/number_arg.h"

static const char* const PROGRAM = "raysphere";
static constexpr int32_t MAX_FPS = 240;
static constexpr int32_t MAX_SCALE = 8;
static constexpr int32_t MAX_CRF = 63;

void printVideoUsage(FILE* out) {
    std::fprintf(out,
                 "usage: %s --video OUT SONG [options]\n"
                 "\n"
                 "Renders the whole of SONG into the video file OUT with the song's sound.\n"
                 "OUT's extension picks the container: .mp4 (H.264 and AAC), .mkv, .webm\n"
                 "(VP9 and Opus), or any other that libav can write with picture and sound.\n"
                 "\n"
                 "  --fps N              video frames per second, 1 to %d (default 60)\n"
                 "  --scale N            the 320 x 200 frame enlarged N times, pixels kept sharp,\n"
                 "                       1 to %d (default 4: 1280 x 800)\n"
                 "  --size WxH           the scene traced at that size instead, one ray a pixel,\n"
                 "                       as the live program's --size (e.g. 1920x1080)\n"
                 "  --threads N          tracer threads for --size, 0 for one per core (default)\n"
                 "  --title-at SECONDS   show the song's title from that time, as SPACE does;\n"
                 "                       repeat the option or give a list: --title-at 1.5,30\n"
                 "  --crf N              video quality, lower is better and larger, 0 to %d\n"
                 "                       (default: 18 for H.264, 31 for VP9)\n"
                 "  --preset NAME        H.264/H.265 encoding speed, from ultrafast to veryslow\n"
                 "                       (default veryfast; medium takes three times as long for\n"
                 "                       a file 5%% smaller)\n"
                 "  --video-codec NAME   a libav video encoder instead of the container's default\n"
                 "                       (e.g. libvpx for VP8 in .webm)\n"
                 "  --audio-codec NAME   a libav audio encoder instead of the container's default\n"
                 "  --write-waveform FILE  write the block of every frame to FILE, as render_frames\n"
                 "                       --waveform reads them\n"
                 "  --force              replace OUT even when it exists and is not a video\n"
                 "  --scene NAME|FILE    a built-in scene (raysphere --list-scenes) or a scene file\n"
                 "  --help               show this text\n"
                 "\n"
                 "OUT is written under a temporary name and takes its own only when complete.\n"
                 "An existing OUT that is not a video (a song, a picture) is refused unless\n"
                 "--force is given. A SONG cut short or damaged gives the video of the part\n"
                 "that can be read, and one warning of the time where it breaks off.\n",
                 PROGRAM, MAX_FPS, MAX_SCALE, MAX_CRF);
}

// Reports a bad command line; the caller exits with code 2.
static bool badArguments(const char* message, const char* detail) {
    std::fprintf(stderr, "%s: %s%s\nTry '%s --video --help'.\n", PROGRAM, message, detail, PROGRAM);
    return false;
}

// A whole number from `low` to `high`, as an int32_t.
static bool parseWhole(const char* text, int32_t low, int32_t high, int32_t* value) {
    int64_t number = 0;
    if (!readNumber(text, low, high, &number)) {
        return false;
    }
    *value = static_cast<int32_t>(number);
    return true;
}

// Seconds, or a comma-separated list of them, appended to the title times.
static bool parseTitleTimes(const char* text, VideoOptions* options) {
    const char* next = text;
    for (;;) {
        if (options->titleCount == VIDEO_MAX_TITLES) {
            return badArguments("too many --title-at times", "");
        }
        errno = 0;
        char* end = nullptr;
        double seconds = std::strtod(next, &end);
        bool number = end != next && (*end == '\0' || *end == ',') && errno == 0;
        if (!number || !std::isfinite(seconds) || seconds < 0) {
            return badArguments("--title-at needs seconds from 0 on, like 12.5 or 3,40.2, not ", text);
        }
        options->titleTimes[options->titleCount++] = seconds;
        if (*end == '\0') {
            return true;
        }
        next = end + 1;
    }
}

// The value of an option that takes one, or an error naming it.
static const char* optionValue(int argc, char** argv, int* i, const char* what) {
    if (*i + 1 >= argc) {
        badArguments(argv[*i], what);
        return nullptr;
    }
    return argv[++*i];
}

bool parseVideoOptions(int argc, char** argv, VideoOptions* options) {
    *options = VideoOptions{};
    options->fps = 60;
    options->scale = 4;
    options->crf = VIDEO_DEFAULT_CRF;
    // --help wins wherever it stands, even where an option expects a value
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            options->help = true;
            return true;
        }
    }
    bool scaleGiven = false;
    bool optionsEnded = false; // after "--" every argument is the song
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool option = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
        const char* value = nullptr;
        if (!option) {
            if (options->songPath != nullptr) {
                return badArguments("unexpected argument ", arg);
            }
            options->songPath = arg;
        } else if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "--video") == 0) {
            if ((options->outputPath = optionValue(argc, argv, &i, " needs the video file to write")) == nullptr) {
                return false;
            }
        } else if (std::strcmp(arg, "--fps") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs a number")) == nullptr) {
                return false;
            }
            if (!parseWhole(value, 1, MAX_FPS, &options->fps)) {
                return badArguments("--fps must be a whole number from 1 to 240, not ", value);
            }
        } else if (std::strcmp(arg, "--scale") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs a number")) == nullptr) {
                return false;
            }
            if (!parseWhole(value, 1, MAX_SCALE, &options->scale)) {
                return badArguments("--scale must be a whole number from 1 to 8, not ", value);
            }
            scaleGiven = true;
        } else if (std::strcmp(arg, "--size") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs WxH")) == nullptr) {
                return false;
            }
            if (!readSize(value, MIN_IMAGE_SIDE, MAX_IMAGE_SIDE, &options->width, &options->height)) {
                return badArguments("--size must be WIDTHxHEIGHT, each from 2 to 8192, like 1920x1080, not ", value);
            }
        } else if (std::strcmp(arg, "--threads") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs a number")) == nullptr) {
                return false;
            }
            if (!parseWhole(value, 0, MAX_TRACER_THREADS, &options->threads)) {
                return badArguments("--threads must be a whole number from 0 to 64, not ", value);
            }
        } else if (std::strcmp(arg, "--crf") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs a number")) == nullptr) {
                return false;
            }
            if (!parseWhole(value, 0, MAX_CRF, &options->crf)) {
                return badArguments("--crf must be a whole number from 0 to 63, not ", value);
            }
        } else if (std::strcmp(arg, "--title-at") == 0) {
            if ((value = optionValue(argc, argv, &i, " needs SECONDS")) == nullptr ||
                !parseTitleTimes(value, options)) {
                return false;
            }
        } else if (std::strcmp(arg, "--preset") == 0) {
            if ((options->preset = optionValue(argc, argv, &i, " needs a NAME, like veryfast")) == nullptr) {
                return false;
            }
        } else if (std::strcmp(arg, "--video-codec") == 0) {
            if ((options->videoCodec = optionValue(argc, argv, &i, " needs an encoder name")) == nullptr) {
                return false;
            }
        } else if (std::strcmp(arg, "--audio-codec") == 0) {
            if ((options->audioCodec = optionValue(argc, argv, &i, " needs an encoder name")) == nullptr) {
                return false;
            }
        } else if (std::strcmp(arg, "--force") == 0) {
            options->force = true;
        } else if (std::strcmp(arg, "--write-waveform") == 0) {
            if ((options->writeWaveformPath = optionValue(argc, argv, &i, " needs a FILE")) == nullptr) {
                return false;
            }
        } else if (std::strcmp(arg, "--scene") == 0) {
            if ((options->scene = optionValue(argc, argv, &i, " needs a scene's NAME or a FILE")) == nullptr) {
                return false;
            }
        } else {
            return badArguments("unknown option ", arg);
        }
    }
    if (options->outputPath == nullptr) {
        return badArguments("--video needs the video file to write", "");
    }
    if (options->songPath == nullptr) {
        return badArguments("expected the SONG to render after --video OUT", "");
    }
    if (std::strcmp(options->songPath, "-") == 0) {
        return badArguments("--video reads the song twice, so it cannot come from standard input ('-'); save it to "
                            "a file and name that",
                            "");
    }
    if (scaleGiven && options->width != 0) {
        return badArguments("--scale and --size exclude each other", "");
    }
    return true;
}
