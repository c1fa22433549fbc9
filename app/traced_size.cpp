// Levels of the traced size and the choice among them.
#include "app/traced_size.h"

#include "frame/frame_image.h"

namespace {

constexpr double STEP_DOWN_SHARE = 0.85; // a frame taking more of the budget than this does not keep up
constexpr double FIT_SHARE = 0.7;        // a smaller level is chosen to take no more than this
constexpr double STEP_UP_SHARE = 0.6;    // a larger level is taken back when expected within this

double levelPixels(int32_t windowWidth, int32_t windowHeight, int32_t level) {
    int32_t width = 0;
    int32_t height = 0;
    levelSize(windowWidth, windowHeight, level, &width, &height);
    return static_cast<double>(width) * height;
}

int32_t fitSide(int64_t side) {
    return static_cast<int32_t>(side < MIN_IMAGE_SIDE ? MIN_IMAGE_SIDE : side);
}

} // namespace

const int32_t levelSixteenths[TRACED_SIZE_LEVELS] = {16, 12, 8, 6, 4, 3, 2, 1};

void levelSize(int32_t windowWidth, int32_t windowHeight, int32_t level, int32_t* width, int32_t* height) {
    level = level < 0 ? 0 : level >= TRACED_SIZE_LEVELS ? TRACED_SIZE_LEVELS - 1 : level;
    int64_t w = static_cast<int64_t>(windowWidth) * levelSixteenths[level];
    int64_t h = static_cast<int64_t>(windowHeight) * levelSixteenths[level];
    // A window wider or taller than any image: the largest image in its shape
    int64_t longest = (w > h ? w : h);
    int64_t limit = static_cast<int64_t>(MAX_IMAGE_SIDE) * 16;
    if (longest > limit) {
        w = w * limit / longest;
        h = h * limit / longest;
    }
    *width = fitSide((w + 8) / 16);
    *height = fitSide((h + 8) / 16);
}

int32_t nextTracedLevel(int32_t windowWidth, int32_t windowHeight, int32_t level, double frameMs, double budgetMs) {
    double pixels = levelPixels(windowWidth, windowHeight, level);
    if (frameMs > STEP_DOWN_SHARE * budgetMs) {
        for (int32_t smaller = level + 1; smaller < TRACED_SIZE_LEVELS; smaller++) {
            if (frameMs * levelPixels(windowWidth, windowHeight, smaller) / pixels <= FIT_SHARE * budgetMs) {
                return smaller;
            }
        }
        return TRACED_SIZE_LEVELS - 1;
    }
    if (level > 0 && frameMs * levelPixels(windowWidth, windowHeight, level - 1) / pixels <= STEP_UP_SHARE * budgetMs) {
        return level - 1;
    }
    return level;
}
