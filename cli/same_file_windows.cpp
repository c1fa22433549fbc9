// Windows only. Whether two names lead to the same file: the volume and the
// file index identify a file whatever the name that leads to it.
#ifndef _WIN32
#error "cli/same_file_windows.cpp is Windows-only"
#endif
#include "cli/same_file.h"

#include <windows.h>

#include "files/os_files.h"

namespace {

// The file's identity, or false when it cannot be opened.
bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    wchar_t wide[WIDE_PATH_CHARS];
    if (!wideFromText(path, wide, WIDE_PATH_CHARS)) {
        return false;
    }
    HANDLE file = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL known = GetFileInformationByHandle(file, info);
    CloseHandle(file);
    return known != FALSE;
}

} // namespace

bool sameFile(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    if (!fileIdentity(first, &a) || !fileIdentity(second, &b)) {
        return false;
    }
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}
