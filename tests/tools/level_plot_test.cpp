// The plot's axis steps, and the picture drawn for a known run.
#include "render/level_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

namespace {

TEST(PlotAxis, TickStepsAreRoundAndFitTheSpan) {
    EXPECT_EQ(tickStep(8, 10, true), 1);
    EXPECT_EQ(tickStep(8, 5, true), 2);
    EXPECT_EQ(tickStep(0.3, 8, true), 0.05);
    EXPECT_EQ(tickStep(45, 8, true), 10);
    EXPECT_EQ(tickStep(100, 8, true), 15); // clock steps past ten seconds
    EXPECT_EQ(tickStep(600, 10, true), 60);
    EXPECT_EQ(tickStep(3000, 10, true), 300);
    EXPECT_EQ(tickStep(100, 8, false), 20); // plain numbers keep 1, 2, 5
    EXPECT_EQ(tickStep(72, 6, false), 20);
}

TEST(PlotPicture, CurvesAppearInTheirColoursWhereTheLevelsSay) {
    const std::string fontPath = findPlotFont();
    ASSERT_FALSE(fontPath.empty()) << "no font for the plot";
    std::unique_ptr<PIXO_CachedFont> font(PIXO_CreateCachedFont(fontPath.c_str(), 12));
    ASSERT_TRUE(font);
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(600, 400));

    // One second at -12 dBFS in, -24 dBFS out: a flat gain change of -12 dB.
    LevelPlotData data;
    data.inputRms.assign(100, 0.25119f);
    data.outputRms.assign(100, 0.063096f);
    data.title = "known levels";
    drawLevelPlot(bitmap, *font, 12, data);

    std::set<uint32_t> colours;
    int outputPixels = 0, gainPixels = 0;
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x) {
            const uint32_t pixel = bitmap.pixels()[y * bitmap.rowSpan() + x];
            colours.insert(pixel);
            outputPixels += pixel == 0xFFF29A3Au;
            gainPixels += pixel == 0xFF62C98Au;
        }
    EXPECT_GT(colours.size(), 8u);
    // Two-pixel lines across the plot width (about 600 - 6 * 12 columns), plus legend swatches.
    EXPECT_GT(outputPixels, 2 * 500);
    EXPECT_GT(gainPixels, 2 * 500);

    // The output line runs at -24 dB: in the level panel (top 36, 0 to -72 dB) that is a third
    // of the way down; the same row holds output colour at the panel's middle column.
    const int32_t levelTop = 36, levelHeight = (400 - 36 - 42 - 24) * 62 / 100;
    const int32_t row = levelTop + int32_t(std::lround(24.0 / 72.0 * (levelHeight - 1)));
    int found = 0;
    for (int32_t dy = 0; dy <= 1; ++dy)
        found += bitmap.pixels()[(row + dy) * bitmap.rowSpan() + 300] == 0xFFF29A3Au;
    EXPECT_GT(found, 0);
}

} // namespace
