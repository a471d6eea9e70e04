// Editing bands with real mouse input on the response graph (SendInput, modifier keys through
// the X server): frequency and handle drags with their host reports, the wheel, the cursor,
// and the context menu read while it is open and used with real clicks.
#include "graph_harness.h"

#include "editor/graph_input.h"
#include "engine/band_control.h"
#include "shell/parameters.h"

#include <commctrl.h>

using namespace graphtest;

namespace {

class GraphInput : public GraphWindowTest {
protected:
    int32_t currentTab() const { return int32_t(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)); }
    double db(int32_t band, int32_t kind) { return ampToDb(get(band, kind)); }

    // The host reports of one kind (automate or end of edit), in order.
    static std::vector<HostCall> reports(int32_t opcode) {
        std::vector<HostCall> out;
        for (const HostCall& call : hostCalls)
            if (call.opcode == opcode)
                out.push_back(call);
        return out;
    }
    // Every automate report carried the normalised value the parameter had right after it; the
    // last one of each parameter matches its value now.
    void expectReportsMatchParameters() {
        std::map<int32_t, float> last;
        for (const HostCall& call : reports(audioMasterAutomate))
            last[call.index] = call.value;
        for (const auto& entry : last)
            EXPECT_FLOAT_EQ(entry.second, readParameter(*fx, entry.first)) << entry.first;
    }

    // The second band (200..1000 Hz) with its handle on the 0 dB threshold.
    int32_t handle2X() const { return handleX(200, 1000); }
    int32_t zeroDbY() const { return yOfDb(0); }
};

TEST_F(GraphInput, FrequencyLineAwayFromTheThresholdDragsWithoutSelecting) {
    fx->currentBand = 2;
    SendMessageA(tabs, TCM_SETCURSEL, 2, 0);
    const int32_t x = xOf(200);
    moveTo(x, 80);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEWE));
    leftDown();
    EXPECT_EQ(GetCapture(), graph);
    EXPECT_EQ(editorStateOf(*fx)->dragBand, 0);
    EXPECT_EQ(fx->currentBand, 2);
    moveTo(x + 20, 85); // the height does not matter to a frequency drag
    const double expected = (std::exp((x + 20) / (kWidth * (1.0 / 5.993961427306569))) - 1) * 23980 * 0.0025 + 20;
    EXPECT_NEAR(get(0, kSettingFrequency), expected, 1e-9);
    EXPECT_DOUBLE_EQ(db(0, kSettingThreshold), 0.0);
    leftUp();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(editorStateOf(*fx)->dragBand, -1);
    EXPECT_EQ(fx->currentBand, 2);
    EXPECT_EQ(currentTab(), 2);

    auto moves = reports(audioMasterAutomate);
    ASSERT_FALSE(moves.empty());
    for (const HostCall& call : moves)
        EXPECT_EQ(call.index, 0);
    expectReportsMatchParameters();
    auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 0);
}

TEST_F(GraphInput, FrequencyLineNearTheThresholdAlsoSelectsTheBand) {
    const int32_t x = xOf(1000);
    moveTo(x + 1, zeroDbY() + 11);
    leftDown();
    EXPECT_EQ(fx->currentBand, 1);
    EXPECT_EQ(currentTab(), 1);
    EXPECT_GT(bandPanelRefreshes, 0);
    moveTo(x - 30, zeroDbY());
    leftUp();
    EXPECT_LT(get(1, kSettingFrequency), 1000.0);
    EXPECT_GT(get(1, kSettingFrequency), 200.0);
    EXPECT_EQ(reports(audioMasterEndEdit).size(), 1u);
}

TEST_F(GraphInput, ADoubleClickOnAHandleStartsNoSecondGesture) {
    moveTo(handle2X(), zeroDbY());
    leftDown();
    leftUp();
    const double before = db(1, kSettingThreshold);
    leftDown(); // within the double-click time and distance: the window gets WM_LBUTTONDBLCLK
    EXPECT_EQ(GetCapture(), nullptr);
    moveTo(handle2X(), zeroDbY() + 10);
    leftUp();
    EXPECT_EQ(db(1, kSettingThreshold), before);
    EXPECT_TRUE(reports(audioMasterEndEdit).empty());
}

