// A file's title from its tags, or, when its tags name none, its name
// without folders and without the last extension. Portable; both separators
// count, since paths may come from either system.
#pragma once
#include <cstddef>

void titleFromPath(const char* path, char* title, size_t titleSize);

// "artist - name" where both are given, the name alone, or titleFromPath's
// where there is no name (null or empty); a control character (ESC, BEL, a
// new line) becomes '?', so that printing the title cannot drive the user's
// terminal.
void composeTitle(const char* artist, const char* name, const char* path, char* title, size_t titleSize);
