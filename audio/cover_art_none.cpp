// Systems without the tag and image libraries: no song carries cover art, and
// the scenes show their generated textures.
#include "audio/cover_art.h"

CoverResult readCoverArt(const char*, uint8_t (*)[4], char*, size_t) {
    return COVER_NONE;
}
