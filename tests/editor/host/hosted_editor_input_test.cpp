// The editor of the built Tarnwell.so in a Linux host, driven as a user drives it: real X input
// from xdotool into the editor's window inside the host's, positions taken from the layout the
// editor is built from. After each gesture: the setting (getParameter and its display), what the
// plug-in told the host (automation with the value, the end of the edit, the parameter-list
// notice) and the pixels the server shows. Every case runs in a host that calls effEditIdle
// every 20 ms and in one that never calls it, with audio running.
#include <gtest/gtest.h>

#include "editor_positions.h"
#include "editor/core/graph_menu.h"
#include "editor/x11/x11_popup_menu.h"
#include "editor/x11/x11_widgets.h"
#include "hosted_editor.h"
#include "shell/factory_presets.h"
#include "shell/setting_kinds.h"

#include <cmath>
#include <cstdlib>
#include <memory>

using namespace hostedtest;

namespace {

constexpr int32_t kPerBand = 12;

// How many pixels of a window rectangle differ between two read-backs.
int changedPixels(const Picture& before, const Picture& after, const PixelRect& rect) {
    int changed = 0;
    for (int32_t y = rect.y; y < rect.bottom(); ++y)
        for (int32_t x = rect.x; x < rect.right(); ++x)
            changed += before.at(x, y) != after.at(x, y);
    return changed;
}

// The host display text of a band setting at a fader position, as the editor's value rules
// give it.
std::string textAtFaderPosition(int32_t kind, int32_t position) {
    const SettingKind& row = settingKind(kind);
    char text[64];
    row.format(text, sizeof text, row.atFaderPosition(position));
    return text;
}

// A click into an edit box, which takes the keyboard there, and keys that empty it. (xdotool
// reads every word after "type" as text, so typing is a run of its own.)
std::vector<std::string> clearBox(const PixelRect& box) {
    std::vector<std::string> words = clickAt({centreX(box), centreY(box)});
    words.insert(words.end(), {"sleep", "0.1", "key", "End"});
    for (int i = 0; i < 8; ++i)
        words.push_back("BackSpace");
    return words;
}

// How many pixels within radius of a point are of the handles' red (the current band's is
// brighter than the others', the rest of the graph is dark or of other hues).
int redPixels(const Picture& picture, Point centre, int radius) {
    int count = 0;
    for (int32_t y = centre.y - radius; y <= centre.y + radius; ++y)
        for (int32_t x = centre.x - radius; x <= centre.x + radius; ++x) {
            const uint32_t colour = picture.at(x, y);
            const uint32_t red = colour >> 16 & 0xFF, green = colour >> 8 & 0xFF, blue = colour & 0xFF;
            count += (x - centre.x) * (x - centre.x) + (y - centre.y) * (y - centre.y) <= radius * radius &&
                     red >= 0x70 && green < 0x50 && blue < 0x50;
        }
    return count;
}

// The middle of item wanted of a menu, from the menu's top left corner, as the editor's popup
// lays its items out.
Point menuRowMiddle(const std::vector<PopupMenuItem>& items, int32_t wanted) {
    struct NoOwner : PopupMenuOwner {
        void onMenuCommand(int32_t) override {}
    } owner;
    WidgetText text(1.0);
    X11PopupMenu menu(text, 1.0, owner);
    menu.setItems(items);
    const int32_t x = menu.width() / 2;
    int32_t top = -1, bottom = -1;
    for (int32_t y = 0; y < menu.height(); ++y)
        if (menu.itemAt(x, y) == wanted) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    return {x, (top + bottom) / 2};
}

// The middle of a context menu item.
Point menuItemMiddle(uint32_t command) {
    std::vector<PopupMenuItem> items;
    int32_t wanted = -1;
    for (const GraphMenuItem& entry : kGraphMenuItems) {
        PopupMenuItem item;
        item.label = entry.label ? entry.label : "";
        item.command = int32_t(entry.command);
        if (entry.command == command)
            wanted = int32_t(items.size());
        items.push_back(item);
    }
    return menuRowMiddle(items, wanted);
}

// The middle of a factory preset's row in the preset control's menu: the factory presets head
// the menu, so the rows before theirs are all there is to lay out.
Point presetItemMiddle(const std::string& name) {
    std::vector<PopupMenuItem> items;
    int32_t wanted = -1;
    for (int32_t i = 0; i < factoryPresetCount(); ++i) {
        if (name == factoryPreset(i).name)
            wanted = i;
        items.push_back({factoryPreset(i).name, i + 1, false, true, ""});
    }
    return menuRowMiddle(items, wanted);
}

// A band's threshold as its display shows it, in dB.
double displayedDb(HostedEditor& editor, int32_t index) { return std::atof(editor.display(index).c_str()); }

class HostedEditorInput : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        editor = std::make_unique<HostedEditor>(GetParam());
        ASSERT_TRUE(editor->loaded());
        audio = std::make_unique<PlayingAudio>(*editor);
        ASSERT_TRUE(editor->open());
        clearHostCalls();
        before = editor->host.readBack();
    }

    void TearDown() override {
        editor->close();
        audio->stop();
        // A host that calls idle has called it; one that does not, never.
        if (GetParam())
            EXPECT_GT(editor->host.idleCalls(), 0);
        else
            EXPECT_EQ(editor->host.idleCalls(), 0);
    }

    // The window as the server shows it once it has changed from the last read-back, or as it
    // is when the time is up.
    Picture changedPicture() {
        Picture now;
        editor->waitFor([&] {
            now = editor->host.readBack();
            return now.pixels != before.pixels;
        });
        return now;
    }

    // One edit of parameter index as the Win32 editor reports it, and nothing about any other
    // parameter: a drag moves with automation carrying the value the plug-in holds now, then
    // ends the edit once; a typed value is automation alone; a switch only ends an edit (the
    // host reads the value then).
    enum class Report { Drag, Typed, Switch };
    void expectOneEditReported(int32_t index, Report report) {
        const std::vector<HostCall> calls = hostCalls();
        const std::vector<HostCall> automation = callsOf(calls, audioMasterAutomate);
        const std::vector<HostCall> ends = callsOf(calls, audioMasterEndEdit);
        for (const HostCall& call : automation)
            EXPECT_EQ(call.index, index);
        if (report == Report::Switch) {
            EXPECT_TRUE(automation.empty());
        } else {
            ASSERT_FALSE(automation.empty());
            EXPECT_FLOAT_EQ(automation.back().opt, editor->parameter(index));
        }
        ASSERT_EQ(ends.size(), report == Report::Typed ? 0u : 1u);
        if (report != Report::Typed) {
            EXPECT_EQ(ends[0].index, index);
        }
    }

    std::unique_ptr<HostedEditor> editor;
    std::unique_ptr<PlayingAudio> audio;
    Picture before;
};

