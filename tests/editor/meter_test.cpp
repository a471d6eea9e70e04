// The level meter windows: their messages and clicks, and what they show at known rows and
// columns (the rules and the drawing alone are tested with the editor core).
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "editor/control_classes.h"
#include "editor/meter.h"
#include "editor/meter_drawing.h"
#include "editor/resource.h"
#include "editor_test_support.h"

using namespace editortest;

namespace {

constexpr COLORREF kStripe = RGB(32, 32, 32);
constexpr COLORREF kOver = RGB(255, 0, 0);

COLORREF dim(COLORREF c) {
    auto d = [](int v) { return v / 8 + v / 4; };
    return RGB(d(GetRValue(c)), d(GetGValue(c)), d(GetBValue(c)));
}

bool isText(COLORREF c) {
    return GetRValue(c) >= 160 && GetGValue(c) >= 160 && GetBValue(c) >= 160;
}

// ---------------------------------------------------------------------------------------------
// Meter windows

class MeterTest : public ::testing::Test {
protected:
    void SetUp() override { registerControlClasses(GetModuleHandleA(nullptr)); }
    void TearDown() override {
        for (HWND meter : meters)
            DestroyWindow(meter);
        unregisterControlClasses(GetModuleHandleA(nullptr));
    }
    HWND make(const char* className, int32_t width, int32_t height) {
        HWND meter = parent.create(className, 10, 10, width, height, 1088);
        meters.push_back(meter);
        return meter;
    }
    static void levels(HWND meter, int32_t left, int32_t right) {
        SendMessageA(meter, METER_SETLEVELS, WPARAM(uint32_t(left)), LPARAM(uint32_t(right)));
    }
    TestParent parent;
    std::vector<HWND> meters;
};

TEST_F(MeterTest, MessagesAndClicksOnTheVerticalMeter) {
    HWND meter = make(kVerticalMeterClass, 40, 300);
    MeterState* state = meterStateOf(meter);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->mode, kMeterLevelMode);
    EXPECT_EQ(state->maxSinceReset[0], -10000);
    EXPECT_EQ(state->holdStart[1], 0u);

    UpdateWindow(meter);
    EXPECT_EQ(SendMessageA(meter, METER_SETLEVELS, WPARAM(uint32_t(-250)), LPARAM(uint32_t(-70))), 0);
    EXPECT_EQ(state->level[0], -250);
    EXPECT_EQ(state->level[1], -70);
    EXPECT_TRUE(GetUpdateRect(meter, nullptr, FALSE));

    // A click below the 0 dB line (row 300 - 300 * 619 / 680 = 27) keeps everything.
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 27));
    EXPECT_EQ(state->maxSinceReset[1], -70);
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 26));
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(state->maxSinceReset[n], kMeterSilence);
        EXPECT_EQ(state->peakHold[n], kMeterSilence);
        EXPECT_EQ(state->level[n], kMeterSilence);
    }

    // Gain-reduction mode resets to 0 without a redraw, and any click resets.
    UpdateWindow(meter);
    EXPECT_EQ(SendMessageA(meter, METER_SETMODE, 0, 1), 0);
    EXPECT_EQ(state->mode, kMeterGainReductionMode);
    EXPECT_EQ(state->peakHold[0], 0);
    EXPECT_FALSE(GetUpdateRect(meter, nullptr, FALSE));
    levels(meter, -60, -90);
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 290));
    EXPECT_EQ(state->maxSinceReset[1], 0);
    EXPECT_EQ(state->level[0], 0);
    // Any value other than 1 is level mode.
    SendMessageA(meter, METER_SETMODE, 0, 7);
    EXPECT_EQ(state->mode, kMeterLevelMode);
    EXPECT_EQ(state->level[1], kMeterSilence);
}

