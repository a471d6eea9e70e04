// Samples beyond full scale as a user meets them: counted exactly in the summary when an
// integer file has to clip them, kept as they are in a float file; and --output-gain, the
// usual way to make them.
#include "host/plugin_host.h"
#include "render/output_gain.h"
#include "shell/program_file.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;
constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

std::vector<float> readFrames(const std::string& path) {
    int format = 0, channels = 0, rate = 0;
    std::vector<float> frames;
    EXPECT_TRUE(readAudio(path, format, channels, rate, frames)) << path;
    return frames;
}

size_t overFullScale(const std::vector<float>& samples) {
    size_t count = 0;
    for (float sample : samples)
        count += std::fabs(sample) > 1.0f;
    return count;
}

double outputGainSaved(const std::string& programFile) {
    std::vector<uint8_t> chunk;
    std::string error;
    EXPECT_TRUE(extractStateChunk(fileBytes(programFile), true, ('t' << 24) | ('r' << 16) | ('w' << 8) | 'S',
                                  chunk, error))
        << error;
    double gain = -1;
    EXPECT_TRUE(readOutputGain(chunk, gain));
    return gain;
}

class Clipping : public ::testing::Test {
  protected:
    // A 0.5 sine with 13 left samples at 1.5 and 7 right ones at -3.0 (+9.54 dBFS), and one
    // sample on each side exactly at full scale, which every format holds.
    std::string inputWithOvers() {
        std::vector<float> frames(2 * 2000);
        for (size_t i = 0; i < 2000; ++i)
            frames[2 * i] = frames[2 * i + 1] = float(0.5 * std::sin(0.05 * double(i)));
        for (size_t i = 100; i < 113; ++i)
            frames[2 * i] = 1.5f;
        for (size_t i = 500; i < 507; ++i)
            frames[2 * i + 1] = -3.0f;
        frames[2 * 700] = 1.0f;
        frames[2 * 701 + 1] = -1.0f;
        const std::string path = dir.path("overs.wav");
        EXPECT_TRUE(writeAudio(path, kFloatWav, 2, kRate, frames));
        return path;
    }

    ToolResult render(const std::string& input, const std::string& output, std::vector<std::string> more) {
        std::vector<std::string> arguments = {input, output, "--plugin", FAKE_THROUGH_PATH};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return runRender(arguments);
    }

    ScratchDirectory dir;
};

TEST_F(Clipping, IntegerOutputsCountEverySampleBeyondFullScale) {
    const std::string input = inputWithOvers();
    const std::string line =
        "clipped  20 samples above full scale (up to +9.54 dBFS), written as full scale; "
        "--format :float or a lower --output-gain keeps them\n";
    for (const char* format : {"wav:16", "wav:24", "flac:16", "aiff:24"}) {
        SCOPED_TRACE(format);
        const ToolResult result = render(input, dir.path("out"), {"--format", format});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find(line), std::string::npos) << result.out;
        const std::vector<float> written = readFrames(dir.path("out"));
        ASSERT_EQ(written.size(), 4000u);
        EXPECT_EQ(overFullScale(written), 0u);
        EXPECT_GT(written[2 * 100], 0.9999f);
        EXPECT_EQ(written[2 * 500 + 1], -1.0f);
    }
}

TEST_F(Clipping, FloatOutputsKeepTheSamplesAndReportNoClipping) {
    const std::string input = inputWithOvers();
    for (const char* format : {"wav:float", "wav:double"}) {
        SCOPED_TRACE(format);
        const ToolResult result = render(input, dir.path("out.wav"), {"--format", format});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out.find("clipped"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("  output        3.52      9.54"), std::string::npos) << result.out;
        const std::vector<float> written = readFrames(dir.path("out.wav"));
        EXPECT_EQ(written, readFrames(input));
    }
}

