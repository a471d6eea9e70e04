// The Linux editor's rules without a display: events fed to the editor as its view would deliver
// them, the picture it paints read from a memory bitmap, and the instance and the host's reports
// read back. (x11_editor_test drives the same editor through a real X server and xdotool.)
#include "editor/x11/x11_editor.h"

#include "editor/core/control_ids.h"
#include "editor/core/editor_layout.h"
#include "engine/band_control.h"
#include "engine/decibels.h"
#include "raster/pixo.h"
#include "shell/setting_kinds.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Report {
    int32_t opcode, index;
};
std::vector<Report> reports;

intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float) {
    reports.push_back({opcode, index});
    return 0;
}

size_t countReports(int32_t opcode, int32_t index) {
    return size_t(std::count_if(reports.begin(), reports.end(),
                                [&](const Report& r) { return r.opcode == opcode && r.index == index; }));
}

class EditorRules : public ::testing::Test {
protected:
    void SetUp() override {
        reports.clear();
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = CompressorEffect::fromEffect(effect);
        editor.reset(new X11Editor(*fx, 1.0));
        ASSERT_TRUE(bitmap.setSize(editor->width(), editor->height()));
        reports.clear();
    }
    void TearDown() override {
        editor.reset();
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    // The middle of a control, main window or band panel, from the layout.
    void centreOf(bool panel, int32_t id, int32_t& x, int32_t& y) {
        PixelRect r = dialogUnitsToPixels(findControl(panel ? bandPanelLayout() : mainWindowLayout(), id)->units, 1.0);
        if (panel) {
            const PixelRect place =
                dialogUnitsToPixels(findControl(mainWindowLayout(), IDC_BAND_PANEL_PLACE)->units, 1.0);
            r.x += place.x;
            r.y += place.y;
        }
        x = r.x + r.width / 2;
        y = r.y + r.height / 2;
    }
    X11MouseEvent mouse(int32_t x, int32_t y) {
        X11MouseEvent event = {};
        event.x = x;
        event.y = y;
        event.button = X11_BUTTON_LEFT;
        return event;
    }
    void click(bool panel, int32_t id) {
        int32_t x = 0, y = 0;
        centreOf(panel, id, x, y);
        editor->onMouseDown(mouse(x, y));
        editor->onMouseUp(mouse(x, y));
    }
    void key(uint32_t keysym, const char* text = "") {
        X11KeyEvent event = {};
        event.keysym = keysym;
        std::snprintf(event.text, sizeof(event.text), "%s", text);
        editor->onKeyDown(event);
    }
    uint32_t pixel(int32_t x, int32_t y) {
        editor->onPaint(bitmap);
        return bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF;
    }
    double bandSetting(int32_t band, int32_t kind) {
        BandView view;
        return fx->viewBand(band, view) ? viewedSetting(view, kind) : -1;
    }

    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
    std::unique_ptr<X11Editor> editor;
    PIXO_MemBitmap bitmap;
};

TEST_F(EditorRules, HidingTheTabsHidesThePanelAndLetsTheGraphGrow) {
    // (300, 250) lies on the band panel's face, below the graph's 112 rows.
    EXPECT_EQ(pixel(300, 250), 0xF5F5F5u);
    click(false, IDC_SHOW_TABS);
    EXPECT_EQ(fx->showTabs, 0);
    // The graph now reaches down to 2 pixels above the buttons: 344 rows from y 17.
    EXPECT_NE(pixel(300, 250), 0xF5F5F5u);
    EXPECT_NE(pixel(300, 17 + 343), 0xF5F5F5u);
    EXPECT_EQ(pixel(300, 17 + 344), 0xF5F5F5u);
    // Where the panel's Active box was, a click reaches no box.
    click(true, IDC_ACTIVE);
    EXPECT_EQ(bandSetting(0, kSettingActive), 1);
    click(false, IDC_SHOW_TABS);
    EXPECT_EQ(fx->showTabs, 1);
    click(true, IDC_ACTIVE);
    EXPECT_EQ(bandSetting(0, kSettingActive), 0);
    EXPECT_EQ(countReports(audioMasterEndEdit, kSettingActive), 1u);
}

TEST_F(EditorRules, ResetPutsTheDefaultBandsBackAndTellsTheHost) {
    click(false, IDC_ADD_BAND);
    ASSERT_EQ(fx->viewBandCount(), 5);
    fx->changeSetting(0, kSettingThreshold, dbToAmp(-40));
    reports.clear();
    click(false, IDC_RESET_DEFAULTS);
    EXPECT_EQ(fx->viewBandCount(), 4);
    EXPECT_EQ(fx->currentBand, 0);
    EXPECT_NEAR(bandSetting(0, kSettingThreshold), 1.0, 1e-12);
    EXPECT_EQ(countReports(audioMasterVendorSpecific, kParameterListChangeIndex), 1u);
    EXPECT_EQ(countReports(audioMasterAutomate, -1), 1u);
}

TEST_F(EditorRules, TheLogScaleBoxSwitchesTheMappingAndTellsTheHost) {
    BandView view;
    ASSERT_TRUE(fx->viewBand(0, view));
    const bool before = view.settings.logScaleAutomation;
    click(true, IDC_LOG_SCALE_AUTOMATION);
    ASSERT_TRUE(fx->viewBand(0, view));
    EXPECT_NE(view.settings.logScaleAutomation, before);
    EXPECT_EQ(countReports(audioMasterAutomate, -1), 1u);
}

TEST_F(EditorRules, ADoubleClickPutsAFaderBackToItsDefault) {
    fx->changeSetting(0, kSettingRatio, 10);
    fx->editorNeedsRefresh = 1;
    editor->onTimer(X11Editor::kRefreshTimer);
    ASSERT_EQ(bandSetting(0, kSettingRatio), 10);
    int32_t x = 0, y = 0;
    centreOf(true, IDC_RATIO_FADER, x, y);
    editor->onDoubleClick(mouse(x, y));
    editor->onMouseUp(mouse(x, y));
    const SettingKind& ratio = settingKind(kSettingRatio);
    EXPECT_NEAR(bandSetting(0, kSettingRatio), ratio.atFaderPosition(ratio.defaultFaderPosition), 1e-9);
    EXPECT_EQ(countReports(audioMasterEndEdit, kSettingRatio), 1u);
}

TEST_F(EditorRules, TheOutputBoxAppliesOnEnterAndEscapePutsItsTextBack) {
    int32_t x = 0, y = 0;
    centreOf(false, IDC_OUTPUT_GAIN_EDIT, x, y);
    editor->onMouseDown(mouse(x, y));
    editor->onMouseUp(mouse(x, y));
    key(XK_End);
    for (int i = 0; i < 4; ++i)
        key(XK_BackSpace);
    key(XK_minus, "-");
    key(XK_3, "3");
    key(XK_Escape);
    EXPECT_EQ(fx->outputGain, 1.0);
    key(XK_End);
    for (int i = 0; i < 4; ++i)
        key(XK_BackSpace);
    key(XK_minus, "-");
    key(XK_6, "6");
    key(XK_Return);
    EXPECT_NEAR(fx->outputGain, dbToAmp(-6), 1e-12);
    // Typed gains tell the host nothing.
    EXPECT_EQ(countReports(audioMasterAutomate, -1), 0u);
    // Leaving a changed box applies it too: type, then click elsewhere. The box shows "-6.0".
    for (int i = 0; i < 4; ++i)
        key(XK_BackSpace);
    key(XK_minus, "-");
    key(XK_1, "1");
    key(XK_2, "2");
    editor->onMouseDown(mouse(300, 5));
    EXPECT_NEAR(fx->outputGain, dbToAmp(-12), 1e-12);
}

} // namespace
