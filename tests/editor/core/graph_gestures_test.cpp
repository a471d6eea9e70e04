// The response graph's gestures on a real instance through a recording port: what each drag,
// wheel turn and right press changes, by how much, and what the host and the window hear.
#include "graph_core_support.h"

using namespace graphcore;

namespace {

class GraphGesturesTest : public GraphCoreTest {
protected:
    void press(int32_t x, int32_t y) { gestures.press(*fx, port, x, y); }
    void move(int32_t x, int32_t y, GraphModifiers keys = {}) { gestures.move(*fx, port, x, y, keys); }
    void release() { gestures.release(*fx, port); }
    static GraphModifiers keys(bool control, bool shift, bool alt) {
        GraphModifiers held;
        held.control = control;
        held.shift = shift;
        held.alt = alt;
        return held;
    }
};

TEST_F(GraphGesturesTest, AHandleDragMovesTheThresholdByTheLevelsThePointerCrossesFinelyWithControl) {
    const int32_t x = handleX(1), y = handleY(1);
    ASSERT_DOUBLE_EQ(db(1, kSettingThreshold), 0.0);
    press(x, y);
    EXPECT_EQ(fx->currentBand, 1);
    EXPECT_TRUE(port.captured);
    EXPECT_EQ(port.count("select 1"), 1);
    EXPECT_EQ(gestures.dragBand, 1);
    EXPECT_EQ(gestures.dragMode, 0);

    move(x, y + 10);
    EXPECT_NEAR(db(1, kSettingThreshold), -10 * dbPerPixel(), 1e-9);
    move(x, y + 20, keys(true, false, false)); // a tenth of the way with Control
    EXPECT_NEAR(db(1, kSettingThreshold), -11 * dbPerPixel(), 1e-9);
    EXPECT_EQ(gestures.dragMode, DRAG_EDITED_THRESHOLD);
    // Far down the threshold stops at -60 dB; far up the linear threshold stops at 64.
    move(x, height() + 80);
    EXPECT_NEAR(db(1, kSettingThreshold), -60.0, 1e-9);
    move(x, -200);
    EXPECT_DOUBLE_EQ(get(1, kSettingThreshold), 64.0);
    EXPECT_DOUBLE_EQ(get(1, kSettingGain), 1.0);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), get(0, kSettingRatio));

    const size_t moves = reports(audioMasterAutomate).size();
    EXPECT_EQ(moves, 4u);
    release();
    EXPECT_FALSE(port.captured);
    EXPECT_EQ(gestures.dragBand, -1);
    EXPECT_EQ(gestures.dragMode, 0);
    ASSERT_EQ(hostCalls.size(), moves + 1);
    for (size_t i = 0; i < moves; ++i) {
        EXPECT_EQ(hostCalls[i].opcode, audioMasterAutomate);
        EXPECT_EQ(hostCalls[i].index, 12 + kSettingThreshold);
    }
    EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(hostCalls.back().index, 12 + kSettingThreshold);
}

