// Files by name on POSIX systems, where a name is bytes and the plain calls
// take it as it is.
#include "files/os_files.h"

#include <sys/stat.h>
#include <unistd.h>

FILE* openFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

bool fileStatus(const char* path, FileStatus* status) {
    struct stat known;
    if (stat(path, &known) != 0) {
        return false;
    }
    status->isFolder = S_ISDIR(known.st_mode);
    status->size = static_cast<int64_t>(known.st_size);
    return true;
}

bool renameFile(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

bool removeFile(const char* path) {
    return std::remove(path) == 0;
}

bool folderWritable(const char* path) {
    return access(path, W_OK | X_OK) == 0;
}
