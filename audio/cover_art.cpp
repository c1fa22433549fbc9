// Linux: the song's cover art, its bytes found by TagLib, decoded by libpng
// or libjpeg and averaged down to the texture's square.
#include "audio/cover_art.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <png.h>
// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace {

constexpr int32_t FRONT_COVER = 3; // picture type of the front cover in ID3, FLAC and Vorbis alike

// A picture decoded to 8-bit RGB rows.
struct Picture {
    uint8_t* rgb; // width * height * 3 bytes, top row first; malloc'd
    int32_t width;
    int32_t height;
};

// Keeps `candidate` as the picture when none is kept yet or it is the front
// cover and the kept one is not.
void consider(TagLib::ByteVector* kept, int32_t* keptType, const TagLib::ByteVector& candidate, int32_t type) {
    if (candidate.isEmpty()) {
        return;
    }
    if (kept->isEmpty() || (type == FRONT_COVER && *keptType != FRONT_COVER)) {
        *kept = candidate;
        *keptType = type;
    }
}

// The pictures of a Vorbis comment (Ogg Vorbis, Opus).
void considerXiph(TagLib::Ogg::XiphComment* comment, TagLib::ByteVector* kept, int32_t* keptType) {
    if (comment == nullptr) {
        return;
    }
    for (TagLib::FLAC::Picture* picture : comment->pictureList()) {
        consider(kept, keptType, picture->data(), (int32_t)picture->type());
    }
}

// True when `path` ends in `extension` (".mp3"), in any case.
bool endsWith(const char* path, const char* extension) {
    size_t length = strlen(path);
    size_t tail = strlen(extension);
    return length >= tail && strcasecmp(path + length - tail, extension) == 0;
}

// The bytes of the file's front cover, else its first picture; empty without.
TagLib::ByteVector findPicture(const char* path) {
    TagLib::ByteVector kept;
    int32_t keptType = -1;
    if (endsWith(path, ".mp3")) {
        TagLib::MPEG::File file(path, false);
        if (file.isValid() && file.hasID3v2Tag()) {
            for (TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameListMap()["APIC"]) {
                auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
                if (picture != nullptr) {
                    consider(&kept, &keptType, picture->picture(), (int32_t)picture->type());
                }
            }
        }
    } else if (endsWith(path, ".flac")) {
        TagLib::FLAC::File file(path, false);
        if (file.isValid()) {
            for (TagLib::FLAC::Picture* picture : file.pictureList()) {
                consider(&kept, &keptType, picture->data(), (int32_t)picture->type());
            }
            considerXiph(file.xiphComment(), &kept, &keptType);
        }
    } else if (endsWith(path, ".ogg") || endsWith(path, ".oga")) {
        TagLib::Ogg::Vorbis::File file(path, false);
        if (file.isValid()) {
            considerXiph(file.tag(), &kept, &keptType);
        }
    } else if (endsWith(path, ".opus")) {
        TagLib::Ogg::Opus::File file(path, false);
        if (file.isValid()) {
            considerXiph(file.tag(), &kept, &keptType);
        }
    } else if (endsWith(path, ".m4a") || endsWith(path, ".mp4") || endsWith(path, ".m4b") || endsWith(path, ".aac")) {
        TagLib::MP4::File file(path, false);
        if (file.isValid() && file.tag() != nullptr && file.tag()->contains("covr")) {
            for (const TagLib::MP4::CoverArt& art : file.tag()->item("covr").toCoverArtList()) {
                consider(&kept, &keptType, art.data(), FRONT_COVER); // covr holds the front cover
            }
        }
    }
    return kept;
}

// Refuses sizes past the limits before anything is allocated for them.
bool sizeAllowed(int64_t width, int64_t height, char* error, size_t errorSize) {
    if (width < 1 || height < 1 || width > COVER_MAX_SIDE || height > COVER_MAX_SIDE) {
        snprintf(error, errorSize, "a picture of %lld x %lld pixels (at most %d x %d are read)", (long long)width,
                 (long long)height, (int)COVER_MAX_SIDE, (int)COVER_MAX_SIDE);
        return false;
    }
    return true;
}

