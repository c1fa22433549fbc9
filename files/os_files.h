// Files by name, the names in UTF-8 on every system: the one place that
// hands a user's path to the system. On Windows the C library's narrow
// calls read a name in the ANSI code page, so a name with characters
// outside it would name another file or none; here it goes to the wide
// calls instead. One back end a system: files/os_files_posix.cpp,
// files/os_files_windows.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// What the system knows of a file by name.
struct FileStatus {
    bool isFolder; // a directory
    int64_t size;  // its length in bytes
};

// fopen's: the open stream, or null with errno set.
FILE* openFile(const char* path, const char* mode);
// Whether `path` names something, and what; false, with errno set, when not.
bool fileStatus(const char* path, FileStatus* status);
// Renames `from` to `to`, replacing a file there; false, with errno set.
bool renameFile(const char* from, const char* to);
// Removes the file; false, with errno set.
bool removeFile(const char* path);
// Whether files can be made in the folder `path`; false, with errno set.
bool folderWritable(const char* path);

// Whether `c` ends a folder's name in a path: '/', and on Windows '\\' too.
inline bool isFolderSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Where the file's own name starts in `path`: just past its last separator.
inline const char* fileNamePart(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; c++) {
        if (isFolderSeparator(*c)) {
            name = c + 1;
        }
    }
    return name;
}

// Whether `path` starts at a root rather than in the current folder: a
// separator, and on Windows a drive ("C:") too.
inline bool isRootedPath(const char* path) {
#ifdef _WIN32
    bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
    return isFolderSeparator(path[0]) || drive;
#else
    return isFolderSeparator(path[0]);
#endif
}

#ifdef _WIN32
constexpr size_t WIDE_PATH_CHARS = 4200; // a long path with a temporary name's ending, in UTF-16

// `text` (UTF-8, or the system's code page where it is not valid UTF-8) in
// UTF-16 for the wide calls; false when it does not fit in `wideChars`.
bool wideFromText(const char* text, wchar_t* wide, size_t wideChars);
#endif
