// The song's cover art, decoded once at song start into a texture the stage
// copies: the frames that show it read only the stage's own texels.
#include "app/song_cover.h"

#include "audio/cover_art.h"
#include "raytracer/scene.h"
#include "scenes/stage.h"

static_assert(sizeof(Texture::texels) == sizeof(uint8_t[COVER_SIDE * COVER_SIDE][4]), "a cover fills a texture slot");

bool showSongCover(const char* path, char* error, size_t errorSize) {
    static Texture cover; // too large for the stack; only set-up writes it
    CoverResult result = path != nullptr ? readCoverArt(path, cover.texels, error, errorSize) : COVER_NONE;
    setStageCover(result == COVER_READ ? &cover : nullptr);
    return result != COVER_BROKEN;
}
