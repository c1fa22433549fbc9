// The video file through libav: container and encoders chosen once, pictures
// converted to the encoder's pixel format by libswscale, sound converted to
// the encoder's sample format, rate and layout by libswresample.
#include "app/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "cli/output_file.h"

static const char* const PROGRAM = "raysphere";
static constexpr int32_t SCRATCH_SECONDS = 1;           // resampled sound held before the queue
static constexpr int32_t SOUND_CHUNK_DIVISOR = 4;       // input handed to the resampler at most 1/4 s at a time
static constexpr int32_t VARIABLE_FRAME_SAMPLES = 1024; // frame length for encoders that take any
static constexpr int64_t AUDIO_BITS_PER_CHANNEL = 96000;
static constexpr int64_t BITS_PER_PIXEL_DIVISOR = 8;  // bit rate of codecs without a quality setting: 1/8 bit a pixel
static constexpr int64_t LOOKAHEAD_BYTES = 512 << 20; // pictures an encoder holds to look ahead, at most
static constexpr int32_t USUAL_LOOKAHEAD = 25;        // libvpx's and libaom's frames of look-ahead (x264: 10 to 60)
// An encoder's memory in pictures, measured with libvpx-vp9 (the most
// demanding) at 4096 x 4096 and 8192 x 8192: 1.15 a frame of look-ahead and
// 48 besides (references, its threads' buffers, the muxer's queue).
static constexpr int64_t LOOKAHEAD_PERCENT = 115;
static constexpr int64_t HELD_PICTURES = 48;

// Quality defaults per video codec: constant rate factor and the options that
// make the encoder honour it at a reasonable speed. H.264's veryfast is three
// times as fast as its medium on these pictures for 5 % more bytes at the
// same quality.
struct CodecDefaults {
    AVCodecID codec;     // video codec
    int32_t crf;         // default constant rate factor
    int32_t highestCrf;  // the encoder's range ends there: 51 for x264 and x265, 63 for libvpx and libaom
    const char* options; // further encoder options, "key=value:key=value"
};
static const CodecDefaults codecDefaults[] = {
    // codec          crf  max options
    {AV_CODEC_ID_H264, 18, 51, "preset=veryfast"},                             // H.264: visually lossless
    {AV_CODEC_ID_HEVC, 20, 51, "preset=veryfast:x265-params=log-level=error"}, // H.265
    {AV_CODEC_ID_VP9, 31, 63, "b=0:deadline=good:cpu-used=4:row-mt=1"},        // VP9: b=0 is constant quality
    {AV_CODEC_ID_VP8, 10, 63, "b=20M:deadline=good:cpu-used=4"},               // VP8: b caps the quality mode
    {AV_CODEC_ID_AV1, 30, 63, "b=0:cpu-used=6:row-mt=1:usage=good"},           // AV1
};

// Formats that carry sound alone, or sound with a cover picture, though libav
// names a video codec for them: their names are those of songs, not videos.
static const char* const soundFormats[] = {"ogg", "ipod", "asf", "flac", "mp3", "aiff", "oga", "opus", "spx"};
static const char* const soundExtensions[] = {".m4a", ".m4b", ".wma", ".mka"};

