// The scene's textures: patterns generated from a few numbers, and images
// read from binary PPM files.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/os_files.h"
#include "raytracer/scene.h"
#include "scenes/scene_textures.h"

constexpr int32_t SIDE = 256;            // texels along each side of a texture
constexpr int32_t MAX_PPM_SIDE = 16384;  // widest and tallest image read
constexpr int32_t NOISE_MAX_CELLS = 256; // lattice cells along a side of the noise

static void setTexel(Texture* texture, int32_t u, int32_t v, const uint8_t* rgb) {
    uint8_t* texel = texture->texels[v * SIDE + u];
    texel[0] = rgb[2];
    texel[1] = rgb[1];
    texel[2] = rgb[0];
    texel[3] = 0;
}

// The two colours mixed: 0 gives the first, 1 the second.
static void setMixed(Texture* texture, int32_t u, int32_t v, const TextureDesign* design, float share) {
    uint8_t rgb[3];
    for (int32_t i = 0; i < 3; i++) {
        float value = design->colours[0][i] + share * (design->colours[1][i] - design->colours[0][i]);
        rgb[i] = static_cast<uint8_t>(value + 0.5f);
    }
    setTexel(texture, u, v, rgb);
}

static void makeChecker(const TextureDesign* design, Texture* texture) {
    for (int32_t v = 0; v < SIDE; v++) {
        for (int32_t u = 0; u < SIDE; u++) {
            int32_t cell = (u * design->squares / SIDE + v * design->squares / SIDE) & 1;
            setTexel(texture, u, v, design->colours[cell]);
        }
    }
}

static void makeStripes(const TextureDesign* design, Texture* texture) {
    for (int32_t v = 0; v < SIDE; v++) {
        for (int32_t u = 0; u < SIDE; u++) {
            setTexel(texture, u, v, design->colours[(v * design->squares / SIDE) & 1]);
        }
    }
}

static void makeRings(const TextureDesign* design, Texture* texture) {
    for (int32_t v = 0; v < SIDE; v++) {
        for (int32_t u = 0; u < SIDE; u++) {
            float du = static_cast<float>(u - SIDE / 2);
            float dv = static_cast<float>(v - SIDE / 2);
            int32_t ring = static_cast<int32_t>(std::sqrt(du * du + dv * dv) * design->squares / 181.0f);
            setTexel(texture, u, v, design->colours[ring & 1]);
        }
    }
}

// A lattice value in 0..1 from the seed, the same on every system.
static float latticeValue(uint32_t seed, int32_t x, int32_t y) {
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 374761393u) ^ (static_cast<uint32_t>(y) * 668265263u);
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFF) / 65535.0f;
}

// Smooth value noise, wrapping at the edges so that the texture tiles.
static void makeNoise(const TextureDesign* design, Texture* texture) {
    int32_t cells = design->squares < NOISE_MAX_CELLS ? design->squares : NOISE_MAX_CELLS;
    for (int32_t v = 0; v < SIDE; v++) {
        for (int32_t u = 0; u < SIDE; u++) {
            float x = static_cast<float>(u * cells) / SIDE;
            float y = static_cast<float>(v * cells) / SIDE;
            int32_t x0 = static_cast<int32_t>(x);
            int32_t y0 = static_cast<int32_t>(y);
            float fx = x - x0;
            float fy = y - y0;
            fx = fx * fx * (3.0f - 2.0f * fx);
            fy = fy * fy * (3.0f - 2.0f * fy);
            int32_t x1 = (x0 + 1) % cells;
            int32_t y1 = (y0 + 1) % cells;
            float top = latticeValue(design->seed, x0, y0) +
                        fx * (latticeValue(design->seed, x1, y0) - latticeValue(design->seed, x0, y0));
            float bottom = latticeValue(design->seed, x0, y1) +
                           fx * (latticeValue(design->seed, x1, y1) - latticeValue(design->seed, x0, y1));
            setMixed(texture, u, v, design, top + fy * (bottom - top));
        }
    }
}

