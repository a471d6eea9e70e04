// The render loop, on its three threads or in turn on one, against the plug-in driven in one
// straight pass on one thread: any slice size and any number of slices in flight give the same
// bits and the same block boundaries, and the meters see every frame.
#include "host/parameter_values.h"
#include "host/plugin_host.h"
#include "render/renderer.h"
#include "render/staged_file.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 44100;
constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

// Tarnwell compressing in every band, or a fake plug-in as it comes.
bool startPlugin(PluginSession& plugin, const std::string& path) {
    std::string error;
    if (!plugin.open(path, error)) {
        ADD_FAILURE() << error;
        return false;
    }
    const bool tarnwell = path == TARNWELL_PLUGIN_PATH;
    for (const char* assignment :
         {"1-Thresh=-30", "2-Thresh=-30", "3-Thresh=-36", "4-Thresh=-30", "4-Ratio=8"}) {
        if (!tarnwell)
            break;
        ParameterSetting setting;
        if (!resolveParameterSetting(plugin, assignment, setting, error)) {
            ADD_FAILURE() << error;
            return false;
        }
        plugin.setParameterValue(setting.index, setting.value);
    }
    plugin.start(kRate);
    return true;
}

struct Rendered {
    bool succeeded = false;
    std::string error;
    std::vector<float> frames; // interleaved stereo, as written
    double inputPeak[2] = {0, 0};
    double outputPeak[2] = {0, 0};
    int64_t inputFrames = 0, outputFrames = 0;
};

Rendered render(const std::string& input, const std::string& output, const RenderPipeline& pipeline,
                const std::string& pluginPath, const std::atomic<bool>* interrupted = nullptr) {
    Rendered rendered;
    PluginSession plugin;
    AudioReader reader;
    StagedFile file;
    AudioWriter writer;
    if (!startPlugin(plugin, pluginPath) || !reader.open(input, rendered.error) ||
        !file.create(output, rendered.error) ||
        !writer.open(file.descriptor(), output, {kFloatWav, kRate, 2}, rendered.error))
        return rendered;
    ProgressBar progress(stderr, false);
    RenderRun run(kRate);
    rendered.succeeded =
        renderFile(reader, writer, plugin, pipeline, progress, interrupted, run, rendered.error) &&
        writer.close(rendered.error) && file.commit(rendered.error);
    for (int channel = 0; channel < 2; ++channel) {
        rendered.inputPeak[channel] = run.input.peak(channel);
        rendered.outputPeak[channel] = run.output.peak(channel);
    }
    rendered.inputFrames = run.input.frames();
    rendered.outputFrames = run.output.frames();
    int format = 0, channels = 0, rate = 0;
    if (rendered.succeeded)
        readAudio(output, format, channels, rate, rendered.frames);
    return rendered;
}

// The plug-in in one pass over the whole signal, in blocks from the first frame.
std::vector<float> straightPass(const std::vector<float>& left, const std::vector<float>& right,
                                int blockSize) {
    PluginSession plugin;
    if (!startPlugin(plugin, TARNWELL_PLUGIN_PATH))
        return {};
    std::vector<float> outLeft(left.size()), outRight(left.size());
    processStereo(plugin.effect(), left.data(), right.data(), outLeft.data(), outRight.data(),
                  int(left.size()), blockSize);
    std::vector<float> frames(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = outLeft[i];
        frames[2 * i + 1] = outRight[i];
    }
    return frames;
}

double peakOf(const float* samples, size_t count, size_t stride) {
    double peak = 0;
    for (size_t i = 0; i < count; ++i)
        peak = std::max(peak, double(std::fabs(samples[i * stride])));
    return peak;
}

// Three default slices and a bit: a short last slice and a short last block.
constexpr int kFrames = 3 * 16384 + 777;

struct Case {
    const char* input;
    RenderPipeline pipeline;
};
const Case kCases[] = {
    {"stereo.wav", {512, 16384, 4}},   // the tool's settings
    {"stereo.wav", {100, 100, 2}},     // one block a slice
    {"stereo.wav", {333, 1000, 3}},    // slices of four blocks
    {"stereo.wav", {4096, 16384, 1}},  // one slice: the threads take turns
    {"stereo.wav", {20000, 16384, 2}}, // blocks larger than the asked slice
    {"stereo.wav", {1, 64, 3}},        // a frame at a time
    {"mono.wav", {256, 700, 2}},
    {"stereo.wav", {512, 16384, 1, false}}, // a batch's settings: one thread
    {"stereo.wav", {100, 100, 1, false}},
    {"stereo.wav", {20000, 16384, 1, false}},
    {"mono.wav", {333, 1000, 1, false}},
};

