// raysphere's command line: what each option sets, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "app/options.h"

namespace {

// Parses `args` (without the program's name).
AppOptionsStatus parse(std::vector<const char*> args, AppOptions* options, std::string* error) {
    args.insert(args.begin(), "raysphere");
    char text[512];
    AppOptionsStatus status =
        parseAppOptions((int)args.size(), const_cast<char**>(args.data()), options, text, sizeof text);
    *error = text;
    return status;
}

} // namespace

TEST(AppOptions, EachOptionSetsItsField) {
    AppOptions options;
    std::string error;
    ASSERT_EQ(parse({}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_EQ(options.fps, 60);
    EXPECT_EQ(options.fileCount, 0);
    EXPECT_EQ(options.frameWidth, 0);
    EXPECT_EQ(options.windowWidth, 640);
    EXPECT_EQ(options.windowHeight, 400);

    ASSERT_EQ(parse({"--fps",
                     "75",
                     "--frames",
                     "9",
                     "--screenshot",
                     "s.png",
                     "--write-waveform",
                     "w.raw",
                     "--size",
                     "1280x720",
                     "--threads",
                     "3",
                     "--window",
                     "800X500",
                     "--headless",
                     "--fullscreen",
                     "-v",
                     "a.flac",
                     "--",
                     "--odd name.wav"},
                    &options, &error),
              APP_OPTIONS_RUN)
        << error;
    EXPECT_EQ(options.fps, 75);
    EXPECT_EQ(options.frames, 9);
    EXPECT_STREQ(options.screenshotPath, "s.png");
    EXPECT_STREQ(options.writeWaveformPath, "w.raw");
    EXPECT_EQ(options.waveformPath, nullptr);
    EXPECT_EQ(options.frameWidth, 1280);
    EXPECT_EQ(options.frameHeight, 720);
    EXPECT_EQ(options.threads, 3);
    EXPECT_EQ(options.windowWidth, 800);
    EXPECT_EQ(options.windowHeight, 500);
    EXPECT_TRUE(options.headless && options.fullscreen && options.verbose);
    ASSERT_EQ(options.fileCount, 2);
    EXPECT_STREQ(options.files[0], "a.flac");
    EXPECT_STREQ(options.files[1], "--odd name.wav");

    ASSERT_EQ(parse({"--capture"}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_TRUE(options.capture);
    EXPECT_EQ(options.captureDevice, nullptr);
    ASSERT_EQ(parse({"--capture=alsa_input.usb"}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_STREQ(options.captureDevice, "alsa_input.usb");
    ASSERT_EQ(parse({"--waveform", "blocks.raw"}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_STREQ(options.waveformPath, "blocks.raw");
    EXPECT_EQ(parse({"--list-sources"}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_TRUE(options.listSources);
    EXPECT_EQ(parse({"a.wav", "--help"}, &options, &error), APP_OPTIONS_HELP);
    EXPECT_EQ(parse({"--fps", "30", "--version", "a.wav"}, &options, &error), APP_OPTIONS_VERSION);
    EXPECT_EQ(parse({"--", "--version"}, &options, &error), APP_OPTIONS_RUN);       // a file of that name
    EXPECT_EQ(parse({"--fps", "0", "--help"}, &options, &error), APP_OPTIONS_HELP); // help wins over a mistake
    EXPECT_NE(std::string(APP_USAGE).find("--version"), std::string::npos);
    // --threads 0 is one a core, as in --video; --force lets outputs replace files of another kind
    ASSERT_EQ(parse({"--threads", "0", "--size", "64x64", "--force"}, &options, &error), APP_OPTIONS_RUN) << error;
    EXPECT_EQ(options.threads, 0);
    EXPECT_TRUE(options.force);

    // --size window follows the window, takes --threads, and the last --size given holds
    ASSERT_EQ(parse({"--size", "640x360", "--size", "window", "--threads", "2"}, &options, &error), APP_OPTIONS_RUN)
        << error;
    EXPECT_TRUE(options.windowSized);
    EXPECT_EQ(options.frameWidth, 0);
    EXPECT_EQ(options.threads, 2);
    ASSERT_EQ(parse({"--size", "window", "--size", "64x48"}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_FALSE(options.windowSized);
    EXPECT_EQ(options.frameWidth, 64);
    EXPECT_EQ(parse({"--size", "windows"}, &options, &error), APP_OPTIONS_ERROR);
}

TEST(AppOptions, RefusesWhatCannotWork) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--fps", "0"}, "--fps needs a whole number from 1 to 1000, not '0'"},
        {{"--fps", "60x"}, "--fps needs a whole number from 1 to 1000, not '60x'"},
        {{"--frames"}, "--frames needs a whole number from 1 to 1000000000, not ''"},
        {{"--size", "1x200"}, "--size needs WxH with W and H from 2 to 8192, or window, not '1x200'"},
        {{"--size", "8193x2"}, "--size needs WxH with W and H from 2 to 8192, or window, not '8193x2'"},
        {{"--size", "640x"}, "--size needs WxH with W and H from 2 to 8192, or window, not '640x'"},
        {{"--threads", "65", "--size", "64x64"}, "--threads needs a whole number from 0 to 64, not '65'"},
        {{"--threads", "2"}, "--threads works with --size only: the plug-in's frame is traced on one"},
        {{"--window", "0x0"}, "--window needs a size such as 640x400, not '0x0'"},
        {{"--capture="}, "--capture= needs a SOURCE after the '='"},
        {{"--screenshot"}, "--screenshot needs a FILE"},
        {{"--capture", "a.wav"}, "choose one of FILE..., --capture and --waveform"},
        {{"--waveform", "b.raw", "--capture"}, "choose one of FILE..., --capture and --waveform"},
        {{"--loud"}, "unknown option --loud"},
        {{"--fps", "+60"}, "--fps needs a whole number from 1 to 1000, not '+60'"},
        {{"--fps", " 60"}, "--fps needs a whole number from 1 to 1000, not ' 60'"},
        {{"--window", "640x+400"}, "--window needs a size such as 640x400, not '640x+400'"},
    };
    for (const Case& c : cases) {
        AppOptions options;
        std::string error;
        EXPECT_EQ(parse(c.args, &options, &error), APP_OPTIONS_ERROR) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

TEST(AppOptions, Scenes) {
    AppOptions options;
    std::string error;
    ASSERT_EQ(parse({}, &options, &error), APP_OPTIONS_RUN);
    EXPECT_EQ(options.scene, nullptr);
    EXPECT_EQ(options.cycleSeconds, 0);
    ASSERT_EQ(parse({"--scene", "glass", "--cycle", "30", "--list-scenes"}, &options, &error), APP_OPTIONS_RUN)
        << error;
    EXPECT_STREQ(options.scene, "glass");
    EXPECT_EQ(options.cycleSeconds, 30);
    EXPECT_TRUE(options.listScenes);
    EXPECT_EQ(parse({"--scene"}, &options, &error), APP_OPTIONS_ERROR);
    EXPECT_NE(error.find("--scene needs"), std::string::npos) << error;
    for (const char* bad : {"0", "86401", "x", "-1"}) {
        EXPECT_EQ(parse({"--cycle", bad}, &options, &error), APP_OPTIONS_ERROR) << bad;
        EXPECT_NE(error.find("--cycle needs"), std::string::npos) << error;
    }
    EXPECT_NE(std::string(APP_USAGE).find("--list-scenes"), std::string::npos);
    EXPECT_NE(std::string(APP_USAGE).find("PageDown"), std::string::npos);
}