static void makeGradient(const TextureDesign* design, Texture* texture) {
    for (int32_t v = 0; v < SIDE; v++) {
        for (int32_t u = 0; u < SIDE; u++) {
            setMixed(texture, u, v, design, static_cast<float>(v) / (SIDE - 1));
        }
    }
}

// Reads the next number of a PPM header, skipping blanks and comments.
static bool ppmNumber(FILE* file, int32_t* value) {
    int c = std::fgetc(file);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '#') {
        if (c == '#') {
            while (c != '\n' && c != EOF) {
                c = std::fgetc(file);
            }
        }
        c = std::fgetc(file);
    }
    if (c < '0' || c > '9') {
        return false;
    }
    int64_t number = 0;
    while (c >= '0' && c <= '9') {
        number = number * 10 + (c - '0');
        if (number > MAX_PPM_SIDE) {
            return false;
        }
        c = std::fgetc(file);
    }
    *value = static_cast<int32_t>(number);
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool readPpmTexture(const char* path, Texture* texture, char* error, size_t errorSize) {
    static uint8_t row[MAX_PPM_SIDE * 3];
    FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        std::snprintf(error, errorSize, "%s", std::strerror(errno));
        return false;
    }
    int32_t width = 0;
    int32_t height = 0;
    int32_t maxValue = 0;
    bool header = std::fgetc(file) == 'P' && std::fgetc(file) == '6' && ppmNumber(file, &width) &&
                  ppmNumber(file, &height) && ppmNumber(file, &maxValue);
    if (!header || width < 1 || height < 1 || maxValue < 1 || maxValue > 255) {
        std::fclose(file);
        std::snprintf(error, errorSize, "not a binary PPM image (P6, 1 to %d pixels a side, 8 bits)", MAX_PPM_SIDE);
        return false;
    }

    // Row by row, keeping the rows nearest each texel row
    int32_t readRows = 0;
    for (int32_t v = 0; v < SIDE; v++) {
        int32_t wanted = v * height / SIDE;
        while (readRows <= wanted) {
            if (std::fread(row, 3, width, file) != static_cast<size_t>(width)) {
                std::fclose(file);
                std::snprintf(error, errorSize, "the image ends before its %d rows", height);
                return false;
            }
            readRows++;
        }
        for (int32_t u = 0; u < SIDE; u++) {
            const uint8_t* pixel = &row[(u * width / SIDE) * 3];
            uint8_t rgb[3];
            for (int32_t i = 0; i < 3; i++) {
                rgb[i] = static_cast<uint8_t>(pixel[i] * 255 / maxValue > 255 ? 255 : pixel[i] * 255 / maxValue);
            }
            setTexel(texture, u, v, rgb);
        }
    }
    std::fclose(file);
    return true;
}

const Texture* coverArt = nullptr;

typedef void (*TextureMaker)(const TextureDesign* design, Texture* texture);
static const TextureMaker textureMakers[TEXTURE_KIND_COUNT] = {
    makeChecker,  // TEXTURE_CHECKER
    makeStripes,  // TEXTURE_STRIPES
    makeRings,    // TEXTURE_RINGS
    makeNoise,    // TEXTURE_NOISE
    makeGradient, // TEXTURE_GRADIENT
    nullptr,      // TEXTURE_IMAGE: read, not made
    makeChecker,  // TEXTURE_COVER: without cover art
};
static_assert(sizeof(textureMakers) / sizeof(textureMakers[0]) == TEXTURE_KIND_COUNT, "one maker per kind");

bool makeTexture(const TextureDesign* design, Texture* texture, char* error, size_t errorSize) {
    if (design->kind == TEXTURE_IMAGE) {
        return readPpmTexture(design->path, texture, error, errorSize);
    }
    if (design->kind == TEXTURE_COVER && coverArt != nullptr) {
        std::memcpy(texture, coverArt, sizeof(Texture));
        return true;
    }
    textureMakers[design->kind](design, texture);
    return true;
}
