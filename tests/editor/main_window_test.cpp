// The editor's main window as a host opens it: the editor opcodes, the dialog as built, the
// tabs, the output gain controls, the view switches and the band-list buttons, driven by real
// mouse and key input and observed through host calls, the state block and the controls.
#include "editor_host.h"

#include "editor/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace editortest {
namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        ASSERT_TRUE(host.openEditor());
        main = host.editor();
        clearHostCalls();
    }
    int32_t tabCount() { return int32_t(SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_GETITEMCOUNT, 0, 0)); }
    int32_t selectedTab() { return int32_t(SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_GETCURSEL, 0, 0)); }
    std::string tabText(int32_t index) {
        char text[32] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = int(sizeof(text));
        SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_GETITEMA, WPARAM(index),
                            reinterpret_cast<LPARAM>(&item));
        return text;
    }
    void clickTab(int32_t index) {
        RECT r = {};
        SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_GETITEMRECT, WPARAM(index),
                            reinterpret_cast<LPARAM>(&r));
        clickAt(GetDlgItem(main, IDC_BAND_TABS), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    int32_t outputFaderPosition() {
        return int32_t(SendDlgItemMessageA(main, IDC_OUTPUT_GAIN_FADER, FADER_GETPOS, 0, 0));
    }
    int32_t graphHeight() {
        RECT r = rectInDialog(main, IDC_GRAPH);
        return r.bottom - r.top;
    }
    bool visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != 0; }

    EditorHost host;
    HWND main = nullptr;
};

ERect editorRect(EditorHost& host) {
    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    return rect ? *rect : ERect{-1, -1, -1, -1};
}

int countEditors(HWND parent) {
    int count = 0;
    for (HWND w = FindWindowExA(parent, nullptr, "#32770", nullptr); w;
         w = FindWindowExA(parent, w, "#32770", nullptr))
        ++count;
    return count;
}

TEST(EditorOpcodes, RectangleOpenCloseAndOneEditorPerInstance) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    ERect before = editorRect(host);
    EXPECT_EQ(before.top, 0);
    EXPECT_EQ(before.left, 0);
    EXPECT_EQ(before.bottom, 300);
    EXPECT_EQ(before.right, 400);

    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(countEditors(host.host()), 0);

    ASSERT_TRUE(host.openEditor());
    RECT dialogUnits = {0, 0, 378, 264};
    MapDialogRect(host.editor(), &dialogUnits);
    ERect open = editorRect(host);
    EXPECT_EQ(open.right - open.left, dialogUnits.right);
    EXPECT_EQ(open.bottom - open.top, dialogUnits.bottom);

    ASSERT_TRUE(host.openEditor());
    EXPECT_EQ(countEditors(host.host()), 1);

    host.closeEditor();
    EXPECT_EQ(countEditors(host.host()), 0);
    EXPECT_EQ(editorRect(host).right, 400);
    host.closeEditor();
    EXPECT_EQ(editorRect(host).bottom, 300);
}

// A host that destroys its window without effEditClose takes the editor with it: the
// instance forgets the editor and opens a new one that works.
TEST(EditorOpcodes, EditorDestroyedWithTheHostWindow) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    ASSERT_TRUE(host.openEditor());
    DestroyWindow(host.editor());
    pumpMessages();
    EXPECT_EQ(editorRect(host).right, 400);
    host.effect->setParameter(host.effect, 2, 0.125f);
    pumpFor(250);
    ASSERT_TRUE(host.openEditor());
    EXPECT_TRUE(waitForText(host.panel(), IDC_THRESHOLD_EDIT, "-6.0"));
    host.closeEditor();
}

// The dialog templates as linked into the plug-in, read back from its resources.
struct TemplateControl {
    int32_t id;
    const char* className;
    const char* text;
    int16_t x, y, width, height;
    uint32_t style;
};

struct DialogTemplate {
    uint32_t style = 0, extendedStyle = 0;
    int16_t width = 0, height = 0;
    uint16_t pointSize = 0;
    std::string face;
    std::vector<TemplateControl> controls;
    std::vector<std::string> texts, classes;
};

std::string readTemplateString(const uint8_t*& at) {
    const auto* chars = reinterpret_cast<const uint16_t*>(at);
    std::string text;
    if (chars[0] == 0xFFFF) {
        text = "#" + std::to_string(chars[1]);
        at += 4;
        return text;
    }
    for (; *chars; ++chars)
        text += char(*chars);
    at = reinterpret_cast<const uint8_t*>(chars + 1);
    return text;
}

