// The playlist's titles and positions, and the clock that moves through it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include "player/playlist.h"

namespace {

// A WAV entry of `frames` frames at `rate`; the samples are never read here.
AudioSource fileOf(int64_t frames, int32_t rate) {
    AudioSource source = {};
    source.kind = AUDIO_MEMORY;
    source.sampleRate = rate;
    source.channels = 2;
    source.frameCount = frames;
    return source;
}

// Playlist records are large; the tests keep theirs out of the stack frame.
Playlist playlist;

} // namespace

TEST(PlaylistTitles, KnownPositionsHaveTitlesOthersNull) {
    clearPlaylist(&playlist);
    AudioSource demo;
    openDemoTune(&demo);
    ASSERT_TRUE(addPlaylistEntry(&playlist, DEMO_TUNE_TITLE, &demo));
    AudioSource song = fileOf(100, 8000);
    ASSERT_TRUE(addPlaylistEntry(&playlist, "Second song", &song));
    EXPECT_EQ(playlist.count, 2);
    EXPECT_STREQ(playlistTitle(&playlist, 0), "Demo tune");
    EXPECT_STREQ(playlistTitle(&playlist, 1), "Second song");
    EXPECT_EQ(playlistTitle(&playlist, 2), nullptr);
    EXPECT_EQ(playlistTitle(&playlist, -1), nullptr);
    EXPECT_EQ(playlistTitle(&playlist, (int64_t)1 << 40), nullptr);
    EXPECT_EQ(playlist.entries[1].source.frameCount, 100);
}

TEST(PlaylistTitles, PlayerWindowQueries) {
    clearPlaylist(&playlist);
    AudioSource song = fileOf(100, 8000);
    addPlaylistEntry(&playlist, "zero", &song);
    addPlaylistEntry(&playlist, "one", &song);
    addPlaylistEntry(&playlist, "two", &song);
    playlist.position = 2;
    EXPECT_EQ(answerPlayerQuery(&playlist, 0, 125), 2);
    EXPECT_EQ(answerPlayerQuery(&playlist, 7, 125), 2); // wParam plays no part
    EXPECT_EQ(answerPlayerQuery(&playlist, 1, 212), (intptr_t)playlist.entries[1].title);
    EXPECT_STREQ((const char*)answerPlayerQuery(&playlist, 0, 212), "zero");
    EXPECT_EQ(answerPlayerQuery(&playlist, 3, 212), 0);
    EXPECT_EQ(answerPlayerQuery(&playlist, -1, 212), 0);
    EXPECT_EQ(answerPlayerQuery(&playlist, 0, 0), 0);
    EXPECT_EQ(answerPlayerQuery(&playlist, 1, 211), 0);
}

TEST(PlaylistTitles, FullListAndLongTitles) {
    clearPlaylist(&playlist);
    AudioSource song = fileOf(10, 8000);
    for (int i = 0; i < PLAYLIST_MAX_ENTRIES; i++) {
        ASSERT_TRUE(addPlaylistEntry(&playlist, "x", &song));
    }
    EXPECT_FALSE(addPlaylistEntry(&playlist, "one too many", &song));
    EXPECT_EQ(playlist.count, PLAYLIST_MAX_ENTRIES);

    clearPlaylist(&playlist);
    std::string longTitle(400, 'a');
    ASSERT_TRUE(addPlaylistEntry(&playlist, longTitle.c_str(), &song));
    EXPECT_EQ(strlen(playlistTitle(&playlist, 0)), PLAYLIST_TITLE_CHARS - 1);
}

TEST(PlaylistTitles, TitleFromPath) {
    char title[PLAYLIST_TITLE_CHARS];
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"C:\\music\\Song One.wav", "Song One"},
        {"/home/me/track.01.wav", "track.01"},
        {"relative/dir.d/noext", "noext"},
        {"plain.WAV", "plain"},
        {".hidden", ".hidden"},
        {"Z:\\tmp/mixed\\seps/last.wav", "last"},
        {"folder/", ""},
    };
    for (const auto& c : cases) {
        titleFromPath(c.path, title, sizeof title);
        EXPECT_STREQ(title, c.title) << c.path;
    }
    char small[4];
    titleFromPath("abcdefgh.wav", small, sizeof small);
    EXPECT_STREQ(small, "abc");
}

TEST(PlaybackClock, MovesThroughTheEntriesAndWraps) {
    clearPlaylist(&playlist);
    AudioSource first = fileOf(500, 1000);   // 500 ms
    AudioSource second = fileOf(3000, 2000); // 1500 ms
    addPlaylistEntry(&playlist, "first", &first);
    addPlaylistEntry(&playlist, "second", &second);
    Playback playback;
    startPlayback(&playback, &playlist, 10000, 1000);

    const struct {
        int64_t nowMs;
        int32_t entry;
        int64_t frame;
    } steps[] = {
        {10000, 0, 0},    {10499, 0, 499}, {10500, 1, 0}, {10750, 1, 500},
        {11999, 1, 2998}, {12000, 0, 0},   {12001, 0, 1}, {22250, 0, 250}, // five whole cycles later
        {22600, 1, 200},
    };
    for (const auto& step : steps) {
        followPlayback(&playback, &playlist, step.nowMs);
        EXPECT_EQ(playback.entry, step.entry) << step.nowMs;
        EXPECT_EQ(playlist.position, step.entry) << step.nowMs;
        EXPECT_EQ(playback.frame, step.frame) << step.nowMs;
    }
}

