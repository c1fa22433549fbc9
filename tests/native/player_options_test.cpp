// The host program's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "player/options.h"

namespace {

struct Parsed {
    OptionsStatus status;
    PlayerOptions options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vis_player.exe");
    Parsed parsed;
    char error[200];
    parsed.status = parseOptions((int)args.size(), args.data(), &parsed.options, error, sizeof error);
    parsed.error = error;
    return parsed;
}

} // namespace

TEST(PlayerOptions, PluginAloneTakesTheDefaults) {
    Parsed p = parse({"vis_raysphere.dll"});
    ASSERT_EQ(p.status, OPTIONS_RUN) << p.error;
    EXPECT_STREQ(p.options.pluginPath, "vis_raysphere.dll");
    EXPECT_EQ(p.options.audioCount, 0);
    EXPECT_EQ(p.options.frames, 0);
    EXPECT_EQ(p.options.seconds, 0);
    EXPECT_EQ(p.options.holdSeconds, 0);
    EXPECT_EQ(p.options.delayMs, -1);
    EXPECT_EQ(p.options.waveformPath, nullptr);
    EXPECT_EQ(p.options.logPath, nullptr);
    EXPECT_FALSE(p.options.config);
    EXPECT_FALSE(p.options.sound);
}

TEST(PlayerOptions, EveryOptionInAnyOrder) {
    Parsed p = parse({"--frames", "120", "--log", "run.log", "p.dll", "a.wav", "--waveform", "w.raw", "--hold", "30",
                      "b.wav", "--delay", "0", "--sound"});
    ASSERT_EQ(p.status, OPTIONS_RUN) << p.error;
    EXPECT_STREQ(p.options.pluginPath, "p.dll");
    ASSERT_EQ(p.options.audioCount, 2);
    EXPECT_STREQ(p.options.audioPaths[0], "a.wav");
    EXPECT_STREQ(p.options.audioPaths[1], "b.wav");
    EXPECT_EQ(p.options.frames, 120);
    EXPECT_EQ(p.options.holdSeconds, 30);
    EXPECT_EQ(p.options.delayMs, 0);
    EXPECT_STREQ(p.options.waveformPath, "w.raw");
    EXPECT_STREQ(p.options.logPath, "run.log");
    EXPECT_TRUE(p.options.sound);

    Parsed seconds = parse({"--seconds", "5", "--config", "p.dll"});
    ASSERT_EQ(seconds.status, OPTIONS_RUN) << seconds.error;
    EXPECT_EQ(seconds.options.seconds, 5);
    EXPECT_TRUE(seconds.options.config);
}

TEST(PlayerOptions, HelpWinsAnywhere) {
    EXPECT_EQ(parse({"--help"}).status, OPTIONS_HELP);
    EXPECT_EQ(parse({"p.dll", "--frames", "3", "-h"}).status, OPTIONS_HELP);
    EXPECT_NE(std::string(PLAYER_USAGE).find("--waveform FILE"), std::string::npos);
}

TEST(PlayerOptions, BadNumbersAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {"p.dll", "--frames", "0"},      {"p.dll", "--frames", "-3"},   {"p.dll", "--frames", "12x"},
        {"p.dll", "--frames", ""},       {"p.dll", "--frames"},         {"p.dll", "--seconds", "1.5"},
        {"p.dll", "--delay", "-1"},      {"p.dll", "--delay", "10001"}, {"p.dll", "--frames", "99999999999999999999"},
        {"p.dll", "--frames", "--hold"},
    };
    for (const auto& args : bad) {
        Parsed p = parse(args);
        EXPECT_EQ(p.status, OPTIONS_ERROR) << args.back();
        EXPECT_NE(p.error.find("needs a whole number"), std::string::npos) << p.error;
    }
    EXPECT_EQ(parse({"p.dll", "--frames", "1000000000"}).options.frames, 1000000000);
}

TEST(PlayerOptions, MistakesAreNamed) {
    Parsed unknown = parse({"p.dll", "--fast"});
    EXPECT_EQ(unknown.status, OPTIONS_ERROR);
    EXPECT_EQ(unknown.error, "unknown option --fast");

    Parsed noPlugin = parse({"--frames", "3"});
    EXPECT_EQ(noPlugin.status, OPTIONS_ERROR);
    EXPECT_EQ(noPlugin.error, "no plug-in DLL named");

    Parsed noFile = parse({"p.dll", "--log"});
    EXPECT_EQ(noFile.status, OPTIONS_ERROR);
    EXPECT_EQ(noFile.error, "--log needs a file name");

    Parsed both = parse({"p.dll", "--frames", "3", "--seconds", "3"});
    EXPECT_EQ(both.status, OPTIONS_ERROR);
    EXPECT_EQ(both.error, "--frames and --seconds exclude each other");

    Parsed hold = parse({"p.dll", "--hold", "3"});
    EXPECT_EQ(hold.status, OPTIONS_ERROR);
    EXPECT_EQ(hold.error, "--hold needs --frames or --seconds");
}

TEST(PlayerOptions, AudioFileLimit) {
    std::vector<const char*> args = {"p.dll"};
    for (int i = 0; i < PLAYLIST_MAX_ENTRIES; i++) {
        args.push_back("song.wav");
    }
    EXPECT_EQ(parse(args).status, OPTIONS_RUN);
    args.push_back("one-more.wav");
    Parsed p = parse(args);
    EXPECT_EQ(p.status, OPTIONS_ERROR);
    EXPECT_EQ(p.error, "at most 32 audio files");
}
