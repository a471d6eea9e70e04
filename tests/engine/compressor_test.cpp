#include "engine/compressor.h"

#include "engine/band_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct BandDeleter {
    void operator()(Band* band) const { destroyBand(band); }
};
using BandPtr = std::unique_ptr<Band, BandDeleter>;

BandPtr makeBand(double f = 1000) {
    return BandPtr(createBand(f));
}

// Runs a constant stereo level through the band and returns the last output sample.
float runConstant(Band& band, float level, int samples) {
    std::vector<float> left(size_t(samples), level), right(size_t(samples), level);
    compressBlock(band, left.data(), right.data(), samples, 44100);
    return left.back();
}

TEST(CompressorCoefficients, RmsRingLengthFollowsTheWindow) {
    BandPtr band = makeBand();
    EXPECT_EQ(band->state.rmsLength(), 220); // 5 ms at 44100 Hz is 220.5 samples
    band->settings.rmsSizeMs = 1;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.rmsLength(), 44);
    band->settings.rmsSizeMs = 0;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.rmsLength(), 0);
    band->state.sampleRate = 2000; // 1 ms would be 2 samples: peak detection
    band->settings.rmsSizeMs = 1;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.rmsLength(), 0);

    // Absurd windows (a typed value, a damaged saved state) are held at ten seconds.
    band->state.sampleRate = 44100;
    band->settings.rmsSizeMs = 2000000000;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.rmsLength(), 441000);
    band->settings.rmsSizeMs = -5;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.rmsLength(), 0);
}

TEST(CompressorCoefficients, TimeConstantsKneeAndMakeup) {
    BandPtr band = makeBand();
    EXPECT_DOUBLE_EQ(band->state.attackCoef, std::exp(-1 / (15 * 0.001 * 44100)));
    EXPECT_DOUBLE_EQ(band->state.releaseCoef, std::exp(-1 / (150 * 0.001 * 44100)));
    band->settings.attackMs = 0;
    band->settings.knee = 6;
    band->settings.threshold = 0.1;
    band->settings.ratio = 4;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.attackCoef, 0.0);
    EXPECT_NEAR(band->state.kneeRatio, std::pow(10.0, 6.0 / 20), 1e-12);
    // -20 dB at 4:1 gives half of the 15 dB reduction at 0 dB as makeup: +7.5 dB.
    EXPECT_NEAR(band->state.makeupGain, std::pow(10.0, 7.5 / 20), 1e-9);

    band->settings.knee = 40;
    band->settings.ratio = 1;
    band->settings.gain = 0.5;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.kneeRatio, 16.0);
    EXPECT_EQ(band->state.makeupGain, 0.5);
}

TEST(CompressorCoefficients, SnapshotOnlyWhenAsked) {
    BandPtr band = makeBand();
    band->settings.gain = 2;
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.snapGain, 1.0);
    updateBandCoefficients(*band, true);
    EXPECT_EQ(band->state.snapGain, 2.0);
    EXPECT_EQ(band->state.snapFrequency, 1000.0);
}

TEST(CompressorCoefficients, KneeLogarithmMatchesItsArgumentWhateverTheOrder) {
    // The knee's argument is the knee ratio rounded twice: thresholds give it in a few
    // neighbouring values. The logarithm is kept for the last two; coming back to either, or
    // moving to a third, must give the logarithm of the argument of the moment.
    BandPtr band = makeBand();
    band->settings.knee = 6;
    updateBandCoefficients(*band, false);
    std::vector<double> thresholds, arguments;
    for (int i = 1; i < 400 && thresholds.size() < 3; ++i) {
        band->settings.threshold = i / 397.0;
        const CompressorConstants c = compressorConstants(*band);
        const double argument = c.inverseThreshold * c.kneeHigh;
        if (std::find(arguments.begin(), arguments.end(), argument) == arguments.end()) {
            thresholds.push_back(band->settings.threshold);
            arguments.push_back(argument);
        }
    }
    ASSERT_EQ(thresholds.size(), 3u);
    for (int pick : {0, 1, 0, 0, 1, 2, 0, 2, 1, 1, 2}) {
        band->settings.threshold = thresholds[size_t(pick)];
        const CompressorConstants c = compressorConstants(*band);
        EXPECT_EQ(c.logKneeTop, std::log(arguments[size_t(pick)])) << pick;
    }
}

