// The response graph inside the real editor: opened with effEditOpen in a host window, where
// the graph's menu commands run through the main window's own buttons and check boxes, a click
// on a handle selects its tab and the band panel follows, and audio moves the meters that the
// editor's 33 ms timer repaints.
#include "graph_harness.h"

#include "editor/graph_window.h"
#include "engine/band_control.h"

#include <commctrl.h>

using namespace graphtest;

namespace {

class EditorGraph : public GraphWindowTest {
protected:
    void openGraph() override {
        static HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 60, 60, 700, 520, nullptr,
                                           nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, host, 0.0f), 1);
        parent = editorStateOf(*fx)->mainWindow;
        ASSERT_NE(parent, nullptr);
        graph = GetDlgItem(parent, IDC_GRAPH);
        tabs = GetDlgItem(parent, IDC_BAND_TABS);
    }
    void closeGraph() override {
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        graph = nullptr;
    }

    HWND panel() const { return editorStateOf(*fx)->bandPanel; }
    bool boxChecked(HWND window, int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    int32_t tabCount() const { return int32_t(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)); }
    int32_t currentTab() const { return int32_t(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)); }
    std::string panelText(int id) const {
        char text[64] = {};
        GetDlgItemTextA(panel(), id, text, sizeof text);
        return text;
    }
    int32_t zeroDbY() const { return yOfDb(0); }
};

TEST_F(EditorGraph, DrawsAtTheLevelsOfItsSizeInTheDialog) {
    const int32_t H = graphHeight();
    // The layout with tabs shown: 120 pixels, or down to just above the tabs.
    ASSERT_GT(H, 100);
    ASSERT_LE(H, 120);
    Picture p = capture();
    p.savePng("editor-graph.png");
    const int32_t y0 = H - int32_t(60 * (H / 66.0));
    EXPECT_EQ(p.at(xOf(200) / 4, y0), 0xFF0000u);
    EXPECT_EQ(p.at(xOf(100), 55), 0x4D4D4Du);
    EXPECT_EQ(p.at(xOf(1000) - 1, 60), 0x007896u);
}

TEST_F(EditorGraph, AHandleClickSelectsItsTabAndTheBandPanelFollows) {
    moveTo(handleX(1000, 5000), zeroDbY());
    leftDown();
    leftUp();
    EXPECT_EQ(fx->currentBand, 2);
    EXPECT_EQ(currentTab(), 2);
    EXPECT_EQ(panelText(IDC_FREQUENCY_EDIT), "5000.0");
    // A drag shows in the panel as it goes (pressed 5 pixels off the first click, which would
    // otherwise make a double click).
    moveTo(handleX(1000, 5000) + 5, zeroDbY());
    leftDown();
    moveTo(handleX(1000, 5000) + 5, zeroDbY() + 20);
    leftUp();
    char expected[32];
    std::snprintf(expected, sizeof expected, "%0.1f", ampToDb(get(2, kSettingThreshold)));
    EXPECT_EQ(panelText(IDC_THRESHOLD_EDIT), expected);
    EXPECT_LT(get(2, kSettingThreshold), 1.0);
}