TEST_F(GraphInput, HandleDragsTheThresholdFinelyWithControlAndStopsAtTheLimits) {
    moveTo(handle2X(), zeroDbY());
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    leftDown();
    EXPECT_EQ(fx->currentBand, 1);
    EXPECT_EQ(editorStateOf(*fx)->dragMode, 0);
    moveTo(handle2X(), zeroDbY() + 10);
    EXPECT_NEAR(db(1, kSettingThreshold), -10 * 66.0 / kHeight, 1e-9);
    press("ctrl");
    moveTo(handle2X(), zeroDbY() + 20);
    EXPECT_NEAR(db(1, kSettingThreshold), -10 * 66.0 / kHeight * 1.1, 1e-9);
    release("ctrl");
    // Far down the threshold stops at -60 dB; far up the linear threshold stops at 64.
    moveTo(handle2X(), kHeight + 60);
    EXPECT_NEAR(db(1, kSettingThreshold), -60.0, 1e-9);
    moveTo(handle2X(), -90);
    EXPECT_DOUBLE_EQ(get(1, kSettingThreshold), 64.0);
    leftUp();
    auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 12 + kSettingThreshold);
    expectReportsMatchParameters();
}

TEST_F(GraphInput, ShiftDragRaisesTheGainTwoDbPerTenPixelsAndControlAQuarterOfThat) {
    press("shift");
    moveTo(handle2X(), zeroDbY());
    leftDown();
    moveTo(handle2X(), zeroDbY() - 10);
    EXPECT_NEAR(db(1, kSettingGain), 2.0, 1e-9);
    press("ctrl");
    moveTo(handle2X(), zeroDbY() - 20);
    EXPECT_NEAR(db(1, kSettingGain), 2.5, 1e-9);
    leftUp();
    EXPECT_DOUBLE_EQ(db(1, kSettingThreshold), 0.0);
    auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 12 + kSettingGain);
    expectReportsMatchParameters();
}

TEST_F(GraphInput, AltDragReachesARatioOfOneTenth) {
    press("alt");
    moveTo(handle2X(), zeroDbY());
    leftDown();
    moveTo(handle2X(), zeroDbY() + 5); // log10 of the ratio falls by 0.1
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, -0.1), 1e-12);
    moveTo(handle2X(), zeroDbY() + 80);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 0.1);
    moveTo(handle2X(), zeroDbY() - 100);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 100.0);
    leftUp();
    auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 12 + kSettingRatio);
    expectReportsMatchParameters();
}

TEST_F(GraphInput, EndOfEditReportsComeThresholdFirst) {
    moveTo(handle2X(), zeroDbY());
    leftDown();
    press("shift");
    moveTo(handle2X(), zeroDbY() - 4); // gain first
    release("shift");
    moveTo(handle2X(), zeroDbY() - 8); // then threshold
    leftUp();
    auto ends = reports(audioMasterEndEdit);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].index, 12 + kSettingThreshold);
    EXPECT_EQ(ends[1].index, 12 + kSettingGain);
    // During the drag: automate reports for the gain, then for the threshold.
    auto moves = reports(audioMasterAutomate);
    ASSERT_GE(moves.size(), 2u);
    EXPECT_EQ(moves.front().index, 12 + kSettingGain);
    EXPECT_EQ(moves.back().index, 12 + kSettingThreshold);
    expectReportsMatchParameters();
    EXPECT_EQ(editorStateOf(*fx)->dragMode, 0);
}

TEST_F(GraphInput, AThresholdAboveTheRangeIsGrabbedWithinSevenPixelsOfTheTop) {
    set(1, kSettingThreshold, 4.0); // +12 dB
    moveTo(handle2X(), 8);
    leftDown();
    EXPECT_EQ(GetCapture(), nullptr);
    leftUp();
    moveTo(handle2X() + 6, 7);
    leftDown();
    EXPECT_EQ(GetCapture(), graph);
    EXPECT_EQ(editorStateOf(*fx)->dragBand, 1);
    EXPECT_EQ(fx->currentBand, 1);
    moveTo(handle2X() + 6, 17);
    leftUp();
    EXPECT_NEAR(db(1, kSettingThreshold), ampToDb(4.0) - 10 * 66.0 / kHeight, 1e-9);
}