// Everything one export holds; set in openVideo, released by releaseVideo.
struct VideoOutput {
    AVFormatContext* format;      // the container; owns the streams and the file
    AVCodecContext* video;        // video encoder
    AVCodecContext* audio;        // audio encoder
    AVStream* videoStream;        // owned by format
    AVStream* audioStream;        // owned by format
    SwsContext* converter;        // BGRX to the video encoder's pixel format
    SwrContext* resampler;        // 16-bit PCM to the audio encoder's format
    AVAudioFifo* queue;           // resampled sound waiting for a whole encoder frame
    AVFrame* picture;             // the converted picture handed to the encoder
    AVFrame* sound;               // one encoder frame of sound
    AVPacket* packet;             // encoded data on its way to the file
    uint8_t** scratch;            // resampler output before it joins the queue
    int32_t scratchFrames;        // sample frames scratch holds per channel
    int32_t soundFrameSamples;    // samples per encoder frame of sound
    int32_t inputRate;            // sample rate of the PCM handed in
    int32_t inputChannels;        // channels of the PCM handed in
    int32_t width;                // picture size, pixels
    int32_t height;               // picture size, rows
    int32_t crf;                  // quality used, or VIDEO_DEFAULT_CRF
    char preset[32];              // speed preset used, or empty
    int64_t videoFrames;          // pictures sent to the encoder
    int64_t audioSamples;         // sample frames sent to the encoder
    bool fileCreated;             // temporaryPath exists and is ours
    char path[PATH_MAX];          // the name asked for
    char temporaryPath[PATH_MAX]; // where the file is written until complete
};

static VideoOutput output;

// Prints "raysphere: <what> '<path>': <libav's reason>" and returns false.
static bool libavError(const char* what, int error) {
    char reason[AV_ERROR_MAX_STRING_SIZE];
    av_strerror(error, reason, sizeof(reason));
    std::fprintf(stderr, "%s: %s '%s': %s\n", PROGRAM, what, output.path, reason);
    return false;
}

static bool failure(const char* message) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM, message);
    return false;
}

// Frees whatever is present and clears it; the temporary file is left alone.
static void releaseVideo() {
    if (output.format != nullptr && output.format->pb != nullptr) {
        avio_closep(&output.format->pb);
    }
    avformat_free_context(output.format);
    output.format = nullptr;
    output.videoStream = nullptr;
    output.audioStream = nullptr;
    avcodec_free_context(&output.video);
    avcodec_free_context(&output.audio);
    sws_freeContext(output.converter);
    output.converter = nullptr;
    swr_free(&output.resampler);
    if (output.queue != nullptr) {
        av_audio_fifo_free(output.queue);
        output.queue = nullptr;
    }
    av_frame_free(&output.picture);
    av_frame_free(&output.sound);
    av_packet_free(&output.packet);
    if (output.scratch != nullptr) {
        av_freep(&output.scratch[0]);
        av_freep(&output.scratch);
    }
}

void abandonVideo() {
    releaseVideo();
    if (output.fileCreated) {
        unlink(output.temporaryPath);
        output.fileCreated = false;
    }
}

// The encoder for a codec named by the user, or the container's default.
static const AVCodec* chooseEncoder(const char* name, AVCodecID defaultCodec, AVMediaType type) {
    const char* kind = type == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
    char message[PATH_MAX + 160];
    if (name == nullptr) {
        const AVCodec* encoder = avcodec_find_encoder(defaultCodec);
        if (encoder == nullptr) {
            std::snprintf(message, sizeof(message), "this libav has no encoder for %s codec '%s', the default of '%s'",
                          kind, avcodec_get_name(defaultCodec), output.path);
            failure(message);
        }
        return encoder;
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(name);
    if (encoder == nullptr) {
        std::snprintf(message, sizeof(message), "unknown %s codec '%s' (ffmpeg -encoders lists them)", kind, name);
        failure(message);
        return nullptr;
    }
    if (encoder->type != type) {
        std::snprintf(message, sizeof(message), "'%s' is not a %s codec", name, kind);
        failure(message);
        return nullptr;
    }
    return encoder;
}

// Refuses a codec the container says it cannot hold.
static bool containerHolds(const AVOutputFormat* format, const AVCodec* encoder) {
    if (avformat_query_codec(format, encoder->id, FF_COMPLIANCE_NORMAL) != 0) {
        return true; // 1: it can; negative: the container does not say
    }
    char message[256];
    std::snprintf(message, sizeof(message), "the %s format cannot hold %s (codec '%s')", format->name,
                  avcodec_get_name(encoder->id), encoder->name);
    return failure(message);
}

// Creates "<path>.XXXXXX.part" beside the requested file, with the
// permissions a new file of the user's would have.
static bool createTemporaryFile() {
    struct stat existing;
    if (stat(output.path, &existing) == 0 && S_ISDIR(existing.st_mode)) {
        std::fprintf(stderr, "%s: cannot write '%s': it is a folder\n", PROGRAM, output.path);
        return false;
    }
    int file = createTemporaryFile(output.path, output.temporaryPath, sizeof(output.temporaryPath));
    if (file < 0 && errno == ENAMETOOLONG) {
        std::fprintf(stderr, "%s: the output name '%s' is too long\n", PROGRAM, output.path);
        return false;
    }
    if (file < 0) {
        std::fprintf(stderr, "%s: cannot write '%s': %s\n", PROGRAM, output.path, std::strerror(errno));
        return false;
    }
    output.fileCreated = true;
    close(file);
    return true;
}

// Picks the encoder's pixel format: yuv420p, which every player shows, when
// the encoder takes it.
static AVPixelFormat choosePixelFormat(const AVCodec* encoder) {
    if (encoder->pix_fmts == nullptr) {
        return AV_PIX_FMT_YUV420P;
    }
    for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; format++) {
        if (*format == AV_PIX_FMT_YUV420P) {
            return AV_PIX_FMT_YUV420P;
        }
    }
    return avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, AV_PIX_FMT_BGR0, 0, nullptr);
}

