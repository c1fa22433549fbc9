// The song's cover art on stage: read when a song starts, shown by the
// scenes' "cover" textures until the next song.
#pragma once
#include <cstddef>

// Reads the cover art of `path` (null: a song without a file, the demo tune)
// and hands it to the stage, or none. False, with what is wrong in `error`,
// when the song carries a picture that cannot be shown: the scenes then show
// their own textures, as without one.
bool showSongCover(const char* path, char* error, size_t errorSize);
