// The thread that runs processReplacing during a render allocates nothing per slice: a file of
// forty slices costs it as many allocations as a file of eight. Every C++ allocation is
// counted, on the thread that makes it.
#include "counted_new.h"
#include "host/parameter_values.h"
#include "host/plugin_host.h"
#include "render/renderer.h"
#include "render/staged_file.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

namespace {
thread_local bool counting = false;
thread_local long allocations = 0;
} // namespace

void countAllocation() noexcept {
    if (counting)
        ++allocations;
}

namespace {

constexpr int kRate = 44100;
constexpr int64_t kSliceFrames = 1024;

// Allocations on this thread inside renderFile for a file of `slices` slices, or -1.
long allocationsForSlices(const ScratchDirectory& dir, int slices) {
    std::vector<float> left, right;
    generateTestSignal(left, right, int(slices * kSliceFrames), kRate);
    const std::string input = dir.path("in" + std::to_string(slices) + ".wav");
    if (!writeAudio(input, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, kRate, left))
        return -1;
    PluginSession plugin;
    AudioReader reader;
    StagedFile file;
    AudioWriter writer;
    std::string error;
    ParameterSetting threshold;
    if (!plugin.open(TARNWELL_PLUGIN_PATH, error) ||
        !resolveParameterSetting(plugin, "2-Thresh=-30", threshold, error) || !reader.open(input, error) ||
        !file.create(dir.path("out.wav"), error) ||
        !writer.open(file.descriptor(), "out.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_24, kRate, 2}, error)) {
        ADD_FAILURE() << error;
        return -1;
    }
    plugin.setParameterValue(threshold.index, threshold.value);
    plugin.start(kRate);
    ProgressBar progress(stderr, false);
    RenderRun run(kRate);
    allocations = 0;
    counting = true;
    const bool rendered =
        renderFile(reader, writer, plugin, {256, kSliceFrames, 3}, progress, nullptr, run, error);
    counting = false;
    EXPECT_TRUE(rendered) << error;
    EXPECT_EQ(run.output.frames(), slices * kSliceFrames);
    return allocations;
}

TEST(RenderAllocation, TheProcessingThreadAllocatesNothingPerSlice) {
    ScratchDirectory dir;
    const long few = allocationsForSlices(dir, 8);
    const long many = allocationsForSlices(dir, 40);
    ASSERT_GE(few, 0);
    EXPECT_EQ(many, few);
}

} // namespace
