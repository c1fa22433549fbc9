// The title a file gets when its tags name none: its name without folders
// and without the last extension. Portable; both separators count, since
// paths may come from either system.
#pragma once
#include <cstddef>

void titleFromPath(const char* path, char* title, size_t titleSize);
