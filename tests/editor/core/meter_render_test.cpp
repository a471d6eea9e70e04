// The meters' drawing into memory bitmaps: the colour ramp worked out by hand, the clipped
// copy against a per-pixel reference, which rows and columns a level, a hold and the over zone
// light, and a readout that is the formatted maximum in the editor's bold face (compared with
// that text drawn on its own over the same background).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "editor/core/editor_fonts.h"
#include "editor/core/meter_render.h"

namespace {

constexpr uint32_t kStripe = 0x202020;
constexpr uint32_t kOver = 0xFF0000;

uint32_t rgb(PIXO_IBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF;
}

uint32_t ramp(int32_t position) {
    return meterRampPixel(position) & 0xFFFFFF;
}

uint32_t dim(uint32_t colour) {
    auto d = [colour](int shift) { return uint32_t(((colour >> shift) & 0xFF) / 8 + ((colour >> shift) & 0xFF) / 4); };
    return (d(16) << 16) | (d(8) << 8) | d(0);
}

TEST(MeterRamp, ColoursAtTheStopsAndBetween) {
    // 0: (0, 128 * 159 / 160 = 127, 0), brightened by a quarter: G 127 + 31.
    EXPECT_EQ(meterRampPixel(0), 0xFF009E00u);
    EXPECT_EQ(meterRampPixel(-20), 0xFF009E00u);
    // 100: R 192 * 100 / 160 = 120 -> 150; G (25500 + 7552) / 160 = 206 -> 257, clamped; B 60 -> 75.
    EXPECT_EQ(meterRampPixel(100), 0xFF96FF4Bu);
    // 160 is the middle stop itself: (192, 255, 96) -> (240, 318 -> 255, 120).
    EXPECT_EQ(meterRampPixel(160), 0xFFF0FF78u);
    // 200 counts as 210: R (12750 + 8640) / 95 = 225 -> 255; G 17875 / 95 = 188 -> 235; B 79 -> 98.
    EXPECT_EQ(meterRampPixel(200), 0xFFFFEB62u);
    // 255 and beyond: the top stop (255, 128, 64) -> (255, 160, 80).
    EXPECT_EQ(meterRampPixel(255), 0xFFFFA050u);
    EXPECT_EQ(meterRampPixel(256), 0xFFFFA050u);
    // Dimmed: an eighth plus a quarter of each component, each truncated: 255 -> 31 + 63.
    EXPECT_EQ(meterDimmedPixel(0xFFFFA050u), 0xFF5E3C1Eu);
}

// A bitmap inside a larger block whose margins (rows above and below, columns beside) hold a
// sentinel, so a write outside the bitmap shows.
class GuardedBitmap : public PIXO_IBitmap {
public:
    GuardedBitmap(int32_t width, int32_t height)
        : width_(width), height_(height), span_(width + 2 * kGuard),
          storage_(size_t(span_) * size_t(height + 2 * kGuard), kSentinel) {}
    uint32_t* pixels() override { return &storage_[size_t(kGuard) * size_t(span_) + kGuard]; }
    int32_t width() override { return width_; }
    int32_t height() override { return height_; }
    int32_t rowSpan() override { return span_; }
    bool setSize(int32_t, int32_t) override { return false; }
    uint32_t& at(int32_t x, int32_t y) { return pixels()[y * span_ + x]; }
    bool marginsIntact() {
        for (int32_t y = -kGuard; y < height_ + kGuard; ++y)
            for (int32_t x = -kGuard; x < width_ + kGuard; ++x)
                if ((x < 0 || y < 0 || x >= width_ || y >= height_) &&
                    storage_[size_t(y + kGuard) * size_t(span_) + size_t(x + kGuard)] != kSentinel)
                    return false;
        return true;
    }

private:
    static constexpr int32_t kGuard = 8;
    static constexpr uint32_t kSentinel = 0xDEADBEEFu;
    int32_t width_, height_, span_;
    std::vector<uint32_t> storage_;
};

TEST(MeterCopy, ClippedToBothBitmapsAgainstAPerPixelReference) {
    std::mt19937 random(2034);
    std::uniform_int_distribution<int> offset(-40, 40);
    std::uniform_int_distribution<int> size(-5, 50);
    GuardedBitmap source(23, 17);
    for (int32_t y = 0; y < 17; ++y)
        for (int32_t x = 0; x < 23; ++x)
            source.at(x, y) = uint32_t(y * 100 + x + 1);
    struct Case {
        int64_t dx, dy, sx, sy, w, h;
    };
    std::vector<Case> cases = {
        {0, 0, 0, 0, 23, 17},
        {-1, -1, 0, 0, 50, 50},
        {0, 0, 0, 120000, 19, 1},         // a hold row far below the scale
        {0, -120000, 0, -120000, 19, 1},  // and far above it
        {INT32_MAX, 0, 0, 0, 10, 10},
        {0, 0, INT32_MIN, INT32_MIN, int64_t(1) << 40, int64_t(1) << 40},
        {-(int64_t(1) << 40), 0, 0, 0, (int64_t(1) << 40) + 5, 3},
    };
    for (int i = 0; i < 3000; ++i)
        cases.push_back({offset(random), offset(random), offset(random), offset(random), size(random), size(random)});
    for (const Case& c : cases) {
        GuardedBitmap dest(19, 13);
        copyClipped(dest, c.dx, c.dy, source, c.sx, c.sy, c.w, c.h);
        ASSERT_TRUE(dest.marginsIntact()) << c.dx << " " << c.dy << " " << c.sx << " " << c.sy;
        for (int32_t y = 0; y < 13; ++y)
            for (int32_t x = 0; x < 19; ++x) {
                int64_t i = x - c.dx, j = y - c.dy;
                int64_t sx = c.sx + i, sy = c.sy + j;
                bool copied = i >= 0 && j >= 0 && i < c.w && j < c.h && sx >= 0 && sy >= 0 && sx < 23 && sy < 17;
                uint32_t expected = copied ? source.at(int32_t(sx), int32_t(sy)) : 0xDEADBEEFu;
                ASSERT_EQ(dest.at(x, y), expected) << x << "," << y;
            }
    }
    EXPECT_TRUE(source.marginsIntact());
}

// Level mode, 40 x 300: 0 dB at row 27, 273 rows of ramp below it; channel 0 in columns 0..19,
// channel 1 in 20..39, column 2 clear of every label and of the readout.
class VerticalMeterDrawing : public ::testing::Test {
protected:
    static uint32_t rampRow(int32_t row) { return ramp((300 - row) * 256 / 273); }
    bool draw() { return painter.drawVertical(values, 40, 300); }
    PIXO_IBitmap& frame() { return painter.frame(); }
    MeterPainter painter;
    MeterValues values;
};

TEST_F(VerticalMeterDrawing, ALevelLightsItsRowsAndTheGapStaysDark) {
    ASSERT_TRUE(draw());
    ASSERT_EQ(frame().width(), 40);
    ASSERT_EQ(frame().height(), 300);
    EXPECT_EQ(painter.strip().width(), 80);
    EXPECT_EQ(rgb(frame(), 2, 100), dim(rampRow(100)));
    EXPECT_EQ(rgb(frame(), 2, 101), dim(kStripe));
    EXPECT_EQ(rgb(frame(), 2, 10), dim(kOver));
    EXPECT_EQ(rgb(frame(), 19, 100), kStripe) << "two-pixel gap between the channels";
    EXPECT_EQ(rgb(frame(), 20, 100), kStripe);
    EXPECT_EQ(rgb(frame(), 19, 10), dim(kOver)) << "closed above 0 dB";

    // -30 dB: lit from row 300 - 320 * 300 / 680 = 159 down; -50 dB on channel 1 from row 247.
    updateMeterLevels(values, -300, -500, 1000);
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 2, 160), rampRow(160));
    EXPECT_EQ(rgb(frame(), 2, 159), kStripe);
    EXPECT_EQ(rgb(frame(), 2, 158), dim(rampRow(158)));
    EXPECT_EQ(rgb(frame(), 2, 298), rampRow(298));
    EXPECT_EQ(rgb(frame(), 37, 246), dim(rampRow(246)));
    EXPECT_EQ(rgb(frame(), 37, 248), rampRow(248));
    EXPECT_EQ(rgb(frame(), 2, 10), dim(kOver));

    // Exactly 0 dB on one channel lights the over zone of both.
    updateMeterLevels(values, 0, -200, 1050);
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 37, 10), kOver);
    values = MeterValues();

    // Below the scale the bar is empty; beyond +6 dB it is full and the over zone lights.
    updateMeterLevels(values, -700, 100, 1100);
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 2, 298), dim(rampRow(298)));
    EXPECT_EQ(rgb(frame(), 37, 30), rampRow(30));
    EXPECT_EQ(rgb(frame(), 37, 0), kOver);
    EXPECT_EQ(rgb(frame(), 2, 10), kOver) << "either channel's maximum lights both";
}

