// Windows only. Files by name through the wide calls: the UTF-8 name in
// UTF-16, so that any name the user can type reaches its file.
#ifndef _WIN32
#error "files/os_files_windows.cpp is Windows-only"
#endif
#include "files/os_files.h"

#include <windows.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cwchar>

namespace {

constexpr size_t WIDE_MODE_CHARS = 16;

// The name for a wide call; false, with errno set, when it does not fit.
bool widePath(const char* path, wchar_t* wide) {
    if (!wideFromText(path, wide, WIDE_PATH_CHARS)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// errno for what a failed Win32 call left in GetLastError.
int errnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

} // namespace

bool wideFromText(const char* text, wchar_t* wide, size_t wideChars) {
    int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, (int)wideChars);
    if (chars == 0 && GetLastError() == ERROR_NO_UNICODE_TRANSLATION) {
        chars = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, (int)wideChars);
    }
    return chars > 0;
}

FILE* openFile(const char* path, const char* mode) {
    wchar_t wide[WIDE_PATH_CHARS];
    wchar_t wideMode[WIDE_MODE_CHARS];
    if (!widePath(path, wide)) {
        return nullptr;
    }
    if (!wideFromText(mode, wideMode, WIDE_MODE_CHARS)) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(wide, wideMode);
}

bool fileStatus(const char* path, FileStatus* status) {
    wchar_t wide[WIDE_PATH_CHARS];
    if (!widePath(path, wide)) {
        return false;
    }
    // The C library finds no folder under a name that ends in a separator
    // ("out/"), though POSIX systems do; a root ("C:\\", "/") keeps its own.
    size_t length = wcslen(wide);
    while (length > 1 && (wide[length - 1] == L'/' || wide[length - 1] == L'\\') && wide[length - 2] != L':') {
        wide[--length] = L'\0';
    }
    struct _stat64 known;
    if (_wstat64(wide, &known) != 0) {
        return false;
    }
    status->isFolder = (known.st_mode & _S_IFDIR) != 0;
    status->size = (int64_t)known.st_size;
    return true;
}

// The C library's rename will not replace a file; MoveFileExW can.
bool renameFile(const char* from, const char* to) {
    wchar_t wideFrom[WIDE_PATH_CHARS];
    wchar_t wideTo[WIDE_PATH_CHARS];
    if (!widePath(from, wideFrom) || !widePath(to, wideTo)) {
        return false;
    }
    if (!MoveFileExW(wideFrom, wideTo, MOVEFILE_REPLACE_EXISTING)) {
        errno = errnoFromLastError();
        return false;
    }
    return true;
}

bool removeFile(const char* path) {
    wchar_t wide[WIDE_PATH_CHARS];
    return widePath(path, wide) && _wremove(wide) == 0;
}

// Windows has no search permission on folders: writing is all there is to ask.
bool folderWritable(const char* path) {
    wchar_t wide[WIDE_PATH_CHARS];
    return widePath(path, wide) && _waccess(wide, 2) == 0; // 2: write
}