TEST(CompressorCurve, SettlesTenDecibelsOverAMinusTwentyThreshold) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.1;
    band->settings.ratio = 4;
    band->settings.rmsSizeMs = 0;
    band->settings.autoMakeupGain = false;
    updateBandCoefficients(*band, true);
    const float level = float(std::pow(10.0, -10.0 / 20));
    float out = runConstant(*band, level, 44100);
    // 10 dB over at 4:1 is 7.5 dB of reduction.
    EXPECT_NEAR(out / level, std::pow(10.0, -7.5 / 20), 1e-5);
    EXPECT_NEAR(out / level, 0.4217, 5e-5);
    EXPECT_NEAR(band->state.gainMeter, 0.4217, 5e-5);

    band->settings.autoMakeupGain = true;
    updateBandCoefficients(*band, true);
    out = runConstant(*band, level, 4410);
    EXPECT_NEAR(out, level, 1e-5); // makeup +7.5 dB restores the level
}

TEST(CompressorCurve, RmsDetectorSettlesOnTheSameLevelForASteadySignal) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.1;
    band->settings.ratio = 4;
    band->settings.autoMakeupGain = false;
    updateBandCoefficients(*band, true);
    const float level = float(std::pow(10.0, -10.0 / 20));
    EXPECT_NEAR(runConstant(*band, level, 44100) / level, 0.4217, 5e-5);
    EXPECT_EQ(band->state.rmsFill, 220);
}

TEST(CompressorCurve, ZeroThresholdActsAsMinus160Decibels) {
    BandPtr zero = makeBand(), floor = makeBand();
    zero->settings.threshold = 0;
    floor->settings.threshold = 1e-8;
    for (Band* b : {zero.get(), floor.get()}) {
        b->settings.autoMakeupGain = false;
        updateBandCoefficients(*b, true);
    }
    EXPECT_EQ(runConstant(*zero, 0.01f, 2000), runConstant(*floor, 0.01f, 2000));
}

TEST(CompressorCurve, HardKneeEnvelopeRestsAtTheThreshold) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.25;
    updateBandCoefficients(*band, true);
    runConstant(*band, 0.0f, 100);
    EXPECT_EQ(band->state.envelope, 0.25);
}

TEST(CompressorCurve, ZeroAttackFollowsARisingLevelAtOnce) {
    BandPtr band = makeBand();
    band->settings.attackMs = 0;
    band->settings.rmsSizeMs = 0;
    band->settings.threshold = 0.01;
    updateBandCoefficients(*band, true);
    runConstant(*band, 0.5f, 1);
    EXPECT_EQ(band->state.envelope, double(0.5f));
}

TEST(CompressorCurve, SoftKneeIsContinuousAtBothEdges) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.1;
    band->settings.knee = 12;
    band->settings.ratio = 4;
    band->settings.rmsSizeMs = 0;
    band->settings.attackMs = 0;
    band->settings.releaseMs = 0;
    band->settings.autoMakeupGain = false;
    updateBandCoefficients(*band, true);
    const double kneeHigh = 0.1 * band->state.kneeRatio;
    const double kneeLow = 0.1 / band->state.kneeRatio;
    auto gainAt = [&](double level) {
        float l = float(level), r = float(level);
        compressBlock(*band, &l, &r, 1, 44100);
        return double(l) / double(float(level));
    };
    EXPECT_NEAR(gainAt(kneeHigh * 1.0001), gainAt(kneeHigh * 0.9999), 1e-3);
    EXPECT_NEAR(gainAt(kneeLow * 1.0001), 1.0, 1e-3);
    EXPECT_EQ(gainAt(kneeLow * 0.99), 1.0);
}

