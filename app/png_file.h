// PNG files written whole or not at all: under a temporary name, renamed
// when complete.
#pragma once
#include <cstddef>
#include <cstdint>

// Writes `width` x `height` RGB pixels (3 bytes each, rows of `rowBytes`);
// on failure says why in `error`.
bool writePngFile(const char* path, const uint8_t* rgb, int32_t width, int32_t height, int32_t rowBytes, char* error,
                  size_t errorSize);
