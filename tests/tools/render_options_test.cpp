// The command line: what a valid one sets, and the one-line reason for each invalid one.
#include "render/render_options.h"

#include <gtest/gtest.h>

namespace {

TEST(RenderArguments, EveryOptionInBothSpellings) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(parseRenderArguments({"in.wav", "--plugin", "p.so", "--set", "2-Thresh=-24",
                                      "--set=4-Ratio=3", "--block=64", "out.flac", "--format", "flac:16",
                                      "--load-state", "a.fxp", "--save-state=b.fxp", "--plot", "run.png",
                                      "--plot-size", "800x400", "--quiet", "--list"},
                                     options, error))
        << error;
    EXPECT_EQ(options.inputPath, "in.wav");
    EXPECT_EQ(options.outputPath, "out.flac");
    EXPECT_EQ(options.pluginPath, "p.so");
    EXPECT_EQ(options.settings, (std::vector<std::string>{"2-Thresh=-24", "4-Ratio=3"}));
    EXPECT_EQ(options.blockSize, 64);
    EXPECT_EQ(options.format, "flac:16");
    EXPECT_EQ(options.loadStatePath, "a.fxp");
    EXPECT_EQ(options.saveStatePath, "b.fxp");
    EXPECT_EQ(options.plotPath, "run.png");
    EXPECT_EQ(options.plotWidth, 800);
    EXPECT_EQ(options.plotHeight, 400);
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.listParameters);
}

TEST(RenderArguments, DefaultsAndRunsWithoutAudio) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(parseRenderArguments({"a.wav", "b.wav"}, options, error));
    EXPECT_EQ(options.blockSize, 512);
    EXPECT_EQ(options.plotWidth, 1200);
    EXPECT_EQ(options.plotHeight, 600);
    EXPECT_TRUE(options.pluginPath.empty());

    RenderOptions listing;
    EXPECT_TRUE(parseRenderArguments({"--list"}, listing, error));
    EXPECT_TRUE(listing.inputPath.empty());
    RenderOptions saving;
    EXPECT_TRUE(parseRenderArguments({"--set", "1-Gain=3", "--save-state", "x.fxp"}, saving, error));

    RenderOptions help;
    EXPECT_TRUE(parseRenderArguments({"a.wav", "--help", "--bogus"}, help, error));
    EXPECT_TRUE(help.showHelp);
}

TEST(RenderArguments, ABatchTakesEveryFileAsAnInput) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(parseRenderArguments(
        {"--out-dir", "done", "a.wav", "-j", "3", "b.flac", "--output-gain", "-4.5", "c.aiff"}, options,
        error))
        << error;
    EXPECT_EQ(options.outputFolder, "done");
    EXPECT_EQ(options.batchInputs, (std::vector<std::string>{"a.wav", "b.flac", "c.aiff"}));
    EXPECT_TRUE(options.inputPath.empty());
    EXPECT_EQ(options.jobs, 3);
    EXPECT_TRUE(options.hasOutputGain);
    EXPECT_EQ(options.outputGainDb, -4.5);

    RenderOptions spelled;
    ASSERT_TRUE(parseRenderArguments({"-j12", "--out-dir=x", "one.wav", "--jobs=2"}, spelled, error))
        << error;
    EXPECT_EQ(spelled.jobs, 2);
    EXPECT_EQ(spelled.batchInputs, (std::vector<std::string>{"one.wav"}));

    RenderOptions defaults;
    ASSERT_TRUE(parseRenderArguments({"a.wav", "b.wav", "--output-gain=12"}, defaults, error)) << error;
    EXPECT_EQ(defaults.jobs, 0);
    EXPECT_EQ(defaults.outputGainDb, 12.0);
    EXPECT_TRUE(defaults.outputFolder.empty());
}

TEST(RenderArguments, MalformedLinesAreRefusedWithTheReason) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "missing INPUT and OUTPUT files"},
        {{"a.wav"}, "missing OUTPUT file after a.wav"},
        {{"a.wav", "b.wav", "c.wav"}, "too many file arguments (c.wav)"},
        {{"a.wav", "b.wav", "-x"}, "unknown option -x"},
        {{"a.wav", "b.wav", "--volume", "3"}, "unknown option --volume"},
        {{"a.wav", "b.wav", "--set"}, "--set needs a value"},
        {{"a.wav", "b.wav", "--plugin="}, "--plugin needs a value"},
        {{"a.wav", "b.wav", "--quiet=yes"}, "--quiet takes no value"},
        {{"a.wav", "b.wav", "--block", "0"},
         "--block 0: expected a whole number of frames from 1 to 1048576"},
        {{"a.wav", "b.wav", "--block", "12k"},
         "--block 12k: expected a whole number of frames from 1 to 1048576"},
        {{"a.wav", "b.wav", "--plot-size", "800"},
         "--plot-size 800: expected WIDTHxHEIGHT, at least 320x240 and at most 8192x8192"},
        {{"a.wav", "b.wav", "--plot-size", "100x100"},
         "--plot-size 100x100: expected WIDTHxHEIGHT, at least 320x240 and at most 8192x8192"},
        {{"--list", "--plot", "p.png"}, "--plot and --format need INPUT and OUTPUT files"},
        {{"a.wav", "b.wav", "--output-gain", "loud"},
         "--output-gain loud: expected a gain in dB from -120 to 120"},
        {{"a.wav", "b.wav", "--output-gain", "121"},
         "--output-gain 121: expected a gain in dB from -120 to 120"},
        {{"a.wav", "b.wav", "--output-gain", "nan"},
         "--output-gain nan: expected a gain in dB from -120 to 120"},
        {{"a.wav", "b.wav", "-j", "2"}, "-j needs --out-dir"},
        {{"--out-dir", "d", "a.wav", "-j0"}, "-j 0: expected a whole number of workers from 1 to 256"},
        {{"--out-dir", "d", "a.wav", "-j"}, "--jobs needs a value"},
        {{"--out-dir", "d", "--list"}, "--out-dir needs INPUT files"},
        {{"--out-dir", "d", "a.wav", "--plot", "p.png"},
         "--plot, --save-state and --save-preset belong to a single INPUT OUTPUT render, not to --out-dir"},
        {{"--out-dir", "d", "a.wav", "--save-preset", "Mine"},
         "--plot, --save-state and --save-preset belong to a single INPUT OUTPUT render, not to --out-dir"},
        {{"--preset"}, "--preset needs a value"},
        {{"--list-presets=yes"}, "--list-presets takes no value"},
    };
    for (const auto& [arguments, message] : cases) {
        RenderOptions options;
        std::string error;
        EXPECT_FALSE(parseRenderArguments(arguments, options, error)) << message;
        EXPECT_EQ(error, message);
    }
}

} // namespace
