// The response graph drawn into a memory bitmap on a real instance: handles where the mapping
// puts them, the grid, solo's muting, the meters and the info box. Positions come from the
// mapping written out in graph_core_support.h; colours are the graph's own.
#include "graph_core_support.h"

#include "editor/core/graph_paint.h"
#include "raster/pixo.h"

#include <functional>

using namespace graphcore;

namespace {

constexpr uint32_t kHandleCurrent = 0xC80000;
constexpr uint32_t kHandleOther = 0x800000; // also the outline and another band's threshold line
constexpr uint32_t kNumberSilent = 0xC00000;
constexpr uint32_t kGridLine = 0x4D4D4D;
constexpr uint32_t kDetectorMeter = 0x00FF00;

class GraphPaintTest : public GraphCoreTest {
protected:
    void SetUp() override {
        GraphCoreTest::SetUp();
        ASSERT_TRUE(bitmap.setSize(width(), height()));
    }

    void paint(GraphFrame frame = {}) {
        frame.now = now += 33;
        renderGraph(*fx, copies, cache, bitmap, frame);
    }
    uint32_t at(int32_t x, int32_t y) { return bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF; }
    // The pixels of one colour for which where(x, y) holds.
    int32_t count(uint32_t colour, const std::function<bool(int32_t, int32_t)>& where) {
        int32_t n = 0;
        for (int32_t y = 0; y < height(); ++y)
            for (int32_t x = 0; x < width(); ++x)
                n += at(x, y) == colour && where(x, y) ? 1 : 0;
        return n;
    }
    int32_t count(uint32_t colour) {
        return count(colour, [](int32_t, int32_t) { return true; });
    }
    // Within r pixels of band index's handle centre.
    std::function<bool(int32_t, int32_t)> nearHandle(int32_t index, double r) {
        const int32_t cx = handleX(index), cy = handleY(index);
        return [=](int32_t x, int32_t y) { return std::hypot(x - cx, y - cy) <= r; };
    }
    // Inside a handle off the threshold line through its centre, where only the disc and the
    // number can be.
    std::function<bool(int32_t, int32_t)> insideHandle(int32_t index) {
        const int32_t cx = handleX(index), cy = handleY(index);
        return [=](int32_t x, int32_t y) { return y != cy && std::hypot(x - cx, y - cy) <= 5.0; };
    }
    // A filled disc in another band's colour with a black number, or (muted or inactive) no
    // disc and the number in dark red.
    void expectFilled(int32_t band, bool filled) {
        SCOPED_TRACE(band);
        if (filled) {
            EXPECT_GT(count(kHandleOther, insideHandle(band)), 20);
            EXPECT_EQ(count(kNumberSilent, nearHandle(band, 7.5)), 0);
        } else {
            EXPECT_EQ(count(kHandleOther, insideHandle(band)), 0);
            EXPECT_GT(count(kNumberSilent, nearHandle(band, 7.5)), 0);
        }
    }
    void setMeters(int32_t band, double level) {
        LockHolder hold(fx->lock);
        BandState& st = fx->band(band)->state;
        st.inputPeak = level;
        st.detectorPeak = level;
        st.outputPeak = level;
        st.gainMeter = 0.5;
    }

