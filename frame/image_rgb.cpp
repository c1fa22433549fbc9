// A frame image's pixels as RGB or RGBA bytes.
#include "frame/image_rgb.h"

#include <cstddef>

void imageToRgb(const FrameImage* image, uint8_t* out, int32_t channels) {
    for (int32_t y = 0; y < image->height; y++) {
        const uint8_t* in = image->pixels + (size_t)y * image->pitch;
        for (int32_t x = 0; x < image->width; x++, in += 4, out += channels) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (channels == RGBA_CHANNELS) {
                out[3] = 255;
            }
        }
    }
}
