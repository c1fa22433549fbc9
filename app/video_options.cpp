// Reading raysphere --video's command line.
#include "app/video_options.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/video_encoder.h"
#include "frame/frame_image.h"
#include "raytracer/tracer_pool.h"
#include "cli/option_table.h"

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

namespace {

constexpr int32_t DEFAULT_FPS = 60;
constexpr int32_t DEFAULT_SCALE = 4;   // 1280 x 800
constexpr int32_t SCALE_NOT_GIVEN = 0; // until --scale is read

// Seconds, or a comma-separated list of them, appended to the title times.
bool readTitleTimes(const OptionCall* call) {
    VideoOptions* options = static_cast<VideoOptions*>(call->record);
    const char* next = call->value;
    while (next != nullptr) {
        if (options->titleCount == VIDEO_MAX_TITLES) {
            std::snprintf(call->error, call->errorSize, "too many %s times", call->row->name);
            return false;
        }
        errno = 0;
        char* end = nullptr;
        double seconds = std::strtod(next, &end);
        bool number = end != next && (*end == '\0' || *end == ',') && errno == 0;
        if (!number || !std::isfinite(seconds) || seconds < call->row->range.minimum) {
            char rule[160];
            optionRule(call->row, rule, sizeof rule);
            std::snprintf(call->error, call->errorSize, "%s needs %s, not %s", call->row->name, rule, call->value);
            return false;
        }
        options->titleTimes[options->titleCount++] = seconds;
        next = *end == '\0' ? nullptr : end + 1;
    }
    return call->value != nullptr;
}

// The song, once.
bool readOperand(const char* argument, void* record, char* error, size_t errorSize) {
    VideoOptions* options = static_cast<VideoOptions*>(record);
    if (options->songPath != nullptr) {
        std::snprintf(error, errorSize, "unexpected argument %s", argument);
        return false;
    }
    options->songPath = argument;
    return true;
}

const OptionRow VIDEO_OPTIONS[] = {
    textOption("--video", offsetof(VideoOptions, outputPath), "the video file to write"),
    numberOption("--fps", offsetof(VideoOptions, fps), 1, MAX_FPS),
    numberOption("--scale", offsetof(VideoOptions, scale), 1, MAX_SCALE),
    sizeOption("--size", offsetof(VideoOptions, width), offsetof(VideoOptions, height),
               {MIN_IMAGE_SIDE, MAX_IMAGE_SIDE}, {MIN_IMAGE_SIDE, MAX_IMAGE_SIDE},
               "WIDTHxHEIGHT, each from %s to %s, like 1920x1080"),
    numberOption("--threads", offsetof(VideoOptions, threads), 0, MAX_TRACER_THREADS),
    numberOption("--crf", offsetof(VideoOptions, crf), 0, MAX_CRF),
    customOption("--title-at", readTitleTimes, {0, 0}, "seconds from %s on, like 12.5 or 3,40.2"),
    textOption("--preset", offsetof(VideoOptions, preset), "a NAME, like veryfast"),
    textOption("--video-codec", offsetof(VideoOptions, videoCodec), "an encoder name"),
    textOption("--audio-codec", offsetof(VideoOptions, audioCodec), "an encoder name"),
    flagOption("--force", offsetof(VideoOptions, force)),
    textOption("--write-waveform", offsetof(VideoOptions, writeWaveformPath), "a FILE"),
    textOption("--scene", offsetof(VideoOptions, scene), "a scene's NAME or a FILE"),
};

const OptionWording VIDEO_WORDING = {"%s must be %s, not %s", "%s needs %s"};

const OptionTable VIDEO_TABLE = {VIDEO_OPTIONS, sizeof VIDEO_OPTIONS / sizeof VIDEO_OPTIONS[0], &VIDEO_WORDING,
                                 readOperand, false};

OptionsStatus refuse(char* error, size_t errorSize, const char* message) {
    std::snprintf(error, errorSize, "%s", message);
    return OPTIONS_ERROR;
}

} // namespace

OptionsStatus parseVideoOptions(int argc, char** argv, VideoOptions* options, char* error, size_t errorSize) {
    *options = VideoOptions{};
    options->fps = DEFAULT_FPS;
    options->scale = SCALE_NOT_GIVEN;
    options->crf = VIDEO_DEFAULT_CRF;
    OptionsStatus status = readCommandLine(argc, argv, &VIDEO_TABLE, options, error, errorSize);
    bool scaleGiven = options->scale != SCALE_NOT_GIVEN;
    options->scale = scaleGiven ? options->scale : DEFAULT_SCALE;
    if (status != OPTIONS_RUN) {
        return status;
    }
    if (options->outputPath == nullptr) {
        return refuse(error, errorSize, "--video needs the video file to write");
    }
    if (options->songPath == nullptr) {
        return refuse(error, errorSize, "expected the SONG to render after --video OUT");
    }
    if (std::strcmp(options->songPath, "-") == 0) {
        return refuse(error, errorSize,
                      "--video reads the song twice, so it cannot come from standard input ('-'); save it to a file "
                      "and name that");
    }
    if (scaleGiven && options->width != 0) {
        return refuse(error, errorSize, "--scale and --size exclude each other");
    }
    return OPTIONS_RUN;
}
