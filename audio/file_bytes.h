// Whole files read into memory once, before the run starts.
#pragma once
#include <cstddef>
#include <cstdint>

struct FileBytes {
    uint8_t* bytes; // malloc'd contents, null when nothing is held
    size_t size;    // bytes held
};

// Reads the whole file; on failure returns false, puts the reason into
// `error` and leaves errno as the failing call set it.
bool loadFileBytes(const char* path, FileBytes* file, char* error, size_t errorSize);
void releaseFileBytes(FileBytes* file);
