// Whole files read into memory.
#include "audio/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "files/os_files.h"

bool loadFileBytes(const char* path, FileBytes* file, char* error, size_t errorSize) {
    file->bytes = nullptr;
    file->size = 0;
    FILE* stream = openFile(path, "rb");
    if (stream == nullptr) {
        int reason = errno;
        snprintf(error, errorSize, "cannot open %s: %s", path, strerror(reason));
        errno = reason;
        return false;
    }

    // Read in growing pieces: the size is not asked for, so pipes work too.
    size_t capacity = 0;
    for (;;) {
        if (file->size == capacity) {
            size_t grown = capacity == 0 ? 65536 : capacity * 2;
            uint8_t* bigger = (uint8_t*)realloc(file->bytes, grown);
            if (bigger == nullptr) {
                snprintf(error, errorSize, "cannot read %s: out of memory", path);
                errno = ENOMEM;
                break;
            }
            file->bytes = bigger;
            capacity = grown;
        }
        size_t got = fread(file->bytes + file->size, 1, capacity - file->size, stream);
        file->size += got;
        if (got == 0) {
            if (ferror(stream)) {
                int reason = errno;
                snprintf(error, errorSize, "cannot read %s: %s", path, strerror(reason));
                errno = reason;
                break;
            }
            fclose(stream);
            return true;
        }
    }
    int reason = errno;
    fclose(stream);
    releaseFileBytes(file);
    errno = reason;
    return false;
}

void releaseFileBytes(FileBytes* file) {
    free(file->bytes);
    file->bytes = nullptr;
    file->size = 0;
}