TEST_P(HostedEditorInput, FaderDraggedToItsEndsSetsTheBandAndTellsTheHost) {
    const PixelRect fader = panelControl(IDC_THRESHOLD_FADER);
    const int32_t index = kSettingThreshold; // band 1
    // The band's threshold, 0 dB: a linear 1.0 as the band keeps it.
    const int32_t position = settingKind(kSettingThreshold).faderPosition(1.0);
    const Point thumb = {fader.x + int32_t(position * (fader.width - 1) / 1000), centreY(fader)};
    // Past the track's left end: the lowest threshold the fader offers.
    ASSERT_TRUE(editor->input(drag(thumb, {fader.x - 30, centreY(fader)})));
    ASSERT_TRUE(editor->waitFor([&] { return editor->display(index) == textAtFaderPosition(kSettingThreshold, 0); }))
        << editor->display(index);
    expectOneEditReported(index, Report::Drag);
    const Picture dragged = changedPicture();
    EXPECT_GT(changedPixels(before, dragged, fader), 0);
    EXPECT_GT(changedPixels(before, dragged, panelControl(IDC_THRESHOLD_EDIT)), 0);
    // The ratio's row is untouched.
    EXPECT_EQ(changedPixels(before, dragged, panelControl(IDC_RATIO_FADER)), 0);

    // And past the right end: the highest.
    clearHostCalls();
    ASSERT_TRUE(editor->input(drag({fader.x, centreY(fader)}, {fader.right() + 30, centreY(fader)})));
    ASSERT_TRUE(
        editor->waitFor([&] { return editor->display(index) == textAtFaderPosition(kSettingThreshold, 1000); }))
        << editor->display(index);
    expectOneEditReported(index, Report::Drag);
}