// DLGTEMPLATEEX: header, menu, class, title, font; then DLGITEMTEMPLATEEX items on 4-byte bounds.
DialogTemplate readDialog(HMODULE module, int id) {
    DialogTemplate dialog;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (!resource)
        return dialog;
    const auto* start = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
    const uint8_t* at = start;
    uint16_t count;
    std::memcpy(&dialog.extendedStyle, at + 8, 4);
    std::memcpy(&dialog.style, at + 12, 4);
    std::memcpy(&count, at + 16, 2);
    std::memcpy(&dialog.width, at + 22, 2);
    std::memcpy(&dialog.height, at + 24, 2);
    at += 26;
    readTemplateString(at);
    readTemplateString(at);
    readTemplateString(at);
    std::memcpy(&dialog.pointSize, at, 2);
    at += 6;
    dialog.face = readTemplateString(at);
    dialog.texts.resize(count);
    dialog.classes.resize(count);
    for (uint16_t i = 0; i < count; ++i) {
        at = start + ((at - start + 3) & ~3);
        TemplateControl c = {};
        std::memcpy(&c.style, at + 8, 4);
        std::memcpy(&c.x, at + 12, 2);
        std::memcpy(&c.y, at + 14, 2);
        std::memcpy(&c.width, at + 16, 2);
        std::memcpy(&c.height, at + 18, 2);
        std::memcpy(&c.id, at + 20, 4);
        at += 24;
        dialog.classes[i] = readTemplateString(at);
        dialog.texts[i] = readTemplateString(at);
        uint16_t extra;
        std::memcpy(&extra, at, 2);
        at += 2 + extra;
        dialog.controls.push_back(c);
    }
    return dialog;
}

void expectControls(const DialogTemplate& dialog, const std::vector<TemplateControl>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateControl& c = dialog.controls[i];
        const TemplateControl& e = expected[i];
        SCOPED_TRACE(std::string("control ") + std::to_string(i) + " " + e.text + " " + e.className);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(_stricmp(dialog.classes[i].c_str(), e.className), 0) << dialog.classes[i];
        EXPECT_EQ(dialog.texts[i], e.text);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.width, e.width);
        EXPECT_EQ(c.height, e.height);
        EXPECT_EQ(c.style, e.style) << std::hex << c.style << " " << e.style;
    }
}

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kStop = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr uint32_t kEditBox = kStop | WS_BORDER | ES_AUTOHSCROLL;

