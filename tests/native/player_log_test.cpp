// The run log and the whole-file reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include "audio/file_bytes.h"
#include "player/run_log.h"

namespace {

// A file name of its own in the temporary folder, removed by the test.
std::string tempPath(const char* name) {
    return std::string(P_tmpdir) + "/player_log_test_" + std::to_string(getpid()) + "_" + name;
}

std::string contents(const std::string& path) {
    FileBytes file;
    char error[200];
    if (!loadFileBytes(path.c_str(), &file, error, sizeof error)) {
        return std::string("unreadable: ") + error;
    }
    std::string text((const char*)file.bytes, file.size);
    releaseFileBytes(&file);
    return text;
}

} // namespace

TEST(RunLog, LinesAndRenderCounts) {
    std::string path = tempPath("run.log");
    RunLog log;
    ASSERT_TRUE(openRunLog(&log, path.c_str()));
    logLine(&log, "Init %d", 0);
    countRender(&log, 0);
    // Lines are flushed at once: a script reads them while the run goes on.
    EXPECT_EQ(contents(path), "Init 0\nRender 1 returned 0\n");
    countRender(&log, 0);
    logRenderSummary(&log);
    countRender(&log, 1);
    countRender(&log, 0);
    countRender(&log, 7);
    logRenderSummary(&log);
    logLine(&log, "Quit");
    closeRunLog(&log);
    EXPECT_EQ(contents(path), "Init 0\n"
                              "Render 1 returned 0\n"
                              "Render 2 returned 0\n"
                              "Render 2 calls: 2 returned 0\n"
                              "Render 3 returned 1\n"
                              "Render 4 returned 0\n"
                              "Render 5 returned 7\n"
                              "Render 5 calls: 3 returned 0, 2 returned non-zero (last 7)\n"
                              "Quit\n");
    EXPECT_EQ(log.renderCalls, 5);
    remove(path.c_str());
}

TEST(RunLog, WithoutAFileOnlyCounts) {
    RunLog log;
    ASSERT_TRUE(openRunLog(&log, nullptr));
    logLine(&log, "nowhere");
    countRender(&log, 0);
    countRender(&log, 3);
    logRenderSummary(&log);
    EXPECT_EQ(log.renderCalls, 2);
    EXPECT_EQ(log.renderZero, 1);
    EXPECT_EQ(log.renderNonZero, 1);
    EXPECT_EQ(log.lastNonZero, 3);
    closeRunLog(&log);

    RunLog unwritable;
    EXPECT_FALSE(openRunLog(&unwritable, "/nonexistent-folder/run.log"));
}

TEST(FileBytes, WholeFileLargerThanOnePiece) {
    std::string path = tempPath("big.bin");
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const size_t size = 200000; // more than three 64 KiB pieces
    for (size_t i = 0; i < size; i++) {
        fputc((int)(i * 7 % 251), out);
    }
    fclose(out);

    FileBytes file;
    char error[200];
    ASSERT_TRUE(loadFileBytes(path.c_str(), &file, error, sizeof error)) << error;
    ASSERT_EQ(file.size, size);
    bool same = true;
    for (size_t i = 0; i < size; i++) {
        same = same && file.bytes[i] == (uint8_t)(i * 7 % 251);
    }
    EXPECT_TRUE(same);
    releaseFileBytes(&file);
    EXPECT_EQ(file.bytes, nullptr);
    remove(path.c_str());
}

TEST(FileBytes, MissingFileSaysWhy) {
    FileBytes file;
    char error[200];
    EXPECT_FALSE(loadFileBytes("/nonexistent-folder/x.wav", &file, error, sizeof error));
    EXPECT_STREQ(error, "cannot open /nonexistent-folder/x.wav: No such file or directory");
    EXPECT_EQ(file.bytes, nullptr);
}