TEST_P(HostedEditorInput, ValueTypedIntoABoxAppliesOnReturnAndEscapeCancels) {
    const PixelRect box = panelControl(IDC_RATIO_EDIT);
    const int32_t index = kSettingRatio; // band 1
    const float ratioBefore = editor->parameter(index);
    // Escape puts the setting's text back and changes nothing.
    ASSERT_TRUE(editor->input(clearBox(box)));
    ASSERT_TRUE(editor->input({"type", "9"}));
    ASSERT_TRUE(editor->input({"key", "Escape"}));
    editor->host.serve(150);
    EXPECT_EQ(editor->parameter(index), ratioBefore);
    EXPECT_TRUE(hostCalls().empty());
    // The box shows the setting again: once a click on the dialog's face (between two buttons)
    // has taken its caret away, it looks as it did before.
    const PixelRect reset = mainControl(IDC_RESET_DEFAULTS), solo = mainControl(IDC_SOLO_BAND);
    ASSERT_TRUE(editor->input(clickAt({(reset.right() + solo.x) / 2, centreY(reset)})));
    EXPECT_TRUE(editor->waitFor([&] { return changedPixels(before, editor->host.readBack(), box) == 0; }));
    EXPECT_TRUE(hostCalls().empty());

    ASSERT_TRUE(editor->input(clearBox(box)));
    ASSERT_TRUE(editor->input({"type", "6.5"}));
    ASSERT_TRUE(editor->input({"key", "Return"}));
    ASSERT_TRUE(editor->waitFor([&] { return editor->display(index) == "6.50"; })) << editor->display(index);
    expectOneEditReported(index, Report::Typed);
    // The ratio fader follows the typed value; the threshold's row does not move.
    const Picture typed = changedPicture();
    EXPECT_GT(changedPixels(before, typed, panelControl(IDC_RATIO_FADER)), 0);
    EXPECT_EQ(changedPixels(before, typed, panelControl(IDC_THRESHOLD_FADER)), 0);
}

TEST_P(HostedEditorInput, AddAndDeleteBandChangeTheListAndTellTheHost) {
    const PixelRect tabs = mainControl(IDC_BAND_TABS);
    // Where a fifth tab goes, short of the few pixels a selected fourth one grows into it.
    PixelRect fifthTab = tabStripGeometry(tabs, 5, 1.0).tabs[4];
    fifthTab.x += 4;
    fifthTab.width -= 4;
    ASSERT_TRUE(editor->input(clickAt({centreX(mainControl(IDC_ADD_BAND)), centreY(mainControl(IDC_ADD_BAND))})));
    ASSERT_TRUE(editor->waitFor([&] { return editor->bandCount() == 5; }));
    std::vector<HostCall> calls = hostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(calls[0].index, kParameterListChangedIndex);
    EXPECT_EQ(calls[0].payload[0], 4 * kPerBand);
    EXPECT_EQ(calls[0].payload[1], kPerBand);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, -1);
    // The new band splits the current band 1 (20..200 Hz) in the middle and takes the upper
    // half: it is the fifth and ends at 200 Hz, band 1 now ends at 110 Hz.
    EXPECT_EQ(editor->display(4 * kPerBand + kSettingFrequency), "200.0");
    EXPECT_EQ(editor->display(kSettingFrequency), "110.0");
    // A fifth tab is drawn.
    Picture added;
    ASSERT_TRUE(editor->waitFor([&] {
        added = editor->host.readBack();
        return changedPixels(before, added, fifthTab) > 20;
    }));

    clearHostCalls();
    ASSERT_TRUE(
        editor->input(clickAt({centreX(mainControl(IDC_DELETE_BAND)), centreY(mainControl(IDC_DELETE_BAND))})));
    ASSERT_TRUE(editor->waitFor([&] { return editor->bandCount() == 4; }));
    calls = hostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(calls[0].index, kParameterListChangedIndex);
    EXPECT_EQ(calls[0].payload[0], 4 * kPerBand);
    EXPECT_EQ(calls[0].payload[1], -kPerBand);
    EXPECT_EQ(calls[1].index, -1);
    // The current band, the new one, went; the others stay as they were, the fourth tab is
    // selected and the fifth is gone.
    EXPECT_EQ(editor->display(kSettingFrequency), "110.0");
    EXPECT_EQ(editor->display(kPerBand + kSettingFrequency), "1000.0");
    EXPECT_EQ(editor->display(3 * kPerBand + kSettingFrequency), "24000.0");
    EXPECT_TRUE(editor->waitFor([&] { return changedPixels(before, editor->host.readBack(), fifthTab) == 0; }));
}

