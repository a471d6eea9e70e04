// The Linux editor as a host opens it: the plug-in's table installed, effEditOpen with a window
// of the test's own as the parent on a private Xvfb server, real clicks and keys through
// xdotool, and the instance's settings, the host's reports and the window's pixels read back.
// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "editor/core/fader_model.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_geometry.h"
#include "editor/core/main_rules.h"
#include "editor/core/preset_menu.h"
#include "editor/x11/x11_editor.h"
#include "editor/x11/x11_editor_entry.h"
#include "editor/x11/x11_prompt.h"
#include "engine/band_control.h"
#include "shell/ab_slots.h"
#include "shell/compressor_effect.h"
#include "shell/edit_history.h"
#include "shell/parameters.h"
#include "shell/preset_library.h"
#include "shell/setting_kinds.h"
#include "x11_test_display.h"

#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

using namespace x11test;

namespace {

XvfbServer server;

constexpr int kHostX = 40, kHostY = 30;

std::string at(int value) {
    return std::to_string(value);
}

struct HostReport {
    int32_t opcode;
    int32_t index;
};

std::mutex reportsLock;
std::vector<HostReport> reports;

intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float) {
    std::lock_guard<std::mutex> hold(reportsLock);
    reports.push_back({opcode, index});
    return 0;
}

size_t countReports(int32_t opcode, int32_t index) {
    std::lock_guard<std::mutex> hold(reportsLock);
    return size_t(std::count_if(reports.begin(), reports.end(),
                                [&](const HostReport& r) { return r.opcode == opcode && r.index == index; }));
}

class X11EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.ok());
        // Every test starts without presets of the user's own.
        std::filesystem::remove_all(userPresetFolder());
        {
            std::lock_guard<std::mutex> hold(reportsLock);
            reports.clear();
        }
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = CompressorEffect::fromEffect(effect);
        ASSERT_EQ(dispatch(effEditOpen, window()), 1);
        // Painted: the Add band button's light top-left edge shows.
        ASSERT_TRUE(waitUntil([&] { return pixel(36, 363) == 0xFFFFFF; }));
        ASSERT_TRUE(xdotool(display(), {"mousemove", "780", "580"}));
    }
    void TearDown() override {
        if (effect) {
            dispatch(effEditClose, nullptr);
            dispatch(effClose, nullptr);
        }
    }
    intptr_t dispatch(int32_t opcode, void* ptr) { return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); }
    void* window() { return reinterpret_cast<void*>(uintptr_t(host.window())); }
    const std::string& display() { return server.name(); }
    int64_t pixel(int x, int y) { return host.pixel(host.window(), x, y); }
    // Whether the server gives the keyboard to the editor's window (the host window's child):
    // the editor asks for it on a press, after handling the press and its release.
    bool editorFocused() {
        Window focus = 0, root = 0, parent = 0, *children = nullptr;
        int revert = 0;
        unsigned int count = 0;
        XGetInputFocus(host.display(), &focus, &revert);
        if (!XQueryTree(host.display(), host.window(), &root, &parent, &children, &count))
            return false;
        const bool ours = count > 0 && children[0] == focus;
        XFree(children);
        return ours;
    }

public:
    int64_t pixelAt(int x, int y) { return pixel(x, y); }

protected:
    bool click(int x, int y) {
        return xdotool(display(), {"mousemove", at(kHostX + x), at(kHostY + y), "click", "1"});
    }
    bool keys(const std::vector<std::string>& names) {
        std::vector<std::string> arguments = {"key", "--delay", "20"};
        arguments.insert(arguments.end(), names.begin(), names.end());
        return xdotool(display(), arguments);
    }
    // Types digits, '.' and '-' as the keys that make them.
    bool type(const std::string& text) {
        std::vector<std::string> names;
        for (char c : text)
            names.push_back(c == '-' ? "minus" : c == '.' ? "period" : std::string(1, c));
        return keys(names);
    }
    // Black pixels inside a check box's square at (x, y), 13 pixels a side.
    int markPixels(int x, int y) {
        int dark = 0;
        for (int row = y + 2; row < y + 11; ++row)
            for (int column = x + 2; column < x + 11; ++column)
                dark += pixel(column, row) == 0;
        return dark;
    }
    double bandSetting(int32_t band, int32_t kind) {
        BandView view;
        return fx->viewBand(band, view) ? viewedSetting(view, kind) : NAN;
    }

    // Where the threshold fader's thumb centre should be for the band's setting.
    int expectedThresholdCentre() {
        FaderModel model;
        model.vertical = false;
        model.setPosition(settingKind(kSettingThreshold).faderPosition(bandSetting(0, kSettingThreshold)));
        const FaderGeometry g = faderGeometry(model, kThresholdFader.width, kThresholdFader.height);
        return kThresholdFader.x + g.thumbX(model.range(), model.stored()) + g.thumbWidth / 2;
    }
    struct Box {
        int x, y, width, height;
    };
    // The band panel's threshold fader in the window.
    static constexpr Box kThresholdFader = {148, 179, 248, 21};

    HostWindow host{server.name(), kHostX, kHostY, 600, 420};
    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