TEST_F(VerticalMeterDrawing, TheHoldLineTakesARampRowAndExpires) {
    updateMeterLevels(values, -300, -300, 5000);
    updateMeterLevels(values, -400, -400, 5500);  // bar from row 300 - 220 * 300 / 680 = 203
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 2, 159), rampRow(158)) << "hold row copied from the even row above it";
    EXPECT_EQ(rgb(frame(), 2, 160), dim(rampRow(160)));
    EXPECT_EQ(rgb(frame(), 2, 204), rampRow(204));
    updateMeterLevels(values, -400, -400, 6001);
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 2, 159), dim(kStripe));
}

TEST_F(VerticalMeterDrawing, GainReductionLightsFromTheTop) {
    setMeterMode(values, kMeterGainReductionMode);
    updateMeterLevels(values, 0, 0, 0);
    ASSERT_TRUE(draw());
    // No reduction: the whole bar dark red, (80 - f / 5, 0, 0) with f = (300 - y) * 256 / 300.
    EXPECT_EQ(rgb(frame(), 2, 100), uint32_t(80 - 170 / 5) << 16);
    EXPECT_EQ(rgb(frame(), 2, 101), kStripe);
    // 6 dB of reduction lights bright red down to row 300 - 150 * 300 / 210 = 86, then 3 dB
    // takes the bar to row 43 while the hold stays at 86.
    updateMeterLevels(values, -60, -60, 100);
    updateMeterLevels(values, -30, -30, 200);
    ASSERT_TRUE(draw());
    EXPECT_EQ(rgb(frame(), 2, 42), 192u << 16);
    EXPECT_EQ(rgb(frame(), 2, 44), uint32_t(80 - 218 / 5) << 16);
    EXPECT_EQ(rgb(frame(), 2, 86), uint32_t(255 - 182 / 3) << 16) << "hold row";
    EXPECT_EQ(rgb(frame(), 2, 88), uint32_t(80 - 180 / 5) << 16);
}

