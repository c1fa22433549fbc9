// Whether two names lead to the same file, on POSIX systems: the device and
// the inode identify a file whatever the name that leads to it.
#include "cli/same_file.h"

#include <sys/stat.h>

bool sameFile(const char* first, const char* second) {
    struct stat a;
    struct stat b;
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
