// A file's title from its tags or its name.
#include "audio/file_title.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

void titleFromPath(const char* path, char* title, size_t titleSize) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p++) {
        if (*p == '/' || *p == '\\') {
            name = p + 1;
        }
    }
    const char* dot = strrchr(name, '.');
    size_t length = (dot != nullptr && dot != name) ? (size_t)(dot - name) : strlen(name);
    snprintf(title, titleSize, "%.*s", (int)length, name);
}

void composeTitle(const char* artist, const char* name, const char* path, char* title, size_t titleSize) {
    bool hasArtist = artist != nullptr && artist[0] != '\0';
    bool hasName = name != nullptr && name[0] != '\0';
    if (hasArtist && hasName) {
        snprintf(title, titleSize, "%s - %s", artist, name);
    } else if (hasName) {
        snprintf(title, titleSize, "%s", name);
    } else {
        titleFromPath(path, title, titleSize);
    }
    for (char* c = title; *c != '\0'; c++) {
        if ((uint8_t)*c < 0x20 || *c == 0x7f) {
            *c = '?';
        }
    }
}
