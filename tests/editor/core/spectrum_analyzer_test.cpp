// The analyzer's levels per graph column: a sine peaks at its own column and reads at its
// level wherever it falls between FFT bins, at both window lengths; silence reads as nothing;
// a level falls at 20 dB a second once the music stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "editor/core/graph_geometry.h"
#include "editor/core/spectrum_analyzer.h"

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<float> sine(double f, double db, double sampleRate, int32_t frames) {
    std::vector<float> x(static_cast<size_t>(frames));
    const double amplitude = std::pow(10.0, db / 20);
    for (int32_t i = 0; i < frames; ++i)
        x[size_t(i)] = float(amplitude * std::sin(2 * kPi * f * i / sampleRate + 0.3));
    return x;
}

struct Peak {
    int32_t x;
    float db;
};
Peak peakOf(const float* levels, int32_t columns) {
    const float* top = std::max_element(levels, levels + columns);
    return {int32_t(top - levels), *top};
}

TEST(SpectrumAnalyzer, ASinePeaksAtItsFrequencyAndLevel) {
    const GraphGeometry geometry(465, 112, true);
    for (double sampleRate : {44100.0, 96000.0}) {
        // Off-bin frequencies on purpose, from the lowest octaves (the window's lobe is wider
        // than a sixth of an octave there) to the top.
        for (double f : {63.7, 101.3, 257.0, 440.0, 1001.9, 3333.3, 7777.7, 15123.0}) {
            for (double db : {0.0, -12.0, -37.5}) {
                SpectrumAnalyzer analyzer;
                const std::vector<float> in = sine(f, db, sampleRate, int32_t(sampleRate / 4));
                const std::vector<float> out = sine(f, db - 6, sampleRate, int32_t(sampleRate / 4));
                analyzer.analyse(sampleRate, geometry, 0.0);
                analyzer.take(in.data(), out.data(), int32_t(in.size()));
                analyzer.analyse(sampleRate, geometry, 0.033);
                ASSERT_EQ(analyzer.columns(), 465);
                const Peak input = peakOf(analyzer.inputDb(), analyzer.columns());
                const Peak output = peakOf(analyzer.outputDb(), analyzer.columns());
                SCOPED_TRACE(testing::Message() << f << " Hz, " << db << " dB at " << sampleRate);
                EXPECT_LE(std::abs(input.x - geometry.xOfFrequency(f)), 2);
                EXPECT_NEAR(input.db, db, 1.0);
                EXPECT_LE(std::abs(output.x - geometry.xOfFrequency(f)), 2);
                EXPECT_NEAR(output.db, db - 6, 1.0);
                // Far from the sine there is next to nothing.
                const int32_t far = geometry.xOfFrequency(f < 1000 ? f * 8 : f / 8);
                EXPECT_LT(analyzer.inputDb()[far], db - 50);
            }
        }
    }
}

TEST(SpectrumAnalyzer, SilenceReadsAsNothingAndALevelFallsAtTwentyDbASecond) {
    const GraphGeometry geometry(465, 112, true);
    SpectrumAnalyzer analyzer;
    const std::vector<float> silence(44100, 0.0f);
    analyzer.analyse(44100, geometry, 0.0);
    analyzer.take(silence.data(), silence.data(), 44100);
    analyzer.analyse(44100, geometry, 0.033);
    for (int32_t x = 0; x < analyzer.columns(); ++x)
        ASSERT_EQ(analyzer.inputDb()[x], SpectrumAnalyzer::kSilenceDb) << x;

    const std::vector<float> tone = sine(1000, -6, 44100, 8192);
    analyzer.take(tone.data(), tone.data(), 8192);
    analyzer.analyse(44100, geometry, 0.033);
    const int32_t x = geometry.xOfFrequency(1000);
    const float loud = analyzer.outputDb()[x];
    EXPECT_NEAR(loud, -6, 1.0);
    // The tone stops: half a second later the level stands 10 dB lower, then keeps falling.
    analyzer.take(silence.data(), silence.data(), 8192);
    analyzer.analyse(44100, geometry, 0.5);
    EXPECT_NEAR(analyzer.outputDb()[x], loud - 10, 0.01);
    analyzer.analyse(44100, geometry, 1.0);
    EXPECT_NEAR(analyzer.outputDb()[x], loud - 30, 0.01);
    // A louder tone rises at once.
    const std::vector<float> louder = sine(1000, 0, 44100, 8192);
    analyzer.take(louder.data(), louder.data(), 8192);
    analyzer.analyse(44100, geometry, 0.033);
    EXPECT_NEAR(analyzer.outputDb()[x], 0, 1.0);
    analyzer.reset();
    EXPECT_EQ(analyzer.outputDb()[x], SpectrumAnalyzer::kSilenceDb);
}

} // namespace