int thresholdThumbCentre(X11EditorTest& test) {
    const int y = 179 + 10;
    for (int x = 148; x < 148 + 248; ++x)
        if (test.pixelAt(x, y) == 0xEEEEEA)
            return x;
    return -1;
}

TEST_F(X11EditorTest, OpensAsAChildOfTheHostsWindowAndPaintsTheLayout) {
    EXPECT_EQ(host.childCount(), 1);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 567);
    EXPECT_EQ(rect->bottom - rect->top, 396);
    EXPECT_TRUE((effect->flags & effFlagsHasEditor) != 0);
    // The window's face, the button's raised edge, the edit box's sunken edge, the tab strip's
    // frame, as the Windows editor draws them.
    EXPECT_EQ(pixel(300, 393), 0xF5F5F5);
    EXPECT_EQ(pixel(94, 383), 0x6A6A6A);
    EXPECT_EQ(pixel(93, 382), 0xA6A6A6);
    EXPECT_EQ(pixel(498, 370), 0xA6A6A6);
    EXPECT_EQ(pixel(499, 370), 0x6A6A6A);
    EXPECT_EQ(pixel(497, 250), 0xAEAEAE);
    // Grid and Tabs are on, Solo is off.
    EXPECT_GT(markPixels(450, 367), 10);
    EXPECT_GT(markPixels(395, 367), 10);
    EXPECT_EQ(markPixels(270, 367), 0);
    // The window is gone with effEditClose.
    dispatch(effEditClose, nullptr);
    EXPECT_EQ(host.childCount(), 0);
    EXPECT_FALSE(fx->editorOpen());
}

TEST_F(X11EditorTest, CheckBoxesSwitchTheirSettings) {
    ASSERT_TRUE(click(470, 373)); // the Grid box's text
    ASSERT_TRUE(waitUntil([&] { return fx->showGrid == 0; }));
    EXPECT_TRUE(waitUntil([&] { return markPixels(450, 367) == 0; }));
    ASSERT_TRUE(click(276, 373)); // Solo's square
    EXPECT_TRUE(waitUntil([&] { return fx->soloCurrentBand == 1; }));
    EXPECT_TRUE(waitUntil([&] { return markPixels(270, 367) > 10; }));
    // The band's Auto makeup box (on by default) reports the end of an edit of band 1's switch.
    const int32_t makeupParameter = kSettingAutoMakeup;
    ASSERT_EQ(bandSetting(0, kSettingAutoMakeup), 1);
    ASSERT_TRUE(click(54, 235));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingAutoMakeup) == 0; }));
    EXPECT_TRUE(waitUntil([&] { return countReports(audioMasterEndEdit, makeupParameter) == 1; }));
}

TEST_F(X11EditorTest, ButtonsAddAndDeleteBandsAndTabsSelectThem) {
    ASSERT_EQ(fx->viewBandCount(), 4);
    ASSERT_TRUE(click(65, 373)); // Add band
    ASSERT_TRUE(waitUntil([&] { return fx->viewBandCount() == 5; }));
    EXPECT_EQ(fx->currentBand, 4);
    EXPECT_TRUE(waitUntil([&] { return countReports(audioMasterVendorSpecific, kParameterListChangeIndex) == 1; }));
    // The fifth tab, selected, is drawn raised and white at its middle.
    EXPECT_TRUE(waitUntil([&] { return pixel(252, 140) == 0xAEAEAE && pixel(280, 134) == 0xFFFFFF; }));
    ASSERT_TRUE(click(173, 142)); // the third tab
    ASSERT_TRUE(waitUntil([&] { return fx->currentBand == 2; }));
    ASSERT_TRUE(click(130, 373)); // Delete band: the third goes
    ASSERT_TRUE(waitUntil([&] { return fx->viewBandCount() == 4; }));
    EXPECT_TRUE(waitUntil([&] { return countReports(audioMasterVendorSpecific, kParameterListChangeIndex) == 2; }));
    EXPECT_NEAR(bandSetting(2, kSettingFrequency), 24000, 1);
}

TEST_F(X11EditorTest, TypedValuesApplyOnEnterAndTabAndEscapeCancels) {
    // The threshold box of band 1 at (399, 179): clear it, type, Enter.
    ASSERT_TRUE(click(440, 189));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("-24"));
    ASSERT_TRUE(keys({"Return"}));
    const int32_t thresholdParameter = kSettingThreshold;
    ASSERT_TRUE(waitUntil([&] { return std::fabs(bandSetting(0, kSettingThreshold) - std::pow(10.0, -1.2)) < 1e-9; }));
    EXPECT_TRUE(waitUntil([&] { return countReports(audioMasterAutomate, thresholdParameter) == 1; }));
    // Escape puts the stored value back and nothing is stored.
    ASSERT_TRUE(click(440, 189));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("9"));
    ASSERT_TRUE(keys({"Escape", "Return"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NEAR(bandSetting(0, kSettingThreshold), std::pow(10.0, -1.2), 1e-9);
    // Tab applies and moves on to the ratio box below.
    ASSERT_TRUE(click(440, 189));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("-18"));
    ASSERT_TRUE(keys({"Tab", "End", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("3"));
    ASSERT_TRUE(keys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return std::fabs(bandSetting(0, kSettingThreshold) - std::pow(10.0, -0.9)) < 1e-9; }));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingRatio) == 3; }));
}