TEST_F(MeterTest, HorizontalMeterAndKnob) {
    HWND horizontal = make(kHorizontalMeterClass, 300, 30);
    MeterState* state = meterStateOf(horizontal);
    ASSERT_NE(state, nullptr);
    levels(horizontal, -100, -200);
    // It has no gain-reduction mode.
    SendMessageA(horizontal, METER_SETMODE, 0, 1);
    EXPECT_EQ(state->mode, kMeterLevelMode);
    EXPECT_EQ(state->level[0], -100);
    // Resets by a click right of min(300 - 10, 273) - 8 = 265, to -10000.
    SendMessageA(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(265, 10));
    EXPECT_EQ(state->maxSinceReset[0], -100);
    SendMessageA(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(266, 10));
    EXPECT_EQ(state->maxSinceReset[0], -10000);
    EXPECT_EQ(state->level[1], -10000);

    HWND knob = make(kKnobClass, 40, 200);
    ASSERT_NE(meterStateOf(knob), nullptr);
    SendMessageA(knob, METER_SETMODE, 0, 1);
    EXPECT_EQ(meterStateOf(knob)->mode, kMeterGainReductionMode);
}

// Level mode, 40 x 300: 0 dB at row 27, 273 rows of ramp below it; channel 0 in columns 0..19,
// channel 1 in 20..39, column 2 clear of every label and of the readout.
class VerticalMeterPixels : public MeterTest {
protected:
    void SetUp() override {
        MeterTest::SetUp();
        meter = make(kVerticalMeterClass, 40, 300);
    }
    static COLORREF ramp(int32_t row) { return meterRampColour((300 - row) * 256 / 273); }
    HWND meter = nullptr;
};

TEST_F(VerticalMeterPixels, IdleLitStripesAndTheGap) {
    WindowPixels idle = readWindow(meter);
    EXPECT_EQ(idle.at(2, 100), dim(ramp(100)));
    EXPECT_EQ(idle.at(2, 101), dim(kStripe));
    EXPECT_EQ(idle.at(2, 10), dim(kOver));
    EXPECT_EQ(idle.at(19, 100), kStripe) << "two-pixel gap between the channels";
    EXPECT_EQ(idle.at(20, 100), kStripe);
    EXPECT_EQ(idle.at(19, 10), dim(kOver)) << "closed above 0 dB";
    EXPECT_EQ(idle.at(21, 100), dim(ramp(100)));

    // -30 dB: the bar is lit from row 300 - 320 * 300 / 680 = 159 down.
    levels(meter, -300, -300);
    WindowPixels lit = readWindow(meter);
    EXPECT_EQ(lit.at(2, 160), ramp(160));
    EXPECT_EQ(lit.at(2, 159), kStripe);
    EXPECT_EQ(lit.at(2, 158), dim(ramp(158)));
    EXPECT_EQ(lit.at(2, 298), ramp(298));
    EXPECT_EQ(lit.at(37, 200), ramp(200));
    EXPECT_EQ(lit.at(2, 10), dim(kOver));

    // Below the scale the bar is empty; beyond +6 dB it is full.
    levels(meter, -700, 100);
    WindowPixels ends = readWindow(meter);
    EXPECT_EQ(ends.at(2, 298), dim(ramp(298)));
    EXPECT_EQ(ends.at(37, 30), ramp(30));
    EXPECT_EQ(ends.at(37, 0), kOver);
}

// With an odd width the last column belongs to neither channel; the lit and idle pieces of
// each channel still line up, gap with gap (row 200 is clear of the labels).
TEST_F(MeterTest, OddWidthKeepsIdleAndLitColumnsAligned) {
    HWND meter = make(kVerticalMeterClass, 41, 300);
    levels(meter, -300, -300);
    WindowPixels pixels = readWindow(meter);
    const COLORREF lit = meterRampColour(100 * 256 / 273);
    EXPECT_EQ(pixels.at(0, 200), lit);
    EXPECT_EQ(pixels.at(18, 200), lit);
    EXPECT_EQ(pixels.at(19, 200), kStripe);
    EXPECT_EQ(pixels.at(20, 200), kStripe);
    EXPECT_EQ(pixels.at(21, 200), lit);
    EXPECT_EQ(pixels.at(39, 200), lit);
    EXPECT_EQ(pixels.at(40, 200), RGB(0, 0, 0));
    EXPECT_EQ(pixels.at(0, 100), dim(meterRampColour(200 * 256 / 273)));
    EXPECT_EQ(pixels.at(19, 100), kStripe);
}