TEST(CompressorCurve, RatioBelowOneExpandsAndMetersTheMaximum) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.1;
    band->settings.ratio = 0.5;
    band->settings.rmsSizeMs = 0;
    band->settings.attackMs = 0;
    updateBandCoefficients(*band, true);
    EXPECT_EQ(band->state.makeupGain, 1.0); // no makeup when expanding
    float out = runConstant(*band, 0.2f, 10);
    // 6.02 dB over the threshold with 1:2 upward expansion adds another 6.02 dB.
    EXPECT_NEAR(out, 0.4, 1e-5);
    EXPECT_NEAR(band->state.gainMeter, 2.0, 1e-5);
}

TEST(CompressorRelease, ProgramDependentReleaseAsksForW4233Samples) {
    BandPtr band = makeBand();
    band->settings.threshold = 0.01;
    band->settings.ratio = 2; // 24.08 dB over at 2:1 is V = -2
    band->settings.rmsSizeMs = 0;
    band->settings.attackMs = 0;
    band->settings.releaseMs = 1;
    band->settings.programDependentRelease = true;
    updateBandCoefficients(*band, true);
    runConstant(*band, 0.16f, 1);
    // V = ln(16) x -0.5 / ln 2 = -2 (about: 0.16f is not exactly 0.16), W = V / -20.83 x 44100 = 4233.6.
    const double V = std::log(double(0.16f) / 0.01) * (-0.5 / std::log(2.0));
    const double W = V / (-20.833333333333332) * 44100;
    EXPECT_DOUBLE_EQ(band->state.releaseCoef, std::exp(-1 / W));
    // Every settings update cancels the raised release.
    updateBandCoefficients(*band, false);
    EXPECT_EQ(band->state.releaseCoef, band->state.releaseCoefBase);
}

TEST(CompressorSwitches, InactiveBandPassesUnchangedButKeepsMetering) {
    BandPtr band = makeBand();
    band->settings.active = false;
    band->settings.threshold = 0.01;
    band->settings.gain = 4;
    updateBandCoefficients(*band, true);
    float left[3] = {0.5f, -0.75f, 0.25f}, right[3] = {0.1f, 0.2f, -0.3f};
    compressBlock(*band, left, right, 3, 44100);
    EXPECT_EQ(left[1], -0.75f);
    EXPECT_EQ(right[2], -0.3f);
    EXPECT_EQ(band->state.inputPeak, 0.75);
    EXPECT_EQ(band->state.outputPeak, 0.75);
    EXPECT_GT(band->state.detectorPeak, 0.0);
    EXPECT_EQ(band->state.rmsFill, 3);
    EXPECT_EQ(band->state.gainMeter, 1.0);
}

TEST(CompressorSwitches, FeedbackDetectorHearsOnlyPreviousOutput) {
    BandPtr band = makeBand();
    band->settings.feedbackDetector = true;
    band->settings.rmsSizeMs = 0;
    updateBandCoefficients(*band, true);
    float l = 0.8f, r = 0.8f;
    compressBlock(*band, &l, &r, 1, 44100);
    EXPECT_EQ(band->state.detectorPeak, 0.0); // silent since the reset
    EXPECT_EQ(band->state.lastOutLeft, double(0.8f) * band->state.makeupGain);
    compressBlock(*band, &l, &r, 1, 44100);
    EXPECT_EQ(band->state.detectorPeak, double(0.8f) * band->state.makeupGain);
}