TEST_F(X11EditorTest, TheOutputBoxSetsTheGainWithoutTellingTheHost) {
    ASSERT_TRUE(click(514, 373));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("-6"));
    ASSERT_TRUE(keys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return std::fabs(fx->outputGain - std::pow(10.0, -0.3)) < 1e-12; }));
    EXPECT_EQ(countReports(audioMasterAutomate, -1), 0u);
}

TEST_F(X11EditorTest, FadersDragAndWheelTheirSettings) {
    // The threshold fader of the panel at (148, 179), 248 x 21: its thumb where the rules put it.
    constexpr int faderX = 148, faderY = 179, faderWidth = 248, faderHeight = 21;
    FaderModel model;
    model.vertical = false;
    model.setPosition(settingKind(kSettingThreshold).faderPosition(bandSetting(0, kSettingThreshold)));
    const FaderGeometry g = faderGeometry(model, faderWidth, faderHeight);
    const int thumbX = faderX + g.thumbX(model.range(), model.stored()) + g.thumbWidth / 2;
    const int y = faderY + faderHeight / 2;
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + thumbX), at(kHostY + y), "mousedown", "1",
                                    "mousemove", at(kHostX + thumbX - 30), at(kHostY + y), "mousemove",
                                    at(kHostX + thumbX - 60), at(kHostY + y), "mouseup", "1"}));
    const int32_t thresholdParameter = kSettingThreshold;
    ASSERT_TRUE(waitUntil([&] { return countReports(audioMasterEndEdit, thresholdParameter) == 1; }));
    EXPECT_GE(countReports(audioMasterAutomate, thresholdParameter), 1u);
    // 60 pixels of a 225-pixel travel to the left: about a quarter of the scale lower.
    model.setPosition(settingKind(kSettingThreshold).faderPosition(bandSetting(0, kSettingThreshold)));
    EXPECT_NEAR(g.thumbX(model.range(), model.stored()) + g.thumbWidth / 2, thumbX - faderX - 60, 2);
    // The fader pressed last takes the Up key: one step up, then the end once it has settled.
    const double lowered = bandSetting(0, kSettingThreshold);
    ASSERT_TRUE(waitUntil([&] { return editorFocused(); }));
    ASSERT_TRUE(keys({"Up"}));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) > lowered; }));
    EXPECT_TRUE(waitUntil([&] { return countReports(audioMasterEndEdit, thresholdParameter) == 2; }));
    // A notch of the wheel over the output fader raises the output gain.
    const double gain = fx->outputGain;
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + 516), at(kHostY + 300), "click", "4"}));
    EXPECT_TRUE(waitUntil([&] { return fx->outputGain > gain; }));
}

// The white centre line of the threshold fader's thumb, or -1.
int thresholdThumbCentre(X11EditorTest&);

TEST_F(X11EditorTest, HostAutomationShowsUpAtTheNextRefresh) {
    // The drawn cap's centre line may sit a pixel right of the thumb's middle.
    const int before = thresholdThumbCentre(*this);
    ASSERT_LE(std::abs(before - expectedThresholdCentre()), 1);
    // The host moves band 1's threshold to the bottom of its range; nobody lends the editor a thread.
    effect->setParameter(effect, kSettingThreshold, 0.0f);
    const int after = expectedThresholdCentre();
    ASSERT_LT(after, before - 100);
    EXPECT_TRUE(waitUntil([&] { return std::abs(thresholdThumbCentre(*this) - after) <= 1; }));
}

TEST_F(X11EditorTest, TheGraphsContextMenuRunsItsItems) {
    ASSERT_EQ(fx->showGrid, 1);
    // A right press on the graph opens the menu at the pointer, above everything.
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + 200), at(kHostY + 60), "click", "3"}));
    ASSERT_TRUE(waitUntil([&] { return host.screenPixel(kHostX + 200 + 5, kHostY + 60 + 30) == 0xF5F5F5; }));
    // Its sixth item, below two separators' worth of items, is "Show grid".
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + 230), at(kHostY + 60 + 97), "click", "1"}));
    EXPECT_TRUE(waitUntil([&] { return fx->showGrid == 0; }));
    EXPECT_TRUE(waitUntil([&] { return markPixels(450, 367) == 0; }));
    // Escape closes it without running anything.
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + 200), at(kHostY + 60), "click", "3"}));
    ASSERT_TRUE(waitUntil([&] { return host.screenPixel(kHostX + 200 + 5, kHostY + 60 + 30) == 0xF5F5F5; }));
    ASSERT_TRUE(keys({"Escape"}));
    EXPECT_TRUE(waitUntil([&] { return host.screenPixel(kHostX + 200 + 5, kHostY + 60 + 30) != 0xF5F5F5; }));
    EXPECT_EQ(fx->showGrid, 0);
    EXPECT_EQ(fx->viewBandCount(), 4);
}