// At 192 dpi the hold line is two rows of the same ramp colour (one at 96 dpi: the row under
// it shows the idle strip, HoldLineTakesARampRow).
TEST_F(VerticalMeterPixels, HoldLineIsAsThickAsTheScaleMakesAPixel) {
    SendMessageA(meter, METER_SETSCALE, 192, 0);
    levels(meter, -300, -300);
    levels(meter, -400, -400); // as at 96 dpi: bar from row 203, hold at row 159
    WindowPixels pixels = readWindow(meter);
    EXPECT_EQ(pixels.at(2, 159), ramp(158));
    EXPECT_EQ(pixels.at(2, 160), ramp(158));
    EXPECT_EQ(pixels.at(2, 158), dim(ramp(158)));
}

TEST_F(VerticalMeterPixels, HoldLineTakesARampRow) {
    levels(meter, -300, -300);
    levels(meter, -400, -400);  // bar from row 300 - 220 * 300 / 680 = 203; hold at row 159
    WindowPixels pixels = readWindow(meter);
    EXPECT_EQ(pixels.at(2, 159), ramp(158)) << "hold row copied from the even row above it";
    EXPECT_EQ(pixels.at(2, 160), dim(ramp(160)));
    EXPECT_EQ(pixels.at(2, 204), ramp(204));
    // Once the hold has run out the next levels replace it.
    meterStateOf(meter)->holdStart[0] = GetTickCount() - 1001;
    meterStateOf(meter)->holdStart[1] = GetTickCount();
    levels(meter, -400, -400);
    EXPECT_EQ(meterStateOf(meter)->peakHold[0], -400);
    EXPECT_EQ(meterStateOf(meter)->peakHold[1], -300);
    WindowPixels after = readWindow(meter);
    EXPECT_EQ(after.at(2, 159), dim(kStripe));
    EXPECT_EQ(after.at(37, 159), ramp(158));
}

TEST_F(VerticalMeterPixels, OverZoneStaysLitUntilAClickAboveZero) {
    levels(meter, 0, -200);
    EXPECT_EQ(readWindow(meter).at(2, 10), kOver);
    levels(meter, -300, -300);
    WindowPixels still = readWindow(meter);
    EXPECT_EQ(still.at(2, 10), kOver);
    EXPECT_EQ(still.at(37, 10), kOver) << "either channel's maximum lights both";
    EXPECT_EQ(still.at(2, 100), dim(ramp(100)));
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 100));
    EXPECT_EQ(readWindow(meter).at(2, 10), kOver);
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 10));
    EXPECT_EQ(readWindow(meter).at(2, 10), dim(kOver));
}

// The readout band above 0 dB: columns 4..35, rows 0..26.
std::vector<uint32_t> readoutOf(HWND meter) {
    WindowPixels pixels = readWindow(meter);
    std::vector<uint32_t> band;
    int ink = 0;
    for (int32_t y = 0; y < 27; ++y)
        for (int32_t x = 4; x < 36; ++x) {
            band.push_back(pixels.words[size_t(y) * 40 + size_t(x)]);
            ink += isText(pixels.at(x, y));
        }
    EXPECT_GT(ink, 10) << "the readout is empty";
    return band;
}

TEST_F(VerticalMeterPixels, ReadoutShowsTheMaximum) {
    levels(meter, kMeterSilence, kMeterSilence);
    std::vector<uint32_t> infinite = readoutOf(meter);
    levels(meter, -5, -30);
    std::vector<uint32_t> halfDb = readoutOf(meter);
    SendMessageA(meter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 10));
    levels(meter, -400, 0);
    std::vector<uint32_t> zero = readoutOf(meter);
    EXPECT_NE(infinite, halfDb);
    EXPECT_NE(halfDb, zero);
}

