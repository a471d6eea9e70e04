// tarnwell-render as a user runs it: its output against the plug-in driven directly, its
// state files, its exit codes and messages, and what it leaves on disk when it fails.
#include "host/plugin_host.h"
#include "render/program_file.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include <cstring>
#include <set>

namespace {

constexpr int kRate = 44100;
constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

std::vector<float> interleave(const std::vector<float>& left, const std::vector<float>& right) {
    std::vector<float> frames(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = left[i];
        frames[2 * i + 1] = right[i];
    }
    return frames;
}

// The host's side done by hand: a fresh instance, the state chunk, the sample rate, resume,
// then processReplacing in blocks.
std::vector<float> processDirectly(const std::vector<float>& left, const std::vector<float>& right,
                                   std::vector<uint8_t> chunk, int blockSize) {
    PluginLibrary library;
    std::string error;
    if (!loadPluginLibrary(TARNWELL_PLUGIN_PATH, library, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    AEffect* effect = library.entry(quietHostCallback);
    effect->dispatcher(effect, effSetChunk, 0, intptr_t(chunk.size()), chunk.data(), 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<float> outLeft(left.size()), outRight(right.size());
    processStereo(effect, left.data(), right.data(), outLeft.data(), outRight.data(), int(left.size()),
                  blockSize);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    unloadPluginLibrary(library);
    return interleave(outLeft, outRight);
}

std::vector<uint8_t> chunkOfProgramFile(const std::string& path) {
    const std::vector<unsigned char> file = fileBytes(path);
    std::vector<uint8_t> chunk;
    std::string error;
    EXPECT_TRUE(extractStateChunk(file, true, ('t' << 24) | ('r' << 16) | ('w' << 8) | 'S', chunk, error))
        << error;
    return chunk;
}

// Tarnwell's settings that compress the test signal hard in every band.
const std::vector<std::string> kCompressing = {
    "--set", "1-Thresh=-30", "--set", "2-Thresh=-30", "--set", "3-Thresh=-36",
    "--set", "4-Thresh=-30", "--set", "4-Ratio=8",    "--set", "1-MakeUp=off",
    "--set", "2-MakeUp=off", "--set", "3-MakeUp=off", "--set", "4-MakeUp=off"};

class RenderTool : public ::testing::Test {
  protected:
    std::vector<std::string> withPlugin(std::vector<std::string> arguments) {
        arguments.push_back("--plugin");
        arguments.push_back(TARNWELL_PLUGIN_PATH);
        return arguments;
    }

    std::string stereoInput(const std::string& name, int format, double seconds = 1.5) {
        generateTestSignal(left, right, int(seconds * kRate), kRate);
        const std::string path = dir.path(name);
        EXPECT_TRUE(writeAudio(path, format, 2, kRate, interleave(left, right)));
        return path;
    }

    void expectFailure(const ToolResult& result, int exitCode, const std::string& messagePart) {
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        EXPECT_NE(result.err.find(messagePart), std::string::npos) << "stderr: " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one line: " << result.err;
        EXPECT_FALSE(fileExists(dir.path("out.wav")));
    }

    ScratchDirectory dir;
    std::vector<float> left, right;
};

TEST_F(RenderTool, FloatOutputIsExactlyWhatTheEffectRecordGivesForTheSameState) {
    const std::string input = stereoInput("in.wav", kFloatWav);
    std::vector<std::string> arguments = {input, dir.path("out.wav"), "--block",
                                          "300", "--save-state",      dir.path("run.fxp")};
    arguments.insert(arguments.end(), kCompressing.begin(), kCompressing.end());
    const ToolResult result = runRender(withPlugin(arguments));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "") << "no progress bar when stderr is not a terminal";

    int format = 0, channels = 0, rate = 0;
    std::vector<float> rendered;
    ASSERT_TRUE(readAudio(dir.path("out.wav"), format, channels, rate, rendered));
    EXPECT_EQ(format, kFloatWav);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, kRate);
    const std::vector<float> expected =
        processDirectly(left, right, chunkOfProgramFile(dir.path("run.fxp")), 300);
    ASSERT_EQ(rendered.size(), expected.size());
    size_t differing = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        differing += rendered[i] != expected[i];
    EXPECT_EQ(differing, 0u);

    // The settings compress: the output is quieter than the input, and the summary says so.
    double inPower = 0, outPower = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        inPower += double(left[i]) * left[i];
        outPower += double(rendered[2 * i]) * rendered[2 * i];
    }
    EXPECT_LT(outPower, 0.5 * inPower);
    EXPECT_NE(result.out.find("real time"), std::string::npos);
    EXPECT_NE(result.out.find("RMS L"), std::string::npos);
}

TEST_F(RenderTool, MonoInputFeedsBothInputsAndGivesStereo) {
    generateTestSignal(left, right, kRate, kRate);
    ASSERT_TRUE(writeAudio(dir.path("mono.wav"), kFloatWav, 1, kRate, left));
    const ToolResult result = runRender(withPlugin({dir.path("mono.wav"), dir.path("out.wav"), "--set",
                                                    "2-Thresh=-30", "--save-state", dir.path("run.fxp")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    int format = 0, channels = 0, rate = 0;
    std::vector<float> rendered;
    ASSERT_TRUE(readAudio(dir.path("out.wav"), format, channels, rate, rendered));
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rendered, processDirectly(left, left, chunkOfProgramFile(dir.path("run.fxp")), 512));
}

TEST_F(RenderTool, OutputKeepsTheInputFormatUnlessToldOtherwise) {
    const std::string input = stereoInput("in16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.2);
    ASSERT_EQ(runRender(withPlugin({input, dir.path("kept.wav")})).exitCode, 0);
    ASSERT_EQ(runRender(withPlugin({input, dir.path("out.flac"), "--format", "flac:24"})).exitCode, 0);
    ASSERT_EQ(runRender(withPlugin({input, dir.path("out.aiff"), "--format", "aiff"})).exitCode, 0);
    int format = 0, channels = 0, rate = 0;
    std::vector<float> samples;
    ASSERT_TRUE(readAudio(dir.path("kept.wav"), format, channels, rate, samples));
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_TRUE(readAudio(dir.path("out.flac"), format, channels, rate, samples));
    EXPECT_EQ(format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_TRUE(readAudio(dir.path("out.aiff"), format, channels, rate, samples));
    EXPECT_EQ(format, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(samples.size(), 2u * size_t(0.2 * kRate));
}

TEST_F(RenderTool, StateRoundTripIsByteIdenticalThroughProgramAndRawChunkFiles) {
    std::vector<std::string> first = {"--save-state", dir.path("first.fxp"), "--set", "3-Attack=40",
                                      "--set",        "1-Active=off",        "--set", "2-Freq=1500"};
    first.insert(first.end(), kCompressing.begin(), kCompressing.end());
    ASSERT_EQ(runRender(withPlugin(first)).exitCode, 0);
    ASSERT_EQ(
        runRender(withPlugin({"--load-state", dir.path("first.fxp"), "--save-state", dir.path("second.fxp")}))
            .exitCode,
        0);
    const std::vector<unsigned char> firstBytes = fileBytes(dir.path("first.fxp"));
    EXPECT_EQ(fileBytes(dir.path("second.fxp")), firstBytes);

    // The header as written: 'CcnK', size, 'FPCh', version 1, 'trwS', 1 program.
    ASSERT_GT(firstBytes.size(), kProgramHeaderSize);
    EXPECT_EQ(std::string(firstBytes.begin(), firstBytes.begin() + 4), "CcnK");
    EXPECT_EQ(std::string(firstBytes.begin() + 8, firstBytes.begin() + 12), "FPCh");
    EXPECT_EQ(std::string(firstBytes.begin() + 16, firstBytes.begin() + 20), "trwS");

    // The bare chunk loads the same state.
    writeBytes(dir.path("state.chunk"),
               std::vector<unsigned char>(firstBytes.begin() + long(kProgramHeaderSize), firstBytes.end()));
    ASSERT_EQ(runRender(withPlugin(
                            {"--load-state", dir.path("state.chunk"), "--save-state", dir.path("third.fxp")}))
                  .exitCode,
              0);
    EXPECT_EQ(fileBytes(dir.path("third.fxp")), firstBytes);

    // And the loaded state is what --list shows.
    const ToolResult listed = runRender(withPlugin({"--load-state", dir.path("first.fxp"), "--list"}));
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("3-Attack          40  ms"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("1-Active         OFF"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("2-Freq        1500.0  Hz"), std::string::npos) << listed.out;
}

TEST_F(RenderTool, UsageErrorsExitWithOne) {
    expectFailure(runRender({}), 1, "missing INPUT and OUTPUT");
    expectFailure(runRender({"in.wav"}), 1, "missing OUTPUT");
    expectFailure(runRender({"a.wav", dir.path("out.wav"), "--bogus"}), 1, "unknown option --bogus");
    expectFailure(runRender({"a.wav", dir.path("out.wav"), "--block", "0"}), 1, "--block 0");
    expectFailure(runRender({"a.wav", dir.path("out.wav"), "--plot-size", "10x10"}), 1, "--plot-size");

    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    expectFailure(runRender(withPlugin({input, dir.path("out.wav"), "--format", "mp9"})), 1,
                  "unknown --format mp9");
    expectFailure(runRender(withPlugin({input, input})), 1, "is the input file");
    EXPECT_TRUE(fileExists(input));
}

TEST_F(RenderTool, BadParameterSettingsExitWithOneAndWriteNothing) {
    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    const std::string state = dir.path("state.fxp");
    auto attempt = [&](const std::string& assignment) {
        return runRender(
            withPlugin({input, dir.path("out.wav"), "--set", assignment, "--save-state", state}));
    };
    expectFailure(attempt("9-Thresh=-20"), 1, "no parameter named '9-Thresh'");
    expectFailure(attempt("2-Thresh=loud"), 1, "'loud' is not a number");
    expectFailure(attempt("2-Thresh=40"), 1, "outside -150 .. 12");
    expectFailure(attempt("1-Active=maybe"), 1, "'maybe'");
    expectFailure(attempt("48=0.5"), 1, "index 48 is out of range");
    expectFailure(attempt("3=1.5"), 1, "outside -0.333333 .. 1");
    expectFailure(attempt("2-Thresh"), 1, "expected NAME=VALUE");
    EXPECT_FALSE(fileExists(state));
}

TEST_F(RenderTool, InputProblemsExitWithTwo) {
    expectFailure(runRender(withPlugin({dir.path("missing.wav"), dir.path("out.wav")})), 2, "missing.wav");

    writeBytes(dir.path("text.wav"), std::vector<unsigned char>(200, 'x'));
    expectFailure(runRender(withPlugin({dir.path("text.wav"), dir.path("out.wav")})), 2, "cannot read");

    std::vector<float> threeChannels(3 * 1000, 0.25f);
    ASSERT_TRUE(writeAudio(dir.path("three.wav"), kFloatWav, 3, kRate, threeChannels));
    expectFailure(runRender(withPlugin({dir.path("three.wav"), dir.path("out.wav")})), 2, "3 channels");

    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    expectFailure(runRender(withPlugin({input, dir.path("no/such/dir/out.wav")})), 2, "cannot create");
    expectFailure(runRender(withPlugin({input, dir.path("out.wav"), "--load-state", dir.path("none.fxp")})),
                  2, "none.fxp");
}

TEST_F(RenderTool, CorruptProgramFilesAreRefusedByTheirFault) {
    ASSERT_EQ(runRender(withPlugin({"--save-state", dir.path("good.fxp")})).exitCode, 0);
    const std::vector<unsigned char> good = fileBytes(dir.path("good.fxp"));
    ASSERT_GT(good.size(), kProgramHeaderSize + 8);
    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    auto loading = [&](const std::string& name, const std::vector<unsigned char>& bytes) {
        writeBytes(dir.path(name), bytes);
        return runRender(withPlugin({input, dir.path("out.wav"), "--load-state", dir.path(name),
                                     "--save-state", dir.path("after.fxp")}));
    };

    std::vector<unsigned char> bytes = good;
    std::memcpy(bytes.data(), "RIFF", 4);
    expectFailure(loading("magic.fxp", bytes), 2, "magic is 'RIFF', expected 'CcnK'");

    bytes = good;
    std::memcpy(bytes.data() + 16, "abcd", 4);
    expectFailure(loading("id.fxp", bytes), 2, "belongs to plug-in 'abcd', this plug-in is 'trwS'");

    bytes.assign(good.begin(), good.begin() + 40);
    expectFailure(loading("short.fxp", bytes), 2, "truncated");

    bytes.assign(good.begin(), good.end() - 10);
    expectFailure(loading("cut.fxp", bytes), 2, "truncated");

    bytes = good;
    bytes[kProgramHeaderSize - 2] = 0x7F; // the chunk size, big-endian, now far past the end
    expectFailure(loading("chunk.fxp", bytes), 2, "larger than the");

    bytes = good;
    std::memcpy(bytes.data() + 8, "FxCk", 4);
    expectFailure(loading("params.fxp", bytes), 2, "parameter values");

    EXPECT_FALSE(fileExists(dir.path("after.fxp")));
}

TEST_F(RenderTool, PlotIsAPngOfTheRequestedSizeWithAPicture) {
    const std::string input = stereoInput("in.wav", kFloatWav, 2.0);
    std::vector<std::string> arguments = {
        input, dir.path("out.wav"), "--plot", dir.path("run.png"), "--plot-size", "640x360"};
    arguments.insert(arguments.end(), kCompressing.begin(), kCompressing.end());
    const ToolResult result = runRender(withPlugin(arguments));
    ASSERT_EQ(result.exitCode, 0) << result.err;

    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(dir.path("run.png").c_str(), &width, &height, &channels, 4);
    ASSERT_NE(pixels, nullptr) << stbi_failure_reason();
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    std::set<uint32_t> colours;
    for (int i = 0; i < width * height; ++i) {
        uint32_t rgba;
        std::memcpy(&rgba, pixels + 4 * i, 4);
        colours.insert(rgba);
    }
    stbi_image_free(pixels);
    EXPECT_GT(colours.size(), 16u);

    expectFailure(runRender(withPlugin({input, dir.path("out.wav"), "--plot", dir.path("none/run.png")})), 2,
                  "cannot write");
}

TEST_F(RenderTool, PluginProblemsExitWithThree) {
    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    auto with = [&](const std::string& plugin) {
        return runRender({input, dir.path("out.wav"), "--plugin", plugin});
    };
    expectFailure(with(dir.path("absent.so")), 3, "cannot load");
    expectFailure(with(FAKE_NO_ENTRY_PATH), 3, "exports no VSTPluginMain");
    expectFailure(with(FAKE_WRONG_MAGIC_PATH), 3, "'VstP' magic");
    expectFailure(with(FAKE_MONO_PATH), 3, "1 inputs and 1 outputs");
}

} // namespace
