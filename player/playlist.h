// The player's playlist: entries with their titles and audio, the position
// the title queries answer, and the clock that moves through the entries.
#pragma once
#include <cstddef>
#include <cstdint>
#include "audio/file_title.h"
#include "audio/audio_source.h"

constexpr int32_t PLAYLIST_MAX_ENTRIES = 32;
constexpr size_t PLAYLIST_TITLE_CHARS = 260;

#define DEMO_TUNE_TITLE "Demo tune"

// The codes (lParam of WM_USER) of the queries the player's window answers.
constexpr intptr_t QUERY_PLAYLIST_POSITION = 125; // answer: the position playing now
constexpr intptr_t QUERY_PLAYLIST_TITLE = 212;    // wParam a position; answer: its title, or 0

struct PlaylistEntry {
    char title[PLAYLIST_TITLE_CHARS]; // handed to the plug-in by the title query
    AudioSource source;               // what plays: the demo tune or a WAV file in memory
};

struct Playlist {
    PlaylistEntry entries[PLAYLIST_MAX_ENTRIES];
    int32_t count;    // entries in use
    int32_t position; // the entry playing now, written by followPlayback
};

// Where playback stands: the entry playing, when it started, and its frame.
// Time is counted in ticks: milliseconds when playback follows the clock,
// frames when a frame-counted run steps it.
struct Playback {
    int64_t ticksPerSecond; // 1000 for milliseconds
    int32_t entry;          // index into the playlist
    int64_t entryStart;     // time at which the entry's frame 0 played
    int64_t frame;          // sample frame of the entry playing now
};

void clearPlaylist(Playlist* playlist);
// Appends an entry; false when the list is full.
bool addPlaylistEntry(Playlist* playlist, const char* title, const AudioSource* source);
// The title of the entry at `position`, or null for a position the list does not have.
const char* playlistTitle(const Playlist* playlist, int64_t position);

// The answer to a WM_USER query of the player's window: the position, a
// title's address (0 for a position the list does not have), or 0 for any other code.
intptr_t answerPlayerQuery(const Playlist* playlist, intptr_t wParam, intptr_t lParam);

void startPlayback(Playback* playback, Playlist* playlist, int64_t now, int64_t ticksPerSecond);
// Moves playback to time `now`: an entry that has ended gives way to the
// next, and the last to the first again.
void followPlayback(Playback* playback, Playlist* playlist, int64_t now);