// The pointer's shape as the server shows it, as its pixels (XFixes).
std::vector<unsigned long> cursorImage(Display* display) {
    std::vector<unsigned long> pixels;
    if (XFixesCursorImage* image = XFixesGetCursorImage(display)) {
        pixels.assign(image->pixels, image->pixels + size_t(image->width) * image->height);
        XFree(image);
    }
    return pixels;
}

TEST_F(X11EditorTest, ThePointerShowsWhatTheGraphOffersUnderIt) {
    // The graph at (35, 17), 465 x 112 with the tabs shown: band 2's handle and its frequency line.
    constexpr int graphX = 35, graphY = 17;
    const GraphGeometry g(465, 112, true);
    GraphBandCopies copies;
    const GraphBands bands = copyGraphBands(*fx, copies, nullptr);
    int handleX = -1;
    const int handleY = g.yOfDb(0);
    for (int x = 0; x < g.width && handleX < 0; ++x)
        if (hitTestHandle(bands, g, x, handleY) == 1)
            handleX = x;
    ASSERT_GE(handleX, 0);
    const int lineX = g.xOfFrequency(1000);
    auto shapeAt = [&](int x, int y) {
        EXPECT_TRUE(xdotool(display(), {"mousemove", at(kHostX + graphX + x), at(kHostY + graphY + y)}));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return cursorImage(host.display());
    };
    const std::vector<unsigned long> plain = shapeAt(lineX + 40, 100);
    const std::vector<unsigned long> hand = shapeAt(handleX + 2, handleY);
    const std::vector<unsigned long> resize = shapeAt(lineX, 100);
    ASSERT_FALSE(plain.empty());
    EXPECT_NE(hand, plain);
    EXPECT_NE(resize, plain);
    EXPECT_NE(resize, hand);
    // Outside the graph, over a button, the plain shape again.
    EXPECT_EQ(shapeAt(65 - graphX, 373 - graphY), plain);
}

TEST_F(X11EditorTest, ClosingAndOpeningAgainWhileAudioRunsLeavesNothingBehind) {
    std::atomic<bool> playing{true};
    std::thread audio([&] {
        float left[256] = {}, right[256] = {}, outLeft[256], outRight[256];
        for (int i = 0; i < 256; ++i)
            left[i] = right[i] = float(std::sin(i * 0.1));
        float* inputs[2] = {left, right};
        float* outputs[2] = {outLeft, outRight};
        while (playing)
            fx->process(inputs, outputs, 256);
    });
    dispatch(effEditClose, nullptr);
    const int threads = threadCount(), descriptors = openDescriptorCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(dispatch(effEditOpen, window()), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 4 * 10));
        dispatch(effEditClose, nullptr);
    }
    playing = false;
    audio.join();
    EXPECT_EQ(threadCount(), threads - 1);
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(host.childCount(), 0);
}

TEST_F(X11EditorTest, DoesNotOpenWithoutADisplay) {
    dispatch(effEditClose, nullptr);
    setenv("DISPLAY", ":4077", 1);
    EXPECT_EQ(dispatch(effEditOpen, window()), 0);
    EXPECT_FALSE(fx->editorOpen());
    setenv("DISPLAY", server.name().c_str(), 1);
    EXPECT_EQ(dispatch(effEditOpen, window()), 1);
}


// ---- The preset control, its menu and questions, and the undo keys -------------------------

PixelRect mainControl(int32_t id) {
    return dialogUnitsToPixels(findControl(mainWindowLayout(), id)->units, 1.0);
}

PixelRect presetControl() {
    return mainControl(IDC_PRESET_CONTROL);
}

// A band panel control in the window: its place in the panel moved to the panel's place.
PixelRect panelControl(int32_t id) {
    PixelRect rect = dialogUnitsToPixels(findControl(bandPanelLayout(), id)->units, 1.0);
    const PixelRect place = mainControl(IDC_BAND_PANEL_PLACE);
    rect.x += place.x;
    rect.y += place.y;
    return rect;
}

class NoOwner : public PopupMenuOwner {
    void onMenuCommand(int32_t) override {}
};