// Band 2 of the defaults: its line at 1000 Hz, band 1's at 200 Hz, its threshold at 0 dB.
Point secondHandle() { return handleAt(200.0, 1000.0, 0.0); }

TEST_P(HostedEditorInput, GraphHandleDraggedDownLowersTheThresholdAndTellsTheHost) {
    const int32_t index = kPerBand + kSettingThreshold; // band 2
    const Point from = secondHandle(), to = {from.x, from.y + 24};
    // A handle's disc is most of the circle around its centre.
    const int disc = redPixels(before, from, 5);
    ASSERT_GT(disc, 40) << "no handle drawn at " << from.x << ", " << from.y;
    ASSERT_EQ(redPixels(before, to, 5), 0);
    ASSERT_TRUE(editor->input(drag(from, to)));
    // The threshold follows the pointer by the levels the graph shows at the two rows.
    const double expected = graphDbAt(to.y) - graphDbAt(from.y);
    ASSERT_TRUE(editor->waitFor([&] { return std::fabs(displayedDb(*editor, index) - expected) < 0.051; }))
        << editor->display(index) << " for " << expected;
    expectOneEditReported(index, Report::Drag);
    // The handle is drawn where the pointer left it, and no longer where it was.
    Picture moved;
    EXPECT_TRUE(editor->waitFor([&] {
        moved = editor->host.readBack();
        return redPixels(moved, to, 5) > 40 && redPixels(moved, from, 5) < 12;
    })) << redPixels(moved, to, 5) << " red pixels where it went, " << redPixels(moved, from, 5) << " where it was";
}

TEST_P(HostedEditorInput, WheelOverAHandleScalesItsRatioAndTellsTheHostNothing) {
    const int32_t ratio = kPerBand + kSettingRatio; // band 2, 2:1
    const Point handle = secondHandle();
    std::vector<std::string> notch = moveTo(handle);
    notch.insert(notch.end(), {"sleep", "0.05", "click", "4"});
    ASSERT_TRUE(editor->input(notch));
    // One notch away from the user: the ratio times 10^(2.4 x 0.02).
    const std::string up = [] {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", 2.0 * std::pow(10.0, 0.048));
        return std::string(text);
    }();
    ASSERT_TRUE(editor->waitFor([&] { return editor->display(ratio) == up; })) << editor->display(ratio);
    notch.back() = "5";
    ASSERT_TRUE(editor->input(notch));
    ASSERT_TRUE(editor->waitFor([&] { return editor->display(ratio) == "2.00"; })) << editor->display(ratio);
    // Away from every handle the wheel over the graph changes nothing.
    std::vector<std::string> away = moveTo({handle.x, handle.y + 40});
    away.insert(away.end(), {"sleep", "0.05", "click", "4"});
    ASSERT_TRUE(editor->input(away));
    editor->host.serve(150);
    EXPECT_EQ(editor->display(ratio), "2.00");
    EXPECT_TRUE(callsOf(hostCalls(), audioMasterAutomate).empty());
    EXPECT_TRUE(callsOf(hostCalls(), audioMasterEndEdit).empty());
}