TEST_F(EditorGraph, MenuCommandsWorkThroughTheMainWindow) {
    const int32_t H = graphHeight();
    useMenu(10, 100, IDM_ADD_BAND);
    EXPECT_EQ(fx->viewBandCount(), 5);
    EXPECT_EQ(tabCount(), 5);
    EXPECT_EQ(fx->currentBand, 4);

    // Delete the band whose handle was right-clicked: the second one (200..1000 Hz).
    useMenu(handleX(200, 1000), zeroDbY(), IDM_DELETE_BAND);
    EXPECT_EQ(fx->viewBandCount(), 4);
    EXPECT_EQ(tabCount(), 4);
    EXPECT_NE(get(1, kSettingFrequency), 1000.0);

    useMenu(30, 100, IDM_SOLO_BAND);
    EXPECT_EQ(fx->soloCurrentBand, 1);
    EXPECT_TRUE(boxChecked(parent, IDC_SOLO_BAND));
    useMenu(50, 100, IDM_SOLO_BAND);
    EXPECT_EQ(fx->soloCurrentBand, 0);
    EXPECT_FALSE(boxChecked(parent, IDC_SOLO_BAND));

    useMenu(70, 100, IDM_SHOW_GRID);
    EXPECT_EQ(fx->showGrid, 0);
    EXPECT_FALSE(boxChecked(parent, IDC_SHOW_GRID));

    useMenu(90, 100, IDM_SHOW_TABS);
    EXPECT_EQ(fx->showTabs, 0);
    EXPECT_FALSE(boxChecked(parent, IDC_SHOW_TABS));
    const int32_t tallHeight = graphHeight(); // 370, or down to the button row if that is nearer
    EXPECT_GT(tallHeight, 300);
    EXPECT_LE(tallHeight, 370);
    EXPECT_FALSE(IsWindowVisible(tabs));
    EXPECT_FALSE(IsWindowVisible(panel()));
    Picture tall = capture();
    tall.savePng("editor-graph-tall.png");
    // 0 dB in the range of hidden tabs (-90..+12 dB), on band 1, which is not current.
    EXPECT_EQ(tall.at(xOf(200) / 4, tallHeight - int32_t(90 * (tallHeight / 102.0))), 0x800000u);
    useMenu(110, 100, IDM_SHOW_TABS);
    EXPECT_EQ(fx->showTabs, 1);
    EXPECT_EQ(graphHeight(), H);
    EXPECT_TRUE(IsWindowVisible(tabs));

    // A band switch reaches the band panel's check box.
    fx->currentBand = 0;
    useMenu(130, 100, IDM_BAND_ACTIVE);
    EXPECT_EQ(get(0, kSettingActive), 0.0);
    EXPECT_FALSE(boxChecked(panel(), IDC_ACTIVE));
    useMenu(150, 100, IDM_FEEDBACK);
    EXPECT_TRUE(boxChecked(panel(), IDC_FEEDBACK));
}

TEST_F(EditorGraph, AudioMovesTheMetersTheTimerRepaints) {
    // Every band compresses hard; a 500 Hz tone lands in the second band (200..1000 Hz).
    for (int32_t band = 0; band < 4; ++band) {
        set(band, kSettingThreshold, std::exp(-40 * 0.11512925464970228));
        set(band, kSettingRatio, 8.0);
    }
    std::vector<float> left(512), right(512);
    float* inputs[2] = {left.data(), right.data()};
    std::vector<float> outLeft(512), outRight(512);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    for (int block = 0; block < 40; ++block) {
        for (size_t i = 0; i < left.size(); ++i)
            left[i] = right[i] = 0.8f * float(std::sin(2 * 3.14159265358979 * 500.0 * double(block * 512 + int(i)) / 44100.0));
        effect->processReplacing(effect, inputs, outputs, 512);
    }
    pump(80); // the editor's own timer repaints the graph
    Picture p = capture();
    p.savePng("editor-graph-meters.png");
    p.savePng("editor-graph-meters-x3.png", 3);
    captureWindow(parent).savePng("editor-window.png");
    const int32_t previousX = xOf(200), xTop = xOf(1000), mid = (previousX + xTop) / 2;
    const int32_t yThreshold = yOfDb(-40);
    bool detector = false, reduction = false;
    for (int32_t x = mid + 8; x < xTop; ++x) {
        detector = detector || p.at(x, (yThreshold + graphHeight()) / 2) == 0x00FF00u;
        reduction = reduction || p.at(x, yThreshold + 3) == 0xC8F049u;
    }
    EXPECT_TRUE(detector);
    EXPECT_TRUE(reduction);
}

// The installed editor's instance classes: the response graph's class exists while an
// instance lives, registered by the first and removed with the last.
TEST(EditorWindowClass, RegisteredWhileInstancesLive) {
    attachOnce();
    WNDCLASSA info;
    HINSTANCE module = GetModuleHandleA(nullptr);
    auto registered = [&] { return GetClassInfoA(module, kGraphWindowClass, &info) != 0; };
    ASSERT_FALSE(registered());
    AEffect* first = VSTPluginMain(nullptr);
    AEffect* second = VSTPluginMain(nullptr);
    EXPECT_TRUE(registered());
    first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(registered());
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(registered());
}

} // namespace