// Bytes of one picture as the encoders hold it: 4:2:0, 1.5 bytes a pixel.
static int64_t encodedPictureBytes(int32_t width, int32_t height) {
    return static_cast<int64_t>(width) * height * 3 / 2;
}

// Frames of look-ahead that fit LOOKAHEAD_BYTES, at most the usual.
static int32_t lookaheadFrames(int32_t width, int32_t height) {
    int64_t fitting = LOOKAHEAD_BYTES / encodedPictureBytes(width, height);
    return fitting < USUAL_LOOKAHEAD ? static_cast<int32_t>(fitting) : USUAL_LOOKAHEAD;
}

int64_t videoMemoryNeeded(int32_t width, int32_t height) {
    int64_t picture = encodedPictureBytes(width, height);
    int64_t frame = static_cast<int64_t>(width) * height * 4; // the traced picture handed in
    return frame + picture * (lookaheadFrames(width, height) * LOOKAHEAD_PERCENT / 100 + HELD_PICTURES);
}

// Whether the encoder has an option of its own called `name`.
static bool encoderHasOption(const AVCodec* encoder, const char* name) {
    // libav looks the option up through a pointer to the class, never changing it
    void* privateClass = const_cast<AVClass**>(&encoder->priv_class);
    return encoder->priv_class != nullptr &&
           av_opt_find2(privateClass, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ, nullptr) != nullptr;
}