TEST_P(HostedEditorInput, ContextMenuOnAHandleSwitchesThatBandOff) {
    const int32_t active = kPerBand + kSettingActive; // band 2
    ASSERT_EQ(editor->parameter(active), 1.0f);
    const Point handle = secondHandle();
    const Point item = menuItemMiddle(IDM_BAND_ACTIVE);
    // The menu opens at the pointer: the item's row, a little way into it, turns to the menu's face.
    const Point onItem = {handle.x + item.x, handle.y + item.y};
    const Picture under = editor->screenArea(onItem.x - 10, onItem.y - 2, 20, 4);
    ASSERT_TRUE(editor->input(clickAt(handle, 3)));
    Picture menu;
    ASSERT_TRUE(editor->waitFor([&] {
        menu = editor->screenArea(onItem.x - 10, onItem.y - 2, 20, 4);
        return menu.pixels != under.pixels;
    }));
    EXPECT_TRUE(hostCalls().empty());
    ASSERT_TRUE(editor->input(clickAt(onItem)));
    ASSERT_TRUE(editor->waitFor([&] { return editor->parameter(active) == 0.0f; }));
    expectOneEditReported(active, Report::Switch);
    // Band 2 became the current band with the right press; its panel shows it switched off.
    EXPECT_EQ(editor->parameter(kSettingActive), 1.0f);
    const PixelRect box = checkBoxSquare(panelControl(IDC_ACTIVE), 1.0);
    EXPECT_TRUE(editor->waitFor([&] { return changedPixels(before, editor->host.readBack(), box) > 0; }));
    // And the menu is gone from the screen.
    EXPECT_TRUE(editor->waitFor([&] { return editor->screenArea(onItem.x - 10, onItem.y - 2, 20, 4).pixels != menu.pixels; }));
}

TEST_P(HostedEditorInput, PresetMenuLoadsAFactoryPresetAndCtrlZTakesItBack) {
    const FactoryPreset& preset = *findFactoryPreset("Mastering 5-band");
    ASSERT_EQ(preset.bandCount, 5);
    const PixelRect control = mainControl(IDC_PRESET_CONTROL);
    const Point item = presetItemMiddle(preset.name);
    ASSERT_GE(item.y, 0);
    // The menu opens just below the control: the item's row turns to the menu's face.
    const Point onItem = {control.x + item.x, control.bottom() + item.y};
    const Picture under = editor->screenArea(onItem.x - 10, onItem.y - 2, 20, 4);
    ASSERT_TRUE(editor->input(clickAt({centreX(control), centreY(control)})));
    ASSERT_TRUE(editor->waitFor([&] { return editor->screenArea(onItem.x - 10, onItem.y - 2, 20, 4).pixels != under.pixels; }));
    EXPECT_TRUE(hostCalls().empty());
    ASSERT_TRUE(editor->input(clickAt(onItem)));
    ASSERT_TRUE(editor->waitFor([&] { return editor->bandCount() == 5; }));
    // The host heard of the fifth band as Add band tells it, and of the values.
    std::vector<HostCall> notices = callsOf(hostCalls(), audioMasterVendorSpecific, kParameterListChangedIndex);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].payload[0], 4 * kPerBand);
    EXPECT_EQ(notices[0].payload[1], kPerBand);
    EXPECT_FALSE(callsOf(hostCalls(), audioMasterAutomate).empty());
    for (int32_t band = 0; band < preset.bandCount; ++band)
        EXPECT_NEAR(std::atof(editor->display(band * kPerBand + kSettingFrequency).c_str()),
                    preset.bands[band].frequencyHz, 0.05)
            << "band " << band + 1;
    // The control's label names the preset now, and the tabs show five bands.
    Picture loaded;
    EXPECT_TRUE(editor->waitFor([&] {
        loaded = editor->host.readBack();
        return changedPixels(before, loaded, control) > 20 &&
               changedPixels(before, loaded, mainControl(IDC_BAND_TABS)) > 20;
    }));

    // Ctrl+Z (the editor took the keyboard with the click) brings the four bands back.
    clearHostCalls();
    ASSERT_TRUE(editor->input({"key", "ctrl+z"}));
    ASSERT_TRUE(editor->waitFor([&] { return editor->bandCount() == 4; }));
    notices = callsOf(hostCalls(), audioMasterVendorSpecific, kParameterListChangedIndex);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].payload[1], -kPerBand);
    EXPECT_EQ(editor->display(kSettingFrequency), "200.0");
    EXPECT_EQ(editor->display(3 * kPerBand + kSettingFrequency), "24000.0");
    // The window shows the four bands' tabs as before; the label marks the preset as changed
    // (it is still the one loaded last).
    EXPECT_TRUE(editor->waitFor([&] {
        const Picture undone = editor->host.readBack();
        return changedPixels(before, undone, mainControl(IDC_BAND_TABS)) == 0 &&
               changedPixels(loaded, undone, control) > 0;
    }));
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostedEditorInput, ::testing::Values(false, true), hostKindName);

} // namespace
