// tarnwell-render as a user runs it: its output against the plug-in driven directly, its
// state files, its exit codes and messages, and what it leaves on disk when it fails.
#include "host/plugin_host.h"
#include "shell/program_file.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

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

TEST_F(RenderTool, TheSameRenderGivesTheSameBytesWhenRunAgainLater) {
    const std::string input = stereoInput("in.wav", kFloatWav, 0.2);
    const std::vector<std::string> formats = {"wav:float", "aiff:float", "flac:24"};
    for (const std::string& format : formats)
        ASSERT_EQ(runRender(withPlugin({input, dir.path("first-" + format), "--format", format})).exitCode, 0);
    // A time stamp in the file (a float file's PEAK chunk has one) would differ by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    for (const std::string& format : formats) {
        SCOPED_TRACE(format);
        ASSERT_EQ(runRender(withPlugin({input, dir.path("again-" + format), "--format", format})).exitCode, 0);
        EXPECT_EQ(fileBytes(dir.path("again-" + format)), fileBytes(dir.path("first-" + format)));
    }
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
    expectFailure(runRender(withPlugin({input, input})), 1, "INPUT and OUTPUT are the same file");
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
    expectFailure(runRender(withPlugin({input, dir.path("out.wav"), "--plot", dir.path("none/run.png")})), 2,
                  "cannot create");

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
}

// The files in the scratch folder that a run may have left under a temporary name.
std::vector<std::string> temporaries(const ScratchDirectory& dir) {
    std::vector<std::string> found;
    for (const std::string& name : folderEntries(dir.path("")))
        if (name.find(".tarnwell-") != std::string::npos)
            found.push_back(name);
    return found;
}

TEST_F(RenderTool, OneFileInTwoRolesIsRefusedAndLeftAsItWas) {
    const std::string input = stereoInput("in.wav", kFloatWav, 0.1);
    const std::vector<unsigned char> inputBytes = fileBytes(input);
    ASSERT_EQ(runRender(withPlugin({"--save-state", dir.path("s.fxp")})).exitCode, 0);
    const std::vector<unsigned char> stateBytes = fileBytes(dir.path("s.fxp"));
    std::filesystem::create_symlink(input, dir.path("link.wav"));
    std::filesystem::create_hard_link(input, dir.path("hard.wav"));
    std::filesystem::create_symlink("new.png", dir.path("dangling.png"));
    std::filesystem::create_directory(dir.path("sub"));
    const std::string out = dir.path("out.wav");

    struct Case {
        std::vector<std::string> arguments;
        std::string pair;
    };
    const Case cases[] = {
        {{input, out, "--plot", input}, "INPUT and --plot"},
        {{input, out, "--save-state", input}, "INPUT and --save-state"},
        {{input, out, "--plot", out}, "OUTPUT and --plot"}, // the output does not exist yet
        {{input, dir.path("link.wav")}, "INPUT and OUTPUT"},
        {{input, dir.path("hard.wav")}, "INPUT and OUTPUT"},
        {{dir.path("link.wav"), out, "--plot", dir.path("hard.wav")}, "INPUT and --plot"},
        {{input, out, "--plot", dir.path("sub/../new.png"), "--save-state", dir.path("dangling.png")},
         "--plot and --save-state"},
        {{input, out, "--save-state", dir.path("sub/../out.wav")}, "OUTPUT and --save-state"},
        {{input, out, "--load-state", out}, "OUTPUT and --load-state"},
        {{"--load-state", dir.path("s.fxp"), "--save-state", dir.path("s.fxp")},
         "--save-state and --load-state"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pair);
        expectFailure(runRender(withPlugin(c.arguments)), 1, c.pair + " are the same file");
    }
    EXPECT_EQ(fileBytes(input), inputBytes);
    EXPECT_EQ(fileBytes(dir.path("s.fxp")), stateBytes);
    EXPECT_FALSE(fileExists(dir.path("new.png")));
    EXPECT_TRUE(temporaries(dir).empty());

    // Reading one file twice is fine: the input doubles as a (raw, meaningless) state chunk.
    EXPECT_EQ(runRender(withPlugin({input, out, "--load-state", input})).exitCode, 0);
}

