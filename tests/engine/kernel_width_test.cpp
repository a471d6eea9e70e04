// Every width of the pass kernel's vectorised passes against the generic code, bit for bit:
// the curve against the reference's curve pass, the RMS levels against their definition, and
// the crossover wavefront against splitBlock band after band. Awkward lengths (partial
// vectors, partial chunks, many chunks), and arrays that start off the vector alignment.
#include "engine/band_control.h"
#include "engine/compressor.h"
#include "engine/curve_pass.h"
#include "engine_fixture.h"
#include "kernel_width.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

const int32_t kLengths[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,
                            15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 65, 999, 4095};
// Array starts: aligned as the allocator aligns, and one element off.
const int32_t kOffsets[] = {0, 1};
const double kGuard = -12345.0; // what the passes must leave past their last vector

std::vector<const KernelWidth*> availableWidths() {
    std::vector<const KernelWidth*> widths;
    for (const KernelWidth* width : {&kSse2Width, &kAvx2Width, &kAvx512Width})
        if (processingPathAvailable(width->path))
            widths.push_back(width);
    return widths;
}

int32_t padded(int32_t n, int lanes) {
    return (n + lanes - 1) / lanes * lanes;
}

struct BandDeleter {
    void operator()(Band* band) const { destroyBand(band); }
};
using BandPtr = std::unique_ptr<Band, BandDeleter>;

BandPtr bandWith(double f, double thresholdDb, double ratio, double kneeDb) {
    BandPtr band(createBand(f));
    setBandSampleRate(*band, 44100);
    band->settings.threshold = std::pow(10.0, thresholdDb / 20);
    band->settings.ratio = ratio;
    band->settings.knee = kneeDb;
    updateBandCoefficients(*band, false);
    return band;
}

CurveConstants curveConstantsOf(const Band& band) {
    const CompressorConstants c = compressorConstants(band);
    return {c.kneeLow, c.kneeHigh, c.kneeScale, c.inverseThreshold, c.logKneeTop, band.state.slope};
}

// Envelope levels as the envelopes hand them on: 0 (resting at or below the knee), levels in
// the knee, above it, and far above it up to the detector's bound.
std::vector<double> envelopeLevels(const Band& band, int32_t n, std::mt19937& random) {
    const CompressorConstants c = compressorConstants(band);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> levels(static_cast<size_t>(n));
    for (double& level : levels) {
        switch (random() % 4) {
        case 0:
            level = 0;
            break;
        case 1:
            level = c.kneeLow + (c.kneeHigh - c.kneeLow) * unit(random);
            break;
        case 2:
            level = c.kneeHigh * std::pow(10.0, 4 * unit(random));
            break;
        default:
            level = std::max(c.kneeLow, std::pow(10.0, -6 + 105 * unit(random)));
        }
    }
    return levels;
}

TEST(KernelWidths, CurveGainsEqualTheReferenceCurvePass) {
    std::mt19937 random(5);
    const BandPtr bands[] = {bandWith(1000, -20, 4, 6), bandWith(1000, -30, 0.5, 0),
                             bandWith(1000, -10, 100, 12), bandWith(1000, -40, 1.5, 24)};
    for (const KernelWidth* width : availableWidths()) {
        SCOPED_TRACE(processingPathName(width->path));
        for (const BandPtr& band : bands)
            for (int32_t n : kLengths)
                for (int32_t offset : kOffsets) {
                    SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
                    const std::vector<double> levels = envelopeLevels(*band, n, random);
                    std::vector<double> expected(static_cast<size_t>(n));
                    curve_pass::curveGains(curveConstantsOf(*band), levels.data(), expected.data(), n);
                    // The pass reads whole vectors: the levels past n are resting ones.
                    const int32_t whole = padded(n, width->lanes);
                    std::vector<double> in(size_t(offset + whole), 0.0),
                        gains(size_t(offset + whole + 4), kGuard);
                    std::copy(levels.begin(), levels.end(), in.begin() + offset);
                    width->curve(*band, in.data() + offset, whole, gains.data() + offset);
                    for (int32_t i = 0; i < n; ++i)
                        ASSERT_TRUE(sameBits(gains[size_t(offset + i)], expected[size_t(i)]))
                            << i << ": " << gains[size_t(offset + i)] << " vs " << expected[size_t(i)];
                    for (size_t i = size_t(offset + whole); i < gains.size(); ++i)
                        ASSERT_EQ(gains[i], kGuard) << "written past the last vector";
                    if (offset > 0) {
                        ASSERT_EQ(gains[0], kGuard) << "written before the first level";
                    }
                }
    }
}

