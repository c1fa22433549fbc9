// The title box: the plug-in's song title look drawn with our own bitmap font.
#include "overlays/title_box.h"

#include "frame/frame_buffer.h"
#include "overlays/title_font.h"

namespace {

constexpr uint32_t UNSHOWN_CHARACTER = 0x00; // the font's own box of dots: a character it lacks
constexpr uint32_t ELLIPSIS_DOT = '.';
constexpr int32_t ELLIPSIS_GLYPHS = 3; // "..." ends a title too long for the image

// Whether the font has a glyph for ISO 8859-1 code `code`: not for the
// control codes, whose cells hold line-drawing pieces or nothing.
bool fontHas(uint32_t code) {
    return (code >= 0x20 && code < 0x7F) || code >= 0xA0;
}

// The next character of UTF-8 `text` as an ISO 8859-1 code, or the
// placeholder for one the font lacks; a byte that starts no valid sequence
// stands for itself, so Latin-1 text shows too.
uint32_t nextGlyph(const unsigned char** text) {
    const unsigned char* p = *text;
    uint32_t lead = p[0];
    int32_t length = lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (lead < 0xF8 && length > 1) {
        uint32_t code = lead & (0x7Fu >> length);
        int32_t i = 1;
        while (i < length && (p[i] & 0xC0) == 0x80) {
            code = (code << 6) | (p[i] & 0x3F);
            i++;
        }
        if (i == length) {
            *text = p + length;
            return code < TITLE_FONT_GLYPHS && fontHas(code) ? code : UNSHOWN_CHARACTER;
        }
    }
    *text = p + 1;
    return fontHas(lead) ? lead : UNSHOWN_CHARACTER;
}

int32_t glyphCount(const char* text) {
    int32_t count = 0;
    const unsigned char* p = (const unsigned char*)text;
    while (*p != '\0') {
        nextGlyph(&p);
        count++;
    }
    return count;
}

// Paints one pixel of the box, if it lies on the image.
void paint(FrameImage* image, int32_t x, int32_t y, uint8_t value) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) {
        return;
    }
    uint8_t* pixel = image->pixels + (int64_t)y * image->pitch + (int64_t)x * 4;
    pixel[0] = value;
    pixel[1] = value;
    pixel[2] = value;
    pixel[3] = 0;
}

} // namespace

int32_t titleScale(int32_t width, int32_t height) {
    int32_t widthScale = width / FRAME_WIDTH;
    int32_t heightScale = height / FRAME_HEIGHT;
    int32_t scale = widthScale < heightScale ? widthScale : heightScale;
    return scale > 1 ? scale : 1;
}

void drawTitleGlyph(FrameImage* image, uint32_t code, int32_t left, int32_t top, int32_t scale, int32_t ink,
                    int32_t paper) {
    const uint8_t* glyph = titleFontGlyphs[code];
    for (int32_t row = 0; row < TITLE_FONT_HEIGHT * scale; row++) {
        uint8_t bits = glyph[row / scale];
        for (int32_t x = 0; x < TITLE_FONT_WIDTH * scale; x++) {
            bool inked = (bits & (0x80 >> (x / scale))) != 0;
            if (inked || paper >= 0) {
                paint(image, left + x, top + row, (uint8_t)(inked ? ink : paper));
            }
        }
    }
}

void measureTitleBox(const char* text, int32_t* width, int32_t* height) {
    *width = glyphCount(text) * TITLE_FONT_WIDTH;
    *height = TITLE_FONT_HEIGHT;
}

void drawTitleBox(FrameImage* image, const char* text, int32_t scale) {
    if (scale < 1) {
        scale = 1;
    }
    int32_t width = 0;
    int32_t height = 0;
    measureTitleBox(text, &width, &height);
    if (width == 0) {
        return;
    }
    // A title wider than the image is shortened to the glyphs that fit, the
    // last three of them "...".
    int32_t count = width / TITLE_FONT_WIDTH;
    int32_t fitting = image->width / (TITLE_FONT_WIDTH * scale);
    bool shortened = count > fitting && fitting > ELLIPSIS_GLYPHS;
    if (shortened) {
        count = fitting;
        width = count * TITLE_FONT_WIDTH;
    }
    // Centred as the plug-in centres it: divisions truncate toward zero.
    int32_t left = (image->width - width * scale) / 2;
    int32_t top = (image->height - height * scale) / 2;

    const unsigned char* p = (const unsigned char*)text;
    for (int32_t column = 0; *p != '\0' && column < count; column++) {
        uint32_t code = nextGlyph(&p);
        int32_t glyphLeft = left + column * TITLE_FONT_WIDTH * scale;
        if (glyphLeft >= image->width) {
            break;
        }
        code = shortened && column >= count - ELLIPSIS_GLYPHS ? ELLIPSIS_DOT : code;
        drawTitleGlyph(image, code, glyphLeft, top, scale, 0, 255);
    }
}