// At 192 dpi (METER_SETSCALE 192) a meter twice the size draws its readout twice as tall; back
// at 96 it draws exactly as a meter that never changed scale.
TEST_F(VerticalMeterPixels, ScaleGrowsTheReadoutAndTheStripIsRenderedAgain) {
    HWND small = parent.create(kVerticalMeterClass, 100, 10, 30, 200, 1089);
    HWND large = parent.create(kVerticalMeterClass, 140, 10, 60, 400, 1090);
    meters.push_back(small);
    meters.push_back(large);
    SendMessageA(large, METER_SETSCALE, 192, 0);
    levels(small, kMeterSilence, kMeterSilence);
    levels(large, kMeterSilence, kMeterSilence);
    const int32_t smallHeight = topWhiteRunHeight(readWindow(small));
    EXPECT_GE(smallHeight, 7);
    EXPECT_NEAR(topWhiteRunHeight(readWindow(large)), 2 * smallHeight, 1);

    levels(meter, kMeterSilence, kMeterSilence);
    const WindowPixels base = readWindow(meter);
    const int32_t baseHeight = topWhiteRunHeight(base);

    SendMessageA(meter, METER_SETSCALE, 192, 0);
    EXPECT_GT(topWhiteRunHeight(readWindow(meter)), baseHeight + 3);
    SendMessageA(meter, METER_SETSCALE, 96, 0);
    EXPECT_EQ(readWindow(meter).words, base.words);
}

TEST_F(VerticalMeterPixels, GainReductionColoursAndHold) {
    SendMessageA(meter, METER_SETMODE, 0, 1);
    // No reduction: the whole bar dark red, (80 - f / 5, 0, 0) with f = (300 - y) * 256 / 300.
    levels(meter, 0, 0);
    WindowPixels none = readWindow(meter);
    EXPECT_EQ(none.at(2, 100), RGB(80 - 170 / 5, 0, 0));
    EXPECT_EQ(none.at(2, 0), RGB(80 - 256 / 5, 0, 0));
    EXPECT_EQ(none.at(2, 101), kStripe);
    // 6 dB of reduction lights bright red down to row 300 - 150 * 300 / 210 = 86.
    levels(meter, -60, -60);
    levels(meter, -30, -30);  // bar to row 43; the hold stays at row 86
    WindowPixels reduced = readWindow(meter);
    EXPECT_EQ(reduced.at(2, 40), RGB(192, 0, 0));  // f / 3 = 73: the deep part stays 192
    EXPECT_EQ(reduced.at(2, 42), RGB(192, 0, 0));
    EXPECT_EQ(reduced.at(2, 44), RGB(80 - 218 / 5, 0, 0));
    EXPECT_EQ(reduced.at(2, 86), RGB(255 - 182 / 3, 0, 0)) << "hold row";
    EXPECT_EQ(reduced.at(2, 88), RGB(80 - 180 / 5, 0, 0));
    // Silence puts the hold row tens of thousands of rows below the frame: nothing is drawn
    // there and the bar is all reduction.
    levels(meter, kMeterSilence, kMeterSilence);
    WindowPixels silent = readWindow(meter);
    EXPECT_EQ(silent.at(2, 298), RGB(255 - 2 * 256 / 300 / 3, 0, 0));
    levels(meter, INT_MAX, INT_MIN);
    WindowPixels extreme = readWindow(meter);
    EXPECT_EQ(extreme.at(2, 100), RGB(80 - 170 / 5, 0, 0));
    EXPECT_EQ(extreme.at(37, 100), RGB(255 - 170 / 3, 0, 0));
}

TEST_F(VerticalMeterPixels, ModeChangeAfterTheFirstPaintRendersTheScaleAgain) {
    readWindow(meter);
    SendMessageA(meter, METER_SETMODE, 0, 1);
    levels(meter, -60, -60);
    EXPECT_EQ(readWindow(meter).at(2, 40), RGB(192, 0, 0));
    SendMessageA(meter, METER_SETMODE, 0, 0);
    levels(meter, -300, -300);
    EXPECT_EQ(readWindow(meter).at(2, 160), ramp(160));
}

