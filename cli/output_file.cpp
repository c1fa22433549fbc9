// Files the programs write, complete or not at all.
#include "cli/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include "files/os_files.h"

namespace {

const char* const TEMPORARY_SUFFIX = ".part"; // "song.mp4.Ab12Cd.part" until complete

} // namespace

int createTemporaryFile(const char* path, char* temporaryPath, size_t size) {
    int length = std::snprintf(temporaryPath, size, "%s.XXXXXX%s", path, TEMPORARY_SUFFIX);
    if (length < 0 || static_cast<size_t>(length) >= size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int file = mkstemps(temporaryPath, static_cast<int>(std::strlen(TEMPORARY_SUFFIX)));
    if (file < 0) {
        return -1;
    }
    // mkstemps makes the file private; the final one gets what the umask allows.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(file, 0666 & ~mask);
    return file;
}

bool openOutputFile(OutputFile* file, const char* path) {
    file->stream = nullptr;
    int pathLength = std::snprintf(file->path, sizeof file->path, "%s", path);
    if (pathLength < 0 || static_cast<size_t>(pathLength) >= sizeof file->path) {
        errno = ENAMETOOLONG;
        return false;
    }
    int descriptor = createTemporaryFile(path, file->temporaryPath, sizeof file->temporaryPath);
    if (descriptor < 0) {
        return false;
    }
    file->stream = fdopen(descriptor, "wb");
    if (file->stream == nullptr) {
        int error = errno;
        close(descriptor);
        removeFile(file->temporaryPath);
        errno = error;
        return false;
    }
    return true;
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
    if (error == 0 && !renameFile(file->temporaryPath, file->path)) {
        error = errno;
    }
    if (error == 0) {
        return true;
    }
    removeFile(file->temporaryPath);
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
    removeFile(file->temporaryPath);
    errno = error;
}