// The readout band above 0 dB holds the larger maximum as text: the same text drawn by a font
// of its own over the same idle over-zone rows gives the same pixels.
TEST_F(VerticalMeterDrawing, TheReadoutShowsTheLargerMaximum) {
    updateMeterLevels(values, -123, -300, 0);
    ASSERT_TRUE(draw());
    PIXO_MemBitmap expected;
    ASSERT_TRUE(expected.setSize(40, 27));
    copyClipped(expected, 0, 0, painter.strip(), 0, 0, 40, 27);
    std::unique_ptr<PIXO_CachedFont> font(createEditorFont(12, true));
    ASSERT_TRUE(font);
    font->SetForeground(0xFFFFFFFF);
    PIXO_Rect band = {0, 0, 40, 27};
    font->RenderText(&expected, "-12.3", -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    int32_t ink = 0, differing = 0;
    for (int32_t y = 0; y < 27; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            ink += rgb(expected, x, y) != dim(kOver);
            differing += rgb(expected, x, y) != rgb(frame(), x, y);
        }
    EXPECT_GT(ink, 40) << "the text covers some pixels";
    EXPECT_EQ(differing, 0);

    // Another value draws another picture in the band.
    updateMeterLevels(values, -500, -90, 10);
    ASSERT_TRUE(draw());
    differing = 0;
    for (int32_t y = 0; y < 27; ++y)
        for (int32_t x = 0; x < 40; ++x)
            differing += rgb(expected, x, y) != rgb(frame(), x, y);
    EXPECT_GT(differing, 10);
}

// Rows of the strip's lit half with light label text (every channel at least 160; no bar colour
// is), as runs: their first rows.
std::vector<int32_t> labelRuns(PIXO_IBitmap& strip) {
    const int32_t width = strip.width() / 2;
    std::vector<int32_t> starts;
    bool inRun = false;
    for (int32_t y = 0; y < strip.height(); ++y) {
        bool text = false;
        for (int32_t x = width; x < 2 * width; ++x)
            text = text || ((rgb(strip, x, y) >> 16) >= 160 && ((rgb(strip, x, y) >> 8) & 0xFF) >= 160 &&
                            (rgb(strip, x, y) & 0xFF) >= 160);
        if (text && !inRun)
            starts.push_back(y);
        inRun = text;
    }
    return starts;
}

// Under 200 rows the labels lie 12 dB apart; under 240 the first is -6-.
TEST(MeterLabels, SpacingFollowsTheHeight) {
    MeterValues values;
    const struct {
        int32_t height;
        size_t labels;
    } cases[] = {{199, 5}, {200, 10}, {239, 10}, {240, 11}};
    for (const auto& c : cases) {
        MeterPainter painter;
        ASSERT_TRUE(painter.drawVertical(values, 40, c.height));
        EXPECT_EQ(labelRuns(painter.strip()).size(), c.labels) << c.height;
    }
}

TEST_F(VerticalMeterDrawing, LabelsEverySixDecibelsAndAgainAtANewScale) {
    ASSERT_TRUE(draw());
    // -0- to -60-: tops at 300 * (6 + dB) / 68 - 5, each run a few rows below its top.
    const std::vector<int32_t> runs = labelRuns(painter.strip());
    ASSERT_EQ(runs.size(), 11u);
    for (size_t i = 0; i < runs.size(); ++i) {
        const int32_t top = 300 * (6 + 6 * int32_t(i)) / 68 - 5;
        EXPECT_GE(runs[i], top) << i;
        EXPECT_LE(runs[i], top + 8) << i;
    }
    // At twice the scale the same 600-pixel meter shows the same labels, twice as tall.
    MeterPainter large;
    large.setScale(2.0);
    ASSERT_TRUE(large.drawVertical(values, 80, 600));
    const std::vector<int32_t> largeRuns = labelRuns(large.strip());
    ASSERT_EQ(largeRuns.size(), 11u);
    EXPECT_NEAR(largeRuns[5], 600 * 36 / 68 - 10 + 2 * (runs[5] - (300 * 36 / 68 - 5)), 2);
}

// 300 x 30: 0 dB at column 273; channel 0 in rows 0..14, channel 1 in 15..29 (row 15 the gap);
// rows 2 and 27 lie clear of the labels, and columns 100 and 154 clear of the ticks.
TEST(HorizontalMeterDrawing, ALevelLightsItsColumnsAndTheHoldMarker) {
    MeterPainter painter;
    MeterValues values;
    auto column = [](int32_t x) { return ramp(x * 256 / 273); };
    updateMeterLevels(values, -300, -700, 0);  // channel 0 lit up to column 320 * 300 / 680 = 141
    ASSERT_TRUE(painter.drawHorizontal(values, 300, 30));
    PIXO_IBitmap& frame = painter.frame();
    EXPECT_EQ(painter.strip().height(), 60);
    EXPECT_EQ(rgb(frame, 100, 2), column(100));
    EXPECT_EQ(rgb(frame, 101, 2), kStripe);
    EXPECT_EQ(rgb(frame, 154, 2), dim(column(154)));
    EXPECT_EQ(rgb(frame, 100, 27), dim(column(100)));
    EXPECT_EQ(rgb(frame, 100, 15), kStripe);
    EXPECT_EQ(rgb(frame, 280, 2), dim(kOver));
    updateMeterLevels(values, -400, 0, 100);  // channel 0's bar to column 97, its hold at 141
    ASSERT_TRUE(painter.drawHorizontal(values, 300, 30));
    EXPECT_EQ(rgb(frame, 96, 2), column(96));
    EXPECT_EQ(rgb(frame, 100, 2), dim(column(100)));
    EXPECT_EQ(rgb(frame, 141, 2), column(140));
    EXPECT_EQ(rgb(frame, 280, 2), kOver) << "over zone lit for channel 1's 0 dB";
    EXPECT_EQ(rgb(frame, 272, 27), column(272));
    // -58.4 dB ends the bar at column 36 * 300 / 680 = 15 (truncated from 15.9).
    updateMeterLevels(values, -584, -584, 2000);
    ASSERT_TRUE(painter.drawHorizontal(values, 300, 30));
    EXPECT_EQ(rgb(frame, 14, 2), column(14));
    EXPECT_EQ(rgb(frame, 15, 2), dim(kStripe));
}

TEST(MeterDrawing, NothingToShowOnAnEmptySize) {
    MeterPainter painter;
    MeterValues values;
    EXPECT_FALSE(painter.drawVertical(values, 0, 300));
    EXPECT_FALSE(painter.drawHorizontal(values, 300, 0));
    // The caller's bitmaps are drawn into when it gives them.
    PIXO_MemBitmap frame, strip;
    MeterPainter into(frame, strip);
    ASSERT_TRUE(into.drawVertical(values, 20, 100));
    EXPECT_EQ(frame.width(), 20);
    EXPECT_EQ(strip.width(), 40);
    EXPECT_EQ(&into.frame(), &frame);
}

} // namespace