// The window point of a preset menu item's middle, the menu laid out as the editor opens it for
// the instance now: below the control, no taller than the 600-pixel screen leaves room for.
bool presetItemPoint(CompressorEffect& fx, const std::string& label, int& x, int& y) {
    const PixelRect control = presetControl();
    WidgetText text(1.0);
    NoOwner owner;
    X11PopupMenu menu(text, 1.0, owner);
    menu.setItems(presetPopupItems(fx, PresetLibrary(userPresetFolder()).list()));
    menu.setMaxHeight(600 - (kHostY + control.bottom()));
    int32_t wanted = -1;
    for (size_t i = 0; i < menu.items().size(); ++i)
        if (menu.items()[i].label == label)
            wanted = int32_t(i);
    const int32_t middle = menu.width() / 2;
    int32_t top = -1, bottom = -1;
    for (int32_t row = 0; row < menu.height(); ++row)
        if (wanted >= 0 && menu.itemAt(middle, row) == wanted) {
            top = top < 0 ? row : top;
            bottom = row;
        }
    x = control.x + middle;
    y = control.bottom() + (top + bottom) / 2;
    return top >= 0;
}

// Puts a keysym on a key the server's keyboard map leaves empty, as a keyboard with that letter
// has it. xdotool then presses that key; left to itself it maps a key to the letter only for the
// moment of the press, and an editor slower than that reads the key after it was taken back.
bool bindSpareKey(Display* display, KeySym keysym) {
    int lowest = 0, highest = 0, perKey = 0;
    XDisplayKeycodes(display, &lowest, &highest);
    KeySym* map = XGetKeyboardMapping(display, KeyCode(lowest), highest - lowest + 1, &perKey);
    if (!map)
        return false;
    int spare = -1;
    for (int key = highest; key >= lowest && spare < 0; --key) {
        bool empty = true;
        for (int i = 0; i < perKey; ++i)
            empty = empty && map[(key - lowest) * perKey + i] == NoSymbol;
        if (empty)
            spare = key;
    }
    XFree(map);
    if (spare < 0)
        return false;
    XChangeKeyboardMapping(display, spare, 1, &keysym, 1);
    XSync(display, False);
    return true;
}

// The question panel's dark border runs down the window's column 103 (a 360-pixel panel in the
// middle of a 567-pixel window) whatever the question.
constexpr int kPromptLeft = (567 - 360) / 2;

class X11PresetTest : public X11EditorTest {
protected:
    bool clickPoint(int x, int y) { return click(x, y); }
    // Opens the preset menu and chooses an item of it.
    bool choosePreset(const std::string& label) {
        const PixelRect control = presetControl();
        int x = 0, y = 0;
        if (!presetItemPoint(*fx, label, x, y))
            return false;
        // A menu chosen from just before has let go of the pointer (it holds it while open).
        if (!waitUntil([&] { return pixel(control.x + 2, control.y + 2) == 0xF0F0F0; }))
            return false;
        if (!click(control.x + control.width / 2, control.y + control.height / 2))
            return false;
        // Open: the control shows itself pressed and the menu's face is on the screen there.
        if (!waitUntil([&] {
                return pixel(control.x + 2, control.y + 2) == 0xD8E6F2 &&
                       host.screenPixel(kHostX + x, kHostY + control.bottom() + 2) == 0xF5F5F5;
            }))
            return false;
        return click(x, y);
    }
    bool promptShown() {
        int run = 0;
        for (int y = 0; y < 396; ++y) {
            run = pixel(kPromptLeft, y) == 0x404040 ? run + 1 : 0;
            if (run >= 20)
                return true;
        }
        return false;
    }
    // A parameter-by-parameter comparison with a fresh instance holding the factory preset.
    void expectHoldsPreset(const std::string& name) {
        AEffect* other = VSTPluginMain(recordingHost);
        ASSERT_NE(other, nullptr);
        std::string error;
        ASSERT_TRUE(loadPreset(*CompressorEffect::fromEffect(other), PresetLibrary(userPresetFolder()), name, error))
            << error;
        ASSERT_EQ(effect->numParams, other->numParams);
        for (int32_t i = 0; i < effect->numParams; ++i)
            EXPECT_EQ(effect->getParameter(effect, i), other->getParameter(other, i)) << "parameter " << i;
        EXPECT_EQ(fx->outputGain, CompressorEffect::fromEffect(other)->outputGain);
        other->dispatcher(other, effClose, 0, 0, nullptr, 0.0f);
    }
    // The control's pixels, to see its label change.
    std::vector<int64_t> controlPixels() {
        const PixelRect control = presetControl();
        std::vector<int64_t> pixels;
        for (int y = control.y + 2; y < control.bottom() - 2; ++y)
            for (int x = control.x + 2; x < control.right() - control.height; ++x)
                pixels.push_back(pixel(x, y));
        return pixels;
    }
    // Drags a fader of the band panel by dx from its thumb.
    bool dragThumb(const PixelRect& fader, int32_t kind, int dx) {
        FaderModel model;
        model.vertical = false;
        model.setPosition(settingKind(kind).faderPosition(bandSetting(0, kind)));
        const FaderGeometry g = faderGeometry(model, fader.width, fader.height);
        const int x = fader.x + g.thumbX(model.range(), model.stored()) + g.thumbWidth / 2;
        const int y = fader.y + fader.height / 2;
        return xdotool(display(), {"mousemove", at(kHostX + x), at(kHostY + y), "mousedown", "1", "mousemove",
                                   at(kHostX + x + dx / 2), at(kHostY + y), "mousemove", at(kHostX + x + dx),
                                   at(kHostY + y), "mouseup", "1"});
    }
};

