// PNG files through libpng's simplified interface.
#include "app/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include "cli/output_file.h"

bool writePngFile(const char* path, const uint8_t* rgb, int32_t width, int32_t height, int32_t rowBytes, char* error,
                  size_t errorSize) {
    OutputFile file;
    if (!openOutputFile(&file, path)) {
        snprintf(error, errorSize, "cannot write %s: %s", path, strerror(errno));
        return false;
    }
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, file.stream, 0, rgb, rowBytes, nullptr)) {
        snprintf(error, errorSize, "cannot write %s: %s", path, image.message);
        discardOutputFile(&file);
        return false;
    }
    if (!commitOutputFile(&file)) {
        snprintf(error, errorSize, "cannot write %s: %s", path, strerror(errno));
        return false;
    }
    return true;
}
