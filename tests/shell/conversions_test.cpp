// The conversions shared by parameters and faders, at their anchors and as inverse pairs.
#include "shell/conversions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ConversionsTest, ampToDb) {
    EXPECT_EQ(ampToDb(1.0), 0.0);
    EXPECT_NEAR(ampToDb(4.0), 12.041199826559248, 1e-12);
    EXPECT_NEAR(ampToDb(0.5), -6.020599913279624, 1e-12);
    EXPECT_EQ(ampToDb(0.0), -150.0);
    EXPECT_EQ(ampToDb(-1.0), -150.0);
    EXPECT_EQ(ampToDb(std::ldexp(1.0, -26)), -150.0);
    // 2^-25 is -150.5 dB: above the cut, floored.
    EXPECT_EQ(ampToDb(std::ldexp(1.0, -25)), -150.0);
    EXPECT_NEAR(ampToDb(1e-7), -140.0, 1e-9);
}

TEST(ConversionsTest, FaderScaleAnchors) {
    EXPECT_EQ(dbToFaderPos(0.0), 789.0);
    EXPECT_NEAR(dbToFaderPos(24.0), 1000.0, 1e-9);
    EXPECT_NEAR(dbToFaderPos(-90.0), 0.0, 1e-9);
    EXPECT_EQ(faderPosToDb(789.0), 0.0);
    EXPECT_EQ(faderPosToDb(789.4), 0.0);
    EXPECT_EQ(faderPosToDb(788.5), 0.0);
    EXPECT_LT(faderPosToDb(788.4), 0.0);
    EXPECT_GT(faderPosToDb(789.5), 0.0);
    EXPECT_EQ(faderPosToDb(0.0), -1000.0);
    EXPECT_EQ(faderPosToDb(-50.0), -1000.0);
    EXPECT_NEAR(faderPosToDb(1000.0), 24.0, 1e-9);
    // Half way down: (394.5 / 789)^2.3 of -90 dB.
    EXPECT_NEAR(faderPosToDb(394.5), -90.0 * std::pow(0.5, 2.3), 1e-9);
}

TEST(ConversionsTest, FaderScaleIsItsOwnInverse) {
    for (double db = -89.0; db <= 24.0; db += 0.25)
        EXPECT_NEAR(faderPosToDb(dbToFaderPos(db)), db, 1e-9) << db;
    for (double position = 1; position <= 1000; position += 7)
        if (std::trunc(position + 0.5) != 789) {
            EXPECT_NEAR(dbToFaderPos(faderPosToDb(position)), position, 1e-9) << position;
        }
}

TEST(ConversionsTest, RatioSlider) {
    EXPECT_EQ(sliderPosToRatio(250), 1.0);
    EXPECT_EQ(sliderPosToRatio(1000), 100.0);
    EXPECT_EQ(sliderPosToRatio(625), 0.25 * 99 + 1);
    EXPECT_NEAR(sliderPosToRatio(0), 0.1, 1e-15);
    EXPECT_NEAR(sliderPosToRatio(125), 0.55, 1e-15);
    EXPECT_EQ(sliderPosToRatio(-500), 0.1);
    EXPECT_EQ(sliderPosToRatio(5000), 100.0);

    EXPECT_EQ(ratioToSliderPos(1.0), 250.0);
    EXPECT_EQ(ratioToSliderPos(100.0), 1000.0);
    EXPECT_NEAR(ratioToSliderPos(0.1), 0.0, 1e-12);
    EXPECT_NEAR(ratioToSliderPos(0.5), 250 - 0.5 * 250 / 0.9, 1e-12);
    for (double p = 0; p <= 1000; p += 12.5)
        EXPECT_NEAR(ratioToSliderPos(sliderPosToRatio(p)), p, 1e-9) << p;
}

TEST(ConversionsTest, ReleaseSlider) {
    EXPECT_EQ(sliderPosToRelease(0), 0.0);
    EXPECT_EQ(sliderPosToRelease(500), 500.0);
    EXPECT_EQ(sliderPosToRelease(1000), 2000.0);
    EXPECT_EQ(sliderPosToRelease(2000), 2000.0);
    EXPECT_EQ(sliderPosToRelease(-1000), 2000.0); // the square of a negative position
    EXPECT_EQ(releaseToSliderPos(500), 500);
    EXPECT_EQ(releaseToSliderPos(2000), 1000);
    EXPECT_EQ(releaseToSliderPos(150), 273);
    EXPECT_EQ(releaseToSliderPos(-10), 0);
    EXPECT_EQ(releaseToSliderPos(8000), 2000);
}

TEST(ConversionsTest, TruncateToInt32Saturates) {
    EXPECT_EQ(truncateToInt32(2.9), 2);
    EXPECT_EQ(truncateToInt32(-2.9), -2);
    EXPECT_EQ(truncateToInt32(3e9), INT32_MAX);
    EXPECT_EQ(truncateToInt32(-3e9), INT32_MIN);
    EXPECT_EQ(truncateToInt32(std::nan("")), 0);
    EXPECT_EQ(truncateToInt32(HUGE_VAL), INT32_MAX);
}

} // namespace
