#!/usr/bin/env python3
"""Writes overlays/title_font.cpp, the title box's bitmap font, from a PCF
font of Debian's xfonts-base (misc-fixed, public domain): 8 x 13 bold,
ISO 8859-1. Usage: make_title_font.py [FONT.pcf.gz] > overlays/title_font.cpp"""
import gzip
import struct
import sys
import unicodedata

PCF_ACCELERATORS = 1 << 1
PCF_METRICS = 1 << 2
PCF_BITMAPS = 1 << 3
PCF_BDF_ENCODINGS = 1 << 5
PCF_BDF_ACCELERATORS = 1 << 8
CELL_WIDTH = 8
CELL_HEIGHT = 13


def tables(data):
    assert data[:4] == b"\x01fcp", "not a PCF font"
    (count,) = struct.unpack_from("<i", data, 4)
    found = {}
    for i in range(count):
        kind, fmt, size, offset = struct.unpack_from("<iiii", data, 8 + 16 * i)
        found[kind] = offset
    return found


def reader(data, offset):
    (fmt,) = struct.unpack_from("<i", data, offset)
    order = ">" if fmt & 4 else "<"
    return fmt, order, offset + 4


def metrics(data, offset):
    fmt, order, p = reader(data, offset)
    result = []
    if fmt & 0x100:
        (count,) = struct.unpack_from(order + "h", data, p)
        p += 2
        for i in range(count):
            lsb, rsb, width, ascent, descent = (b - 0x80 for b in data[p + 5 * i : p + 5 * i + 5])
            result.append((lsb, rsb, width, ascent, descent))
    else:
        (count,) = struct.unpack_from(order + "i", data, p)
        p += 4
        for i in range(count):
            lsb, rsb, width, ascent, descent, _ = struct.unpack_from(order + "hhhhhH", data, p + 12 * i)
            result.append((lsb, rsb, width, ascent, descent))
    return result


def bitmaps(data, offset):
    fmt, order, p = reader(data, offset)
    (count,) = struct.unpack_from(order + "i", data, p)
    p += 4
    offsets = struct.unpack_from(order + "%di" % count, data, p)
    p += 4 * count
    sizes = struct.unpack_from(order + "4i", data, p)
    p += 16
    pad = 1 << (fmt & 3)
    msb_bits = bool(fmt & 8)
    return [p + o for o in offsets], pad, msb_bits


def encodings(data, offset):
    fmt, order, p = reader(data, offset)
    min2, max2, min1, max1, default = struct.unpack_from(order + "5h", data, p)
    p += 10
    count = (max2 - min2 + 1) * (max1 - min1 + 1)
    indices = struct.unpack_from(order + "%dH" % count, data, p)
    table = {}
    for code in range(256):
        if min1 == 0 and min2 <= code <= max2:
            index = indices[code - min2]
            if index != 0xFFFF:
                table[code] = index
    return table


def font_ascent(data, found):
    offset = found.get(PCF_BDF_ACCELERATORS, found.get(PCF_ACCELERATORS))
    fmt, order, p = reader(data, offset)
    (ascent,) = struct.unpack_from(order + "i", data, p + 8)
    return ascent


def tall_capital(cells, code):
    """The font squeezes an accented capital to the height of a small letter
    ("\u00dc" looks like "\u00fc"); this one keeps the capital's height: the
    accent in the top two rows, the capital below with one of its repeated
    rows left out."""
    parts = unicodedata.decomposition(chr(code)).split()
    if len(parts) != 2 or not chr(code).isupper():
        return cells[code]
    base = cells[int(parts[0], 16)]
    accented = cells[code]
    ink = [y for y in range(CELL_HEIGHT) if base[y]]
    first, last = ink[0], ink[-1]
    if first != 1:
        return accented
    top = next(y for y in range(CELL_HEIGHT) if accented[y])
    y = top
    accent = [0, 0]
    while y < CELL_HEIGHT and accented[y]:
        accent[min(y - top, 1)] |= accented[y]
        y += 1
    if parts[1] == "0327" or y >= 4:
        return accented  # a cedilla, below the letter; or no accent above it
    body = base[first : last + 1]
    repeats = [i for i in range(1, len(body)) if body[i] == body[i - 1]]
    if not repeats:
        return accented
    middle = len(body) / 2
    drop = min(repeats, key=lambda i: abs(i - middle))
    body = body[:drop] + body[drop + 1 :]
    cell = [0] * CELL_HEIGHT
    cell[0:2] = accent
    cell[2 : 2 + len(body)] = body
    return cell


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/fonts/X11/misc/8x13B-ISO8859-1.pcf.gz"
    data = gzip.open(path).read()
    found = tables(data)
    glyph_metrics = metrics(data, found[PCF_METRICS])
    starts, pad, msb_bits = bitmaps(data, found[PCF_BITMAPS])
    codes = encodings(data, found[PCF_BDF_ENCODINGS])
    ascent = font_ascent(data, found)
    rows_out = []
    for code in range(256):
        cell = [0] * CELL_HEIGHT
        index = codes.get(code)
        if index is not None:
            lsb, rsb, width, g_ascent, g_descent = glyph_metrics[index]
            row_bytes = ((rsb - lsb + 7) // 8 + pad - 1) // pad * pad
            for j in range(g_ascent + g_descent):
                y = ascent - g_ascent + j
                row = data[starts[index] + j * row_bytes : starts[index] + (j + 1) * row_bytes]
                for x in range(rsb - lsb):
                    byte = row[x // 8]
                    bit = (byte >> (7 - x % 8)) & 1 if msb_bits else (byte >> (x % 8)) & 1
                    column = lsb + x
                    if bit and 0 <= y < CELL_HEIGHT and 0 <= column < CELL_WIDTH:
                        cell[y] |= 0x80 >> column
        rows_out.append(cell)
    rows_out = [tall_capital(rows_out, code) for code in range(256)]
    print("// Generated by tools/make_title_font.py from xfonts-base's 8x13B-ISO8859-1")
    print("// (misc-fixed, public domain), its accented capitals made as tall as the")
    print("// others. Do not edit; run the script again instead.")
    print('#include "overlays/title_font.h"')
    print()
    print("// One glyph per ISO 8859-1 code, %d rows, the top bit the leftmost pixel." % CELL_HEIGHT)
    print("const uint8_t titleFontGlyphs[TITLE_FONT_GLYPHS][TITLE_FONT_HEIGHT] = {")
    for code, cell in enumerate(rows_out):
        body = ", ".join("0x%02X" % b for b in cell)
        label = chr(code) if 32 < code < 127 and chr(code) != "\\" else "0x%02X" % code
        print("    {%s}, // %s" % (body, label))
    print("};")


main()