// The encoder's options: quality and speed settings of the codec's row, the
// user's --crf and --preset over them.
static bool qualityOptions(const AVCodec* encoder, const VideoSettings* settings, AVDictionary** options) {
    char message[160];
    if (settings->preset != nullptr && !encoderHasOption(encoder, "preset")) {
        std::snprintf(message, sizeof(message), "the video codec '%s' has no --preset speed setting", encoder->name);
        return failure(message);
    }
    if (!encoderHasOption(encoder, "crf")) {
        if (settings->crf != VIDEO_DEFAULT_CRF) {
            std::snprintf(message, sizeof(message), "the video codec '%s' has no --crf quality setting", encoder->name);
            return failure(message);
        }
        output.crf = VIDEO_DEFAULT_CRF;
    } else {
        const CodecDefaults* defaults = nullptr;
        for (const CodecDefaults& row : codecDefaults) {
            if (row.codec == encoder->id) {
                defaults = &row;
            }
        }
        if (defaults != nullptr) {
            av_dict_parse_string(options, defaults->options, "=", ":", 0);
        }
        if (defaults != nullptr && settings->crf > defaults->highestCrf) {
            std::snprintf(message, sizeof(message), "--crf %d is beyond the video codec '%s': it takes 0 to %d",
                          static_cast<int>(settings->crf), encoder->name, static_cast<int>(defaults->highestCrf));
            return failure(message);
        }
        output.crf = settings->crf != VIDEO_DEFAULT_CRF ? settings->crf : defaults != nullptr ? defaults->crf : 23;
        av_dict_set_int(options, "crf", output.crf, 0);
    }
    if (settings->preset != nullptr) {
        av_dict_set(options, "preset", settings->preset, 0);
    }
    const AVDictionaryEntry* preset = av_dict_get(*options, "preset", nullptr, 0);
    std::snprintf(output.preset, sizeof(output.preset), "%s", preset != nullptr ? preset->value : "");

    // Huge pictures: the look-ahead shortened so that its pictures stay
    // within LOOKAHEAD_BYTES (an 8192 x 8192 VP9 export held 7.3 GB with 25, 5.5 GB with 5)
    int32_t lookahead = lookaheadFrames(settings->width, settings->height);
    if (lookahead < USUAL_LOOKAHEAD) {
        if (encoderHasOption(encoder, "lag-in-frames")) {
            av_dict_set_int(options, "lag-in-frames", lookahead, 0);
        }
        if (encoderHasOption(encoder, "rc-lookahead")) {
            av_dict_set_int(options, "rc-lookahead", lookahead, 0);
        }
    }
    return true;
}

// Adds a stream to the output and makes its encoder's context; `what` says
// what failed otherwise.
static bool newStream(const AVCodec* encoder, AVStream** stream, AVCodecContext** context, const char* what) {
    *stream = avformat_new_stream(output.format, nullptr);
    *context = avcodec_alloc_context3(encoder);
    if (*stream == nullptr || *context == nullptr) {
        return libavError(what, AVERROR(ENOMEM));
    }
    return true;
}

// Says that the `kind` ("video", "audio") encoder would not open.
static bool refuseEncoder(const AVCodec* encoder, const char* kind, int error) {
    char what[96];
    std::snprintf(what, sizeof(what), "cannot open the %s encoder '%s' for", kind, encoder->name);
    return libavError(what, error);
}

// Hands the opened encoder's parameters and time base to its stream; `what`
// says what failed otherwise.
static bool finishStream(const AVCodecContext* context, AVStream* stream, const char* what) {
    int error = avcodec_parameters_from_context(stream->codecpar, context);
    if (error < 0) {
        return libavError(what, error);
    }
    stream->time_base = context->time_base;
    return true;
}

