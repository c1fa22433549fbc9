// The cover art a song file carries (ID3 APIC, FLAC PICTURE, Vorbis and Opus
// METADATA_BLOCK_PICTURE, MP4 covr), decoded (PNG or JPEG) and scaled to a
// square of texels, at song start: it allocates while it reads.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t COVER_SIDE = 256;                       // texels a side, as a texture slot
constexpr int32_t COVER_MAX_SIDE = 4096;                  // pixels a side of the largest picture decoded
constexpr uint32_t COVER_MAX_BYTES = 32u * 1024u * 1024u; // bytes of the largest picture read

enum CoverResult {
    COVER_NONE,   // the file carries no picture (or cannot be read for tags)
    COVER_READ,   // the texels hold the picture
    COVER_BROKEN, // a picture that cannot be used: `error` says why
};

// Fills `texels` (COVER_SIDE x COVER_SIDE, blue, green, red, unread; top row
// first) with the front cover of `path`, or its first picture, averaged down
// or repeated up to the square; nothing is written unless COVER_READ.
CoverResult readCoverArt(const char* path, uint8_t (*texels)[4], char* error, size_t errorSize);
