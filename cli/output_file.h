// Files the programs write: each is written under a temporary name beside its
// final one, "NAME.XXXXXX.part", and renamed over it only when complete, so
// that a failed run (a full disk, a size limit, a signal) never leaves a
// truncated file under the final name. POSIX systems only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t OUTPUT_PATH_CAPACITY = 4096 + 32; // a final name and the temporary suffix

// Creates the temporary file for `path`: "<path>.XXXXXX.part", a name no
// other run has, with the permissions a new file of the user's would have.
// Returns its open descriptor, or -1 with errno set (ENAMETOOLONG when the
// name does not fit in `size`).
int createTemporaryFile(const char* path, char* temporaryPath, size_t size);

struct OutputFile {
    FILE* stream;                             // the open temporary file, or null
    char path[OUTPUT_PATH_CAPACITY];          // the final name
    char temporaryPath[OUTPUT_PATH_CAPACITY]; // where the bytes go until they are complete
};

// Opens a temporary file beside `path`; false, with errno set, when it cannot.
bool openOutputFile(OutputFile* file, const char* path);
// Closes the temporary file and renames it to the final name; on failure the
// temporary file is removed and errno says why.
bool commitOutputFile(OutputFile* file);
// Writes `size` bytes to `path`, under a temporary name until they are all
// written; false, with errno set and `path` untouched, when it cannot.
bool writeFileBytes(const char* path, const uint8_t* bytes, int32_t size);
// Closes and removes the temporary file, if one is open.
void discardOutputFile(OutputFile* file);
