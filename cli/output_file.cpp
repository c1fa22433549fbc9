// Files the programs write, complete or not at all.
#include "cli/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

bool openOutputFile(OutputFile* file, const char* path) {
    file->stream = nullptr;
    int pathLength = std::snprintf(file->path, sizeof file->path, "%s", path);
    int temporaryLength =
        std::snprintf(file->temporaryPath, sizeof file->temporaryPath, "%s.tmp%ld", path, static_cast<long>(getpid()));
    if (pathLength < 0 || temporaryLength < 0 || static_cast<size_t>(temporaryLength) >= sizeof file->temporaryPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    file->stream = std::fopen(file->temporaryPath, "wb");
    return file->stream != nullptr;
}

bool commitOutputFile(OutputFile* file) {
    if (file->stream == nullptr) {
        errno = EBADF;
        return false;
    }
    // Flush and close report a write that failed late, e.g. on a full disk.
    int error = 0;
    if (std::ferror(file->stream) != 0 || std::fflush(file->stream) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file->stream) != 0 && error == 0) {
        error = errno;
    }
    file->stream = nullptr;
    if (error == 0 && std::rename(file->temporaryPath, file->path) != 0) {
        error = errno;
    }
    if (error == 0) {
        return true;
    }
    std::remove(file->temporaryPath);
    errno = error;
    return false;
}

bool writeFileBytes(const char* path, const uint8_t* bytes, int32_t size) {
    OutputFile file;
    if (!openOutputFile(&file, path)) {
        return false;
    }
    if (fwrite(bytes, 1, static_cast<size_t>(size), file.stream) != static_cast<size_t>(size)) {
        discardOutputFile(&file);
        return false;
    }
    return commitOutputFile(&file);
}

void discardOutputFile(OutputFile* file) {
    if (file->stream == nullptr) {
        return;
    }
    int error = errno;
    std::fclose(file->stream);
    file->stream = nullptr;
    std::remove(file->temporaryPath);
    errno = error;
}

bool finishStandardOutput(const char* program) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    int error = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "%s: cannot write the standard output: %s\n", program, std::strerror(error));
    return false;
}
