#include "engine/crossover.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

CrossoverFilter designedAt(double f, double sampleRate = 44100) {
    CrossoverFilter filter;
    filter.sampleRate = sampleRate;
    designFilter(filter, f);
    return filter;
}

TEST(CrossoverDesign, QuarterSampleRateHasClosedFormCoefficients) {
    // At fs/4, omega = pi/2: cos = 0, sin = 1, alpha = 1/2, 1/a0 = 2/3.
    CrossoverFilter filter = designedAt(11025);
    EXPECT_NEAR(filter.b1, 2.0 / 3.0, 1e-15);
    EXPECT_NEAR(filter.b0, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(filter.b2, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(filter.a1, 0.0, 1e-15);
    EXPECT_NEAR(filter.a2, 1.0 / 3.0, 1e-15);
    // A low-pass passes DC: (b0 + b1 + b2) / (1 + a1 + a2) = 1.
    EXPECT_NEAR((filter.b0 + filter.b1 + filter.b2) / (1 + filter.a1 + filter.a2), 1.0, 1e-14);
}

TEST(CrossoverDesign, DesignFrequencyIsLimitedButTheStoredOneIsNot) {
    CrossoverFilter low = designedAt(3);
    CrossoverFilter ten = designedAt(10);
    EXPECT_EQ(low.frequency, 3);
    EXPECT_EQ(low.b1, ten.b1);
    EXPECT_EQ(low.a1, ten.a1);

    CrossoverFilter high = designedAt(23000);
    CrossoverFilter limit = designedAt(0.49 * 44100);
    EXPECT_EQ(high.frequency, 23000);
    EXPECT_EQ(high.b1, limit.b1);
    EXPECT_EQ(high.a2, limit.a2);
}

TEST(CrossoverDesign, SameFrequencyIsANoOpEvenAfterARateChange) {
    CrossoverFilter filter = designedAt(1000);
    const double b1At44k = filter.b1;
    filter.sampleRate = 96000;
    designFilter(filter, 1000);
    EXPECT_EQ(filter.b1, b1At44k);
    designFilter(filter, -1);
    EXPECT_EQ(filter.frequency, 1000);
    EXPECT_EQ(filter.b1, designedAt(1000, 96000).b1);
    EXPECT_NE(filter.b1, b1At44k);
}

TEST(CrossoverSplit, BandPlusRemainderRebuildsTheInput) {
    CrossoverFilter filter = designedAt(800);
    const int n = 2048;
    std::vector<float> remL(n), remR(n), bandL(n), bandR(n), in(n);
    for (int i = 0; i < n; ++i) {
        in[i] = float(0.7 * std::sin(i * 0.005) + 0.2 * std::sin(i * 1.3));
        remL[i] = in[i];
        remR[i] = -in[i];
    }
    splitBlock(filter, remL.data(), remR.data(), bandL.data(), bandR.data(), n);
    double lowEnergy = 0, highEnergy = 0;
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(double(bandL[i]) + remL[i], in[i], 2e-7);
        ASSERT_NEAR(double(bandR[i]) + remR[i], -in[i], 2e-7);
        if (i > 200) {
            lowEnergy += double(bandL[i]) * bandL[i];
            highEnergy += double(remL[i]) * remL[i];
        }
    }
    // The slow sine lands in the band, the fast one in the remainder.
    EXPECT_GT(lowEnergy, 5 * highEnergy);
}

TEST(CrossoverSplit, OffsetsAreExactlyPartOfTheOutput) {
    // Silence in: the section sees -1e-13 and the remainder keeps -1e-13 - y + 1e-14.
    CrossoverFilter filter = designedAt(1000);
    float remL = 0, remR = 0, bandL = 1, bandR = 1;
    splitBlock(filter, &remL, &remR, &bandL, &bandR, 1);
    const double y = -1e-13 * filter.b0;
    EXPECT_EQ(bandL, float(y));
    EXPECT_EQ(remL, float(-1e-13 - y + 1e-14));
    EXPECT_EQ(filter.left.x1, -1e-13);
    EXPECT_EQ(filter.left.y1, y);

    // At 10 Hz the first output is far below 2^-54 and is flushed to an exact zero.
    CrossoverFilter low = designedAt(10);
    remL = remR = 0;
    splitBlock(low, &remL, &remR, &bandL, &bandR, 1);
    ASSERT_LT(std::fabs(-1e-13 * low.b0), 0x1p-54);
    EXPECT_EQ(bandL, 0.0f);
    EXPECT_EQ(low.left.y1, 0.0);
    EXPECT_EQ(remL, float(-1e-13 - (-1e-13 * low.b0) + 1e-14)); // the unflushed y
}

TEST(CrossoverSplit, SilenceSettlesOnTheOffsetAndNeverGoesDenormal) {
    CrossoverFilter filter = designedAt(500);
    const int n = 44100;
    std::vector<float> remL(n, 0.0f), remR(n, 0.0f), bandL(n), bandR(n);
    remL[0] = remR[0] = 1.0f;
    splitBlock(filter, remL.data(), remR.data(), bandL.data(), bandR.data(), n);
    // The impulse response dies away; what stays is the low-passed entry offset.
    EXPECT_NEAR(filter.left.y1, -1e-13, 1e-18);
    EXPECT_EQ(std::fpclassify(filter.left.y1), FP_NORMAL);
    EXPECT_EQ(std::fpclassify(filter.left.y2), FP_NORMAL);
    EXPECT_NEAR(remL[n - 1], 1e-14, 1e-18);
}

TEST(CrossoverSplit, NonFiniteInputIsFlushedFromTheBandAndTheStateRecovers) {
    CrossoverFilter filter = designedAt(1000);
    const float values[] = {0.5f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            0.25f,
                            0.25f,
                            0.25f,
                            0.25f};
    const int n = 7;
    float remL[n], remR[n], bandL[n], bandR[n];
    for (int i = 0; i < n; ++i)
        remL[i] = remR[i] = values[i];
    splitBlock(filter, remL, remR, bandL, bandR, n);
    EXPECT_TRUE(std::isnan(remL[1]));
    EXPECT_EQ(bandL[1], 0.0f);
    EXPECT_EQ(bandL[2], 0.0f);
    // Two samples later the non-finite inputs have left the section's memory.
    EXPECT_TRUE(std::isfinite(bandL[5]) && bandL[5] != 0.0f);
    EXPECT_TRUE(std::isfinite(remL[6]));
    EXPECT_TRUE(std::isfinite(filter.left.y1) && std::isfinite(filter.left.x2));
}

TEST(CrossoverSplit, ANonFiniteSampleLeavesAFreshSection) {
    // A sine with a NaN or infinity every seventh sample: a section that kept its outputs'
    // history while forgetting the bad inputs grew without bound (past 1e147 within 0.1 s at
    // 200 Hz). After each bad sample the section must run on as a cleared one.
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (double f : {200.0, 1000.0, 8000.0}) {
        CrossoverFilter stream = designedAt(f);
        const int n = 4410;
        std::vector<float> remL(n), remR(n), bandL(n), bandR(n);
        for (int i = 0; i < n; ++i)
            remL[size_t(i)] = remR[size_t(i)] =
                i % 7 == 3 ? bad[(i / 7) % 3] : float(0.3 * std::sin(i * 0.06));
        const std::vector<float> input = remL;
        splitBlock(stream, remL.data(), remR.data(), bandL.data(), bandR.data(), n);
        for (int i = 0; i < n; ++i)
            ASSERT_LE(std::fabs(bandL[size_t(i)]), 1.0f) << f << " Hz, sample " << i;
        // The samples after the last bad one, through a cleared section.
        CrossoverFilter fresh = designedAt(f);
        const int last = (n - 1 - 3) / 7 * 7 + 3;
        std::vector<float> tail(input.begin() + last + 1, input.end());
        std::vector<float> tailR = tail, outL(tail.size()), outR(tail.size());
        splitBlock(fresh, tail.data(), tailR.data(), outL.data(), outR.data(), int(tail.size()));
        for (size_t i = 0; i < tail.size(); ++i) {
            EXPECT_EQ(bandL[size_t(last + 1) + i], outL[i]) << f << " Hz";
            EXPECT_EQ(remL[size_t(last + 1) + i], tail[i]) << f << " Hz";
        }
        EXPECT_TRUE(std::isnan(remL[size_t(last)]));
    }
}

} // namespace