TEST(KernelWidths, RmsLevelsEqualTheirDefinition) {
    std::mt19937 random(6);
    std::uniform_real_distribution<double> unit(0, 1);
    for (const KernelWidth* width : availableWidths()) {
        SCOPED_TRACE(processingPathName(width->path));
        for (int32_t n : kLengths)
            for (int32_t offset : kOffsets) {
                SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
                BandPtr band = bandWith(500, -20, 4, 6);
                const CompressorConstants c = compressorConstants(*band);
                ASSERT_GT(c.ringLength, 0);
                band->state.detectorPeak = 1e-3;
                // Running sums of every size, equal pairs, and sums that rounding left at or
                // just below zero after a loud square left the window.
                const int32_t whole = padded(n, width->lanes);
                std::vector<double> sums(size_t(2 * (offset + whole)), 0.0);
                for (int32_t i = 0; i < 2 * n; ++i) {
                    const unsigned kind = random() % 5;
                    double& sum = sums[size_t(2 * offset + i)];
                    sum = kind == 0   ? 0.0
                          : kind == 1 ? -1e-18 * unit(random)
                                      : std::pow(10.0, 8 * unit(random) - 6);
                    if (i % 2 == 1 && random() % 4 == 0)
                        sum = sums[size_t(2 * offset + i - 1)];
                }
                std::vector<double> levels(size_t(offset + whole + 4), kGuard);
                width->rmsLevels(*band, sums.data() + 2 * offset, whole, levels.data() + offset);
                double peak = 1e-3;
                for (int32_t i = 0; i < n; ++i) {
                    const double left = sums[size_t(2 * (offset + i))],
                                 right = sums[size_t(2 * (offset + i) + 1)];
                    const double louder = std::max(std::max(left, right), 0.0);
                    const double expected = std::sqrt(louder * c.inverseRingLength);
                    ASSERT_TRUE(sameBits(levels[size_t(offset + i)], expected)) << i;
                    peak = std::max(peak, expected);
                }
                EXPECT_EQ(band->state.detectorPeak, peak);
                for (size_t i = size_t(offset + whole); i < levels.size(); ++i)
                    ASSERT_EQ(levels[i], kGuard) << "written past the last vector";
                if (offset > 0) {
                    ASSERT_EQ(levels[0], kGuard) << "written before the first sum";
                }
            }
    }
}

// Two equal sets of bands, one run through splitBlock and one through the wavefront.
struct CrossoverPair {
    std::vector<BandPtr> generic, wide;
    explicit CrossoverPair(const std::vector<double>& frequencies) {
        for (double f : frequencies) {
            generic.push_back(bandWith(f, -20, 4, 6));
            wide.push_back(bandWith(f, -20, 4, 6));
        }
    }
};

void expectSameFilterState(const CrossoverFilter& a, const CrossoverFilter& b) {
    for (const auto& [x, y] : {std::pair(a.left, b.left), std::pair(a.right, b.right)}) {
        EXPECT_TRUE(sameBits(x.x1, y.x1) && sameBits(x.x2, y.x2) && sameBits(x.y1, y.y1) &&
                    sameBits(x.y2, y.y2));
    }
}

TEST(KernelWidths, CrossoverWavefrontEqualsSplitBlockBandAfterBand) {
    const std::vector<std::vector<double>> groups = {
        {1000}, {80, 2500}, {40, 400, 4000}, {30, 300, 3000, 20000}};
    for (const KernelWidth* width : availableWidths()) {
        SCOPED_TRACE(processingPathName(width->path));
        for (const std::vector<double>& frequencies : groups)
            for (int32_t n : kLengths)
                for (int32_t offset : kOffsets) {
                    SCOPED_TRACE(testing::Message()
                                 << frequencies.size() << " bands, n " << n << " offset " << offset);
                    CrossoverPair pair(frequencies);
                    const int count = int(frequencies.size());
                    // Music, then a stretch with a NaN, an infinity, huge and denormal samples,
                    // which flush and reset the sections.
                    StereoSignal input = musicLike(n + offset, 44100);
                    for (int32_t i = n / 2; i < n / 2 + 4 && i < n; ++i) {
                        const float odd[] = {std::numeric_limits<float>::quiet_NaN(), INFINITY, 3e38f,
                                             1e-40f};
                        input.left[size_t(offset + i)] = odd[i % 4];
                        input.right[size_t(offset + i)] = -odd[(i + 1) % 4];
                    }
                    StereoSignal genericRest = input, wideRest = input;
                    std::vector<StereoSignal> genericBands(size_t(count), StereoSignal(n + offset));
                    std::vector<StereoSignal> wideBands(size_t(count), StereoSignal(n + offset));
                    for (int k = 0; k < count; ++k)
                        splitBlock(pair.generic[size_t(k)]->filter, genericRest.left.data() + offset,
                                   genericRest.right.data() + offset,
                                   genericBands[size_t(k)].left.data() + offset,
                                   genericBands[size_t(k)].right.data() + offset, n, true);
                    Band* bands[4];
                    float* signal[4][2];
                    for (int k = 0; k < count; ++k) {
                        bands[k] = pair.wide[size_t(k)].get();
                        signal[k][0] = wideBands[size_t(k)].left.data() + offset;
                        signal[k][1] = wideBands[size_t(k)].right.data() + offset;
                    }
                    float* remainder[2] = {wideRest.left.data() + offset, wideRest.right.data() + offset};
                    width->crossover(bands, count, remainder, signal, n);
                    auto same = [](const std::vector<float>& a, const std::vector<float>& b) {
                        return a.size() == b.size() &&
                               (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
                    };
                    EXPECT_TRUE(same(genericRest.left, wideRest.left) &&
                                same(genericRest.right, wideRest.right))
                        << "remainder";
                    for (int k = 0; k < count; ++k) {
                        EXPECT_TRUE(same(genericBands[size_t(k)].left, wideBands[size_t(k)].left) &&
                                    same(genericBands[size_t(k)].right, wideBands[size_t(k)].right))
                            << "band " << k;
                        expectSameFilterState(pair.generic[size_t(k)]->filter, pair.wide[size_t(k)]->filter);
                    }
                }
    }
}

} // namespace
