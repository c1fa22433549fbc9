// A file's name as its title.
#include "audio/file_title.h"

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
