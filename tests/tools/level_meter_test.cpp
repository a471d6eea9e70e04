// Level statistics: whole-run peak and RMS per channel and the 10 ms window RMS of the plot;
// the meter of peaks only agrees with the full one on what it keeps.
#include "render/level_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// Uniform noise within +-range on the left, half as loud on the right.
void randomStereo(unsigned seed, float range, std::vector<float>& left, std::vector<float>& right) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-range, range);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = sample(random);
        right[i] = 0.5f * sample(random);
    }
}

TEST(LevelMeter, ConstantAndSilentChannels) {
    LevelMeter meter(44100);
    EXPECT_EQ(meter.windowFrames(), 441);
    std::vector<float> left(882, 0.5f), right(882, 0.0f);
    left[100] = -0.75f;
    meter.add(left.data(), right.data(), 882);
    meter.finish();
    EXPECT_EQ(meter.peak(0), 0.75);
    EXPECT_EQ(meter.peak(1), 0.0);
    EXPECT_NEAR(meter.rms(0), std::sqrt((881 * 0.25 + 0.5625) / 882), 1e-12);
    EXPECT_EQ(meter.rms(1), 0.0);
    // Both channels' power averaged: sqrt(0.25 / 2) in the window without the spike.
    ASSERT_EQ(meter.windowRms().size(), 2u);
    EXPECT_NEAR(meter.windowRms()[1], std::sqrt(0.125), 1e-6);
    EXPECT_NEAR(meter.windowRms()[0], std::sqrt((440 * 0.25 + 0.5625) / 882), 1e-6);
    EXPECT_EQ(amplitudeToDb(meter.rms(1)), -HUGE_VAL);
    EXPECT_NEAR(amplitudeToDb(0.5), -6.0206, 1e-4);
}

TEST(LevelMeter, TheLastShortWindowCountsWithItsOwnLength) {
    LevelMeter meter(1000, 0.010); // 10-frame windows
    std::vector<float> ones(25, 1.0f);
    meter.add(ones.data(), ones.data(), 25);
    meter.finish();
    ASSERT_EQ(meter.windowRms().size(), 3u);
    EXPECT_FLOAT_EQ(meter.windowRms()[2], 1.0f);
}

TEST(LevelMeter, SamplesBeyondFullScaleAreCountedOnBothChannels) {
    LevelMeter meter(1000);
    std::vector<float> left(300, 0.5f), right(300, -0.5f);
    // Full scale itself fits; the next float above it does not, nor does anything louder.
    left[3] = 1.0f;
    right[4] = -1.0f;
    left[10] = std::nextafter(1.0f, 2.0f);
    right[11] = -1.5f;
    left[200] = 4.0f;
    right[200] = -4.0f;
    right[299] = 1.001f;
    meter.add(left.data(), right.data(), 150);
    meter.add(left.data() + 150, right.data() + 150, 150);
    EXPECT_EQ(meter.samplesOverFullScale(), 5);
    EXPECT_EQ(meter.peak(0), 4.0);
}

TEST(LevelMeter, SlicingTheInputChangesNothing) {
    std::vector<float> left(20000), right(20000);
    randomStereo(7, 1.0f, left, right);
    LevelMeter whole(48000), sliced(48000);
    whole.add(left.data(), right.data(), 20000);
    for (int64_t at = 0, step = 1; at < 20000; at += step, step = step * 3 % 997 + 1)
        sliced.add(left.data() + at, right.data() + at, std::min<int64_t>(step, 20000 - at));
    whole.finish();
    sliced.finish();
    EXPECT_EQ(sliced.frames(), 20000);
    EXPECT_EQ(sliced.peak(0), whole.peak(0));
    EXPECT_NEAR(sliced.rms(1), whole.rms(1), 1e-12);
    ASSERT_EQ(sliced.windowRms().size(), whole.windowRms().size());
    for (size_t w = 0; w < whole.windowRms().size(); ++w)
        EXPECT_NEAR(sliced.windowRms()[w], whole.windowRms()[w], 1e-6) << w;
}

TEST(LevelMeter, PeaksOnlyAgreeWithTheFullMeterWhateverTheSamples) {
    std::vector<float> left(5000), right(5000);
    randomStereo(11, 1.25f, left, right);
    // Full scale itself, the float just above it, negative zero, infinity and NaN: a NaN is
    // neither a peak nor beyond full scale, infinity is both.
    right[7] = -1.0f;
    right[8] = std::nextafter(1.0f, 2.0f);
    right[9] = -0.0f;
    right[4000] = std::nanf("");
    left[4001] = -std::numeric_limits<float>::quiet_NaN();
    std::vector<float> withInfinity = left;
    withInfinity[1234] = -HUGE_VALF;

    for (const std::vector<float>* first : {&left, &withInfinity}) {
        LevelMeter full(48000), peaks(48000, 0.010, MeterDetail::kPeaks);
        full.add(first->data(), right.data(), 5000);
        for (int64_t at = 0, step = 1; at < 5000; at += step, step = step * 5 % 613 + 1)
            peaks.add(first->data() + at, right.data() + at, std::min<int64_t>(step, 5000 - at));
        full.finish();
        peaks.finish();
        EXPECT_EQ(peaks.frames(), 5000);
        EXPECT_EQ(peaks.peak(0), full.peak(0));
        EXPECT_EQ(peaks.peak(1), full.peak(1));
        EXPECT_EQ(peaks.samplesOverFullScale(), full.samplesOverFullScale());
        EXPECT_GT(peaks.samplesOverFullScale(), 800); // about a fifth of the left channel
        EXPECT_EQ(peaks.rms(0), 0.0);
        EXPECT_TRUE(peaks.windowRms().empty());
    }
    LevelMeter infinite(48000, 0.010, MeterDetail::kPeaks);
    infinite.add(withInfinity.data(), right.data(), 5000);
    EXPECT_EQ(infinite.peak(0), HUGE_VAL);
}

TEST(LevelMeter, PeaksOnlyOfSilenceAndNothing) {
    LevelMeter meter(44100, 0.010, MeterDetail::kPeaks);
    EXPECT_EQ(meter.peak(0), 0.0);
    std::vector<float> silence(1000, 0.0f), quiet(1000, -0.25f);
    meter.add(silence.data(), quiet.data(), 0);
    EXPECT_EQ(meter.frames(), 0);
    meter.add(silence.data(), quiet.data(), 1000);
    EXPECT_EQ(meter.peak(0), 0.0);
    EXPECT_EQ(meter.peak(1), 0.25);
    EXPECT_EQ(meter.samplesOverFullScale(), 0);
}

} // namespace
