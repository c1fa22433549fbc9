// The playlist and the playback clock.
#include "player/playlist.h"

#include <cstdio>
#include <cstring>

void clearPlaylist(Playlist* playlist) {
    memset(playlist, 0, sizeof *playlist);
}

bool addPlaylistEntry(Playlist* playlist, const char* title, const AudioSource* source) {
    if (playlist->count >= PLAYLIST_MAX_ENTRIES) {
        return false;
    }
    PlaylistEntry* entry = &playlist->entries[playlist->count];
    snprintf(entry->title, sizeof entry->title, "%s", title);
    entry->source = *source;
    playlist->count++;
    return true;
}

const char* playlistTitle(const Playlist* playlist, int64_t position) {
    if (position < 0 || position >= playlist->count) {
        return nullptr;
    }
    return playlist->entries[position].title;
}

intptr_t answerPlayerQuery(const Playlist* playlist, intptr_t wParam, intptr_t lParam) {
    if (lParam == QUERY_PLAYLIST_POSITION) {
        return playlist->position;
    }
    if (lParam == QUERY_PLAYLIST_TITLE) {
        return (intptr_t)playlistTitle(playlist, wParam);
    }
    return 0;
}

void startPlayback(Playback* playback, Playlist* playlist, int64_t now, int64_t ticksPerSecond) {
    playback->ticksPerSecond = ticksPerSecond;
    playback->entry = 0;
    playback->entryStart = now;
    playback->frame = 0;
    playlist->position = 0;
}

void followPlayback(Playback* playback, Playlist* playlist, int64_t now) {
    if (playlist->count == 0) {
        return;
    }
    for (;;) {
        const AudioSource* source = &playlist->entries[playback->entry].source;
        playback->frame = (now - playback->entryStart) * source->sampleRate / playback->ticksPerSecond;
        if (source->frameCount == AUDIO_ENDLESS || playback->frame < source->frameCount) {
            break;
        }
        // The entry is over: the next starts where it ended. At least a
        // tick each, so a jump over many tiny entries ends.
        int64_t length = source->frameCount * playback->ticksPerSecond / source->sampleRate;
        playback->entryStart += length > 0 ? length : 1;
        playback->entry = (playback->entry + 1) % playlist->count;
    }
    playlist->position = playback->entry;
}
