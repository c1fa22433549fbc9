// The size traced when the picture follows the window: the window's own
// pixels, or, when the machine cannot keep the frame rate, a smaller picture
// in the window's shape, scaled up without smoothing. Sizes come in levels,
// each a fixed share of the window's sides.
#pragma once
#include <cstdint>

constexpr int32_t TRACED_SIZE_LEVELS = 8;
extern const int32_t levelSixteenths[TRACED_SIZE_LEVELS]; // each level's sides, in sixteenths of the window's

// The size of `level` for a window of `windowWidth` x `windowHeight` pixels:
// in its shape, each side within the sizes an image may have.
void levelSize(int32_t windowWidth, int32_t windowHeight, int32_t level, int32_t* width, int32_t* height);

// The level for the next frames, given that a frame at `level` took
// `frameMs` to make and the frame rate leaves `budgetMs`: at once down to the
// largest size expected to fit when it does not keep up, one level back up
// when that level is expected to fit with room to spare.
int32_t nextTracedLevel(int32_t windowWidth, int32_t windowHeight, int32_t level, double frameMs, double budgetMs);