TEST(EditorResources, DialogsAsLinkedIntoThePlugIn) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    auto* module = static_cast<HMODULE>(host.library.handle);
    for (int id : {IDD_EDITOR, IDD_BAND_PANEL}) {
        DialogTemplate dialog = readDialog(module, id);
        EXPECT_EQ(dialog.style, uint32_t(WS_CHILD | DS_CONTROL | DS_SETFONT));
        EXPECT_EQ(dialog.extendedStyle, uint32_t(WS_EX_CONTROLPARENT));
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.face, "MS Shell Dlg");
    }
    DialogTemplate main = readDialog(module, IDD_EDITOR);
    EXPECT_EQ(main.width, 378);
    EXPECT_EQ(main.height, 264);
    expectControls(main, {
                             {1026, "SysTabControl32", "Tab1", 24, 87, 308, 153, kChild},
                             {1034, "Button", "Tarnwell", 0, 0, 376, 260, kChild | BS_GROUPBOX},
                             {1028, "Static", "", 32, 103, 296, 135, WS_CHILD | WS_DISABLED | SS_BLACKRECT},
                             {1023, "TarnwellWindow", "", 23, 11, 310, 74, kStop},
                             {1018, "Button", "Add band", 24, 242, 39, 14, kStop},
                             {1019, "Button", "Delete band", 65, 242, 46, 14, kStop},
                             {1029, "Button", "Tabs", 263, 244, 32, 10, kStop | BS_AUTOCHECKBOX},
                             {1022, "Button", "Grid", 300, 244, 29, 10, kStop | BS_AUTOCHECKBOX},
                             {1047, "HALDORvfader", "", 337, 22, 14, 218, kStop},
                             {1011, "Edit", "", 332, 242, 22, 14, kEditBox | ES_CENTER},
                             {-1, "Static", "Gain:", 337, 11, 18, 8, kChild | WS_GROUP},
                             {1020, "Button", "Reset to defaults", 114, 242, 61, 14, kStop},
                             {1088, "HALDORvertvu", "", 4, 11, 16, 245, kStop},
                             {1089, "HALDORvertvu", "", 357, 11, 16, 245, kStop},
                             {1030, "Button", "Solo current band", 180, 244, 72, 10, kStop | BS_AUTOCHECKBOX},
                         });
    DialogTemplate panel = readDialog(module, IDD_BAND_PANEL);
    EXPECT_EQ(panel.width, 305);
    EXPECT_EQ(panel.height, 132);
    expectControls(
        panel,
        {
            {1033, "Button", "Active", 0, 3, 36, 10, kStop | BS_AUTOCHECKBOX},
            {-1, "Static", "Top Freq (Hz):", 46, 4, 46, 8, kChild | SS_RIGHT},
            {1023, "HALDORhfader", "", 95, 1, 137, 14, kStop},
            {1019, "Edit", "", 234, 1, 35, 14, kEditBox},
            {-1, "Static", "Gain:", 271, 1, 18, 8, kChild | SS_RIGHT},
            {1046, "HALDORvfader", "", 275, 13, 14, 92, kStop},
            {1030, "Edit", "", 270, 107, 24, 14, kEditBox | ES_CENTER},
            {-1, "Static", "Threshold (dB):", 5, 18, 54, 8, kChild | SS_RIGHT},
            {1045, "HALDORhfader", "", 67, 16, 165, 14, kStop},
            {1020, "Edit", "", 234, 16, 35, 14, kEditBox},
            {-1, "Static", "Ratio (:1):", 5, 34, 54, 8, kChild | SS_RIGHT},
            {1025, "HALDORhfader", "", 67, 31, 165, 14, kStop},
            {1021, "Edit", "", 234, 31, 35, 14, kEditBox},
            {-1, "Static", "Knee (dB):", 5, 65, 54, 8, kChild | SS_RIGHT},
            {1026, "HALDORhfader", "", 67, 62, 165, 14, kStop},
            {1022, "Edit", "", 234, 62, 35, 14, kEditBox},
            {-1, "Static", "Attack (ms):", 18, 80, 41, 8, kChild | SS_RIGHT},
            {1072, "HALDORhfader", "", 67, 77, 165, 14, kStop},
            {1024, "Edit", "", 234, 77, 35, 14, kEditBox},
            {-1, "Static", "Release (ms):", 15, 95, 44, 8, kChild | SS_RIGHT},
            {1074, "HALDORhfader", "", 67, 92, 165, 14, kStop},
            {1075, "Edit", "", 234, 92, 35, 14, kEditBox},
            {-1, "Static", "RMS size (ms):", 12, 110, 49, 8, kChild | SS_LEFT},
            {1079, "HALDORhfader", "", 67, 107, 165, 14, kStop},
            {1028, "Edit", "", 234, 107, 34, 14, kEditBox},
            {1031, "Button", "Auto makeup gain", 0, 49, 72, 10, kStop | BS_AUTOCHECKBOX},
            {1032, "Button", "Feedback detector", 184, 49, 75, 10, kStop | BS_AUTOCHECKBOX},
            {1029, "Button", "Program dependent release", 77, 49, 104, 10, kStop | BS_AUTOCHECKBOX},
            {1034, "Button", "Log()-scale automated frequencies", 0, 122, 125, 10, kStop | BS_AUTOCHECKBOX},
        });
}

TEST_F(MainWindow, OpensShowingTheInstance) {
    ASSERT_EQ(tabCount(), 4);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(tabText(i), std::to_string(i + 1));
    EXPECT_EQ(selectedTab(), 0);
    EXPECT_EQ(textOf(main, IDC_OUTPUT_GAIN_EDIT), "0.0");
    EXPECT_EQ(outputFaderPosition(), 789);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_SHOW_GRID), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_SHOW_TABS), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_SOLO_BAND), BST_UNCHECKED);
    EXPECT_NE(textOf(main, IDC_BANNER).find("Tarnwell"), std::string::npos);
    // 120 pixels, or what the dialog font leaves above the tabs.
    EXPECT_LE(graphHeight(), 120);
    EXPECT_LT(rectInDialog(main, IDC_GRAPH).bottom, rectInDialog(main, IDC_BAND_TABS).top);
    // The panel sits on the hidden placeholder, above the tab control's body.
    HWND panel = host.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_FALSE(visible(main, IDC_BAND_PANEL_PLACE));
    RECT place = rectInDialog(main, IDC_BAND_PANEL_PLACE), placed;
    GetWindowRect(panel, &placed);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(EqualRect(&place, &placed));
    EXPECT_EQ(textOf(panel, IDC_FREQUENCY_EDIT), "200.0");
}

