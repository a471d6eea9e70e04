// What the audio entries hand the editor's analyzer: nothing unless an editor is open and
// shows the analyzer; otherwise the mono sums of the host's input (taken before an in-place
// process overwrites it) and of the output, in order, dropping what does not fit while the
// reader is behind.
#include "shell/compressor_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Host {
    Host() : effect(VSTPluginMain(nullptr)), fx(CompressorEffect::fromEffect(effect)) {
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    }
    ~Host() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0); }

    // One block of a ramp in place (the host's buffers are both input and output), starting at
    // sample index `from`; the left channel is twice the right.
    void processInPlace(int32_t from, int32_t n) {
        left.resize(size_t(n));
        right.resize(size_t(n));
        for (int32_t i = 0; i < n; ++i) {
            right[size_t(i)] = float((from + i) % 1000) * 1e-4f;
            left[size_t(i)] = 2 * right[size_t(i)];
        }
        float* channels[2] = {left.data(), right.data()};
        effect->processReplacing(effect, channels, channels, n);
    }

    AEffect* effect;
    CompressorEffect* fx;
    std::vector<float> left, right;
};

TEST(AnalyzerFeed, NothingIsCopiedUnlessAnEditorShowsTheAnalyzer) {
    Host host;
    host.processInPlace(0, 512); // no editor
    host.fx->meteringWanted = true;
    host.fx->showAnalyzer = 0;
    host.processInPlace(512, 512); // an editor without the analyzer
    EXPECT_EQ(host.fx->analyzerFeed.framesFed(), 0);

    host.fx->showAnalyzer = 1;
    host.processInPlace(1024, 300);
    EXPECT_EQ(host.fx->analyzerFeed.framesFed(), 300);
    host.fx->meteringWanted = false; // the editor closed
    host.processInPlace(1324, 300);
    EXPECT_EQ(host.fx->analyzerFeed.framesFed(), 300);
}

TEST(AnalyzerFeed, TheReaderGetsTheInputBeforeAnInPlaceProcessAndTheOutputAfterIt) {
    Host host;
    host.fx->meteringWanted = true;
    // A gain the output glides to: the output differs from the input.
    host.fx->setOutputGain(0.5);
    std::vector<float> in(2000), out(2000), processed;
    int32_t from = 0;
    for (int32_t n : {64, 1, 777, 158}) {
        host.processInPlace(from, n);
        for (int32_t i = 0; i < n; ++i)
            processed.push_back((host.left[size_t(i)] + host.right[size_t(i)]) * 0.5f);
        from += n;
    }
    ASSERT_EQ(host.fx->analyzerFeed.read(in.data(), out.data(), 2000), 1000);
    int32_t quieter = 0;
    for (int32_t i = 0; i < 1000; ++i) {
        const float mono = 1.5f * float(i % 1000) * 1e-4f;
        ASSERT_FLOAT_EQ(in[size_t(i)], mono) << i;
        ASSERT_EQ(out[size_t(i)], processed[size_t(i)]) << i;
        quieter += out[size_t(i)] < 0.6f * mono;
    }
    EXPECT_GT(quieter, 800);
    EXPECT_EQ(host.fx->analyzerFeed.read(in.data(), out.data(), 2000), 0);
}

TEST(AnalyzerFeed, AFullRingDropsTheNewestFramesAndTheReaderCatchesUp) {
    Host host;
    host.fx->meteringWanted = true;
    const int32_t capacity = AnalyzerFeed::kCapacity;
    int32_t from = 0;
    while (from < capacity + 4096) {
        host.processInPlace(from, 1024);
        from += 1024;
    }
    EXPECT_EQ(host.fx->analyzerFeed.framesFed(), capacity);
    std::vector<float> in(static_cast<size_t>(capacity)), out(static_cast<size_t>(capacity));
    ASSERT_EQ(host.fx->analyzerFeed.read(in.data(), out.data(), 100), 100);
    // Room for 100 more: the next block gives only that many, starting where the ring ended.
    host.processInPlace(0, 1024);
    EXPECT_EQ(host.fx->analyzerFeed.framesFed(), capacity + 100);
    ASSERT_EQ(host.fx->analyzerFeed.read(in.data(), out.data(), capacity), capacity);
    EXPECT_FLOAT_EQ(in[size_t(capacity - 101)], 1.5f * float((capacity - 1) % 1000) * 1e-4f);
    EXPECT_FLOAT_EQ(in[size_t(capacity - 100)], 0.0f);
    EXPECT_FLOAT_EQ(in[size_t(capacity - 1)], 1.5f * 99e-4f);

    // A reader that only wants the present throws the backlog away.
    host.processInPlace(0, 512);
    host.fx->analyzerFeed.discard();
    EXPECT_EQ(host.fx->analyzerFeed.read(in.data(), out.data(), capacity), 0);
}

} // namespace