TEST(CompressorRobustness, NonFiniteSamplesDoNotPoisonTheDetector) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int mode = 0; mode < 3; ++mode) { // plain, program-dependent release, feedback
        const bool feedback = mode == 2;
        for (float poison : {nan, inf, -inf}) {
            BandPtr poisoned = makeBand(), clean = makeBand();
            for (Band* b : {poisoned.get(), clean.get()}) {
                b->settings.threshold = 0.05;
                b->settings.ratio = 3;
                b->settings.feedbackDetector = feedback;
                b->settings.programDependentRelease = mode == 1;
                updateBandCoefficients(*b, true);
            }
            const int n = 2000;
            std::vector<float> a(n), b(n);
            for (int i = 0; i < n; ++i)
                a[i] = b[i] = float(0.4 * std::sin(i * 0.03));
            a[500] = poison;
            b[500] = 0.0f; // the detector must treat the bad sample as silence
            std::vector<float> aR = a, bR = b;
            compressBlock(*poisoned, a.data(), aR.data(), n, 44100);
            compressBlock(*clean, b.data(), bR.data(), n, 44100);
            // The bad sample itself passes: NaN as NaN, infinities held at the largest float.
            if (std::isnan(poison))
                EXPECT_TRUE(std::isnan(a[500]));
            else
                EXPECT_EQ(a[500], std::copysign(FLT_MAX, poison));
            for (int i = 501; i < n; ++i)
                ASSERT_EQ(a[i], b[i]) << "sample " << i << " mode " << mode;
            EXPECT_TRUE(std::isfinite(poisoned->state.envelope));
            EXPECT_TRUE(std::isfinite(poisoned->state.rmsSumLeft));
            EXPECT_TRUE(std::isfinite(poisoned->state.rmsSumRight));
            EXPECT_TRUE(std::isfinite(poisoned->state.detectorPeak));
        }
    }
}

TEST(CompressorRobustness, TheDetectorTakesNothingLouderThanPlus40Dbfs) {
    // Up to +40 dBFS a level is taken as it is; louder ones count as +40 dBFS, so that a
    // burst leaves the envelope no higher than that.
    const struct {
        float in;
        double level;
    } peaks[] = {{99.99999f, double(99.99999f)},
                 {100.0f, 100.0},
                 {std::nextafter(100.0f, 200.0f), 100.0},
                 {-1e30f, 100.0},
                 {FLT_MAX, 100.0},
                 {-std::numeric_limits<float>::infinity(), 0.0}};
    for (const auto& p : peaks) {
        BandPtr band = makeBand();
        band->settings.rmsSizeMs = 0;
        band->settings.attackMs = 0; // the envelope takes the level at once
        band->settings.threshold = 0.1;
        band->settings.ratio = 4;
        updateBandCoefficients(*band, true);
        float left = p.in, right = 0.0f;
        compressBlock(*band, &left, &right, 1, 44100);
        EXPECT_EQ(band->state.detectorPeak, p.level) << p.in;
        EXPECT_EQ(band->state.envelope, std::max(p.level, 0.1)) << p.in;
    }

    // A window full of +1e30 averages to +40 dBFS; the feedback detector's enormous output
    // counts as +40 dBFS too.
    BandPtr rms = makeBand();
    rms->settings.attackMs = 0;
    updateBandCoefficients(*rms, true);
    runConstant(*rms, 1e30f, 2 * rms->state.rmsLength());
    EXPECT_NEAR(rms->state.detectorPeak, 100.0, 1e-9);
    EXPECT_NEAR(rms->state.envelope, 100.0, 1e-6);
    BandPtr feedback = makeBand();
    feedback->settings.rmsSizeMs = 0;
    feedback->settings.feedbackDetector = true;
    updateBandCoefficients(*feedback, true);
    runConstant(*feedback, 1e30f, 2);
    EXPECT_EQ(feedback->state.detectorPeak, 100.0);
}

