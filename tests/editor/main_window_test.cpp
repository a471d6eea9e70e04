// The editor's main window as a host opens it: the editor opcodes, the dialog as built, the
// tabs, the output gain controls, the view switches and the band-list buttons, driven by real
// mouse and key input and observed through host calls, the state block and the controls.
#include "editor_host.h"

#include "editor/control_classes.h"
#include "editor/graph_window.h"
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

// A control the code reaches by its id (from resource.h), with the class it talks to.
struct ExpectedControl {
    int32_t id;
    const char* className;
};

bool isContainer(const TemplateControl& c, const std::string& className) {
    // Group boxes, tab controls and the hidden placeholder the band panel is put on hold others.
    return (_stricmp(className.c_str(), "Button") == 0 && (c.style & BS_TYPEMASK) == BS_GROUPBOX) ||
           _stricmp(className.c_str(), "SysTabControl32") == 0 || (c.style & WS_DISABLED) != 0;
}

// What matters of a dialog: every id the code uses is there once, with its class; every
// control lies inside the dialog; and no two controls (but the containers) overlap.
void expectLayout(const DialogTemplate& dialog, const std::vector<ExpectedControl>& expected) {
    ASSERT_FALSE(dialog.controls.empty());
    for (const ExpectedControl& e : expected) {
        SCOPED_TRACE("id " + std::to_string(e.id));
        int found = 0;
        for (size_t i = 0; i < dialog.controls.size(); ++i) {
            if (dialog.controls[i].id != e.id)
                continue;
            ++found;
            EXPECT_EQ(_stricmp(dialog.classes[i].c_str(), e.className), 0) << dialog.classes[i];
            EXPECT_NE(dialog.controls[i].style & WS_CHILD, 0u);
        }
        EXPECT_EQ(found, 1);
    }
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const TemplateControl& a = dialog.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + dialog.texts[i] + "\"");
        EXPECT_GE(a.x, 0);
        EXPECT_GE(a.y, 0);
        EXPECT_GT(a.width, 0);
        EXPECT_GT(a.height, 0);
        EXPECT_LE(a.x + a.width, dialog.width);
        EXPECT_LE(a.y + a.height, dialog.height);
        if (isContainer(a, dialog.classes[i]))
            continue;
        for (size_t k = i + 1; k < dialog.controls.size(); ++k) {
            const TemplateControl& b = dialog.controls[k];
            if (isContainer(b, dialog.classes[k]))
                continue;
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                               b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "overlaps control " << k << " \"" << dialog.texts[k] << "\"";
        }
    }
}

TEST(EditorResources, DialogsAsLinkedIntoThePlugIn) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    auto* module = static_cast<HMODULE>(host.library.handle);
    for (int id : {IDD_EDITOR, IDD_BAND_PANEL}) {
        // Children of the host's window (the panel of the main window), in the dialog font.
        DialogTemplate dialog = readDialog(module, id);
        EXPECT_EQ(dialog.style, uint32_t(WS_CHILD | DS_CONTROL | DS_SETFONT));
        EXPECT_EQ(dialog.extendedStyle, uint32_t(WS_EX_CONTROLPARENT));
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.face, "MS Shell Dlg");
    }
    {
        SCOPED_TRACE("main window");
        expectLayout(readDialog(module, IDD_EDITOR),
                     {{IDC_BAND_TABS, "SysTabControl32"},
                      {IDC_BANNER, "Button"},
                      {IDC_BAND_PANEL_PLACE, "Static"},
                      {IDC_GRAPH, kGraphWindowClass},
                      {IDC_ADD_BAND, "Button"},
                      {IDC_DELETE_BAND, "Button"},
                      {IDC_RESET_DEFAULTS, "Button"},
                      {IDC_SHOW_TABS, "Button"},
                      {IDC_SHOW_GRID, "Button"},
                      {IDC_SOLO_BAND, "Button"},
                      {IDC_OUTPUT_GAIN_FADER, kVerticalFaderClass},
                      {IDC_OUTPUT_GAIN_EDIT, "Edit"},
                      {IDC_INPUT_METER, kVerticalMeterClass},
                      {IDC_OUTPUT_METER, kVerticalMeterClass},
                      {IDC_PRESET_CONTROL, "TarnwellPresetControl"}});
    }
    {
        SCOPED_TRACE("band panel");
        expectLayout(readDialog(module, IDD_BAND_PANEL),
                     {{IDC_ACTIVE, "Button"},
                      {IDC_AUTO_MAKEUP, "Button"},
                      {IDC_PROGRAM_RELEASE, "Button"},
                      {IDC_FEEDBACK, "Button"},
                      {IDC_LOG_SCALE_AUTOMATION, "Button"},
                      {IDC_FREQUENCY_FADER, kHorizontalFaderClass},
                      {IDC_FREQUENCY_EDIT, "Edit"},
                      {IDC_GAIN_FADER, kVerticalFaderClass},
                      {IDC_GAIN_EDIT, "Edit"},
                      {IDC_THRESHOLD_FADER, kHorizontalFaderClass},
                      {IDC_THRESHOLD_EDIT, "Edit"},
                      {IDC_RATIO_FADER, kHorizontalFaderClass},
                      {IDC_RATIO_EDIT, "Edit"},
                      {IDC_KNEE_FADER, kHorizontalFaderClass},
                      {IDC_KNEE_EDIT, "Edit"},
                      {IDC_ATTACK_FADER, kHorizontalFaderClass},
                      {IDC_ATTACK_EDIT, "Edit"},
                      {IDC_RELEASE_FADER, kHorizontalFaderClass},
                      {IDC_RELEASE_EDIT, "Edit"},
                      {IDC_RMS_FADER, kHorizontalFaderClass},
                      {IDC_RMS_EDIT, "Edit"}});
    }
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