TEST_F(RenderTool, ExistingFilesAreReplacedOnlyWhenTheRunSucceeds) {
    const std::string input = stereoInput("in.wav", kFloatWav, 0.5);
    const std::vector<unsigned char> before = {'k', 'e', 'e', 'p'};
    writeBytes(dir.path("real.wav"), before);
    ASSERT_EQ(chmod(dir.path("real.wav").c_str(), 0640), 0);
    std::filesystem::create_symlink("real.wav", dir.path("out.wav"));
    writeBytes(dir.path("run.png"), before);
    writeBytes(dir.path("run.fxp"), before);
    const std::vector<unsigned char> wav = fileBytes(input);
    writeBytes(dir.path("cut.wav"),
               std::vector<unsigned char>(wav.begin(), wav.begin() + long(wav.size() / 2)));
    auto render = [&](const std::string& from, std::vector<std::string> more) {
        std::vector<std::string> arguments = {
            from, dir.path("out.wav"), "--plot", dir.path("run.png"), "--save-state", dir.path("run.fxp")};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return runRender(withPlugin(arguments));
    };

    // One run fails before the audio is rendered, one after it.
    EXPECT_EQ(render(input, {"--set", "2-Thresh=loud"}).exitCode, 1);
    EXPECT_EQ(render(dir.path("cut.wav"), {}).exitCode, 2);
    EXPECT_EQ(fileBytes(dir.path("real.wav")), before);
    EXPECT_EQ(fileBytes(dir.path("run.png")), before);
    EXPECT_EQ(fileBytes(dir.path("run.fxp")), before);
    EXPECT_TRUE(temporaries(dir).empty());

    const ToolResult result = render(input, {});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("out.wav"))) << "the link stays, its target is replaced";
    int format = 0, channels = 0, rate = 0;
    std::vector<float> samples;
    ASSERT_TRUE(readAudio(dir.path("real.wav"), format, channels, rate, samples));
    EXPECT_EQ(samples.size(), 2u * size_t(0.5 * kRate));
    struct stat status {};
    ASSERT_EQ(stat(dir.path("real.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
    const std::vector<unsigned char> png = fileBytes(dir.path("run.png")),
                                     fxp = fileBytes(dir.path("run.fxp"));
    ASSERT_GE(png.size(), 4u);
    ASSERT_GE(fxp.size(), 4u);
    EXPECT_EQ(std::string(png.begin(), png.begin() + 4), "\x89PNG");
    EXPECT_EQ(std::string(fxp.begin(), fxp.begin() + 4), "CcnK");
    EXPECT_TRUE(temporaries(dir).empty());
}

TEST_F(RenderTool, InterruptedRunLeavesExistingFilesAndNoTemporary) {
    // Ten seconds through the slow plug-in take two seconds at least; the signal comes at once.
    const std::string input = stereoInput("in.wav", kFloatWav, 10.0);
    const std::vector<unsigned char> before = {'k', 'e', 'e', 'p'};
    for (int number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(number);
        writeBytes(dir.path("out.wav"), before);
        writeBytes(dir.path("run.png"), before);
        RunningRender render(
            {input, dir.path("out.wav"), "--plot", dir.path("run.png"), "--plugin", FAKE_SLOW_PATH});
        ASSERT_TRUE(render.started());
        // The temporaries exist once the signal handlers are in place and the render is under way.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (temporaries(dir).size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(temporaries(dir).size(), 2u);
        render.signal(number);
        const ToolResult result = render.finish();
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, "tarnwell-render: interrupted; no file was written\n");
        EXPECT_EQ(fileBytes(dir.path("out.wav")), before);
        EXPECT_EQ(fileBytes(dir.path("run.png")), before);
        EXPECT_TRUE(temporaries(dir).empty());
    }
}

TEST_F(RenderTool, AFifoDestinationIsWrittenIntoAndStaysAFifo) {
    const std::string pipe = dir.path("state.pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::vector<unsigned char> received;
    std::thread taker([&] { received = fileBytes(pipe); });
    const ToolResult result = runRender(withPlugin({"--save-state", pipe}));
    // Should the tool not have opened the FIFO, the taker still waits in open(): let it go.
    close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    taker.join();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_GT(received.size(), kProgramHeaderSize);
    EXPECT_EQ(std::string(received.begin(), received.begin() + 4), "CcnK");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST_F(RenderTool, InputCutShortOfItsHeaderIsAnInputError) {
    const std::string wavPath = stereoInput("in.wav", kFloatWav, 1.0);
    ASSERT_EQ(runRender(withPlugin({wavPath, dir.path("whole.flac"), "--format", "flac:24"})).exitCode, 0);
    const std::vector<unsigned char> wav = fileBytes(wavPath);
    const std::vector<unsigned char> flac = fileBytes(dir.path("whole.flac"));
    // FLAC metadata blocks: a byte with the last-block flag and the type, a 24-bit length.
    size_t audioStart = 4;
    for (bool last = false; !last && audioStart + 4 <= flac.size();) {
        last = flac[audioStart] & 0x80;
        audioStart += 4 + (size_t(flac[audioStart + 1]) << 16 | size_t(flac[audioStart + 2]) << 8 |
                           size_t(flac[audioStart + 3]));
    }
    ASSERT_LT(audioStart, flac.size() / 2);
    const std::vector<std::pair<std::string, size_t>> cuts = {
        {"cut.wav", wav.size() / 2}, {"header.flac", audioStart}, {"cut.flac", flac.size() / 2}};

    const ToolResult whole = runRender(withPlugin({dir.path("whole.flac"), dir.path("out.wav")}));
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    std::filesystem::remove(dir.path("out.wav"));
    for (const auto& [name, length] : cuts) {
        SCOPED_TRACE(name);
        const std::vector<unsigned char>& bytes = name == "cut.wav" ? wav : flac;
        writeBytes(dir.path(name), std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(length)));
        const ToolResult result = runRender(withPlugin({dir.path(name), dir.path("out.wav")}));
        // libFLAC may instead report the cut as lost sync: an input error all the same.
        const bool lostSync = name == "cut.flac" && result.err.find("lost sync") != std::string::npos;
        expectFailure(result, 2,
                      lostSync ? "cannot read " + dir.path(name) : dir.path(name) + " ends after ");
        if (!lostSync) {
            EXPECT_NE(result.err.find(", its header promises 1.000 s (44100 frames)"), std::string::npos)
                << result.err;
        }
    }
}

TEST_F(RenderTool, AnOutputThatDoesNotReadBackIsAFailure) {
    // libsndfile writes a FLAC file without frames as zero bytes; a WAV file without frames is fine.
    ASSERT_TRUE(writeAudio(dir.path("empty.wav"), kFloatWav, 2, kRate, {}));
    expectFailure(runRender(withPlugin({dir.path("empty.wav"), dir.path("out.flac"), "--format", "flac"})), 2,
                  "cannot finish " + dir.path("out.flac") +
                      ": libsndfile cannot read back the file it wrote");
    EXPECT_FALSE(fileExists(dir.path("out.flac")));
    ASSERT_EQ(runRender(withPlugin({dir.path("empty.wav"), dir.path("out.wav")})).exitCode, 0);
    int format = 0, channels = 0, rate = 0;
    std::vector<float> samples;
    EXPECT_TRUE(readAudio(dir.path("out.wav"), format, channels, rate, samples));
    EXPECT_TRUE(samples.empty());
}

TEST_F(RenderTool, TheDemoSignalLoopsItsFirstSecondsUpToTheLength) {
    auto demo = [&](const std::string& name, const std::string& more) {
        const std::string command = std::string(TARNWELL_DEMO_SIGNAL_PATH) + " " + dir.path(name) + more;
        return std::system(command.c_str());
    };
    ASSERT_EQ(demo("looped.wav", " --seconds 2.5 --loop 1"), 0);
    ASSERT_EQ(demo("whole.wav", " --seconds 2.5"), 0);
    EXPECT_NE(demo("bad.wav", " --loop 0"), 0);
    EXPECT_FALSE(fileExists(dir.path("bad.wav")));
    int format = 0, channels = 0, rate = 0;
    std::vector<float> looped, whole;
    ASSERT_TRUE(readAudio(dir.path("looped.wav"), format, channels, rate, looped));
    ASSERT_TRUE(readAudio(dir.path("whole.wav"), format, channels, rate, whole));
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    ASSERT_EQ(looped.size(), size_t(2 * 2.5 * kRate));
    ASSERT_EQ(whole.size(), looped.size());
    const size_t second = 2 * kRate;
    // The first second is the piece's own, then it comes again and again, cut at the length.
    EXPECT_TRUE(std::equal(looped.begin(), looped.begin() + long(second), whole.begin()));
    EXPECT_TRUE(std::equal(looped.begin() + long(second), looped.begin() + long(2 * second), looped.begin()));
    EXPECT_TRUE(std::equal(looped.begin() + long(2 * second), looped.end(), looped.begin()));
    EXPECT_FALSE(std::equal(whole.begin() + long(second), whole.begin() + long(2 * second), whole.begin()));
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