TEST_F(GraphGesturesTest, ShiftDragsTheGainAndAltTheRatioInNinetySixDpiPixels) {
    struct Case {
        const char* what;
        GraphModifiers keys;
        double scale;
        int32_t up; // device pixels
        int32_t kind;
        double expected; // the setting after the drag, from gain 0 dB / ratio 4
    } cases[] = {
        {"shift", keys(false, true, false), 1.0, 10, kSettingGain, dbToAmp(2.0)},
        {"shift control", keys(true, true, false), 1.0, 10, kSettingGain, dbToAmp(0.5)},
        {"shift at scale 2", keys(false, true, false), 2.0, 20, kSettingGain, dbToAmp(2.0)},
        {"shift down", keys(false, true, false), 1.0, -15, kSettingGain, dbToAmp(-3.0)},
        {"alt", keys(false, false, true), 1.0, 10, kSettingRatio, 4.0 * std::pow(10.0, 0.2)},
        {"alt control", keys(true, false, true), 1.0, 10, kSettingRatio, 4.0 * std::pow(10.0, 0.02)},
        {"alt far down", keys(false, false, true), 1.0, -200, kSettingRatio, 0.1},
        {"alt far up", keys(false, false, true), 1.0, 200, kSettingRatio, 100.0},
        {"shift wins over alt", keys(false, true, true), 1.0, 10, kSettingGain, dbToAmp(2.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(2, kSettingGain, 1.0);
        set(2, kSettingRatio, 4.0);
        set(2, kSettingThreshold, dbToAmp(-30.0));
        port.areaNow.scale = c.scale;
        hostCalls.clear();
        const int32_t x = handleX(2), y = handleY(2);
        press(x, y);
        move(x, y - c.up, c.keys);
        EXPECT_NEAR(get(2, c.kind), c.expected, 1e-9 * c.expected);
        EXPECT_NEAR(db(2, kSettingThreshold), -30.0, 1e-9);
        release();
        const int32_t other = c.kind == kSettingGain ? kSettingRatio : kSettingGain;
        EXPECT_DOUBLE_EQ(get(2, other), other == kSettingGain ? 1.0 : 4.0);
        ASSERT_EQ(hostCalls.size(), 2u);
        EXPECT_EQ(hostCalls[0].opcode, audioMasterAutomate);
        EXPECT_EQ(hostCalls[0].index, 24 + c.kind);
        EXPECT_EQ(hostCalls[1].opcode, audioMasterEndEdit);
        EXPECT_EQ(hostCalls[1].index, 24 + c.kind);
    }
}

TEST_F(GraphGesturesTest, TheEndsOfAMixedDragComeThresholdFrequencyRatioGainWhateverTheOrderOfTheEdits) {
    const int32_t x = handleX(1), y = handleY(1);
    press(x, y);
    move(x, y - 4, keys(false, true, false));  // gain first
    move(x, y - 8, keys(false, false, true));  // then ratio
    move(x, y - 12, keys(false, false, false)); // then threshold
    EXPECT_EQ(gestures.dragMode, DRAG_EDITED_GAIN | DRAG_EDITED_RATIO | DRAG_EDITED_THRESHOLD);
    hostCalls.clear();
    release();
    ASSERT_EQ(hostCalls.size(), 3u);
    const int32_t order[] = {kSettingThreshold, kSettingRatio, kSettingGain};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(hostCalls[i].opcode, audioMasterEndEdit);
        EXPECT_EQ(hostCalls[i].index, 12 + order[i]);
    }
}

TEST_F(GraphGesturesTest, AFrequencyLineDragsTheTopFrequencyAndSelectsOnlyNearTheThreshold) {
    fx->currentBand = 2;
    const int32_t x = xOf(get(0, kSettingFrequency));
    const int32_t away = handleY(0) + 30;
    EXPECT_EQ(gestures.cursorAt(*fx, port, x, away), GraphCursor::ResizeHorizontal);
    press(x, away);
    EXPECT_TRUE(port.captured);
    EXPECT_EQ(gestures.dragBand, 0);
    EXPECT_EQ(gestures.dragMode, DRAG_FREQUENCY);
    EXPECT_EQ(fx->currentBand, 2);
    EXPECT_EQ(port.count("select 0"), 0);
    move(x, away + 5); // only the width matters: nothing is edited
    EXPECT_TRUE(hostCalls.empty());
    move(x + 20, away + 5);
    EXPECT_NEAR(get(0, kSettingFrequency), frequencyAt(x + 20), 1e-9);
    EXPECT_DOUBLE_EQ(db(0, kSettingThreshold), 0.0);
    move(-40, away); // held inside the window: the lowest frequency there is
    EXPECT_NEAR(get(0, kSettingFrequency), 20.0, 1e-9);
    EXPECT_EQ(port.count("panel"), 3);
    release();
    const auto moves = reports(audioMasterAutomate);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].index, 0);
    const auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 0);

    // Near the threshold the same line also selects its band.
    const int32_t line1 = xOf(get(1, kSettingFrequency));
    press(line1 + 1, handleY(1) + 11);
    EXPECT_EQ(gestures.dragMode, DRAG_FREQUENCY);
    EXPECT_EQ(fx->currentBand, 1);
    EXPECT_EQ(port.count("select 1"), 1);
    release();
}