// Typing tells the host nothing and keeps the text; the fader follows; silence shows as
// "-inf" only at the next refresh; a gain that overflows is not taken.
TEST_F(MainWindow, OutputGainTypedAndDragged) {
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-6");
    EXPECT_NEAR(host.state().outputGain, 0.501187, 1e-6);
    EXPECT_EQ(outputFaderPosition(), int32_t(decibelsToFaderPosition(-6)));
    EXPECT_TRUE(recordedHostCalls().empty());

    // "1" and "1e" read as 1 dB; 1e9 dB overflows and leaves the gain at 1 dB.
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "1e9");
    EXPECT_NEAR(host.state().outputGain, 1.122018, 1e-6);
    EXPECT_EQ(outputFaderPosition(), int32_t(decibelsToFaderPosition(1)));

    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-200");
    EXPECT_EQ(host.state().outputGain, 0.0);
    EXPECT_EQ(textOf(main, IDC_OUTPUT_GAIN_EDIT), "-200");
    host.effect->setParameter(host.effect, 0, host.parameter(0));
    EXPECT_TRUE(waitForText(main, IDC_OUTPUT_GAIN_EDIT, "-inf"));

    // Each step of a drag stores the gain, writes the box and reports a general change.
    HWND fader = GetDlgItem(main, IDC_OUTPUT_GAIN_FADER);
    RECT client;
    GetClientRect(fader, &client);
    mouseMoveTo(fader, client.right / 2, client.bottom / 2);
    mouseLeftDown();
    mouseMoveTo(fader, client.right / 2, client.bottom / 4);
    ASSERT_TRUE(pumpUntil([&] { return textOf(main, IDC_OUTPUT_GAIN_EDIT) != "-inf"; }));
    mouseLeftUp();
    pumpFor(50);
    const double gain = host.state().outputGain;
    char shown[32];
    std::snprintf(shown, sizeof(shown), "%.1f", 20 * std::log10(gain));
    EXPECT_EQ(textOf(main, IDC_OUTPUT_GAIN_EDIT), shown);
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(callsOf(calls, audioMasterAutomate, -1).size(), calls.size());
}

TEST_F(MainWindow, ViewSwitches) {
    const int32_t width = rectInDialog(main, IDC_GRAPH).right - rectInDialog(main, IDC_GRAPH).left;
    // 370 pixels, or down to just above the row of buttons where the dialog font leaves less.
    const RECT buttons = rectInDialog(main, IDC_ADD_BAND);
    const int32_t room = buttons.top - rectInDialog(main, IDC_GRAPH).top - 2;
    clickControl(main, IDC_SHOW_TABS);
    EXPECT_EQ(graphHeight(), std::min(370, room));
    EXPECT_LT(rectInDialog(main, IDC_GRAPH).bottom, buttons.top);
    EXPECT_EQ(rectInDialog(main, IDC_GRAPH).right - rectInDialog(main, IDC_GRAPH).left, width);
    EXPECT_FALSE(visible(main, IDC_BAND_TABS));
    EXPECT_FALSE(IsWindowVisible(host.panel()));
    EXPECT_EQ(host.state().showTabs, 0);

    // Bands added while the tabs are hidden still get their (hidden) tab.
    clickControl(main, IDC_ADD_BAND);
    EXPECT_EQ(tabCount(), 5);
    EXPECT_FALSE(visible(main, IDC_BAND_TABS));

    clickControl(main, IDC_SHOW_TABS);
    // 120 pixels, or down to just above the tabs where the dialog font leaves less.
    const int32_t roomAboveTabs = rectInDialog(main, IDC_BAND_TABS).top - rectInDialog(main, IDC_GRAPH).top - 2;
    EXPECT_EQ(graphHeight(), std::min(120, roomAboveTabs));
    EXPECT_LT(rectInDialog(main, IDC_GRAPH).bottom, rectInDialog(main, IDC_BAND_TABS).top);
    EXPECT_TRUE(visible(main, IDC_BAND_TABS));
    EXPECT_TRUE(IsWindowVisible(host.panel()));
    EXPECT_EQ(host.state().showTabs, 1);

    clickControl(main, IDC_SHOW_GRID);
    EXPECT_EQ(host.state().showGrid, 0);
    // Solo saves the current band (1-based); selecting another tab changes which band is heard.
    clickControl(main, IDC_SOLO_BAND);
    EXPECT_EQ(host.state().solo, 5);
    clickTab(2);
    EXPECT_EQ(selectedTab(), 2);
    EXPECT_EQ(host.state().solo, 3);
    EXPECT_EQ(textOf(host.panel(), IDC_FREQUENCY_EDIT), "5000.0");
}

