// Checks of the files a run is to write.
#include "app/output_check.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include "audio/waveform_block.h"
#include "files/os_files.h"

namespace {

constexpr size_t FOLDER_CHARS = 4096;
constexpr size_t MAGIC_BYTES = 12;

// The first bytes of the file, zero past its end; false when it cannot be read.
bool readStart(const char* path, uint8_t* bytes) {
    memset(bytes, 0, MAGIC_BYTES);
    FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    size_t got = fread(bytes, 1, MAGIC_BYTES, file);
    fclose(file);
    return got > 0;
}

bool holdsPng(const char* path) {
    uint8_t bytes[MAGIC_BYTES];
    return readStart(path, bytes) && memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// Raw blocks have no header: whole blocks that do not begin as a known format.
bool holdsWaveform(const char* path) {
    FileStatus status;
    return fileStatus(path, &status) && status.size % (int64_t)BLOCK_BYTES == 0 && !looksLikeMediaFile(path);
}

} // namespace

const OutputRule screenshotRule = {"--screenshot", "a PNG picture", ".png", holdsPng};
const OutputRule waveformRule = {"--write-waveform", "waveform blocks", nullptr, holdsWaveform};

bool looksLikeMediaFile(const char* path) {
    uint8_t bytes[MAGIC_BYTES];
    if (!readStart(path, bytes)) {
        return false;
    }
    static const char* const starts[] = {
        "RIFF", "fLaC", "OggS", "ID3", "FORM", "\x89PNG", "\xff\xd8\xff", "\x1a\x45\xdf\xa3", "caff", ".snd", "wvpk"};
    for (const char* start : starts) {
        if (memcmp(bytes, start, strlen(start)) == 0) {
            return true;
        }
    }
    bool mpegAudio = bytes[0] == 0xff && (bytes[1] & 0xe0) == 0xe0;
    bool isoMedia = memcmp(bytes + 4, "ftyp", 4) == 0;
    return mpegAudio || isoMedia;
}

bool checkOutput(const char* path, const OutputRule* rule, bool force, char* error, size_t errorSize) {
    // The name: its extension, and not a directory
    const char* base = fileNamePart(path);
    const char* dot = strrchr(base, '.');
    if (rule->extension != nullptr && dot != nullptr && dot != base && strcasecmp(dot, rule->extension) != 0) {
        snprintf(error, errorSize, "%s %s: the extension %s names another format; this file is %s, end it in %s",
                 rule->option, path, dot, rule->what, rule->extension);
        return false;
    }
    FileStatus status;
    bool exists = fileStatus(path, &status);
    if (exists && status.isFolder) {
        snprintf(error, errorSize, "%s %s: is a directory", rule->option, path);
        return false;
    }

    // Its folder: there and writable, now rather than at the end of the run
    char folder[FOLDER_CHARS];
    size_t folderLength = (size_t)(base - path);
    if (folderLength >= sizeof folder) {
        snprintf(error, errorSize, "%s: the name is too long", rule->option);
        return false;
    }
    if (folderLength == 0) {
        strcpy(folder, ".");
    } else {
        memcpy(folder, path, folderLength);
        folder[folderLength] = '\0';
    }
    FileStatus folderStatus;
    if (!fileStatus(folder, &folderStatus) || !folderStatus.isFolder) {
        snprintf(error, errorSize, "%s %s: the folder %s does not exist", rule->option, path, folder);
        return false;
    }
    if (!folderWritable(folder)) {
        snprintf(error, errorSize, "%s %s: cannot write in the folder %s: %s", rule->option, path, folder,
                 strerror(errno));
        return false;
    }

    // An existing file of another kind is the user's: replaced only when asked
    if (exists && !force && status.size > 0 && !rule->holdsOwnKind(path)) {
        snprintf(error, errorSize,
                 "%s %s: the file exists and is not %s; choose another name, or add --force to "
                 "replace it",
                 rule->option, path, rule->what);
        return false;
    }
    return true;
}
