// The editor of the built Tarnwell.so in a Linux host, driven as a user drives it: real X input
// from xdotool into the editor's window inside the host's, positions taken from the layout the
// editor is built from. After each gesture: the setting (getParameter and its display), what the
// plug-in told the host (automation with the value, the end of the edit, the parameter-list
// notice) and the pixels the server shows. Every case runs in a host that calls effEditIdle
// every 20 ms and in one that never calls it, with audio running.
#include <gtest/gtest.h>

#include "editor_positions.h"
#include "editor/x11/x11_widgets.h"
#include "host/audio_thread.h"
#include "hosted_editor.h"
#include "shell/setting_kinds.h"

#include <memory>

using namespace hostedtest;

namespace {

constexpr int32_t kPerBand = 12;

std::string hostKindName(const ::testing::TestParamInfo<bool>& host) {
    return host.param ? "CallingIdle" : "NeverCallingIdle";
}

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

class HostedEditorInput : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        editor = std::make_unique<HostedEditor>(GetParam());
        ASSERT_TRUE(editor->loaded());
        testSignal(left, right);
        audio = std::make_unique<AudioThread>(editor->session.effect(), left, right, 44100.0);
        audio->start();
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

    // One edit of parameter index: automation with the value the plug-in holds now, nothing
    // about any other parameter, and (when endsEdit) exactly one end of the edit. A typed value
    // is reported as the panel's Win32 box reports it, as automation alone.
    void expectOneEditReported(int32_t index, bool endsEdit = true) {
        const std::vector<HostCall> calls = hostCalls();
        const std::vector<HostCall> automation = callsOf(calls, audioMasterAutomate);
        ASSERT_FALSE(automation.empty());
        for (const HostCall& call : automation)
            EXPECT_EQ(call.index, index);
        EXPECT_FLOAT_EQ(automation.back().opt, editor->parameter(index));
        const std::vector<HostCall> ends = callsOf(calls, audioMasterEndEdit);
        ASSERT_EQ(ends.size(), endsEdit ? 1u : 0u);
        if (endsEdit) {
            EXPECT_EQ(ends[0].index, index);
        }
    }

    std::unique_ptr<HostedEditor> editor;
    std::vector<float> left, right;
    std::unique_ptr<AudioThread> audio;
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
    expectOneEditReported(index);
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
    expectOneEditReported(index);
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
    expectOneEditReported(index, false);
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

INSTANTIATE_TEST_SUITE_P(Hosts, HostedEditorInput, ::testing::Values(false, true), hostKindName);

} // namespace
