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

    EXPECT_EQ(p.options.module, 0);

    Parsed seconds = parse({"--seconds", "5", "--config", "p.dll", "--module", "7"});
    ASSERT_EQ(seconds.status, OPTIONS_RUN) << seconds.error;
    EXPECT_EQ(seconds.options.seconds, 5);
    EXPECT_TRUE(seconds.options.config);
    EXPECT_EQ(seconds.options.module, 7);
}

TEST(PlayerOptions, HelpWinsAnywhere) {
    EXPECT_EQ(parse({"--help"}).status, OPTIONS_HELP);
    EXPECT_EQ(parse({"p.dll", "--frames", "3", "-h"}).status, OPTIONS_HELP);
    EXPECT_EQ(parse({"p.dll", "--version"}).status, OPTIONS_VERSION);
    EXPECT_EQ(parse({"--version"}).status, OPTIONS_VERSION); // no plug-in needed
    EXPECT_NE(std::string(PLAYER_USAGE).find("--waveform FILE"), std::string::npos);
}

TEST(PlayerOptions, BadNumbersAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {"p.dll", "--frames", "0"},      {"p.dll", "--frames", "-3"},
        {"p.dll", "--frames", "12x"},    {"p.dll", "--frames", ""},
        {"p.dll", "--frames"},           {"p.dll", "--seconds", "1.5"},
        {"p.dll", "--delay", "-1"},      {"p.dll", "--delay", "10001"},
        {"p.dll", "--module", "-1"},     {"p.dll", "--frames", "99999999999999999999"},
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

TEST(PlayerOptions, DesktopSize) {
    Parsed p = parse({"--desktop", "640x480", "p.dll"});
    ASSERT_EQ(p.status, OPTIONS_RUN) << p.error;
    EXPECT_EQ(p.options.desktopWidth, 640);
    EXPECT_EQ(p.options.desktopHeight, 480);
    EXPECT_EQ(p.options.desktopArgument, 1);
    EXPECT_EQ(parse({"p.dll"}).options.desktopArgument, 0);

    for (const char* bad : {"640", "640x", "x480", "640x480x", "319x480", "640x199", "640 x480", "-640x480"}) {
        Parsed refused = parse({"p.dll", "--desktop", bad});
        EXPECT_EQ(refused.status, OPTIONS_ERROR) << bad;
        EXPECT_EQ(refused.error, "--desktop needs a size WxH, from 320x200 to 16384x16384") << bad;
    }
    Parsed twice = parse({"p.dll", "--desktop", "640x480", "--desktop", "800x600"});
    EXPECT_EQ(twice.status, OPTIONS_ERROR);
    EXPECT_EQ(twice.error, "--desktop is given twice");
}

namespace {

// The C runtime's reading of a Windows command line into arguments.
std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            i++;
        }
        if (i == line.size()) {
            break;
        }
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                backslashes++;
                i++;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                i++;
            } else {
                arg.append(backslashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
                    arg += line[i++];
                }
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::string childLine(std::vector<const char*> args) {
    args.insert(args.begin(), "C:\\Program Files\\vis_player.exe");
    PlayerOptions options;
    char error[200];
    EXPECT_EQ(parseOptions((int)args.size(), args.data(), &options, error, sizeof error), OPTIONS_RUN) << error;
    char line[4096];
    EXPECT_TRUE(commandLineWithoutDesktop((int)args.size(), args.data(), &options, line, sizeof line));
    return line;
}

} // namespace

TEST(PlayerOptions, ChildCommandLineDropsTheDesktopAndQuotesEachArgument) {
    EXPECT_EQ(childLine({"--desktop", "640x480", "--frames", "3", "p.dll"}),
              "\"C:\\Program Files\\vis_player.exe\" \"--frames\" \"3\" \"p.dll\"");
    // A file that happens to be called --desktop stays.
    EXPECT_EQ(childLine({"--log", "--desktop", "p.dll", "--desktop", "800x600"}),
              "\"C:\\Program Files\\vis_player.exe\" \"--log\" \"--desktop\" \"p.dll\"");
    EXPECT_EQ(childLine({"p.dll", "a \"b\".wav", "Z:\\dir\\", "x\\\\\"y"}),
              "\"C:\\Program Files\\vis_player.exe\" \"p.dll\" \"a \\\"b\\\".wav\" \"Z:\\dir\\\\\" \"x\\\\\\\\\\\"y\"");

    // Seeded: arguments of spaces, quotes, backslashes and letters read back unchanged.
    uint32_t seed = 12345;
    const char alphabet[] = " \"\\\tab";
    for (int trial = 0; trial < 500; trial++) {
        std::vector<std::string> texts = {"p.dll"};
        for (int n = 0; n < 3; n++) {
            std::string text;
            seed = seed * 1664525u + 1013904223u;
            int length = (int)(seed >> 28);
            for (int c = 0; c < length; c++) {
                seed = seed * 1664525u + 1013904223u;
                text += alphabet[(seed >> 24) % (sizeof alphabet - 1)];
            }
            texts.push_back(text.empty() || text[0] == '-' ? "x" + text : text);
        }
        std::vector<const char*> args;
        for (const std::string& text : texts) {
            args.push_back(text.c_str());
        }
        std::vector<std::string> back = splitCommandLine(childLine(args));
        ASSERT_EQ(back.size(), texts.size() + 1) << "trial " << trial;
        for (size_t i = 0; i < texts.size(); i++) {
            ASSERT_EQ(back[i + 1], texts[i]) << "trial " << trial;
        }
    }

    // Too long for the buffer: refused, not cut.
    std::vector<const char*> args = {"vis_player.exe", "p.dll"};
    PlayerOptions options;
    char error[200];
    ASSERT_EQ(parseOptions(2, args.data(), &options, error, sizeof error), OPTIONS_RUN);
    char small[20];
    EXPECT_FALSE(commandLineWithoutDesktop(2, args.data(), &options, small, sizeof small));
}