TEST_F(GraphInput, ResultsThatAreNotFiniteAreNotStored) {
    set(1, kSettingGain, 1.7e308); // 6170.6 dB: half a dB more overflows
    press("shift");
    moveTo(handle2X(), zeroDbY());
    leftDown();
    moveTo(handle2X(), zeroDbY() - 10);
    leftUp();
    wheel(handle2X(), zeroDbY(), 120);
    EXPECT_EQ(get(1, kSettingGain), 1.7e308);
    EXPECT_TRUE(reports(audioMasterAutomate).empty());
    EXPECT_TRUE(reports(audioMasterEndEdit).empty());
}

TEST_F(GraphInput, WheelOverAHandleScalesTheRatioAndNeverGoesBelowOne) {
    // The window sits away from the screen origin, so only a hit test in client coordinates
    // finds the handle.
    wheel(handle2X(), zeroDbY(), 120);
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, 0.048), 1e-12);
    wheel(handle2X(), zeroDbY(), -240);
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, -0.048), 1e-12);
    set(1, kSettingRatio, 1.0);
    wheel(handle2X(), zeroDbY(), -120);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 1.0);
    set(1, kSettingRatio, 0.5);
    wheel(handle2X(), zeroDbY(), 120);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 1.0);
    // Away from every handle the wheel does nothing.
    wheel(handle2X(), zeroDbY() + 30, 120);
    EXPECT_DOUBLE_EQ(get(1, kSettingRatio), 1.0);

    press("shift");
    wheel(handle2X(), zeroDbY(), 120);
    EXPECT_NEAR(db(1, kSettingGain), 2.4 * 0.25, 1e-9);
    press("ctrl");
    wheel(handle2X(), zeroDbY(), 120);
    EXPECT_NEAR(db(1, kSettingGain), 2.4 * 0.25 + 2.4 * 0.08, 1e-9);
    // The wheel tells the host nothing; the band panel follows.
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_GT(bandPanelRefreshes, 0);
}

TEST_F(GraphInput, TheRegisteredRollMessageCountsAsAWheelNotch) {
    POINT screen = {handle2X(), zeroDbY()};
    ClientToScreen(graph, &screen);
    SendMessageA(graph, RegisterWindowMessageA("MSWHEEL_ROLLMSG"), 120, MAKELPARAM(screen.x, screen.y));
    EXPECT_NEAR(get(1, kSettingRatio), 2.0 * std::pow(10.0, 0.048), 1e-12);
}

