// The Linux editor as a host opens it: the plug-in's table installed, effEditOpen with a window
// of the test's own as the parent on a private Xvfb server, real clicks and keys through
// xdotool, and the instance's settings, the host's reports and the window's pixels read back.
// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "editor/core/fader_model.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_geometry.h"
#include "editor/x11/x11_editor_entry.h"
#include "engine/band_control.h"
#include "shell/compressor_effect.h"
#include "shell/parameters.h"
#include "shell/setting_kinds.h"
#include "x11_test_display.h"

#include <X11/extensions/Xfixes.h>

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

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::thread([] {}).join();
    if (!server.start(true)) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    setenv("DISPLAY", server.name().c_str(), 1);
    attachLibrary(nullptr, &x11EditorEntryPoints());
    const int result = RUN_ALL_TESTS();
    detachLibrary();
    server.stop();
    return result;
}