    PIXO_MemBitmap bitmap{3};
    GraphPaintCache cache;
    uint32_t now = 1000;
};

TEST_F(GraphPaintTest, TheCurrentBandsHandleIsDrawnWhereItsFrequenciesAndThresholdPutIt) {
    set(2, kSettingThreshold, dbToAmp(-30.0));
    for (const int32_t current : {1, 2}) {
        SCOPED_TRACE(current);
        fx->currentBand = current;
        paint();
        // The whole disc of the current band's colour, and nothing of it anywhere else.
        const int32_t inside = count(kHandleCurrent, nearHandle(current, 7.5));
        EXPECT_GT(inside, 50); // a disc of radius 7, less its number and its smoothed rim
        EXPECT_EQ(count(kHandleCurrent), inside);
        // The other bands' discs are filled too, in their own colour.
        for (int32_t band = 0; band < 4; ++band)
            if (band != current)
                expectFilled(band, true);
    }
}

TEST_F(GraphPaintTest, TheGridDrawsOnlyWhenShown) {
    fx->showGrid = 1;
    paint();
    const int32_t x100 = xOf(100);
    EXPECT_EQ(at(x100, 3), kGridLine);
    EXPECT_EQ(at(x100, height() / 2 + 7), kGridLine);
    const int32_t grid = count(kGridLine);
    EXPECT_GT(grid, 10 * height()); // eleven frequency lines and the level lines
    fx->showGrid = 0;
    paint();
    EXPECT_EQ(count(kGridLine), 0);
    EXPECT_EQ(at(x100, 3), 0u);
}

TEST_F(GraphPaintTest, SoloLeavesOnlyTheCurrentBandWithMetersAndAFilledHandle) {
    for (int32_t band = 0; band < 4; ++band)
        setMeters(band, 0.5);
    // Band i spans lineX(i - 1) .. lineX(i).
    auto inBand = [this](int32_t index) {
        const int32_t right = xOf(get(index, kSettingFrequency));
        const int32_t left = index == 0 ? 0 : xOf(get(index - 1, kSettingFrequency));
        return [=](int32_t x, int32_t) { return x >= left && x < right; };
    };
    fx->currentBand = 1;
    fx->soloCurrentBand = 1;
    paint();
    const int32_t meters = count(kDetectorMeter);
    EXPECT_GT(meters, 0);
    EXPECT_EQ(count(kDetectorMeter, inBand(1)), meters);
    EXPECT_GT(count(kHandleCurrent, nearHandle(1, 7.5)), 50);
    for (const int32_t muted : {0, 2, 3})
        expectFilled(muted, false);

    // Without solo every band shows its meters again (taken afresh: they decayed only for band 1).
    for (int32_t band = 0; band < 4; ++band)
        setMeters(band, 0.5);
    fx->soloCurrentBand = 0;
    paint();
    for (int32_t band = 0; band < 4; ++band)
        EXPECT_GT(count(kDetectorMeter, inBand(band)), 0) << band;
    for (const int32_t band : {0, 2, 3})
        expectFilled(band, true);

    // An inactive band is drawn as a muted one.
    set(2, kSettingActive, 0.0);
    paint();
    expectFilled(2, false);
    expectFilled(3, true);
}

TEST_F(GraphPaintTest, TheInfoBoxOpensBesideThePointerForTheNamedBandOnly) {
    GraphFrame frame;
    frame.pointerX = 100;
    frame.pointerY = 30;
    paint(frame);
    EXPECT_EQ(count(kGraphInfoBackground), 0);

    frame.infoBand = 1;
    paint(frame);
    int32_t left = width(), top = height();
    const int32_t filled = count(kGraphInfoBackground, [&](int32_t x, int32_t y) {
        left = std::min(left, x);
        top = std::min(top, y);
        return true;
    });
    EXPECT_GT(filled, 500);
    // 30 pixels right of the pointer (less the fill's one-pixel margin) and 8 below it.
    EXPECT_EQ(left, 100 + 30 - 1);
    EXPECT_EQ(top, 30 + 8);

    // Near the right edge it opens left of the pointer instead.
    frame.pointerX = width() - 20;
    paint(frame);
    int32_t right = 0;
    count(kGraphInfoBackground, [&](int32_t x, int32_t) {
        right = std::max(right, x);
        return true;
    });
    EXPECT_EQ(right, width() - 20 - 30 + 1);

    frame.infoBand = 9; // no such band
    paint(frame);
    EXPECT_EQ(count(kGraphInfoBackground), 0);
}

TEST_F(GraphPaintTest, AtTwiceTheScaleTheHandleIsTwiceAsWide) {
    fx->currentBand = 1;
    paint();
    const int32_t single = count(kHandleCurrent);
    GraphFrame frame;
    frame.scale = 2.0;
    paint(frame);
    const int32_t twice = count(kHandleCurrent, nearHandle(1, 14.5));
    EXPECT_EQ(count(kHandleCurrent), twice);
    EXPECT_GT(twice, 3 * single); // four times the area, less a number twice as large
    EXPECT_LT(twice, 5 * single);
}

} // namespace