TEST_F(MainWindow, HostChangesShownAtTheNextRefresh) {
    std::thread automation([&] { host.effect->setParameter(host.effect, 2, 0.125f); });
    automation.join();
    // The refresh timer runs every 100 ms; the margin is for a loaded machine, while an editor
    // that missed host changes until something else refreshed it would wait for ever.
    EXPECT_TRUE(waitForText(host.panel(), IDC_THRESHOLD_EDIT, "-6.0", 600));
    EXPECT_EQ(SendDlgItemMessageA(host.panel(), IDC_THRESHOLD_FADER, FADER_GETPOS, 0, 0),
              LRESULT(decibelsToFaderPosition(20 * std::log10(0.5))));

    // A state block with two bands, loaded by the host, leaves two tabs.
    clickControl(main, IDC_DELETE_BAND);
    clickControl(main, IDC_DELETE_BAND);
    std::vector<uint8_t> twoBands = host.stateBlock();
    clickControl(main, IDC_RESET_DEFAULTS);
    ASSERT_EQ(tabCount(), 4);
    host.loadState(twoBands);
    EXPECT_TRUE(pumpUntil([&] { return tabCount() == 2; }));
}

TEST_F(MainWindow, DeletingTheMiddleOfThreeBands) {
    clickTab(3);
    clickControl(main, IDC_DELETE_BAND);
    ASSERT_EQ(tabCount(), 3);
    EXPECT_EQ(selectedTab(), 2);
    clickTab(1);
    clearHostCalls();
    clickControl(main, IDC_DELETE_BAND);

    ASSERT_EQ(tabCount(), 2);
    EXPECT_EQ(tabText(0), "1");
    EXPECT_EQ(tabText(1), "2");
    EXPECT_EQ(selectedTab(), 1);
    EXPECT_EQ(textOf(host.panel(), IDC_FREQUENCY_EDIT), "5000.0");
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(calls[0].index, int32_t(0xDEADBEEF));
    EXPECT_EQ(calls[0].payload[0], 12);
    EXPECT_EQ(calls[0].payload[1], -12);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, -1);
    EXPECT_EQ(host.effect->numParams, 24);

    // The last band is never deleted, and nothing is reported then.
    clickControl(main, IDC_DELETE_BAND);
    clearHostCalls();
    clickControl(main, IDC_DELETE_BAND);
    EXPECT_EQ(tabCount(), 1);
    EXPECT_TRUE(recordedHostCalls().empty());
}

TEST_F(MainWindow, AddAndResetReportTheParameterList) {
    clickTab(2);
    clickControl(main, IDC_ADD_BAND);
    ASSERT_EQ(tabCount(), 5);
    EXPECT_EQ(tabText(4), "5");
    EXPECT_EQ(selectedTab(), 4);
    // Band 3 (5000 Hz) is split at the middle of its range: the new band takes the upper half.
    EXPECT_EQ(textOf(host.panel(), IDC_FREQUENCY_EDIT), "5000.0");
    EXPECT_EQ(host.display(24), "3000.0");
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(calls[0].payload[0], 48);
    EXPECT_EQ(calls[0].payload[1], 12);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, -1);

    clickControl(main, IDC_ADD_BAND);
    clearHostCalls();
    clickControl(main, IDC_RESET_DEFAULTS);
    ASSERT_EQ(tabCount(), 4);
    EXPECT_EQ(selectedTab(), 0);
    EXPECT_EQ(textOf(host.panel(), IDC_FREQUENCY_EDIT), "200.0");
    calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(calls[0].payload[0], 48);
    EXPECT_EQ(calls[0].payload[1], -24);
    EXPECT_EQ(calls[1].index, -1);

    // With the default count nothing but the general change is reported.
    clearHostCalls();
    clickControl(main, IDC_RESET_DEFAULTS);
    calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, -1);
}

} // namespace
} // namespace editortest