TEST_F(X11PresetTest, TheControlsMenuLoadsAFactoryPresetAndTheLabelFollows) {
    const std::vector<int64_t> unnamed = controlPixels();
    ASSERT_TRUE(choosePreset("Drum bus punch"));
    ASSERT_TRUE(waitUntil([&] { return currentPresetName(*fx) == "Drum bus punch"; }));
    expectHoldsPreset("Drum bus punch");
    EXPECT_FALSE(modifiedSincePreset(*fx));
    // The menu is gone, the control no longer pressed, and its label is another.
    const PixelRect control = presetControl();
    EXPECT_TRUE(waitUntil([&] { return pixel(control.x + 2, control.y + 2) == 0xF0F0F0; }));
    EXPECT_TRUE(waitUntil([&] { return controlPixels() != unnamed; }));
    // The band panel shows the preset's first band: the threshold thumb where its setting puts it.
    EXPECT_TRUE(waitUntil([&] { return std::abs(thresholdThumbCentre(*this) - expectedThresholdCentre()) <= 1; }));
    // A drag marks the preset changed, and the label shows the mark.
    const std::vector<int64_t> named = controlPixels();
    ASSERT_TRUE(dragThumb(panelControl(IDC_THRESHOLD_FADER), kSettingThreshold, -40));
    ASSERT_TRUE(waitUntil([&] { return modifiedSincePreset(*fx); }));
    EXPECT_TRUE(waitUntil([&] { return controlPixels() != named; }));
    // Choosing it again puts it back unchanged.
    ASSERT_TRUE(choosePreset("Drum bus punch"));
    EXPECT_TRUE(waitUntil([&] { return !modifiedSincePreset(*fx); }));
    EXPECT_TRUE(waitUntil([&] { return controlPixels() == named; }));
}

TEST_F(X11PresetTest, CtrlZUndoesAFaderDragAndCtrlShiftZAndCtrlYRedoIt) {
    const double before = bandSetting(0, kSettingThreshold);
    const int32_t thresholdParameter = kSettingThreshold;
    ASSERT_TRUE(dragThumb(panelControl(IDC_THRESHOLD_FADER), kSettingThreshold, -60));
    ASSERT_TRUE(waitUntil([&] { return countReports(audioMasterEndEdit, thresholdParameter) == 1; }));
    const double dragged = bandSetting(0, kSettingThreshold);
    ASSERT_LT(dragged, before);
    ASSERT_TRUE(waitUntil([&] { return editorFocused(); }));
    ASSERT_TRUE(keys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) == before; }));
    // The fader shows the setting it went back to.
    EXPECT_TRUE(waitUntil([&] { return std::abs(thresholdThumbCentre(*this) - expectedThresholdCentre()) <= 1; }));
    ASSERT_TRUE(keys({"ctrl+shift+z"}));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) == dragged; }));
    ASSERT_TRUE(keys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) == before; }));
    ASSERT_TRUE(keys({"ctrl+y"}));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) == dragged; }));
    // Z alone, or with Alt, is no undo.
    ASSERT_TRUE(keys({"z", "ctrl+alt+z"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(bandSetting(0, kSettingThreshold), dragged);
}

TEST_F(X11PresetTest, ATypedValueIsAnUndoStepOfItsOwn) {
    // A threshold typed into its box, then the ratio dragged: the undo takes back the drag only.
    ASSERT_TRUE(click(440, 189));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("-24"));
    ASSERT_TRUE(keys({"Return"}));
    const double typed = std::pow(10.0, -1.2);
    ASSERT_TRUE(waitUntil([&] { return std::fabs(bandSetting(0, kSettingThreshold) - typed) < 1e-9; }));
    const double ratio = bandSetting(0, kSettingRatio);
    ASSERT_TRUE(dragThumb(panelControl(IDC_RATIO_FADER), kSettingRatio, 50));
    ASSERT_TRUE(waitUntil([&] { return countReports(audioMasterEndEdit, kSettingRatio) == 1; }));
    ASSERT_GT(bandSetting(0, kSettingRatio), ratio);
    ASSERT_TRUE(waitUntil([&] { return editorFocused(); }));
    ASSERT_TRUE(keys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return bandSetting(0, kSettingRatio) == ratio; }));
    EXPECT_NEAR(bandSetting(0, kSettingThreshold), typed, 1e-9);
    // The next undo takes back the typed value.
    ASSERT_TRUE(keys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) == 1.0; }));

    // The same for the output gain: typed, then the fader dragged; each is a step.
    ASSERT_TRUE(click(514, 373));
    ASSERT_TRUE(keys({"End", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
    ASSERT_TRUE(type("-6"));
    ASSERT_TRUE(keys({"Return"}));
    const double gain = std::pow(10.0, -0.3);
    ASSERT_TRUE(waitUntil([&] { return std::fabs(fx->outputGain - gain) < 1e-12; }));
    // The output fader dragged up from its thumb.
    const PixelRect fader = mainControl(IDC_OUTPUT_GAIN_FADER);
    FaderModel model;
    model.vertical = true;
    model.setPosition(outputFaderPosition(fx->outputGain));
    const FaderGeometry g = faderGeometry(model, fader.width, fader.height);
    const int thumbX = fader.x + fader.width / 2;
    const int thumbY = fader.y + g.thumbY(model.range(), model.stored()) + g.thumbHeight / 2;
    ASSERT_TRUE(xdotool(display(), {"mousemove", at(kHostX + thumbX), at(kHostY + thumbY), "mousedown", "1",
                                    "mousemove", at(kHostX + thumbX), at(kHostY + thumbY - 20), "mousemove",
                                    at(kHostX + thumbX), at(kHostY + thumbY - 40), "mouseup", "1"}));
    ASSERT_TRUE(waitUntil([&] { return fx->outputGain > gain * 1.01; }));
    ASSERT_TRUE(waitUntil([&] { return editorFocused(); }));
    ASSERT_TRUE(keys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return std::fabs(fx->outputGain - gain) < 1e-12; }));
    ASSERT_TRUE(keys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return fx->outputGain == 1.0; }));
}

