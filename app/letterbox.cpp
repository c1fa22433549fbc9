// The letterbox and the scaling into it.
#include "app/letterbox.h"

#include <cmath>
#include <cstring>

Letterbox letterboxIn(int32_t windowWidth, int32_t windowHeight, int32_t frameWidth, int32_t frameHeight) {
    float wantAspect = (float)frameWidth / (float)frameHeight;
    float realAspect = (float)windowWidth / (float)windowHeight;
    Letterbox box = {0, 0, windowWidth, windowHeight};
    if (std::fabs(wantAspect - realAspect) < 0.0001f) {
        return box; // the same shape: the whole window
    }
    if (wantAspect > realAspect) {
        float scale = (float)windowWidth / (float)frameWidth; // wider than the window: bars above and below
        box.height = (int32_t)std::floor((float)frameHeight * scale);
        box.y = (windowHeight - box.height) / 2;
    } else {
        float scale = (float)windowHeight / (float)frameHeight; // taller: bars left and right
        box.width = (int32_t)std::floor((float)frameWidth * scale);
        box.x = (windowWidth - box.width) / 2;
    }
    return box;
}

void drawLetterboxed(const FrameImage* image, int32_t width, int32_t height, uint8_t* rgb) {
    memset(rgb, 0, (size_t)width * height * 3);
    Letterbox box = letterboxIn(width, height, image->width, image->height);
    if (box.width <= 0 || box.height <= 0) {
        return;
    }
    // Nearest pixels in 16.16 fixed point, each step from the middle of the first.
    uint32_t stepX = ((uint32_t)image->width << 16) / (uint32_t)box.width;
    uint32_t stepY = ((uint32_t)image->height << 16) / (uint32_t)box.height;
    uint32_t positionY = stepY / 2;
    for (int32_t y = 0; y < box.height; y++, positionY += stepY) {
        const uint8_t* source = image->pixels + (size_t)(positionY >> 16) * image->pitch;
        uint8_t* target = rgb + ((size_t)(box.y + y) * width + box.x) * 3;
        uint32_t positionX = stepX / 2;
        for (int32_t x = 0; x < box.width; x++, positionX += stepX) {
            const uint8_t* pixel = source + (size_t)(positionX >> 16) * 4;
            target[x * 3] = pixel[2]; // blue, green, red in the frame
            target[x * 3 + 1] = pixel[1];
            target[x * 3 + 2] = pixel[0];
        }
    }
}
