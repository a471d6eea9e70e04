// The response graph's pixels, read back from the real window, at coordinates worked out from
// the mapping formulas: grid lines and labels, threshold and frequency lines, gauges, handles,
// meters with their hold and decay, the info box, solo and an empty band list.
#include "graph_harness.h"

#include "editor/core/graph_bands.h"
#include "engine/band_control.h"

using namespace graphtest;

namespace {

constexpr uint32_t kGrid = 0x4D4D4D;
constexpr uint32_t kLabel = 0x909090;
constexpr uint32_t kThresholdCurrent = 0xFF0000;
constexpr uint32_t kThresholdOther = 0x800000;
constexpr uint32_t kTopFrequency = 0x007896;
constexpr uint32_t kGauge = 0xC08000;
constexpr uint32_t kHandleCurrent = 0xC80000;
constexpr uint32_t kHandleOther = 0x800000;
constexpr uint32_t kInput = 0x008000;
constexpr uint32_t kDetector = 0x00FF00;
constexpr uint32_t kReduction = 0xC8F049;
constexpr uint32_t kMakeup = 0x0080FF;
constexpr uint32_t kReadout = 0xFFFF00;

class GraphPaint : public GraphWindowTest {
protected:
    // Whether a colour occurs in the rectangle [left, right) x [top, bottom).
    static bool contains(const Picture& p, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
        for (int32_t y = std::max(top, 0); y < std::min(bottom, p.height); ++y)
            for (int32_t x = std::max(left, 0); x < std::min(right, p.width); ++x)
                if (p.at(x, y) == colour)
                    return true;
        return false;
    }
    static bool grey(uint32_t c) { return (c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == (c >> 16); }

    // The grid's frequency lines: 100 Hz, then steps doubling five times from 200 Hz.
    static std::vector<int32_t> gridFrequencies() { return {100, 300, 700, 1500, 3100, 6300, 9500, 12700, 15900, 19100, 22300}; }
};

TEST_F(GraphPaint, ThresholdLineAtItsLevelInBothRanges) {
    // Default bands: every threshold at 0 dB; band 1 is current.
    const int32_t y0 = kHeight - int32_t(60 * (kHeight / 66.0));
    ASSERT_EQ(y0, yOfDb(0));
    Picture p = capture();
    p.savePng("graph-default.png");
    p.savePng("graph-default-x3.png", 3);
    const int32_t inFirst = xOf(200) / 4, inSecond = (xOf(200) + xOf(1000) * 3) / 4; // off handles and gauges
    EXPECT_EQ(p.at(inFirst, y0), kThresholdCurrent);
    EXPECT_EQ(p.at(inSecond, y0), kThresholdOther);
    EXPECT_NE(p.at(inSecond, y0 - 1), kThresholdOther);
    EXPECT_NE(p.at(inSecond, y0 + 1), kThresholdOther);

    // Tabs hidden: -90..+12 dB; a -30 dB threshold on band 3.
    fx->showTabs = 0;
    set(2, kSettingThreshold, std::exp(-30 * 0.11512925464970228));
    p = capture();
    const int32_t hiddenY0 = kHeight - int32_t(90 * (kHeight / 102.0));
    const int32_t minus30 = kHeight - int32_t(60 * (kHeight / 102.0));
    const int32_t inThird = (xOf(1000) + xOf(5000) * 3) / 4;
    EXPECT_EQ(p.at(inSecond, hiddenY0), kThresholdOther);
    EXPECT_EQ(p.at(inThird, minus30), kThresholdOther);
    EXPECT_NE(p.at(inThird, hiddenY0), kThresholdOther);
}

TEST_F(GraphPaint, ThresholdAboveTheRangeIsDrawnAtTheTop) {
    set(1, kSettingThreshold, 4.0); // +12 dB, above +6 dB
    Picture p = capture();
    const int32_t inSecond = (xOf(200) + xOf(1000) * 3) / 4;
    EXPECT_EQ(p.at(inSecond, 0), kThresholdOther);
    // Its handle disc is centred on row 0.
    EXPECT_EQ(p.at(handleX(200, 1000) - 5, 1), kHandleOther);
}

TEST_F(GraphPaint, FrequencyGridLinesAndTheirLabels) {
    fx->showGrid = 1;
    Picture p = capture();
    const int32_t freeRow = 55; // between the level lines at 43 and 65
    int32_t labelledX = 0;
    for (int32_t f : gridFrequencies()) {
        const int32_t x = xOf(f);
        SCOPED_TRACE(f);
        ASSERT_LT(x, kWidth);
        EXPECT_EQ(p.at(x, freeRow), kGrid);
        EXPECT_EQ(p.at(x, 0), kGrid);
        EXPECT_EQ(p.at(x, kHeight - 1), kGrid);
        EXPECT_EQ(p.at(x - 1, freeRow), 0u);
        EXPECT_EQ(p.at(x + 1, freeRow), 0u);
        if (x > labelledX + 50) {
            // Right-aligned against x - 1 at the bottom: full-ink pixels of the label colour.
            EXPECT_TRUE(contains(p, x - 30, kHeight - 14, x, kHeight, kLabel));
            labelledX = x;
        }
    }
    // The level lines: -6, -18, -30, -42 and -54 dB (those 12 pixels or less below the previous
    // one, 0 and -12 dB among them, are left out), each with a label at the left.
    for (int32_t db : {-6, -18, -30, -42, -54}) {
        const int32_t y = int32_t((db + 60.0) * (-kHeight / 66.0) + kHeight);
        SCOPED_TRACE(db);
        EXPECT_EQ(p.at(kWidth / 2 + 3, y), kGrid);
        EXPECT_TRUE(contains(p, 0, y - 10, 20, y + 1, kLabel));
    }
    for (int32_t db : {0, -12}) {
        const int32_t y = int32_t((db + 60.0) * (-kHeight / 66.0) + kHeight);
        EXPECT_EQ(p.at(kWidth / 2 + 3, y), 0u) << db;
    }

    fx->showGrid = 0;
    p = capture();
    for (int32_t f : gridFrequencies())
        EXPECT_EQ(p.at(xOf(f), freeRow), 0u) << f;
    EXPECT_FALSE(contains(p, 0, 0, kWidth, kHeight, kLabel));
}

TEST_F(GraphPaint, TopFrequencyLineOnePixelLeftOfTheFrequency) {
    set(1, kSettingFrequency, 1500.0); // on a grid line: the band's line stays left of it
    Picture p = capture();
    const int32_t x = xOf(1500);
    EXPECT_EQ(p.at(x - 1, 60), kTopFrequency);
    EXPECT_EQ(p.at(x - 1, 0), kTopFrequency);
    EXPECT_EQ(p.at(x, 60), kGrid);
    EXPECT_NE(p.at(x - 2, 60), kTopFrequency);
    // The threshold tick: 8 pixels above and below the threshold on that line.
    const int32_t y0 = yOfDb(0);
    EXPECT_EQ(p.at(x - 1, y0 + 8), kThresholdOther);
    EXPECT_EQ(p.at(x - 1, y0 + 9), kTopFrequency);
}

TEST_F(GraphPaint, HandleDiscsInTheCurrentAndOtherBandColours) {
    fx->currentBand = 2;
    set(3, kSettingActive, 0);
    Picture p = capture();
    const int32_t y0 = yOfDb(0);
    const double bounds[] = {20, 200, 1000, 5000, 24000};
    for (int32_t band = 0; band < 4; ++band) {
        const int32_t mid = handleX(bounds[band], bounds[band + 1]);
        SCOPED_TRACE(band);
        // Inside the disc, clear of the number and the outline.
        const uint32_t expected = band == 3 ? 0u : band == 2 ? kHandleCurrent : kHandleOther;
        EXPECT_EQ(p.at(mid - 5, y0 + 2), expected);
        EXPECT_EQ(p.at(mid + 5, y0 - 2), expected);
        // The outline at radius 7 left of the centre.
        EXPECT_EQ(p.at(mid - 7, y0), kHandleOther);
    }
    // An inactive band's number is drawn in the silent colour, without disc.
    const int32_t mid = handleX(5000, 24000);
    EXPECT_TRUE(contains(p, mid - 7, y0 - 7, mid + 7, y0 + 7, 0xC00000));
}

TEST_F(GraphPaint, RatioGaugeDomeBowlAndEmptyAtOneToOne) {
    set(0, kSettingRatio, 4.0);  // dome: the needle 0.851 rad above the left horizontal
    set(1, kSettingRatio, 0.5);  // bowl: the needle 0.851 rad below it
    set(2, kSettingRatio, 1.0);  // empty
    fx->showGrid = 0;
    Picture p = capture();
    p.savePng("graph-gauges.png");
    p.savePng("graph-gauges-x3.png", 3);
    const int32_t y0 = yOfDb(0);
    const int32_t dome = handleX(20, 200), bowl = handleX(200, 1000), flat = handleX(1000, 5000);
    // 9 pixels from the gauge centre (mid, y0 for the dome, mid, y0 - 12 + 12 for the bowl) at
    // 20 degrees from the left horizontal, inside the wedge; at 70 degrees, beyond the needle.
    EXPECT_EQ(p.at(dome - 12 + 3, y0 - 12 + 8), kGauge);
    EXPECT_EQ(p.at(dome - 12 + 8, y0 - 12 + 3), 0u);
    EXPECT_EQ(p.at(dome - 12 + 3, y0 + 3), 0u);
    EXPECT_EQ(p.at(bowl - 12 + 3, y0 + 3), kGauge);
    EXPECT_EQ(p.at(bowl - 12 + 8, y0 + 8), 0u);
    EXPECT_EQ(p.at(bowl - 12 + 3, y0 - 12 + 8), 0u);
    EXPECT_FALSE(contains(p, flat - 12, y0 - 12, flat + 12, y0 + 12, kGauge));
}

TEST_F(GraphPaint, MetersColumnsReadoutHoldAndDecay) {
    fx->showGrid = 0;
    fx->currentBand = 0;
    set(1, kSettingAutoMakeup, 0); // no makeup bar on band 2: makeup = gain = 0 dB
    setMeters(1, 0.5, 0.1, 0.25, 0.5);
    Picture p = capture();
    p.savePng("graph-meters.png");
    p.savePng("graph-meters-x3.png", 3);
    // Band 2 spans x(200)..x(1000): bars 4 wide with a gap of 1, starting 10 right of the middle.
    const int32_t previousX = xOf(200), xTop = xOf(1000), mid = (previousX + xTop) / 2;
    const int32_t b = std::min(4, (xTop - previousX - 4) / 3), gap = b == 4 ? 1 : 0, q = mid + 10;
    ASSERT_EQ(b, 4);
    const int32_t y0 = yOfDb(0);
    const int32_t inputTop = yOfDb(ampToDb(0.5)), detectorTop = yOfDb(-20), outputTop = yOfDb(ampToDb(0.25));
    EXPECT_EQ(p.at(q, inputTop), kInput);
    EXPECT_EQ(p.at(q + b - 1, detectorTop - 1), kInput);
    EXPECT_EQ(p.at(q, inputTop - 1), 0u);
    EXPECT_EQ(p.at(q, detectorTop), kDetector);
    EXPECT_EQ(p.at(q, kHeight - 1), kDetector);
    EXPECT_EQ(p.at(q + 2 * (b + gap), outputTop), kDetector);
    EXPECT_EQ(p.at(q + 2 * (b + gap), outputTop - 1), 0u);
    // Gain reduction of 6.02 dB: trunc(6.02 x 120 / 66) = 10 pixels down from the threshold.
    const int32_t reductionX = q + b + gap;
    EXPECT_EQ(p.at(reductionX, y0 + 1), kReduction); // the threshold line covers row y0
    EXPECT_EQ(p.at(reductionX, y0 + 9), kReduction);
    EXPECT_EQ(p.at(reductionX, y0 + 10), 0u);
    EXPECT_TRUE(contains(p, q + 3 * (b + gap), y0, q + 3 * (b + gap) + 50, y0 + 20, kReadout));
    // Band 1 keeps its automatic makeup: 0 dB threshold at 2:1 gives none, so no bar either.
    EXPECT_FALSE(contains(p, 0, 0, kWidth, kHeight, kMakeup));

    // The paint decayed the meters in the band and started a 500 ms hold at 0.5.
    {
        LockHolder hold(fx->lock);
        const BandState& st = fx->band(1)->state;
        EXPECT_DOUBLE_EQ(st.inputPeak, 0.4);
        EXPECT_DOUBLE_EQ(st.detectorPeak, 0.1 * 0.8);
        EXPECT_DOUBLE_EQ(st.outputPeak, 0.2);
        EXPECT_DOUBLE_EQ(st.gainMeter, 0.65);
        EXPECT_DOUBLE_EQ(st.gainMeterHold, 0.5);
    }
    // The next paint still shows the held reduction while the meter falls back.
    p = capture();
    EXPECT_TRUE(contains(p, q + 3 * (b + gap), y0, q + 3 * (b + gap) + 50, y0 + 20, kReadout));
    EXPECT_EQ(p.at(reductionX, y0 + 5), kReduction); // 0.65: 3.74 dB, 6 pixels
    EXPECT_EQ(p.at(reductionX, y0 + 6), 0u);
}

TEST_F(GraphPaint, MakeupBarRisesFromTheThreshold) {
    fx->showGrid = 0;
    set(1, kSettingThreshold, std::exp(-30 * 0.11512925464970228)); // makeup (30 - 15) dB at 2:1
    Picture p = capture();
    double makeup;
    {
        LockHolder hold(fx->lock);
        makeup = fx->band(1)->state.makeupGain;
    }
    const int32_t mid = handleX(200, 1000), y = yOfDb(-30);
    const int32_t length = int32_t(ampToDb(makeup) * kHeight / 66.0);
    ASSERT_GT(length, 5);
    const int32_t barX = mid - 8 - 4; // left of the gauge's ink
    EXPECT_EQ(p.at(barX, y - 1), kMakeup);
    EXPECT_EQ(p.at(barX, y - length), kMakeup);
    EXPECT_NE(p.at(barX, y - length - 1), kMakeup);
    EXPECT_NE(p.at(barX, y), kMakeup);
}

TEST_F(GraphPaint, SoloShowsOnlyTheCurrentBandsMeters) {
    fx->showGrid = 0;
    fx->soloCurrentBand = 1;
    fx->currentBand = 1;
    for (int32_t band = 0; band < 3; ++band)
        setMeters(band, 0.5, 0.5, 0.5, 0.5);
    Picture p = capture();
    p.savePng("graph-solo.png");
    p.savePng("graph-solo-x3.png", 3);
    const double bounds[] = {20, 200, 1000, 5000};
    const int32_t y0 = yOfDb(0);
    for (int32_t band = 0; band < 3; ++band) {
        const int32_t previousX = xOf(bounds[band]), xTop = xOf(bounds[band + 1]);
        const int32_t mid = (previousX + xTop) / 2;
        const bool shown = band == 1;
        SCOPED_TRACE(band);
        EXPECT_EQ(contains(p, mid + 8, yOfDb(-6.0), xTop, kHeight, kDetector), shown);
        EXPECT_EQ(contains(p, mid + 8, y0, xTop, y0 + 12, kReduction), shown);
        // Every band keeps its threshold line and gauge; muted ones lose their disc.
        EXPECT_TRUE(contains(p, previousX, y0, xTop, y0 + 1, band == 1 ? kThresholdCurrent : kThresholdOther));
        EXPECT_TRUE(contains(p, mid - 12, y0 - 12, mid, y0, kGauge));
        EXPECT_EQ(p.at(mid - 5, y0 + 2), shown ? kHandleCurrent : 0u);
    }
    // Muted bands' meters are neither held nor decayed.
    LockHolder hold(fx->lock);
    EXPECT_DOUBLE_EQ(fx->band(0)->state.inputPeak, 0.5);
    EXPECT_DOUBLE_EQ(fx->band(1)->state.inputPeak, 0.4);
}

TEST_F(GraphPaint, BandsAreDrawnInFrequencyOrderWhateverTheirListOrder) {
    // Eight bands created out of order, each with its own threshold: band e spans from the next
    // lower frequency to its own, with its number on its handle.
    const double frequencies[] = {5000, 120, 24000, 800, 60, 2500, 300, 11000};
    {
        LockHolder hold(fx->lock);
        fx->deleteAllBands();
        for (int32_t e = 0; e < 8; ++e) {
            Band* band = createBand(frequencies[e]);
            ASSERT_NE(band, nullptr);
            band->settings.threshold = std::exp(-6.0 * e * 0.11512925464970228);
            band->settings.ratio = e % 3 == 1 ? 0.5 : 1.0 + e;
            ASSERT_TRUE(fx->appendBand(band));
        }
    }
    fx->currentBand = 3;
    fx->showGrid = 1;
    for (int32_t e = 0; e < 8; ++e)
        setMeters(e, 0.3, 0.2, 0.15, e % 3 == 1 ? 1.6 : 0.6);
    Picture p = capture();
    p.savePng("graph-eight.png");
    p.savePng("graph-eight-x3.png", 3);
    for (int32_t e = 0; e < 8; ++e) {
        double previous = 20;
        for (double f : frequencies)
            if (f < frequencies[e])
                previous = std::max(previous, f);
        const int32_t y = yOfDb(-6.0 * e), from = xOf(previous), to = xOf(frequencies[e]);
        SCOPED_TRACE(e);
        const uint32_t line = e == 3 ? kThresholdCurrent : kThresholdOther;
        EXPECT_EQ(p.at(from + 1, y), line);
        EXPECT_EQ(p.at(to - 2, y), line);
        EXPECT_EQ(p.at(to - 1, y < 60 ? y + 20 : y - 20), kTopFrequency); // clear of the tick
    }
}

TEST_F(GraphPaint, NoBandsPaintsOnlyBackgroundAndGrid) {
    {
        LockHolder hold(fx->lock);
        fx->deleteAllBands();
    }
    // The gain curve would still show the bank's unity gain: only the graph's own drawing here.
    fx->showGainCurve = 0;
    editorStateOf(*fx)->dragBand = 0;
    Picture p = capture();
    bool onlyGrey = true;
    for (uint32_t c : p.pixels)
        onlyGrey = onlyGrey && grey(c);
    EXPECT_TRUE(onlyGrey);
    EXPECT_EQ(p.at(xOf(100), 55), kGrid);
    fx->showGrid = 0;
    p = capture();
    for (uint32_t c : p.pixels)
        ASSERT_EQ(c, 0u);
}

TEST_F(GraphPaint, InfoBoxBesideThePointerInTheSystemColours) {
    const uint32_t background = GetSysColor(COLOR_INFOBK), text = GetSysColor(COLOR_INFOTEXT);
    const uint32_t fill = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    const uint32_t frame = (GetRValue(text) << 16) | (GetGValue(text) << 8) | GetBValue(text);
    ASSERT_NE(fill, frame);
    fx->showGrid = 0;
    const int32_t x = 60, y = 30;
    moveTo(x, y);
    editorStateOf(*fx)->dragBand = 1;
    Picture p = capture();
    p.savePng("graph-info.png");
    p.savePng("graph-info-x3.png", 3);
    // Right of the pointer: fill from x + 29, frame at x + 28, 8 pixels below the pointer.
    EXPECT_EQ(p.at(x + 28, y + 9), frame);
    EXPECT_EQ(p.at(x + 29, y + 9), fill);
    EXPECT_EQ(p.at(x + 29, y + 7), frame);

    // Near the right edge the box goes left of the pointer, ending 28 pixels before it.
    const int32_t right = kWidth - 20;
    moveTo(right, y);
    editorStateOf(*fx)->dragBand = 1;
    p = capture();
    EXPECT_EQ(p.at(right - 28, y + 9), frame);
    EXPECT_EQ(p.at(right - 29, y + 9), fill);
    EXPECT_EQ(p.at(right - 27, y + 9), 0u);

    // Near the bottom it moves up so that its fill ends on the last row.
    moveTo(x, kHeight - 3);
    editorStateOf(*fx)->dragBand = 1;
    p = capture();
    EXPECT_EQ(p.at(x + 28, kHeight - 1), frame);
    EXPECT_EQ(p.at(x + 29, kHeight - 1), fill);
    int32_t frameTop = kHeight - 1;
    while (frameTop > 0 && p.at(x + 29, frameTop) == fill)
        --frameTop;
    EXPECT_LT(frameTop, kHeight - 20); // two lines of text above the bottom
    EXPECT_EQ(p.at(x + 29, frameTop), frame);
}

// The hold compares tick counts by unsigned difference: it holds across the 32-bit wrap.
TEST_F(GraphPaint, MeterHoldSurvivesTheTickCountWrap) {
    const uint32_t start = 0xFFFFFF00u;
    auto heldAfter = [&](uint32_t now, double meter) {
        setMeters(0, 0, 0, 0, meter);
        copyGraphBands(*fx, &now);
        LockHolder hold(fx->lock);
        return fx->band(0)->state.gainMeterHold;
    };
    EXPECT_DOUBLE_EQ(heldAfter(start, 0.25), 0.25);
    EXPECT_DOUBLE_EQ(heldAfter(start + 100, 0.9), 0.25);
    EXPECT_DOUBLE_EQ(heldAfter(start + 500, 0.9), 0.25); // the deadline wrapped past zero
    EXPECT_DOUBLE_EQ(heldAfter(start + 501, 0.9), 0.9);
    // More reduction is held at once, before the deadline.
    EXPECT_DOUBLE_EQ(heldAfter(start + 600, 0.3), 0.3);
    EXPECT_DOUBLE_EQ(heldAfter(start + 700, 0.5), 0.3);
}

} // namespace
