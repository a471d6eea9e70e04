// Peaks and samples beyond full scale: the generic scan against a plain loop over floats, the
// AVX2 scan against the generic one bit for bit, over awkward lengths and misaligned starts,
// with the samples that trip comparisons up (NaN, infinity, full scale and just past it, -0).
#include "render/peak_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int64_t kLengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                18, 19, 20, 21, 22, 23, 24, 25, 65, 999, 4095};

// Samples mostly within full scale, some beyond, and now and then one of the awkward ones.
std::vector<float> awkwardSamples(size_t count, unsigned seed) {
    const float awkward[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                             HUGE_VALF, -HUGE_VALF, 1.0f, -1.0f, std::nextafter(1.0f, 2.0f), -0.0f,
                             std::numeric_limits<float>::denorm_min()};
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1.2f, 1.2f);
    std::vector<float> samples(count);
    for (float& value : samples)
        value = random() % 11 == 0 ? awkward[random() % (sizeof(awkward) / sizeof(awkward[0]))] : sample(random);
    return samples;
}

PeakScan plainScan(const float* samples, int64_t count, PeakScan scan) {
    for (int64_t i = 0; i < count; ++i) {
        scan.peak = std::max(scan.peak, std::fabs(samples[i]));
        scan.overFullScale += std::fabs(samples[i]) > 1.0f;
    }
    return scan;
}

TEST(PeakScan, GenericAgreesWithAPlainLoopOverFloats) {
    const std::vector<float> samples = awkwardSamples(4095 + 3, 5);
    for (int64_t length : kLengths)
        for (size_t offset = 0; offset < 4; ++offset) {
            SCOPED_TRACE("length " + std::to_string(length) + ", offset " + std::to_string(offset));
            // From nothing, and on top of an earlier peak and count.
            for (const PeakScan start : {PeakScan{}, PeakScan{0.75f, 3}}) {
                PeakScan scan = start;
                scanPeaksGeneric(samples.data() + offset, length, scan);
                const PeakScan expected = plainScan(samples.data() + offset, length, start);
                EXPECT_EQ(scan.peak, expected.peak);
                EXPECT_EQ(scan.overFullScale, expected.overFullScale);
            }
        }
}

TEST(PeakScan, Avx2AgreesWithGenericBitForBit) {
    PeakScan probe;
    if (!scanPeaksAvx2(nullptr, 0, probe))
        GTEST_SKIP() << "no AVX2 on this processor";
    int64_t beyond = 0;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::vector<float> samples = awkwardSamples(4095 + 3, seed);
        for (int64_t length : kLengths)
            for (size_t offset = 0; offset < 4; ++offset) {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", length " + std::to_string(length) +
                             ", offset " + std::to_string(offset));
                PeakScan generic{0.5f, 1}, wide{0.5f, 1};
                scanPeaksGeneric(samples.data() + offset, length, generic);
                ASSERT_TRUE(scanPeaksAvx2(samples.data() + offset, length, wide));
                EXPECT_EQ(std::memcmp(&wide.peak, &generic.peak, sizeof(float)), 0);
                EXPECT_EQ(wide.overFullScale, generic.overFullScale);
                beyond += wide.overFullScale - 1;
            }
    }
    EXPECT_GT(beyond, 0);
}

TEST(PeakScan, InfinityIsThePeakAndNaNIsNot) {
    const float samples[] = {0.25f, std::numeric_limits<float>::quiet_NaN(), -0.5f};
    PeakScan scan;
    scanPeaks(samples, 3, scan);
    EXPECT_EQ(scan.peak, 0.5f);
    EXPECT_EQ(scan.overFullScale, 0);
    const float infinite[] = {-HUGE_VALF, 2.0f};
    scanPeaks(infinite, 2, scan);
    EXPECT_EQ(scan.peak, HUGE_VALF);
    EXPECT_EQ(scan.overFullScale, 2);
}

} // namespace