// Adds the video stream and opens its encoder, tagged with the colours
// libswscale converts to: BT.709, limited range.
static bool openVideoEncoder(const VideoSettings* settings, const AVCodec* encoder) {
    if (!newStream(encoder, &output.videoStream, &output.video, "cannot set up the video of")) {
        return false;
    }
    AVCodecContext* video = output.video;
    video->width = settings->width;
    video->height = settings->height;
    video->pix_fmt = choosePixelFormat(encoder);
    video->time_base = AVRational{1, settings->framesPerSecond};
    video->framerate = AVRational{settings->framesPerSecond, 1};
    video->sample_aspect_ratio = AVRational{1, 1};
    const AVPixFmtDescriptor* pixels = av_pix_fmt_desc_get(video->pix_fmt);
    if ((pixels->flags & AV_PIX_FMT_FLAG_RGB) != 0) {
        video->colorspace = AVCOL_SPC_RGB;
        video->color_range = AVCOL_RANGE_JPEG;
    } else {
        video->colorspace = AVCOL_SPC_BT709;
        video->color_range = AVCOL_RANGE_MPEG;
    }
    video->color_primaries = AVCOL_PRI_BT709;
    video->color_trc = AVCOL_TRC_BT709;
    if ((settings->width % (1 << pixels->log2_chroma_w)) != 0 ||
        (settings->height % (1 << pixels->log2_chroma_h)) != 0) {
        std::fprintf(stderr, "%s: the video size %dx%d must be even for pixel format %s\n", PROGRAM,
                     static_cast<int>(settings->width), static_cast<int>(settings->height), pixels->name);
        return false;
    }
    if ((output.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* options = nullptr;
    if (!qualityOptions(encoder, settings, &options)) {
        av_dict_free(&options);
        return false;
    }
    if (output.crf == VIDEO_DEFAULT_CRF) {
        video->bit_rate = static_cast<int64_t>(settings->width) * settings->height * settings->framesPerSecond /
                          BITS_PER_PIXEL_DIVISOR;
    }
    int error = avcodec_open2(video, encoder, &options);
    av_dict_free(&options);
    if (error < 0 && settings->preset != nullptr) {
        std::fprintf(stderr,
                     "%s: the video encoder '%s' refuses --preset %s; its presets are, for libx264 and libx265: "
                     "ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, veryslow\n",
                     PROGRAM, encoder->name, settings->preset);
        return false;
    }
    if (error < 0) {
        return refuseEncoder(encoder, "video", error);
    }
    output.videoStream->avg_frame_rate = video->framerate;
    return finishStream(video, output.videoStream, "cannot set up the video of");
}

// The encoder's rate nearest the input's: the same when it takes it, else the
// lowest above it, else its highest.
static int32_t chooseSampleRate(const AVCodec* encoder, int32_t inputRate) {
    if (encoder->supported_samplerates == nullptr) {
        return inputRate;
    }
    int32_t above = 0;
    int32_t highest = 0;
    for (const int* rate = encoder->supported_samplerates; *rate != 0; rate++) {
        if (*rate == inputRate) {
            return inputRate;
        }
        if (*rate > inputRate && (above == 0 || *rate < above)) {
            above = *rate;
        }
        if (*rate > highest) {
            highest = *rate;
        }
    }
    return above != 0 ? above : highest;
}

// Stereo, or mono for mono input, unless the encoder takes neither.
static void chooseLayout(const AVCodec* encoder, int32_t inputChannels, AVChannelLayout* layout) {
    av_channel_layout_default(layout, inputChannels >= 2 ? 2 : 1);
    if (encoder->ch_layouts == nullptr) {
        return;
    }
    for (const AVChannelLayout* offered = encoder->ch_layouts; offered->nb_channels != 0; offered++) {
        if (av_channel_layout_compare(offered, layout) == 0) {
            return;
        }
    }
    av_channel_layout_uninit(layout);
    av_channel_layout_copy(layout, &encoder->ch_layouts[0]);
}

static bool openAudioEncoder(const VideoSettings* settings, const AVCodec* encoder) {
    if (!newStream(encoder, &output.audioStream, &output.audio, "cannot set up the sound of")) {
        return false;
    }
    AVCodecContext* audio = output.audio;
    audio->sample_fmt = encoder->sample_fmts != nullptr ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    audio->sample_rate = chooseSampleRate(encoder, settings->sampleRate);
    chooseLayout(encoder, settings->channels, &audio->ch_layout);
    audio->bit_rate = AUDIO_BITS_PER_CHANNEL * audio->ch_layout.nb_channels;
    audio->time_base = AVRational{1, audio->sample_rate};
    if ((output.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int error = avcodec_open2(audio, encoder, nullptr);
    if (error < 0) {
        return refuseEncoder(encoder, "audio", error);
    }
    if (!finishStream(audio, output.audioStream, "cannot set up the sound of")) {
        return false;
    }
    bool anyLength = (encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0 || audio->frame_size <= 0;
    output.soundFrameSamples = anyLength ? VARIABLE_FRAME_SAMPLES : audio->frame_size;
    return true;
}

// The picture converter, the resampler, its queue and the reusable frames.
static bool openConverters(const VideoSettings* settings) {
    AVCodecContext* video = output.video;
    AVCodecContext* audio = output.audio;
    output.converter = sws_getContext(settings->width, settings->height, AV_PIX_FMT_BGR0, video->width, video->height,
                                      video->pix_fmt, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (output.converter == nullptr) {
        return failure("cannot set up the picture conversion");
    }
    if (video->colorspace != AVCOL_SPC_RGB) {
        sws_setColorspaceDetails(output.converter, sws_getCoefficients(SWS_CS_ITU709), 1,
                                 sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    }
    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, settings->channels);
    int error = swr_alloc_set_opts2(&output.resampler, &audio->ch_layout, audio->sample_fmt, audio->sample_rate,
                                    &inputLayout, AV_SAMPLE_FMT_S16, settings->sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (error < 0 || (error = swr_init(output.resampler)) < 0) {
        return libavError("cannot set up the sound conversion for", error);
    }
    output.queue = av_audio_fifo_alloc(audio->sample_fmt, audio->ch_layout.nb_channels, output.soundFrameSamples);
    output.scratchFrames = audio->sample_rate * SCRATCH_SECONDS;
    int lineSize = 0;
    error = av_samples_alloc_array_and_samples(&output.scratch, &lineSize, audio->ch_layout.nb_channels,
                                               output.scratchFrames, audio->sample_fmt, 0);
    output.picture = av_frame_alloc();
    output.sound = av_frame_alloc();
    output.packet = av_packet_alloc();
    if (output.queue == nullptr || error < 0 || output.picture == nullptr || output.sound == nullptr ||
        output.packet == nullptr) {
        return libavError("cannot set up the conversion buffers for", AVERROR(ENOMEM));
    }
    output.picture->format = video->pix_fmt;
    output.picture->width = video->width;
    output.picture->height = video->height;
    output.sound->format = audio->sample_fmt;
    output.sound->sample_rate = audio->sample_rate;
    output.sound->nb_samples = output.soundFrameSamples;
    av_channel_layout_copy(&output.sound->ch_layout, &audio->ch_layout);
    if ((error = av_frame_get_buffer(output.picture, 0)) < 0 || (error = av_frame_get_buffer(output.sound, 0)) < 0) {
        return libavError("cannot set up the conversion buffers for", error);
    }
    return true;
}

bool checkVideoName(const char* path) {
    const AVOutputFormat* format = av_guess_format(nullptr, path, nullptr);
    if (format == nullptr) {
        std::fprintf(stderr, "%s: cannot tell a video format from the name '%s'; end it in .mp4, .mkv or .webm\n",
                     PROGRAM, path);
        return false;
    }
    bool soundOnly = format->video_codec == AV_CODEC_ID_NONE || format->video_codec == AV_CODEC_ID_PNG;
    for (const char* name : soundFormats) {
        soundOnly = soundOnly || std::strcmp(format->name, name) == 0;
    }
    const char* dot = std::strrchr(path, '.');
    for (const char* extension : soundExtensions) {
        soundOnly = soundOnly || (dot != nullptr && strcasecmp(dot, extension) == 0);
    }
    if (soundOnly && format->audio_codec != AV_CODEC_ID_NONE) {
        std::fprintf(stderr, "%s: '%s' names a sound file (%s format), which holds no video; use .mp4, .mkv or .webm\n",
                     PROGRAM, path, format->name);
        return false;
    }
    if (format->video_codec == AV_CODEC_ID_NONE || format->audio_codec == AV_CODEC_ID_NONE ||
        (format->flags & AVFMT_NOFILE) != 0) {
        std::fprintf(stderr, "%s: the %s format of '%s' cannot hold a video with sound; use .mp4, .mkv or .webm\n",
                     PROGRAM, format->name, path);
        return false;
    }
    return true;
}

bool fileHoldsVideo(const char* path) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path, nullptr, nullptr) < 0) {
        return false;
    }
    bool video = false;
    if (avformat_find_stream_info(input, nullptr) >= 0) {
        for (unsigned i = 0; i < input->nb_streams; i++) {
            const AVStream* stream = input->streams[i];
            video = video || (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                              (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0);
        }
    }
    avformat_close_input(&input);
    return video;
}

bool openVideo(const VideoSettings* settings) {
    releaseVideo();
    output = VideoOutput{};
    av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are not for the user
    if (std::strlen(settings->path) >= sizeof(output.path)) {
        return failure("the output name is too long");
    }
    std::strcpy(output.path, settings->path);
    output.inputRate = settings->sampleRate;
    output.inputChannels = settings->channels;
    output.width = settings->width;
    output.height = settings->height;
    if (settings->channels < 1 || settings->channels > VIDEO_MAX_CHANNELS) {
        std::fprintf(stderr, "%s: cannot encode sound of %d channels (1 to %d)\n", PROGRAM,
                     static_cast<int>(settings->channels), static_cast<int>(VIDEO_MAX_CHANNELS));
        return false;
    }

    // Container and codecs, from the name and the user's choices
    if (!checkVideoName(settings->path)) {
        return false;
    }
    const AVOutputFormat* format = av_guess_format(nullptr, settings->path, nullptr);
    const AVCodec* videoEncoder = chooseEncoder(settings->videoCodec, format->video_codec, AVMEDIA_TYPE_VIDEO);
    if (videoEncoder == nullptr || !containerHolds(format, videoEncoder)) {
        return false;
    }
    const AVCodec* audioEncoder = chooseEncoder(settings->audioCodec, format->audio_codec, AVMEDIA_TYPE_AUDIO);
    if (audioEncoder == nullptr || !containerHolds(format, audioEncoder)) {
        return false;
    }

    // The file, under its temporary name, and the encoders
    if (!createTemporaryFile()) {
        return false;
    }
    int error = avformat_alloc_output_context2(&output.format, format, nullptr, output.temporaryPath);
    if (error < 0) {
        abandonVideo();
        return libavError("cannot set up the container of", error);
    }
    if (!openVideoEncoder(settings, videoEncoder) || !openAudioEncoder(settings, audioEncoder) ||
        !openConverters(settings)) {
        abandonVideo();
        return false;
    }
    error = avio_open(&output.format->pb, output.temporaryPath, AVIO_FLAG_WRITE);
    if (error < 0) {
        abandonVideo();
        return libavError("cannot write", error);
    }

    // MP4 and MOV put their index first, so a player can start before the end arrives
    AVDictionary* muxerOptions = nullptr;
    av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    error = avformat_write_header(output.format, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (error < 0) {
        abandonVideo();
        return libavError("cannot write", error);
    }
    return true;
}

// Sends a frame (or null to drain) and writes every packet that comes out.
static bool encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame) {
    int error = avcodec_send_frame(encoder, frame);
    if (error < 0) {
        return libavError("cannot encode", error);
    }
    for (;;) {
        error = avcodec_receive_packet(encoder, output.packet);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) {
            return true;
        }
        if (error < 0) {
            return libavError("cannot encode", error);
        }
        av_packet_rescale_ts(output.packet, encoder->time_base, stream->time_base);
        output.packet->stream_index = stream->index;
        error = av_interleaved_write_frame(output.format, output.packet);
        if (error < 0) {
            return libavError("cannot write", error);
        }
    }
}

bool writeVideoFrame(const uint8_t* pixels, int32_t pitch) {
    int error = av_frame_make_writable(output.picture);
    if (error < 0) {
        return libavError("cannot encode", error);
    }
    const uint8_t* const planes[1] = {pixels};
    const int pitches[1] = {pitch};
    sws_scale(output.converter, planes, pitches, 0, output.height, output.picture->data, output.picture->linesize);
    output.picture->pts = output.videoFrames++;
    return encode(output.video, output.videoStream, output.picture);
}

// Encodes the queued sound in encoder frames; at the end also the remainder.
static bool encodeQueuedSound(bool last) {
    for (;;) {
        int32_t queued = av_audio_fifo_size(output.queue);
        if (queued == 0 || (queued < output.soundFrameSamples && !last)) {
            return true;
        }
        int32_t samples = queued < output.soundFrameSamples ? queued : output.soundFrameSamples;
        int error = av_frame_make_writable(output.sound);
        if (error < 0) {
            return libavError("cannot encode", error);
        }
        output.sound->nb_samples = samples;
        if (av_audio_fifo_read(output.queue, reinterpret_cast<void**>(output.sound->data), samples) != samples) {
            return libavError("cannot encode", AVERROR_BUG);
        }
        output.sound->pts = output.audioSamples;
        output.audioSamples += samples;
        if (!encode(output.audio, output.audioStream, output.sound)) {
            return false;
        }
    }
}

// Resamples `frames` input frames into the queue; with null samples, drains
// what the resampler holds back. `produced` counts the frames queued.
static bool resample(const int16_t* samples, int32_t frames, int32_t* produced) {
    const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(samples)};
    int count = swr_convert(output.resampler, output.scratch, output.scratchFrames,
                            samples != nullptr ? input : nullptr, frames);
    if (count < 0) {
        return libavError("cannot convert the sound for", count);
    }
    if (count > 0 && av_audio_fifo_write(output.queue, reinterpret_cast<void**>(output.scratch), count) < count) {
        return libavError("cannot convert the sound for", AVERROR(ENOMEM));
    }
    *produced = count;
    return true;
}

bool writeVideoSound(const int16_t* samples, int32_t frames) {
    // Pieces small enough that the resampler's output fits the scratch buffer
    int32_t chunk = output.inputRate / SOUND_CHUNK_DIVISOR;
    for (int32_t done = 0; done < frames; done += chunk) {
        int32_t count = frames - done < chunk ? frames - done : chunk;
        int32_t produced = 0;
        if (!resample(samples + static_cast<int64_t>(done) * output.inputChannels, count, &produced) ||
            !encodeQueuedSound(false)) {
            return false;
        }
    }
    return true;
}

bool finishVideo(VideoFacts* facts) {
    // Drain the resampler and both encoders, then close the container
    bool complete = true;
    int32_t produced = 1;
    while (complete && produced > 0) {
        complete = resample(nullptr, 0, &produced);
    }
    complete = complete && encodeQueuedSound(true) && encode(output.audio, output.audioStream, nullptr) &&
               encode(output.video, output.videoStream, nullptr);
    if (complete) {
        int error = av_write_trailer(output.format);
        complete = error >= 0 || libavError("cannot write", error);
    }
    if (complete) {
        int error = avio_closep(&output.format->pb);
        complete = error >= 0 || libavError("cannot write", error);
    }

    // The summary's facts, then the file under its own name
    if (complete) {
        *facts = VideoFacts{};
        std::snprintf(facts->videoCodec, sizeof(facts->videoCodec), "%s", output.video->codec->name);
        std::snprintf(facts->audioCodec, sizeof(facts->audioCodec), "%s", output.audio->codec->name);
        std::snprintf(facts->container, sizeof(facts->container), "%s", output.format->oformat->name);
        facts->crf = output.crf;
        std::snprintf(facts->preset, sizeof(facts->preset), "%s", output.preset);
        facts->audioRate = output.audio->sample_rate;
        facts->videoFrames = output.videoFrames;
        facts->audioSamples = output.audioSamples;
        struct stat written;
        facts->bytes = stat(output.temporaryPath, &written) == 0 ? static_cast<int64_t>(written.st_size) : 0;
    }
    if (complete && rename(output.temporaryPath, output.path) != 0) {
        std::fprintf(stderr, "%s: cannot write '%s': %s\n", PROGRAM, output.path, std::strerror(errno));
        complete = false;
    }
    if (complete) {
        output.fileCreated = false;
    }
    abandonVideo();
    return complete;
}