// Rows of the strip's lit half that carry white label text, as runs: their first rows.
std::vector<int32_t> labelRuns(HWND meter) {
    readWindow(meter);
    MeterState* state = meterStateOf(meter);
    PIXO_SysBitmap& strip = state->strip;
    int32_t width = strip.width() / 2;
    std::vector<int32_t> starts;
    bool inRun = false;
    for (int32_t y = 0; y < strip.height(); ++y) {
        bool text = false;
        for (int32_t x = width; x < 2 * width; ++x) {
            uint32_t p = strip.pixels()[y * strip.rowSpan() + x];
            text = text || isText(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
        if (text && !inRun)
            starts.push_back(y);
        inRun = text;
    }
    return starts;
}

// Each run starts at its label's top (height * (6 + dB) / 68 - 5) plus one offset of the font's.
void expectLabels(const std::vector<int32_t>& runs, int32_t height, std::vector<int32_t> dbs) {
    ASSERT_EQ(runs.size(), dbs.size()) << "height " << height;
    int32_t offset = runs[0] - (height * (6 + dbs[0]) / 68 - 5);
    EXPECT_GE(offset, 0);
    EXPECT_LE(offset, 8);
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_NEAR(runs[i] - (height * (6 + dbs[i]) / 68 - 5), offset, 1) << "height " << height << " label " << i;
}

TEST_F(MeterTest, LabelSpacingFollowsTheHeight) {
    expectLabels(labelRuns(make(kVerticalMeterClass, 40, 199)), 199, {6, 18, 30, 42, 54});
    expectLabels(labelRuns(make(kVerticalMeterClass, 40, 239)), 239, {6, 12, 18, 24, 30, 36, 42, 48, 54, 60});
    expectLabels(labelRuns(make(kVerticalMeterClass, 40, 240)), 240, {0, 6, 12, 18, 24, 30, 36, 42, 48, 54, 60});
    // Gain reduction: -6- and -12- only, at 300 * dB / 21 - 5.
    HWND reduction = make(kVerticalMeterClass, 40, 300);
    SendMessageA(reduction, METER_SETMODE, 0, 1);
    levels(reduction, 0, 0);
    std::vector<int32_t> runs = labelRuns(reduction);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[1] - runs[0], 300 * 12 / 21 - 300 * 6 / 21, 1);
}

// 300 x 30: 0 dB at column 273; channel 0 in rows 0..14, channel 1 in 15..29 (row 15 the gap);
// rows 2 and 27 lie clear of the labels, and column 100 and 154 clear of the ticks.
TEST_F(MeterTest, HorizontalMeterPixels) {
    HWND meter = make(kHorizontalMeterClass, 300, 30);
    auto ramp = [](int32_t x) { return meterRampColour(x * 256 / 273); };
    levels(meter, -300, -700);  // channel 0 lit up to column 320 * 300 / 680 = 141
    WindowPixels pixels = readWindow(meter);
    EXPECT_EQ(pixels.at(100, 2), ramp(100));
    EXPECT_EQ(pixels.at(101, 2), kStripe);
    EXPECT_EQ(pixels.at(154, 2), dim(ramp(154)));
    EXPECT_EQ(pixels.at(100, 27), dim(ramp(100)));
    EXPECT_EQ(pixels.at(100, 15), kStripe);
    EXPECT_EQ(pixels.at(280, 2), dim(kOver));

    levels(meter, -400, 0);  // channel 0's bar to column 97, its hold marker at 141
    pixels = readWindow(meter);
    EXPECT_EQ(pixels.at(96, 2), ramp(96));
    EXPECT_EQ(pixels.at(100, 2), dim(ramp(100)));
    EXPECT_EQ(pixels.at(141, 2), ramp(140));
    EXPECT_EQ(pixels.at(280, 2), kOver) << "over zone lit for channel 1's 0 dB";
    EXPECT_EQ(pixels.at(272, 27), ramp(272));
    // The readout sits at the right, over the over zone.
    int ink = 0;
    for (int32_t y = 5; y < 25; ++y)
        for (int32_t x = 250; x < 296; ++x)
            ink += isText(pixels.at(x, y));
    EXPECT_GT(ink, 10);
}

TEST_F(MeterTest, ResizingRendersTheScaleAgain) {
    HWND meter = make(kVerticalMeterClass, 40, 240);
    expectLabels(labelRuns(meter), 240, {0, 6, 12, 18, 24, 30, 36, 42, 48, 54, 60});
    SetWindowPos(meter, nullptr, 0, 0, 40, 199, SWP_NOMOVE | SWP_NOZORDER);
    expectLabels(labelRuns(meter), 199, {6, 18, 30, 42, 54});
    EXPECT_EQ(meterStateOf(meter)->frame.height(), 199);
}

} // namespace
