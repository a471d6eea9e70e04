// The scale the editor's portable parts draw at: a DPI as a factor, 96-dpi pixel counts at
// that factor, and the response graph's handle and reaches, including from an X display's
// Xft.dpi resource as the Linux editor reads it.
#include "editor/core/graph_geometry.h"
#include "editor/core/ui_scale.h"
#include "editor/x11/display_scale.h"

#include <gtest/gtest.h>

namespace {

TEST(EditorScale, DpiBecomesAFactorAndImplausibleOnesCountAsNone) {
    EXPECT_DOUBLE_EQ(scaleOfDpi(96), 1.0);
    EXPECT_DOUBLE_EQ(scaleOfDpi(120), 1.25);
    EXPECT_DOUBLE_EQ(scaleOfDpi(144), 1.5);
    EXPECT_DOUBLE_EQ(scaleOfDpi(192), 2.0);
    EXPECT_DOUBLE_EQ(scaleOfDpi(0), 1.0);
    EXPECT_DOUBLE_EQ(scaleOfDpi(-192), 1.0);
    EXPECT_DOUBLE_EQ(scaleOfDpi(5000), 1.0);
    for (int32_t dpi : {96, 120, 144, 168, 192, 288})
        EXPECT_EQ(dpiOfScale(scaleOfDpi(dpi)), dpi);
}

TEST(EditorScale, PixelCountsRoundToTheNearestAndStrokesNeverVanish) {
    for (int32_t pixels : {0, 1, 7, 12, 120, 370})
        EXPECT_EQ(scaledPixels(pixels, 1.0), pixels);
    EXPECT_EQ(scaledPixels(7, 1.25), 9); // 8.75
    EXPECT_EQ(scaledPixels(3, 1.5), 5);  // 4.5 rounds away from zero
    EXPECT_EQ(scaledPixels(12, 1.5), 18);
    EXPECT_EQ(scaledPixels(120, 2.0), 240);
    EXPECT_EQ(scaledStroke(1, 1.25), 1);
    EXPECT_EQ(scaledStroke(1, 1.5), 2);
    EXPECT_EQ(scaledStroke(1, 0.25), 1);
    EXPECT_EQ(scaledPixels(1, 0.25), 0);
}

TEST(GraphGeometryScale, HandleAndReachesGrowWhileLevelsAndFrequenciesKeepTheirPlace) {
    const GraphGeometry base(465, 120, true);
    EXPECT_EQ(base.handleRadius(), 7);
    EXPECT_EQ(base.lineReach(), 3);
    EXPECT_EQ(base.thresholdReach(), 12);
    EXPECT_EQ(base.lineWidth(), 1);

    const GraphGeometry large(930, 240, true, 2.0);
    EXPECT_EQ(large.handleRadius(), 14);
    EXPECT_EQ(large.lineReach(), 6);
    EXPECT_EQ(large.thresholdReach(), 24);
    EXPECT_EQ(large.lineWidth(), 2);
    // The same frequency and level land at twice the position, within the truncation.
    for (double f : {20.0, 200.0, 1000.0, 5000.0, 23999.0})
        EXPECT_NEAR(large.xOfFrequency(f), 2 * base.xOfFrequency(f), 1) << f;
    for (double db : {-60.0, -30.0, -6.0, 0.0, 6.0})
        EXPECT_NEAR(large.yOfDb(db), 2 * base.yOfDb(db), 1) << db;

    const GraphGeometry between(581, 150, false, 1.25);
    EXPECT_EQ(between.handleRadius(), 9);
    EXPECT_EQ(between.lineReach(), 4);
    EXPECT_EQ(between.thresholdReach(), 15);
    EXPECT_EQ(between.lineWidth(), 1);
}

TEST(GraphGeometryScale, TakesTheScaleAnXDisplayReports) {
    const GraphGeometry atXftDpi(930, 240, true, x11ScaleFromResources("Xft.dpi:\t192\n"));
    EXPECT_EQ(atXftDpi.handleRadius(), 14);
    const GraphGeometry unset(465, 120, true, x11ScaleFromResources("Xcursor.size:\t24\n"));
    EXPECT_EQ(unset.handleRadius(), 7);
}

} // namespace