TEST(PlaybackClock, EndlessEntryNeverGivesWay) {
    clearPlaylist(&playlist);
    AudioSource demo;
    openDemoTune(&demo);
    addPlaylistEntry(&playlist, DEMO_TUNE_TITLE, &demo);
    AudioSource song = fileOf(10, 1000);
    addPlaylistEntry(&playlist, "never reached", &song);
    Playback playback;
    startPlayback(&playback, &playlist, 0, 1000);
    followPlayback(&playback, &playlist, 1000);
    EXPECT_EQ(playback.frame, 44100);
    followPlayback(&playback, &playlist, 3600 * 1000);
    EXPECT_EQ(playback.entry, 0);
    EXPECT_EQ(playback.frame, (int64_t)3600 * 44100);
}

// A frame-counted run steps time in frames at 30 per second: frame k of a
// 44.1 kHz entry starts at sample 1470 k, exactly.
TEST(PlaybackClock, SteppedInFrames) {
    clearPlaylist(&playlist);
    AudioSource demo;
    openDemoTune(&demo);
    addPlaylistEntry(&playlist, DEMO_TUNE_TITLE, &demo);
    Playback playback;
    startPlayback(&playback, &playlist, 0, 30);
    for (int64_t k : {0, 1, 2, 29, 30, 1000}) {
        followPlayback(&playback, &playlist, k);
        EXPECT_EQ(playback.frame, 1470 * k) << k;
    }

    clearPlaylist(&playlist);
    AudioSource first = fileOf(2205, 22050); // a tenth of a second: 3 frames
    AudioSource second = fileOf(48000, 48000);
    addPlaylistEntry(&playlist, "first", &first);
    addPlaylistEntry(&playlist, "second", &second);
    startPlayback(&playback, &playlist, 0, 30);
    const struct {
        int64_t k;
        int32_t entry;
        int64_t frame;
    } steps[] = {{1, 0, 735}, {2, 0, 1470}, {3, 1, 0}, {4, 1, 1600}, {32, 1, 46400}, {33, 0, 0}, {34, 0, 735}};
    for (const auto& step : steps) {
        followPlayback(&playback, &playlist, step.k);
        EXPECT_EQ(playback.entry, step.entry) << step.k;
        EXPECT_EQ(playback.frame, step.frame) << step.k;
    }
}

TEST(PlaybackClock, EntriesShorterThanAMillisecond) {
    clearPlaylist(&playlist);
    AudioSource tiny = fileOf(1, 44100);
    addPlaylistEntry(&playlist, "tiny", &tiny);
    addPlaylistEntry(&playlist, "tiny too", &tiny);
    Playback playback;
    startPlayback(&playback, &playlist, 0, 1000);
    followPlayback(&playback, &playlist, 1000001); // ends: a millisecond per entry at least
    EXPECT_GE(playback.entry, 0);
    EXPECT_LT(playback.entry, 2);
    EXPECT_EQ(playback.frame, 0);
}

// Seeded: entries of whole milliseconds, times moving forward by random
// steps: the entry and frame match a direct count through the cycle.
TEST(PlaybackClock, RandomTimesMatchADirectCount) {
    std::mt19937 random(99);
    for (int round = 0; round < 50; round++) {
        clearPlaylist(&playlist);
        int entries = 1 + (int)(random() % 5);
        int64_t lengthsMs[5];
        int64_t cycleMs = 0;
        for (int e = 0; e < entries; e++) {
            lengthsMs[e] = 1 + random() % 3000;
            int32_t rate = (int32_t)(1000 * (1 + random() % 48));
            AudioSource source = fileOf(lengthsMs[e] * rate / 1000, rate);
            addPlaylistEntry(&playlist, "e", &source);
            cycleMs += lengthsMs[e];
        }
        Playback playback;
        int64_t startMs = (int64_t)(random() % 100000);
        startPlayback(&playback, &playlist, startMs, 1000);
        int64_t nowMs = startMs;
        for (int step = 0; step < 40; step++) {
            nowMs += random() % 4000;
            followPlayback(&playback, &playlist, nowMs);
            int64_t within = (nowMs - startMs) % cycleMs;
            int entry = 0;
            while (within >= lengthsMs[entry]) {
                within -= lengthsMs[entry];
                entry++;
            }
            ASSERT_EQ(playback.entry, entry) << round << " " << step;
            ASSERT_EQ(playback.frame, within * playlist.entries[entry].source.sampleRate / 1000);
            ASSERT_LT(playback.frame, playlist.entries[entry].source.frameCount);
        }
    }
}
