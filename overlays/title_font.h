// The title box's bitmap font: 8 x 13 cells, one glyph per ISO 8859-1 code.
#pragma once
#include <cstdint>

constexpr int32_t TITLE_FONT_WIDTH = 8;   // pixels a glyph, the top bit of each row the leftmost
constexpr int32_t TITLE_FONT_HEIGHT = 13; // rows a glyph
constexpr int32_t TITLE_FONT_GLYPHS = 256;

extern const uint8_t titleFontGlyphs[TITLE_FONT_GLYPHS][TITLE_FONT_HEIGHT];