TEST_F(GraphGesturesTest, APressOnNothingStartsNothingAndAMoveWithoutCaptureOnlyHovers) {
    const int32_t emptyX = (handleX(1) + xOf(get(1, kSettingFrequency))) / 2 + 10;
    EXPECT_EQ(gestures.cursorAt(*fx, port, emptyX, 5), GraphCursor::Arrow);
    press(emptyX, 5);
    EXPECT_FALSE(port.captured);
    EXPECT_EQ(gestures.dragBand, -1);
    EXPECT_TRUE(port.calls.empty());

    EXPECT_EQ(gestures.cursorAt(*fx, port, handleX(3), handleY(3) + 6), GraphCursor::Hand);
    move(handleX(3), handleY(3) + 6);
    EXPECT_EQ(gestures.dragBand, 3);
    move(handleX(3), handleY(3) + 8); // just outside the handle
    EXPECT_EQ(gestures.dragBand, -1);
    EXPECT_TRUE(hostCalls.empty());
    release(); // a release with nothing under way reports nothing
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_EQ(port.count("release"), 0);
}

TEST_F(GraphGesturesTest, AMoveOfAGestureWhoseBandIsGoneEditsNothing) {
    press(handleX(3), handleY(3));
    ASSERT_TRUE(port.captured);
    ASSERT_EQ(fx->currentBand, 3);
    fx->deleteCurrentBand();
    ASSERT_EQ(fx->viewBandCount(), 3);
    hostCalls.clear();
    move(handleX(2), handleY(2) + 10);
    EXPECT_TRUE(hostCalls.empty());
    release();
    EXPECT_FALSE(port.captured);
}

TEST_F(GraphGesturesTest, TheWheelOverAHandleStepsRatioOrGainSilentlyAndNeverTakesTheRatioBelowOne) {
    set(1, kSettingRatio, 2.0);
    const int32_t x = handleX(1), y = handleY(1);
    gestures.wheel(*fx, port, x, y, 120, {});
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, 0.048), 1e-12);
    gestures.wheel(*fx, port, x, y, -120, keys(true, false, false));
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, 0.048 - 0.0048), 1e-12);
    gestures.wheel(*fx, port, x, y, -120 * 40, {});
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 1.0);

    gestures.wheel(*fx, port, x, y, 240, keys(false, true, false));
    EXPECT_NEAR(db(1, kSettingGain), 1.2, 1e-9);
    gestures.wheel(*fx, port, x, y, -120, keys(true, true, false));
    EXPECT_NEAR(db(1, kSettingGain), 1.2 - 0.192, 1e-9);
    EXPECT_EQ(port.count("panel"), 5);
    EXPECT_TRUE(hostCalls.empty());

    // Off a handle, or with no turn, nothing happens.
    const double ratio = get(1, kSettingRatio);
    gestures.wheel(*fx, port, x, y + 30, 120, {});
    gestures.wheel(*fx, port, x, y, 0, {});
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), ratio);
    EXPECT_EQ(port.count("panel"), 5);
}

TEST_F(GraphGesturesTest, ARightPressOnAHandleSelectsItsBandAndEndsAnyHover) {
    move(handleX(2), handleY(2));
    ASSERT_EQ(gestures.dragBand, 2);
    EXPECT_TRUE(gestures.rightPress(*fx, port, handleX(2), handleY(2)));
    EXPECT_EQ(fx->currentBand, 2);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"select 2", "panel", "repaint"}));
    EXPECT_EQ(gestures.dragBand, -1);

    port.calls.clear();
    EXPECT_FALSE(gestures.rightPress(*fx, port, handleX(2), handleY(2) + 40));
    EXPECT_EQ(fx->currentBand, 2);
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(GraphGesturesTest, AThresholdAboveTheRangeIsGrabbedWithinSevenPixelsOfTheTopEdge) {
    for (const int32_t tabs : {1, 0}) {
        SCOPED_TRACE(tabs);
        fx->showTabs = tabs;
        set(1, kSettingThreshold, dbToAmp(tabs ? 10.0 : 20.0)); // above +6 dB / +12 dB
        EXPECT_EQ(gestures.cursorAt(*fx, port, handleX(1), 7), GraphCursor::Hand);
        EXPECT_EQ(gestures.cursorAt(*fx, port, handleX(1), 8), GraphCursor::Arrow);
        press(handleX(1), 0);
        EXPECT_EQ(gestures.dragBand, 1);
        EXPECT_EQ(gestures.dragMode, 0);
        release();
    }
}

} // namespace