TEST_F(GraphInput, HoverNamesTheHandleUnderThePointer) {
    moveTo(handle2X() + 3, zeroDbY() - 3);
    EXPECT_EQ(editorStateOf(*fx)->dragBand, 1);
    moveTo(handle2X() + 8, zeroDbY());
    EXPECT_EQ(editorStateOf(*fx)->dragBand, -1);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

// ---------------------------------------------------------------------------------------------
// The context menu

TEST_F(GraphInput, DeleteBandIsGreyedUnlessTheClickHitsAHandle) {
    MenuSeen seen = useMenu(handle2X(), zeroDbY() + 40, 0);
    ASSERT_TRUE(seen.opened);
    ASSERT_EQ(seen.states.size(), 11u);
    EXPECT_TRUE(seen.greyed(IDM_DELETE_BAND));
    EXPECT_FALSE(seen.greyed(IDM_ADD_BAND));
    EXPECT_EQ(fx->currentBand, 0);

    seen = useMenu(handle2X(), zeroDbY(), 0);
    EXPECT_FALSE(seen.greyed(IDM_DELETE_BAND));
    EXPECT_EQ(fx->currentBand, 1); // the click on the handle selected its band
    EXPECT_EQ(currentTab(), 1);
    EXPECT_TRUE(commands.empty());
}

TEST_F(GraphInput, CheckMarksFollowTheState) {
    fx->currentBand = 2;
    fx->soloCurrentBand = 1;
    fx->showTabs = 0;
    fx->showGrid = 1;
    set(2, kSettingActive, 0);
    set(2, kSettingAutoMakeup, 1);
    set(2, kSettingProgramRelease, 1);
    set(2, kSettingFeedback, 0);
    fx->showAnalyzer = 0;
    fx->showGainCurve = 1;
    MenuSeen seen = useMenu(10, 100, 0);
    EXPECT_FALSE(seen.checked(IDM_SHOW_ANALYZER));
    EXPECT_TRUE(seen.checked(IDM_SHOW_GAIN_CURVE));
    EXPECT_TRUE(seen.checked(IDM_SOLO_BAND));
    EXPECT_FALSE(seen.checked(IDM_SHOW_TABS));
    EXPECT_TRUE(seen.checked(IDM_SHOW_GRID));
    EXPECT_FALSE(seen.checked(IDM_BAND_ACTIVE));
    EXPECT_TRUE(seen.checked(IDM_AUTO_MAKEUP));
    EXPECT_TRUE(seen.checked(IDM_PROGRAM_RELEASE));
    EXPECT_FALSE(seen.checked(IDM_FEEDBACK));
    EXPECT_FALSE(seen.checked(IDM_ADD_BAND));

    fx->soloCurrentBand = 0;
    fx->showTabs = 1;
    fx->showGrid = 0;
    set(2, kSettingActive, 1);
    set(2, kSettingAutoMakeup, 0);
    set(2, kSettingProgramRelease, 0);
    set(2, kSettingFeedback, 1);
    fx->showAnalyzer = 1;
    fx->showGainCurve = 0;
    seen = useMenu(40, 100, 0); // away from the first click, which would make this a double click
    EXPECT_TRUE(seen.checked(IDM_SHOW_ANALYZER));
    EXPECT_FALSE(seen.checked(IDM_SHOW_GAIN_CURVE));
    EXPECT_FALSE(seen.checked(IDM_SOLO_BAND));
    EXPECT_TRUE(seen.checked(IDM_SHOW_TABS));
    EXPECT_FALSE(seen.checked(IDM_SHOW_GRID));
    EXPECT_TRUE(seen.checked(IDM_BAND_ACTIVE));
    EXPECT_FALSE(seen.checked(IDM_AUTO_MAKEUP));
    EXPECT_FALSE(seen.checked(IDM_PROGRAM_RELEASE));
    EXPECT_TRUE(seen.checked(IDM_FEEDBACK));
}

TEST_F(GraphInput, BandSwitchesFlipTheCurrentBandAndReportTheEndOfAnEdit) {
    fx->currentBand = 3;
    const struct {
        UINT item;
        int32_t kind;
    } switches[] = {{IDM_BAND_ACTIVE, kSettingActive},
                    {IDM_AUTO_MAKEUP, kSettingAutoMakeup},
                    {IDM_PROGRAM_RELEASE, kSettingProgramRelease},
                    {IDM_FEEDBACK, kSettingFeedback}};
    for (const auto& s : switches) {
        SCOPED_TRACE(s.item);
        const double before = get(3, s.kind);
        const int refreshes = bandPanelRefreshes;
        hostCalls.clear();
        useMenu(10, 100, s.item);
        EXPECT_EQ(get(3, s.kind), before != 0 ? 0.0 : 1.0);
        EXPECT_EQ(get(2, s.kind), before); // only the current band
        EXPECT_GT(bandPanelRefreshes, refreshes);
        useMenu(10, 100, s.item);
        EXPECT_EQ(get(3, s.kind), before);
        // Each toggle is a whole gesture, as a click on the band panel's switch is.
        ASSERT_EQ(hostCalls.size(), 2u);
        for (const HostCall& call : hostCalls) {
            EXPECT_EQ(call.opcode, audioMasterEndEdit);
            EXPECT_EQ(call.index, 3 * kParametersPerBand + s.kind);
        }
    }
    EXPECT_TRUE(commands.empty());

    // With no band at currentBand the switches do nothing and tell nothing.
    hostCalls.clear();
    fx->currentBand = 9;
    useMenu(10, 100, IDM_BAND_ACTIVE);
    for (int32_t band = 0; band < 4; ++band)
        EXPECT_EQ(get(band, kSettingActive), 1.0);
    EXPECT_TRUE(hostCalls.empty());
}

} // namespace
