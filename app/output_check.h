// Checks of the files a run is to write, made before the run starts: no
// input is overwritten, no file of another kind is replaced unasked, and no
// run is lost to a name that cannot be written at its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include "cli/same_file.h"

// What a run writes, and which existing files it may replace.
struct OutputRule {
    const char* option;                     // "--screenshot": names the file in messages
    const char* what;                       // "a PNG picture": what the file holds
    const char* extension;                  // ".png": the only extension allowed, or null for any
    bool (*holdsOwnKind)(const char* path); // whether an existing file is one this run may replace
};

extern const OutputRule screenshotRule; // --screenshot: a PNG picture
extern const OutputRule waveformRule;   // --write-waveform: raw 1152-byte blocks

// Refuses `path` as the output `rule` describes, with the reason in `error`:
// a directory, a folder that is missing or not writable, an extension of
// another format, an existing file of another kind (unless `force`).
bool checkOutput(const char* path, const OutputRule* rule, bool force, char* error, size_t errorSize);

// Whether an existing file begins as a sound file or a picture does (RIFF,
// FLAC, Ogg, MP3, AIFF, PNG, JPEG, Matroska, MP4): not raw blocks, not a
// file a run may take for its own.
bool looksLikeMediaFile(const char* path);