TEST(CompressorState, ResetBandBehavesLikeANewOne) {
    BandPtr used = makeBand(), fresh = makeBand();
    for (Band* b : {used.get(), fresh.get()}) {
        b->settings.threshold = 0.05;
        b->settings.ratio = 4;
        updateBandCoefficients(*b, true);
    }
    runConstant(*used, 0.9f, 500); // fills part of the ring with large squares
    resetBandState(*used);
    EXPECT_EQ(used->state.envelope, 0.0);
    EXPECT_EQ(used->state.rmsSumLeft, 0.0);
    EXPECT_EQ(used->state.rmsFill, 0);
    EXPECT_EQ(used->state.rmsLength(), 220);
    EXPECT_EQ(used->state.inputPeak, 0.0);
    EXPECT_EQ(used->state.gainMeter, 1.0);
    // The old squares are never seen again, although the ring was not cleared.
    const int n = 1000;
    std::vector<float> a(n), b(n);
    for (int i = 0; i < n; ++i)
        a[size_t(i)] = b[size_t(i)] = float(0.3 * std::sin(i * 0.07));
    std::vector<float> aRight = a, bRight = b;
    compressBlock(*used, a.data(), aRight.data(), n, 44100);
    compressBlock(*fresh, b.data(), bRight.data(), n, 44100);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(a[size_t(i)], b[size_t(i)]) << i;
    EXPECT_EQ(used->state.rmsSumLeft, fresh->state.rmsSumLeft);
}

} // namespace

namespace {

// The running sums as the detector keeps them, recomputed here from the squares.
struct RunningSum {
    std::vector<double> ring;
    size_t pos = 0, fill = 0;
    double sum = 0;
    explicit RunningSum(size_t n) : ring(n, 0.0) {}
    void add(double square) {
        sum = (sum - (fill == ring.size() ? ring[pos] : 0.0)) + square;
        ring[pos] = square;
        fill = fill < ring.size() ? fill + 1 : fill;
        pos = (pos + 1) % ring.size();
    }
    double fresh() const { // the window summed oldest first, as a new detector would
        double s = 0;
        for (size_t k = 0; k < fill; ++k)
            s += ring[(fill == ring.size() ? pos + k : k) % ring.size()];
        return s;
    }
};

TEST(CompressorRms, OrdinarySignalsKeepTheRunningSumsBitForBit) {
    // An onset from silence, a 40 dB fade and back: no rescan may touch the sums.
    BandPtr band = makeBand();
    RunningSum expected(220);
    const int n = 20000;
    std::vector<float> left(n), right(n);
    for (int i = 0; i < n; ++i) {
        const double level = i < 500 ? 0.0 : (i < 10000 ? 0.5 : 0.005);
        left[size_t(i)] = right[size_t(i)] = float(level * std::sin(i * 0.05));
    }
    for (int i = 0; i < n; ++i)
        expected.add(double(left[size_t(i)]) * double(left[size_t(i)]));
    band->settings.active = false; // the detector alone, whatever the curve does
    updateBandCoefficients(*band, true);
    compressBlock(*band, left.data(), right.data(), n, 44100);
    EXPECT_EQ(band->state.rmsSumLeft, expected.sum);
}

TEST(CompressorRms, SumsAreTheWindowsOwnAfterASpikeHasLeft) {
    // The spike leaves the 220-sample window at 920; from one window length later on, the sums
    // are what a detector that never saw it holds, sample after sample.
    BandPtr band = makeBand();
    band->settings.active = false;
    updateBandCoefficients(*band, true);
    RunningSum window(220);
    const int n = 2000, spike = 700, recovered = spike + 2 * 220;
    std::vector<float> left(n), right(n);
    for (int i = 0; i < n; ++i)
        left[size_t(i)] = right[size_t(i)] = float(0.3 * std::sin(i * 0.05));
    left[spike] = right[spike] = 1e8f;
    for (int i = 0; i < n; ++i) {
        window.add(double(left[size_t(i)]) * double(left[size_t(i)]));
        compressBlock(*band, &left[size_t(i)], &right[size_t(i)], 1, 44100);
        if (i >= recovered) {
            ASSERT_NEAR(band->state.rmsSumLeft, window.fresh(), window.fresh() * 1e-9) << i;
        }
    }
    // Without the rescan the sum kept a deficit of the order of the window's own value.
    EXPECT_GT(std::fabs(window.sum - window.fresh()), window.fresh() * 1e-3);
}

} // namespace

