// Textures of a scene: generated patterns and images read from files.
#pragma once
#include <cstddef>
#include "scenes/scene_design.h"

// The song's cover art, scaled to a texture, while the front end has one;
// null without. Textures of kind "cover" show it.
extern const Texture* coverArt;

// Fills `texture` as `design` says; false with what is wrong in `error` when
// an image cannot be read.
bool makeTexture(const TextureDesign* design, Texture* texture, char* error, size_t errorSize);
// Reads a binary PPM (P6, maxval 255 or less) into 256 x 256 texels, scaled
// by nearest neighbour; false with what is wrong in `error`.
bool readPpmTexture(const char* path, Texture* texture, char* error, size_t errorSize);