TEST_F(X11PresetTest, ABSwitchesShowTheOtherSettingAndTheSlotInTheLabel) {
    ASSERT_TRUE(choosePreset("Bass control"));
    ASSERT_TRUE(waitUntil([&] { return currentPresetName(*fx) == "Bass control"; }));
    const std::vector<int64_t> onA = controlPixels();
    const double presetThreshold = bandSetting(0, kSettingThreshold);
    ASSERT_TRUE(choosePreset("Switch to B"));
    ASSERT_TRUE(waitUntil([&] { return activeAbSlot(*fx) == 1; }));
    // B starts as a copy of A; only the slot's letter in the label differs.
    EXPECT_EQ(bandSetting(0, kSettingThreshold), presetThreshold);
    EXPECT_TRUE(waitUntil([&] { return controlPixels() != onA; }));
    // B dragged away; A comes back as it was, and the panel shows it at once.
    ASSERT_TRUE(dragThumb(panelControl(IDC_THRESHOLD_FADER), kSettingThreshold, 60));
    ASSERT_TRUE(waitUntil([&] { return bandSetting(0, kSettingThreshold) > presetThreshold; }));
    const double onB = bandSetting(0, kSettingThreshold);
    ASSERT_TRUE(choosePreset("Switch to A"));
    ASSERT_TRUE(waitUntil([&] { return activeAbSlot(*fx) == 0; }));
    EXPECT_EQ(bandSetting(0, kSettingThreshold), presetThreshold);
    EXPECT_TRUE(waitUntil([&] { return std::abs(thresholdThumbCentre(*this) - expectedThresholdCentre()) <= 1; }));
    EXPECT_TRUE(waitUntil([&] { return controlPixels() == onA; }));
    // Copy A to B, then back to B: A's setting there too.
    ASSERT_TRUE(choosePreset("Copy A to B"));
    ASSERT_TRUE(choosePreset("Switch to B"));
    ASSERT_TRUE(waitUntil([&] { return activeAbSlot(*fx) == 1; }));
    EXPECT_EQ(bandSetting(0, kSettingThreshold), presetThreshold);
    EXPECT_NE(bandSetting(0, kSettingThreshold), onB);
}