namespace {

// A band that follows its detector at once (peak, no attack) and compresses above 0.1.
BandPtr hardBand() {
    BandPtr band = makeBand();
    band->settings.threshold = 0.1;
    band->settings.ratio = 4;
    band->settings.rmsSizeMs = 0;
    band->settings.attackMs = 0;
    band->settings.autoMakeupGain = false;
    updateBandCoefficients(*band, true);
    return band;
}

TEST(CompressorTiming, TheLouderChannelDrivesBoth) {
    // 0.5 is 13.98 dB over the threshold: at 4:1 both channels lose three quarters of that.
    const double expected = std::pow(10.0, -0.75 * 20 * std::log10(5.0) / 20);
    for (bool leftLouder : {true, false}) {
        BandPtr band = hardBand();
        std::vector<float> left(4410, leftLouder ? 0.5f : 0.05f), right(4410, leftLouder ? 0.05f : 0.5f);
        compressBlock(*band, left.data(), right.data(), 4410, 44100);
        EXPECT_NEAR(left.back() / (leftLouder ? 0.5 : 0.05), expected, 1e-6);
        EXPECT_NEAR(right.back() / (leftLouder ? 0.05 : 0.5), expected, 1e-6);
    }
}

TEST(CompressorTiming, AttackAndReleaseReachOneTimeConstantOnAStep) {
    // A one-pole envelope covers 1 - 1/e of a step in one time constant.
    BandPtr band = makeBand();
    band->settings.threshold = 0.01;
    band->settings.rmsSizeMs = 0;
    band->settings.attackMs = 10;   // 441 samples
    band->settings.releaseMs = 100; // 4410 samples
    updateBandCoefficients(*band, true);
    runConstant(*band, 0.1f, 44100); // settled on 0.1
    EXPECT_NEAR(band->state.envelope, double(0.1f), 1e-9);
    runConstant(*band, 1.0f, 441);
    EXPECT_NEAR(band->state.envelope, 0.1 + 0.9 * (1 - std::exp(-1.0)), 1e-6);
    runConstant(*band, 1.0f, 44100);
    runConstant(*band, 0.1f, 4410);
    EXPECT_NEAR(band->state.envelope, 0.1 + 0.9 * std::exp(-1.0), 1e-6);
}

TEST(CompressorTiming, ProgramDependentReleaseDecaysAtItsRate) {
    BandPtr band = hardBand();
    band->settings.releaseMs = 1;
    band->settings.programDependentRelease = true;
    updateBandCoefficients(*band, true);
    runConstant(*band, 0.9f, 1); // raises the release coefficient
    ASSERT_GT(band->state.releaseCoef, band->state.releaseCoefBase);
    // Resting below the knee nothing raises it again: a raised coefficient decays by
    // releaseDecay per sample...
    const double raised = 0.9999;
    band->state.releaseCoef = raised;
    band->state.envelope = 0;
    runConstant(*band, 0.0f, 1000);
    double expected = raised;
    for (int i = 0; i < 1000; ++i)
        expected = std::max(expected * band->state.releaseDecay, band->state.releaseCoefBase);
    EXPECT_EQ(band->state.releaseCoef, expected);
    // ...which is 2^(-20.83 * 0.6666) per second, whatever the rate.
    EXPECT_NEAR(std::pow(band->state.releaseDecay, 44100.0), std::pow(2.0, -20.83 * 0.6666), 1e-6);
}

} // namespace