// Decodes a PNG with libpng's simplified reader, which reports rather than jumps.
bool decodePng(const uint8_t* bytes, size_t size, Picture* picture, char* error, size_t errorSize) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) {
        snprintf(error, errorSize, "a PNG that does not read: %s", image.message);
        return false;
    }
    if (!sizeAllowed(image.width, image.height, error, errorSize)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture->width = (int32_t)image.width;
    picture->height = (int32_t)image.height;
    picture->rgb = (uint8_t*)malloc(PNG_IMAGE_SIZE(image));
    if (picture->rgb == nullptr) {
        png_image_free(&image);
        snprintf(error, errorSize, "no memory for a picture of %d x %d pixels", picture->width, picture->height);
        return false;
    }
    if (!png_image_finish_read(&image, nullptr, picture->rgb, 0, nullptr)) {
        snprintf(error, errorSize, "a PNG that does not read: %s", image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}

// libjpeg's errors end in a jump back to the decoder, with the message kept.
struct JpegErrors {
    jpeg_error_mgr manager; // first: libjpeg sees only this
    jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr decoder) {
    JpegErrors* errors = (JpegErrors*)decoder->err;
    (*decoder->err->format_message)(decoder, errors->message);
    longjmp(errors->escape, 1);
}

// Warnings (a cut or corrupt stream) are counted, not printed.
void jpegQuiet(j_common_ptr) {}

// Decodes a JPEG to RGB; a stream with warnings (cut short, corrupt data) is
// refused rather than shown half grey. Only plain records live across the jump.
bool decodeJpeg(const uint8_t* bytes, size_t size, Picture* picture, char* error, size_t errorSize) {
    jpeg_decompress_struct decoder;
    JpegErrors errors;
    decoder.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.output_message = jpegQuiet;
    errors.message[0] = '\0';
    picture->rgb = nullptr;
    if (setjmp(errors.escape) != 0) {
        snprintf(error, errorSize, "a JPEG that does not read: %s", errors.message);
        jpeg_destroy_decompress(&decoder);
        return false;
    }
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, bytes, (unsigned long)size);
    jpeg_read_header(&decoder, TRUE);
    if (!sizeAllowed(decoder.image_width, decoder.image_height, error, errorSize)) {
        jpeg_destroy_decompress(&decoder);
        return false;
    }
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    picture->width = (int32_t)decoder.output_width;
    picture->height = (int32_t)decoder.output_height;
    picture->rgb = (uint8_t*)malloc((size_t)picture->width * (size_t)picture->height * 3);
    if (picture->rgb == nullptr || decoder.output_components != 3) {
        snprintf(error, errorSize, "no memory for a picture of %d x %d pixels", picture->width, picture->height);
        jpeg_destroy_decompress(&decoder);
        return false;
    }
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = picture->rgb + (size_t)decoder.output_scanline * (size_t)picture->width * 3;
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    long warnings = errors.manager.num_warnings;
    jpeg_destroy_decompress(&decoder);
    if (warnings > 0) {
        snprintf(error, errorSize, "a JPEG cut short or corrupt");
        return false;
    }
    return true;
}

// Averages the picture down (or repeats it up) to the square of texels.
void scalePicture(const Picture* picture, uint8_t (*texels)[4]) {
    for (int32_t v = 0; v < COVER_SIDE; v++) {
        int32_t y0 = (int32_t)((int64_t)v * picture->height / COVER_SIDE);
        int32_t y1 = (int32_t)((int64_t)(v + 1) * picture->height / COVER_SIDE);
        y1 = y1 > y0 ? y1 : y0 + 1;
        for (int32_t u = 0; u < COVER_SIDE; u++) {
            int32_t x0 = (int32_t)((int64_t)u * picture->width / COVER_SIDE);
            int32_t x1 = (int32_t)((int64_t)(u + 1) * picture->width / COVER_SIDE);
            x1 = x1 > x0 ? x1 : x0 + 1;
            uint64_t sum[3] = {0, 0, 0};
            for (int32_t y = y0; y < y1; y++) {
                const uint8_t* row = picture->rgb + (size_t)y * (size_t)picture->width * 3;
                for (int32_t x = x0; x < x1; x++) {
                    sum[0] += row[x * 3];
                    sum[1] += row[x * 3 + 1];
                    sum[2] += row[x * 3 + 2];
                }
            }
            uint64_t count = (uint64_t)(y1 - y0) * (uint64_t)(x1 - x0);
            uint8_t* texel = texels[v * COVER_SIDE + u];
            texel[0] = (uint8_t)((sum[2] + count / 2) / count); // blue
            texel[1] = (uint8_t)((sum[1] + count / 2) / count); // green
            texel[2] = (uint8_t)((sum[0] + count / 2) / count); // red
            texel[3] = 0;
        }
    }
}

} // namespace

CoverResult readCoverArt(const char* path, uint8_t (*texels)[4], char* error, size_t errorSize) {
    TagLib::ByteVector bytes = findPicture(path);
    if (bytes.isEmpty()) {
        return COVER_NONE;
    }
    char why[JMSG_LENGTH_MAX + 64];
    const uint8_t* data = (const uint8_t*)bytes.data();
    size_t size = bytes.size();
    Picture picture = {nullptr, 0, 0};
    bool decoded = false;
    if (size > COVER_MAX_BYTES) {
        snprintf(why, sizeof(why), "a picture of %zu bytes (at most %u are read)", size, (unsigned)COVER_MAX_BYTES);
    } else if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) {
        decoded = decodePng(data, size, &picture, why, sizeof(why));
    } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        decoded = decodeJpeg(data, size, &picture, why, sizeof(why));
    } else {
        snprintf(why, sizeof(why), "a picture that is neither PNG nor JPEG");
    }
    if (decoded) {
        scalePicture(&picture, texels);
    } else {
        snprintf(error, errorSize, "cover art of %s: %s; showing the scene's own texture", path, why);
    }
    free(picture.rgb);
    return decoded ? COVER_READ : COVER_BROKEN;
}