TEST_F(Clipping, NothingIsReportedWhenNothingIsBeyondFullScale) {
    std::vector<float> frames(2 * 3000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = i % 7 == 0 ? (i % 2 ? -1.0f : 1.0f) : 0.25f;
    ASSERT_TRUE(writeAudio(dir.path("full.wav"), kFloatWav, 2, kRate, frames));
    const ToolResult result = render(dir.path("full.wav"), dir.path("out.wav"), {"--format", "wav:16"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.find("clipped"), std::string::npos) << result.out;
}

TEST_F(Clipping, TheCountIsWhatTheFloatRenderOfTheSameSettingsHasBeyondFullScale) {
    std::vector<float> left, right;
    generateTestSignal(left, right, kRate, kRate);
    std::vector<float> frames(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = left[i];
        frames[2 * i + 1] = right[i];
    }
    ASSERT_TRUE(writeAudio(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, kRate, frames));
    auto tarnwell = [&](const std::string& output, const std::string& format) {
        return runRender({dir.path("in.wav"), dir.path(output), "--plugin", TARNWELL_PLUGIN_PATH, "--format",
                          format, "--set", "2-Thresh=-30", "--set", "3-Gain=6", "--output-gain", "12"});
    };
    ASSERT_EQ(tarnwell("float.wav", "wav:float").exitCode, 0);
    const size_t overs = overFullScale(readFrames(dir.path("float.wav")));
    ASSERT_GT(overs, 100u) << "the settings should drive the output well beyond full scale";
    for (const char* format : {"wav:24", "wav:16"}) {
        const ToolResult result = tarnwell("int.wav", format);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find("clipped  " + std::to_string(overs) + " samples above full scale"),
                  std::string::npos)
            << result.out;
    }
}

TEST_F(Clipping, OutputGainScalesTheOutputAndComesAfterTheLoadedState) {
    std::vector<float> left, right;
    generateTestSignal(left, right, kRate / 2, kRate);
    std::vector<float> frames(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = left[i];
        frames[2 * i + 1] = right[i];
    }
    ASSERT_TRUE(writeAudio(dir.path("in.wav"), kFloatWav, 2, kRate, frames));
    auto tarnwell = [&](const std::string& name, std::vector<std::string> more) {
        std::vector<std::string> arguments = {dir.path("in.wav"),
                                              dir.path(name + ".wav"),
                                              "--plugin",
                                              TARNWELL_PLUGIN_PATH,
                                              "--set",
                                              "1-Thresh=-30",
                                              "--save-state",
                                              dir.path(name + ".fxp")};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const ToolResult result = runRender(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result;
    };
    tarnwell("plain", {});
    const ToolResult lowered = tarnwell("lowered", {"--output-gain", "-6"});
    EXPECT_NE(lowered.out.find("set      output gain = -6.00 dB"), std::string::npos) << lowered.out;
    EXPECT_EQ(outputGainSaved(dir.path("plain.fxp")), 1.0);
    const double gain = outputGainSaved(dir.path("lowered.fxp"));
    EXPECT_DOUBLE_EQ(gain, std::pow(10.0, -0.3));
    const std::vector<float> plain = readFrames(dir.path("plain.wav")),
                             quieter = readFrames(dir.path("lowered.wav"));
    ASSERT_EQ(plain.size(), quieter.size());
    // The bands are summed in float before and after the gain, so the two differ by roundings
    // of samples that reach about 2.
    double worst = 0;
    for (size_t i = 0; i < plain.size(); ++i)
        worst = std::max(worst, std::fabs(quieter[i] - gain * plain[i]));
    EXPECT_LT(worst, 1e-6);

    // The loaded state brings its gain; --output-gain replaces it, whatever the order on the line.
    tarnwell("loaded", {"--load-state", dir.path("lowered.fxp")});
    EXPECT_EQ(outputGainSaved(dir.path("loaded.fxp")), gain);
    EXPECT_EQ(readFrames(dir.path("loaded.wav")), quieter);
    tarnwell("raised", {"--output-gain", "3", "--load-state", dir.path("lowered.fxp")});
    EXPECT_DOUBLE_EQ(outputGainSaved(dir.path("raised.fxp")), std::pow(10.0, 0.15));

    // A plug-in whose state has no such field cannot take it.
    const ToolResult refused = runRender(
        {dir.path("in.wav"), dir.path("fake.wav"), "--plugin", FAKE_THROUGH_PATH, "--output-gain", "1"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("the plug-in's state holds no output gain to set"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fileExists(dir.path("fake.wav")));
}

} // namespace