std::string describe(const Case& c) {
    return std::string(c.input) + ", block " + std::to_string(c.pipeline.blockSize) + ", slice " +
           std::to_string(c.pipeline.sliceFrames) + " x " + std::to_string(c.pipeline.slices) +
           (c.pipeline.threaded ? ", threads" : ", in turn");
}

class RenderLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        generateTestSignal(left, right, kFrames, kRate);
        std::vector<float> stereo(2 * size_t(kFrames));
        for (size_t i = 0; i < size_t(kFrames); ++i) {
            stereo[2 * i] = left[i];
            stereo[2 * i + 1] = right[i];
        }
        ASSERT_TRUE(writeAudio(dir.path("stereo.wav"), kFloatWav, 2, kRate, stereo));
        ASSERT_TRUE(writeAudio(dir.path("mono.wav"), kFloatWav, 1, kRate, left));
    }

    ScratchDirectory dir;
    std::vector<float> left, right;
};

TEST_F(RenderLoop, AnySliceSizeGivesTheBitsOfOneStraightPass) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(describe(c));
        const bool mono = std::string(c.input) == "mono.wav";
        const Rendered rendered =
            render(dir.path(c.input), dir.path("out.wav"), c.pipeline, TARNWELL_PLUGIN_PATH);
        ASSERT_TRUE(rendered.succeeded) << rendered.error;
        const std::vector<float> expected = straightPass(left, mono ? left : right, c.pipeline.blockSize);
        ASSERT_EQ(rendered.frames.size(), expected.size());
        size_t differing = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            differing += rendered.frames[i] != expected[i];
        EXPECT_EQ(differing, 0u);

        EXPECT_EQ(rendered.inputFrames, kFrames);
        EXPECT_EQ(rendered.outputFrames, kFrames);
        EXPECT_EQ(rendered.inputPeak[0], peakOf(left.data(), left.size(), 1));
        EXPECT_EQ(rendered.inputPeak[1], peakOf(mono ? left.data() : right.data(), left.size(), 1));
        EXPECT_EQ(rendered.outputPeak[0], peakOf(expected.data(), left.size(), 2));
        EXPECT_EQ(rendered.outputPeak[1], peakOf(expected.data() + 1, left.size(), 2));
    }
}

TEST_F(RenderLoop, BlocksRunFromTheFirstFrameToTheLastWhateverTheSlices) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(describe(c));
        const Rendered rendered =
            render(dir.path(c.input), dir.path("out.wav"), c.pipeline, FAKE_BLOCK_MARKS_PATH);
        ASSERT_TRUE(rendered.succeeded) << rendered.error;
        ASSERT_EQ(rendered.frames.size(), 2u * kFrames);
        const int block = c.pipeline.blockSize;
        const int lastStart = (kFrames - 1) / block * block;
        size_t misplaced = 0;
        for (int n = 0; n < kFrames; ++n) {
            const float place = float(n % block);
            const float length = float(n < lastStart ? block : kFrames - lastStart);
            misplaced +=
                rendered.frames[2 * size_t(n)] != place || rendered.frames[2 * size_t(n) + 1] != length;
        }
        EXPECT_EQ(misplaced, 0u);
    }
}

TEST_F(RenderLoop, AnInterruptEndsTheRunAsAFailure) {
    const std::atomic<bool> interrupted{true};
    for (const RenderPipeline& pipeline : {RenderPipeline{512, 1024, 2}, RenderPipeline{512, 1024, 1, false}}) {
        SCOPED_TRACE(pipeline.threaded ? "threads" : "in turn");
        const Rendered rendered =
            render(dir.path("mono.wav"), dir.path("out.wav"), pipeline, TARNWELL_PLUGIN_PATH, &interrupted);
        EXPECT_FALSE(rendered.succeeded);
        EXPECT_EQ(rendered.error, "interrupted");
        EXPECT_FALSE(fileExists(dir.path("out.wav")));
    }
}

} // namespace
