// Steady-state processing must not touch the heap: count every C++ allocation and every
// block the heap buffers ask for while a few hundred blocks are processed after warm-up.
#include "counted_new.h"
#include "shell/compressor_effect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

// C++ allocations and the heap buffers' blocks alike.
void countAllocation() noexcept {
    if (counting)
        ++allocations;
}

namespace {
void* countedRealloc(void* p, size_t n) {
    countAllocation();
    return std::realloc(p, n);
}
void* countedMalloc(size_t n) {
    countAllocation();
    return std::malloc(n);
}
} // namespace

namespace {

TEST(NoAllocation, SteadyStateProcessingAllocatesNothing) {
    HeapBuffer::Allocator previous =
        HeapBuffer::setAllocatorForTesting({countedRealloc, countedMalloc, std::free});
    AEffect* effect = VSTPluginMain(nullptr);
    ASSERT_NE(effect, nullptr);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    for (int i = 0; i < fx->bandCount(); ++i) {
        fx->band(i)->settings.threshold = 0.05;
        fx->band(i)->settings.ratio = 4;
        fx->band(i)->settings.programDependentRelease = i != 3;
    }
    fx->meteringWanted = true; // metering on as well

    const int n = 512;
    std::vector<float> left(n), right(n), outLeft(n), outRight(n);
    for (int i = 0; i < n; ++i) {
        left[size_t(i)] = float(0.9 * std::sin(i * 0.05));
        right[size_t(i)] = float(0.7 * std::sin(i * 0.3));
    }
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    for (int block = 0; block < 20; ++block) { // warm-up: scratch buffers reach their size
        effect->processReplacing(effect, in, out, n);
        effect->process(effect, in, out, n);
    }

    counting = true;
    for (int block = 0; block < 300; ++block) {
        if (block % 10 == 0) { // a glide block now and then, as automation would cause
            fx->outputGain = 0.5 + (block % 20) / 40.0;
            // Glide steps one by one (a band with program-dependent release), or in slices.
            fx->band(block % 20 == 0 ? 1 : 3)->settings.threshold = 0.02 + (block % 30) / 300.0;
        }
        effect->processReplacing(effect, in, out, n);
        effect->process(effect, in, out, n - block % 7);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);

    fx->meteringWanted = false;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    HeapBuffer::setAllocatorForTesting(previous);
}

TEST(NoAllocation, TheFirstBlockAfterAResumeAllocatesNothing) {
    // The host announces its block size, resumes, and sends blocks of that size (and of less):
    // the buffers were sized at the resume, not in the audio call.
    HeapBuffer::Allocator previous =
        HeapBuffer::setAllocatorForTesting({countedRealloc, countedMalloc, std::free});
    for (ProcessingPath path : {ProcessingPath::Automatic, ProcessingPath::Reference}) {
        AEffect* effect = VSTPluginMain(nullptr);
        ASSERT_NE(effect, nullptr);
        auto* fx = static_cast<CompressorEffect*>(effect->object);
        fx->processingPath = path;
        const int n = 4096;
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        EXPECT_EQ(effect->dispatcher(effect, effSetBlockSize, 0, n, nullptr, 0.0f), 0);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        std::vector<float> left(n, 0.3f), right(n, -0.2f), outLeft(n), outRight(n);
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        allocations = 0;
        counting = true;
        effect->process(effect, in, out, n);
        effect->processReplacing(effect, in, out, n);
        effect->processReplacing(effect, in, out, 100);
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << processingPathName(path);

        // A block longer than announced still works; its buffers grow when it arrives.
        std::vector<float> longLeft(2 * n, 0.1f), longOut(2 * n);
        float* longIn[2] = {longLeft.data(), longLeft.data()};
        float* longOuts[2] = {longOut.data(), longOut.data()};
        effect->process(effect, longIn, longOuts, 2 * n);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    HeapBuffer::setAllocatorForTesting(previous);
}

} // namespace