TEST_F(X11PresetTest, SavingAsksForTheNameInTheWindowAndWritesTheFile) {
    // Escape answers no: nothing is saved.
    ASSERT_TRUE(choosePreset("Save preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    ASSERT_TRUE(keys({"Escape"}));
    ASSERT_TRUE(waitUntil([&] { return !promptShown(); }));
    EXPECT_FALSE(std::filesystem::exists(userPresetFolder()));

    ASSERT_TRUE(choosePreset("Save preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    const std::string name = "Kick h\xC3\xB6hen";
    ASSERT_TRUE(bindSpareKey(host.display(), XK_odiaeresis));
    ASSERT_TRUE(xdotool(display(), {"type", "--delay", "30", "Kick h"}));
    ASSERT_TRUE(keys({"odiaeresis"}));
    ASSERT_TRUE(xdotool(display(), {"type", "--delay", "30", "hen"}));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return currentPresetName(*fx) == name; })) << currentPresetName(*fx);
    EXPECT_TRUE(waitUntil([&] { return !promptShown(); }));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(userPresetFolder()))
        files += entry.path().extension() == ".fxp";
    EXPECT_EQ(files, 1);
    const std::vector<PresetEntry> listed = PresetLibrary(userPresetFolder()).list();
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                            [&](const PresetEntry& entry) { return !entry.factory && entry.name == name; }));

    // Saved again under the same name: the question whether to replace it, answered with the
    // Yes button.
    ASSERT_TRUE(choosePreset("Save preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    ASSERT_TRUE(keys({"Return"})); // the current preset's name is offered
    WidgetText text(1.0);
    X11Prompt question(text, 1.0);
    question.open(PromptKind::YesNo, "A preset named \"" + name + "\" exists already. Replace it?", "", 567, 396);
    const PixelRect yes = question.button(0);
    ASSERT_TRUE(waitUntil([&] { return pixel(yes.x, yes.y) == 0xFFFFFF && pixel(yes.right() - 1, yes.bottom() - 1) == 0x6A6A6A; }));
    ASSERT_TRUE(click(yes.x + yes.width / 2, yes.y + yes.height / 2));
    EXPECT_TRUE(waitUntil([&] { return !promptShown(); }));
    EXPECT_EQ(PresetLibrary(userPresetFolder()).list().size(), listed.size());
}

TEST_F(X11PresetTest, AFileThatIsNoPresetIsRefusedWithAMessage) {
    std::filesystem::create_directories(userPresetFolder());
    std::ofstream(userPresetFolder() + "/junk.fxp") << "not a program file at all";
    const size_t listed = PresetLibrary(userPresetFolder()).list().size();
    ASSERT_TRUE(choosePreset("Import preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    // The line holds the preset folder and a '/': the file's name completes the path.
    ASSERT_TRUE(xdotool(display(), {"type", "--delay", "30", "junk.fxp"}));
    ASSERT_TRUE(keys({"Return"}));
    // The message follows in its own panel; Return acknowledges it and the window is free.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(promptShown());
    ASSERT_TRUE(keys({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return !promptShown(); }));
    EXPECT_EQ(PresetLibrary(userPresetFolder()).list().size(), listed);
    EXPECT_EQ(currentPresetName(*fx), "");
    // The editor takes clicks again.
    ASSERT_TRUE(click(470, 373));
    EXPECT_TRUE(waitUntil([&] { return fx->showGrid == 0; }));
}

TEST_F(X11PresetTest, ExportOffersTheHomeFolderAndWritesWhereTheLineSays) {
    ASSERT_TRUE(choosePreset("Podcast voice"));
    ASSERT_TRUE(waitUntil([&] { return currentPresetName(*fx) == "Podcast voice"; }));
    ASSERT_TRUE(choosePreset("Export preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    // The line offers $HOME/<preset>.fxp: it is emptied and another path typed.
    const char* home = std::getenv("HOME");
    const std::string offered = std::string(home ? home : "") + "/Podcast voice.fxp";
    ASSERT_TRUE(xdotool(display(), {"key", "--repeat", at(int(offered.size())), "--delay", "5", "BackSpace"}));
    const std::string path = userPresetFolder() + "-export/" + std::string(40, 'p') + ".fxp";
    std::filesystem::create_directories(userPresetFolder() + "-export");
    ASSERT_TRUE(xdotool(display(), {"type", "--delay", "10", path}));
    ASSERT_TRUE(keys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(path); })) << path;
    EXPECT_TRUE(waitUntil([&] { return !promptShown(); }));
    std::vector<uint8_t> block;
    std::string programName, error;
    EXPECT_TRUE(readPresetFile(path, block, programName, error)) << error;
    EXPECT_EQ(programName, "Podcast voice");
    std::filesystem::remove_all(userPresetFolder() + "-export");
}

TEST_F(X11PresetTest, ClosingTheEditorWhileItAsksIsSafe) {
    ASSERT_TRUE(choosePreset("Save preset..."));
    ASSERT_TRUE(waitUntil([&] { return promptShown(); }));
    ASSERT_TRUE(keys({"a"}));
    dispatch(effEditClose, nullptr);
    EXPECT_EQ(host.childCount(), 0);
    EXPECT_FALSE(fx->editorOpen());
    EXPECT_FALSE(std::filesystem::exists(userPresetFolder()));
    // Opened again, it works as before.
    ASSERT_EQ(dispatch(effEditOpen, window()), 1);
    ASSERT_TRUE(waitUntil([&] { return pixel(36, 363) == 0xFFFFFF; }));
    EXPECT_FALSE(promptShown());
    ASSERT_TRUE(choosePreset("Mix bus glue"));
    EXPECT_TRUE(waitUntil([&] { return currentPresetName(*fx) == "Mix bus glue"; }));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::thread([] {}).join();
    if (!server.start(true)) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    setenv("DISPLAY", server.name().c_str(), 1);
    // Presets of the user's own go to a folder of the run's own.
    char config[] = "/tmp/tarnwell-x11-editor-XXXXXX";
    if (!mkdtemp(config))
        return 1;
    setenv("XDG_CONFIG_HOME", config, 1);
    attachLibrary(nullptr, &x11EditorEntryPoints());
    const int result = RUN_ALL_TESTS();
    detachLibrary();
    server.stop();
    std::filesystem::remove_all(config);
    return result;
}
