// tarnwell-render --out-dir as a user runs it over a folder: the same bits as rendering each
// file alone, failing files reported without stopping the others or leaving anything behind,
// clashing names refused up front, and Ctrl-C.
#include "host/plugin_host.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

constexpr int kRate = 44100;

const std::vector<std::string> kSettings = {
    "--plugin", TARNWELL_PLUGIN_PATH, "--set",         "1-Thresh=-30", "--set", "3-Thresh=-36",
    "--set",    "4-Ratio=8",          "--output-gain", "2.5"};

class Batch : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir.path("in"));
        std::filesystem::create_directory(dir.path("out"));
    }

    std::string input(const std::string& name, int format, int channels, double seconds) {
        std::vector<float> left, right;
        generateTestSignal(left, right, int(seconds * kRate), kRate);
        std::vector<float> frames;
        for (size_t i = 0; i < left.size(); ++i) {
            frames.push_back(left[i]);
            if (channels == 2)
                frames.push_back(right[i]);
        }
        const std::string path = dir.path("in/" + name);
        EXPECT_TRUE(writeAudio(path, format, channels, kRate, frames));
        return path;
    }

    ToolResult batch(const std::vector<std::string>& inputs, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"--out-dir", dir.path("out")};
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        return runRender(arguments);
    }

    std::vector<std::string> outputs() {
        std::vector<std::string> names = folderEntries(dir.path("out"));
        std::sort(names.begin(), names.end());
        return names;
    }

    // The table line of one input.
    static std::string lineOf(const ToolResult& result, const std::string& input) {
        const size_t at = result.out.find("\n" + input + " ");
        return at == std::string::npos ? ""
                                       : result.out.substr(at + 1, result.out.find('\n', at + 1) - at - 1);
    }

    ScratchDirectory dir;
};

TEST_F(Batch, EveryFileHasTheBitsItsOwnRenderGives) {
    const std::vector<std::string> inputs = {
        input("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 1.3),
        input("mono.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 0.7),
        input("float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 2.1),
        input("short.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 0.01),
    };
    std::filesystem::create_directory(dir.path("alone"));
    for (const std::string& path : inputs) {
        std::vector<std::string> arguments = {path, dir.path("alone/" + path.substr(path.rfind('/') + 1))};
        arguments.insert(arguments.end(), kSettings.begin(), kSettings.end());
        ASSERT_EQ(runRender(arguments).exitCode, 0);
    }
    for (const char* jobs : {"-j3", "-j1"}) {
        SCOPED_TRACE(jobs);
        std::vector<std::string> more = kSettings;
        more.push_back(jobs);
        const ToolResult result = batch(inputs, more);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(outputs(), (std::vector<std::string>{"float.wav", "long.wav", "mono.aiff", "short.flac"}));
        for (const std::string& path : inputs) {
            const std::string name = path.substr(path.rfind('/') + 1);
            SCOPED_TRACE(name);
            EXPECT_EQ(fileBytes(dir.path("out/" + name)), fileBytes(dir.path("alone/" + name)));
            EXPECT_NE(lineOf(result, path).find("  ok"), std::string::npos) << result.out;
        }
        EXPECT_NE(result.out.find("4 of 4 files rendered, 0 failed"), std::string::npos) << result.out;
        EXPECT_NE(lineOf(result, inputs[0]).find("0:01.300"), std::string::npos) << result.out;
    }
}

TEST_F(Batch, FailingFilesAreReportedAndLeaveNothingBehind) {
    const std::string good = input("good.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 1.0);
    const std::string missing = dir.path("in/missing.wav");
    // A file cut to half of what its header promises fails only once its end is reached.
    const std::string whole = input("damaged.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 1.0);
    const std::vector<unsigned char> bytes = fileBytes(whole);
    writeBytes(whole, std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
    const std::string locked = input("locked.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 0.5);
    writeBytes(dir.path("out/locked.wav"), {'k', 'e', 'e', 'p'});
    ASSERT_EQ(chmod(dir.path("out/locked.wav").c_str(), 0444), 0);

    std::vector<std::string> more = kSettings;
    more.push_back("-j2");
    const ToolResult result = batch({good, missing, whole, locked}, more);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tarnwell-render: 3 of 4 files failed\n");
    EXPECT_NE(lineOf(result, good).find("  ok"), std::string::npos) << result.out;
    EXPECT_NE(lineOf(result, missing).find("failed: cannot read " + missing), std::string::npos)
        << result.out;
    EXPECT_NE(lineOf(result, whole).find("failed: " + whole + " ends after 0.500 s"), std::string::npos)
        << result.out;
    EXPECT_NE(lineOf(result, locked).find("failed: cannot write " + dir.path("out/locked.wav")),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("1 of 4 files rendered, 3 failed"), std::string::npos) << result.out;

    EXPECT_EQ(outputs(), (std::vector<std::string>{"good.wav", "locked.wav"}));
    EXPECT_EQ(fileBytes(dir.path("out/locked.wav")), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
    int format = 0, channels = 0, rate = 0;
    std::vector<float> samples;
    ASSERT_TRUE(readAudio(dir.path("out/good.wav"), format, channels, rate, samples));
    EXPECT_EQ(samples.size(), 2u * kRate);
}

TEST_F(Batch, ClashingNamesAreRefusedBeforeAnythingIsWritten) {
    std::filesystem::create_directory(dir.path("in/other"));
    const std::string first = input("take.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 0.1);
    const std::string second = input("other/take.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 0.1);
    const std::string third = input("third.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 0.1);
    const ToolResult result = batch({third, first, second}, kSettings);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tarnwell-render: " + first + " and " + second + " would both be written to " +
                              dir.path("out") + "/take.wav; rename one or render them separately\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(outputs().empty());

    // A setting the plug-in does not know stops the batch before any file starts, too.
    const ToolResult unknown = batch({third}, {"--plugin", TARNWELL_PLUGIN_PATH, "--set", "9-Thresh=-3"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(outputs().empty());
}

TEST_F(Batch, AnInterruptStopsEveryFileAndLeavesNoTemporary) {
    // Ten seconds through the slow plug-in take two seconds at least; the signal comes at once.
    std::vector<std::string> inputs;
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        inputs.push_back(input(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 10.0));
    std::vector<std::string> arguments = {"--out-dir", dir.path("out"), "--plugin", FAKE_SLOW_PATH, "-j",
                                          "2"};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    RunningRender render(arguments);
    ASSERT_TRUE(render.started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (outputs().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(outputs().size(), 2u) << "two files under way";
    render.signal(SIGINT);
    const ToolResult result = render.finish();
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tarnwell-render: interrupted; the files not finished were not written\n");
    EXPECT_TRUE(outputs().empty());
    EXPECT_NE(lineOf(result, inputs[0]).find("failed: interrupted; no file was written"), std::string::npos)
        << result.out;
    EXPECT_NE(lineOf(result, inputs[2]).find("not started (interrupted)"), std::string::npos) << result.out;
}

} // namespace
