// The meter's rules without a window: the readout format, holds and maxima in both modes
// (across the tick counter's wrap), silence, the mode switch, the reset a click gives on each
// orientation, and the vertical scale of each mode.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "editor/core/meter_model.h"

namespace {

std::string reading(int32_t tenths) {
    char text[16];
    formatMeterReading(tenths, text);
    return text;
}

TEST(MeterReadout, TenthsOfADecibel) {
    EXPECT_EQ(reading(-5), "-0.5");
    EXPECT_EQ(reading(0), "+0.0");
    EXPECT_EQ(reading(123), "+12.3");
    EXPECT_EQ(reading(-999), "-99.9");
    EXPECT_EQ(reading(-1000), "-inf");
    EXPECT_EQ(reading(kMeterSilence), "-inf");
    EXPECT_EQ(reading(INT_MIN), "-inf");
    EXPECT_EQ(reading(INT_MAX), "+214748364.7");
}

TEST(MeterLevels, HoldsAndMaximaInLevelMode) {
    MeterValues state;
    updateMeterLevels(state, -300, -500, 50000);
    EXPECT_EQ(state.peakHold[0], -300);
    EXPECT_EQ(state.maxSinceReset[1], -500);
    // Lower levels leave the hold alone for 1000 ms; a higher one replaces it at once.
    updateMeterLevels(state, -400, -400, 51000);
    EXPECT_EQ(state.peakHold[0], -300);
    EXPECT_EQ(state.holdStart[0], 50000u);
    EXPECT_EQ(state.peakHold[1], -400);
    EXPECT_EQ(state.level[0], -400);
    updateMeterLevels(state, -450, -450, 51001);
    EXPECT_EQ(state.peakHold[0], -450);
    EXPECT_EQ(state.holdStart[0], 51001u);
    EXPECT_EQ(state.maxSinceReset[0], -300);
    // Silence clears the channel's maximum and takes the hold.
    updateMeterLevels(state, kMeterSilence, -10, 51002);
    EXPECT_EQ(state.maxSinceReset[0], kMeterSilence);
    EXPECT_EQ(state.peakHold[0], kMeterSilence);
    EXPECT_EQ(state.maxSinceReset[1], -10);
}

TEST(MeterLevels, GainReductionKeepsTheDeepest) {
    MeterValues state;
    state.mode = kMeterGainReductionMode;
    for (int n = 0; n < 2; ++n)
        state.maxSinceReset[n] = state.peakHold[n] = state.level[n] = 0;
    updateMeterLevels(state, -60, -20, 1000);
    updateMeterLevels(state, -30, -40, 1500);
    EXPECT_EQ(state.peakHold[0], -60);
    EXPECT_EQ(state.peakHold[1], -40);
    EXPECT_EQ(state.maxSinceReset[0], -60);
    EXPECT_EQ(state.maxSinceReset[1], -40);
    updateMeterLevels(state, -30, -40, 2001);
    EXPECT_EQ(state.peakHold[0], -30);
}

TEST(MeterLevels, HoldTimesSurviveTheTickCountWrap) {
    EXPECT_FALSE(holdExpired(1000, 0));
    EXPECT_TRUE(holdExpired(1001, 0));
    EXPECT_FALSE(holdExpired(0x100, 0xFFFFFF00u)); // 512 ms across the wrap
    EXPECT_TRUE(holdExpired(0x2F0, 0xFFFFFF00u));  // 1008 ms across it
    MeterValues state;
    updateMeterLevels(state, -100, -100, 0xFFFFFF00u);
    updateMeterLevels(state, -200, -200, 0x100);
    EXPECT_EQ(state.peakHold[0], -100);
    updateMeterLevels(state, -200, -200, 0x2F0);
    EXPECT_EQ(state.peakHold[0], -200);
}

TEST(MeterMode, SwitchingResetsToTheModesValue) {
    MeterValues values;
    updateMeterLevels(values, -100, -200, 10);
    setMeterMode(values, kMeterGainReductionMode);
    EXPECT_EQ(values.mode, kMeterGainReductionMode);
    EXPECT_EQ(values.peakHold[1], 0);
    EXPECT_EQ(values.maxSinceReset[0], 0);
    setMeterMode(values, 7);
    EXPECT_EQ(values.mode, kMeterLevelMode);
    EXPECT_EQ(values.level[0], kMeterSilence);
}

// 300 rows: 0 dB at row 300 - 300 * 619 / 680 = 27 in level mode; in gain-reduction mode no
// over zone and the readout band down to 300 - 300 * 209 / 240 = 39.
TEST(MeterScale, EachModeAndHeight) {
    const VerticalMeterScale level = verticalScaleOf(kMeterLevelMode, 300);
    EXPECT_EQ(level.zeroLine, 27);
    EXPECT_EQ(level.textBottom, 27);
    EXPECT_EQ(level.fullScale, 680);
    EXPECT_EQ(level.rangeDb * 10 + level.headroomDb * 10, level.fullScale);
    EXPECT_EQ(level.resetValue, kMeterSilence);
    const VerticalMeterScale reduction = verticalScaleOf(kMeterGainReductionMode, 300);
    EXPECT_EQ(reduction.zeroLine, 0);
    EXPECT_EQ(reduction.textBottom, 39);
    EXPECT_EQ(reduction.rangeDb * 10 + reduction.headroomDb * 10, reduction.fullScale);
    EXPECT_EQ(reduction.resetValue, 0);
    EXPECT_EQ(verticalScaleOf(kMeterLevelMode, 680).zeroLine, 61);
    EXPECT_EQ(horizontalMeterZero(300), 273);
}

TEST(MeterReset, AClickOnTheVerticalMeterAboveZeroOrAnywhereInGainReduction) {
    MeterValues values;
    updateMeterLevels(values, -250, -70, 100);
    EXPECT_FALSE(clickVerticalMeter(values, 300, 27)) << "on the 0 dB line";
    EXPECT_EQ(values.maxSinceReset[1], -70);
    EXPECT_TRUE(clickVerticalMeter(values, 300, 26));
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(values.maxSinceReset[n], kMeterSilence);
        EXPECT_EQ(values.peakHold[n], kMeterSilence);
        EXPECT_EQ(values.level[n], kMeterSilence);
    }
    setMeterMode(values, kMeterGainReductionMode);
    updateMeterLevels(values, -60, -90, 200);
    EXPECT_TRUE(clickVerticalMeter(values, 300, 290));
    EXPECT_EQ(values.maxSinceReset[1], 0);
    EXPECT_EQ(values.level[0], 0);
}

TEST(MeterReset, AClickOnTheHorizontalMetersOverZoneOrReadout) {
    MeterValues values;
    updateMeterLevels(values, -100, -200, 100);
    // Right of min(300 - 10, 273) - 8 = 265; on a 60-pixel meter right of min(50, 54) - 8 = 42.
    EXPECT_FALSE(clickHorizontalMeter(values, 300, 265));
    EXPECT_EQ(values.maxSinceReset[0], -100);
    EXPECT_TRUE(clickHorizontalMeter(values, 300, 266));
    EXPECT_EQ(values.maxSinceReset[0], kMeterIdleLevel);
    EXPECT_EQ(values.level[1], kMeterIdleLevel);
    updateMeterLevels(values, -100, -200, 100);
    EXPECT_FALSE(clickHorizontalMeter(values, 60, 42));
    EXPECT_TRUE(clickHorizontalMeter(values, 60, 43));
}

} // namespace
