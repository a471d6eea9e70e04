// The band panel as a user drives it inside the opened editor: faders dragged and
// double-clicked with the mouse, values typed with the keyboard, switches clicked; observed
// through the host calls, the parameters, and the panel's texts and fader positions.
#include "editor_host.h"

#include "editor/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace editortest {
namespace {

class BandPanel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        ASSERT_TRUE(host.openEditor());
        panel = host.panel();
        ASSERT_NE(panel, nullptr);
        clearHostCalls();
    }
    int32_t faderPosition(int id) { return int32_t(SendDlgItemMessageA(panel, id, FADER_GETPOS, 0, 0)); }
    // The thumb's centre in the fader's client area (no skin: 23 x 14 horizontal, 14 x 26 vertical).
    POINT thumbCentre(int id) {
        HWND fader = GetDlgItem(panel, id);
        RECT client;
        GetClientRect(fader, &client);
        const int32_t p = faderPosition(id);
        if (client.right > client.bottom)
            return {p * (client.right - 23) / 1000 + 11, client.bottom / 2};
        return {client.right / 2, (1000 - p) * (client.bottom - 26) / 1000 + 13};
    }
    void doubleClickFader(int id) {
        POINT at = thumbCentre(id);
        mouseDoubleClickAt(GetDlgItem(panel, id), at.x, at.y);
        pumpFor(100);
    }
    bool checked(int id) { return IsDlgButtonChecked(panel, id) == BST_CHECKED; }

    EditorHost host;
    HWND panel = nullptr;
};

TEST_F(BandPanel, ShowsTheCurrentBand) {
    EXPECT_EQ(textOf(panel, IDC_FREQUENCY_EDIT), "200.0");
    EXPECT_EQ(textOf(panel, IDC_GAIN_EDIT), "0.0");
    EXPECT_EQ(textOf(panel, IDC_THRESHOLD_EDIT), "0.0");
    EXPECT_EQ(textOf(panel, IDC_RATIO_EDIT), "2.00");
    EXPECT_EQ(textOf(panel, IDC_KNEE_EDIT), "0.0");
    EXPECT_EQ(textOf(panel, IDC_ATTACK_EDIT), "15");
    EXPECT_EQ(textOf(panel, IDC_RELEASE_EDIT), "150");
    EXPECT_EQ(textOf(panel, IDC_RMS_EDIT), "5");
    // ln((200 - 20) / 23980 x 400 + 1) / ln 401 x 1000 = 231.4
    EXPECT_EQ(faderPosition(IDC_FREQUENCY_FADER), 231);
    EXPECT_EQ(faderPosition(IDC_GAIN_FADER), 789);
    EXPECT_EQ(faderPosition(IDC_THRESHOLD_FADER), 789);
    EXPECT_EQ(faderPosition(IDC_RATIO_FADER), int32_t(ratioToSliderPosition(2)));
    EXPECT_EQ(faderPosition(IDC_KNEE_FADER), 0);
    EXPECT_EQ(faderPosition(IDC_ATTACK_FADER), 60);
    EXPECT_EQ(faderPosition(IDC_RELEASE_FADER), 273); // sqrt(150 / 2000) x 1000 = 273.9
    EXPECT_EQ(faderPosition(IDC_RMS_FADER), 20);
    EXPECT_TRUE(checked(IDC_ACTIVE));
    EXPECT_TRUE(checked(IDC_AUTO_MAKEUP));
    EXPECT_FALSE(checked(IDC_PROGRAM_RELEASE));
    EXPECT_FALSE(checked(IDC_FEEDBACK));
    EXPECT_TRUE(checked(IDC_LOG_SCALE_AUTOMATION));
}

// One automation report per movement, with the value the host reads back, then one end-of-edit.
TEST_F(BandPanel, ThresholdDragReportsEachMoveAndTheEnd) {
    HWND fader = GetDlgItem(panel, IDC_THRESHOLD_FADER);
    POINT at = thumbCentre(IDC_THRESHOLD_FADER);
    mouseMoveTo(fader, at.x, at.y);
    mouseLeftDown();
    const int moves = 5;
    for (int k = 1; k <= moves; ++k) {
        const int32_t before = faderPosition(IDC_THRESHOLD_FADER);
        mouseMoveTo(fader, at.x - 12 * k, at.y);
        ASSERT_TRUE(pumpUntil([&] { return faderPosition(IDC_THRESHOLD_FADER) != before; }));
        char shown[32];
        std::snprintf(shown, sizeof(shown), "%.1f", 20 * std::log10(double(host.parameter(2)) * 4));
        EXPECT_EQ(textOf(panel, IDC_THRESHOLD_EDIT), shown);
    }
    mouseLeftUp();
    pumpFor(50);

    // The pointer may pass through a position between two of ours: every report is a new value.
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_GE(calls.size(), size_t(moves + 1));
    const size_t end = calls.size() - 1;
    for (size_t k = 0; k < end; ++k) {
        EXPECT_EQ(calls[k].opcode, audioMasterAutomate);
        EXPECT_EQ(calls[k].index, 2);
        if (k > 0) {
            EXPECT_LT(calls[k].opt, calls[k - 1].opt);
        }
    }
    EXPECT_FLOAT_EQ(calls[end - 1].opt, host.parameter(2));
    EXPECT_LT(host.parameter(2), 0.25f);
    EXPECT_EQ(calls[end].opcode, audioMasterEndEdit);
    EXPECT_EQ(calls[end].index, 2);
}

// The frequency fader spans 20 Hz to 24 kHz on a logarithmic scale, whatever the mapping the
// host sees.
TEST_F(BandPanel, FrequencyFaderEnds) {
    HWND fader = GetDlgItem(panel, IDC_FREQUENCY_FADER);
    RECT client;
    GetClientRect(fader, &client);
    POINT at = thumbCentre(IDC_FREQUENCY_FADER);
    mouseMoveTo(fader, at.x, at.y);
    mouseLeftDown();
    mouseMoveTo(fader, -50, at.y);
    EXPECT_TRUE(waitForText(panel, IDC_FREQUENCY_EDIT, "20.0"));
    mouseMoveTo(fader, client.right + 50, at.y);
    EXPECT_TRUE(waitForText(panel, IDC_FREQUENCY_EDIT, "24000.0"));
    mouseLeftUp();
    pumpFor(50);
    EXPECT_EQ(host.display(0), "24000.0");
}

TEST_F(BandPanel, RatioTyped) {
    typeInto(panel, IDC_RATIO_EDIT, "12.5");
    EXPECT_EQ(host.display(3), "12.50");
    EXPECT_EQ(faderPosition(IDC_RATIO_FADER), int32_t(ratioToSliderPosition(12.5)));
    EXPECT_EQ(textOf(panel, IDC_RATIO_EDIT), "12.5");
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().opcode, audioMasterAutomate);
    EXPECT_EQ(calls.back().index, 3);
    EXPECT_FLOAT_EQ(calls.back().opt, host.parameter(3));

    typeInto(panel, IDC_RATIO_EDIT, "500");
    EXPECT_EQ(host.display(3), "100.00");
    EXPECT_EQ(host.parameter(3), 1.0f);
    EXPECT_EQ(faderPosition(IDC_RATIO_FADER), 1000);
    EXPECT_EQ(textOf(panel, IDC_RATIO_EDIT), "500");
}

// Typed values are stored as typed, except a gain whose conversion overflows: the band keeps
// its gain, and the box shows it again at the next refresh.
TEST_F(BandPanel, TypedValuesAndAnOverflowingGain) {
    typeInto(panel, IDC_ATTACK_EDIT, "100000");
    EXPECT_EQ(host.display(5), "100000");
    typeInto(panel, IDC_THRESHOLD_EDIT, "-24");
    EXPECT_NEAR(host.parameter(2) * 4, std::pow(10.0, -24 / 20.0), 1e-6);
    EXPECT_EQ(faderPosition(IDC_THRESHOLD_FADER), int32_t(decibelsToFaderPosition(-24)));

    clearHostCalls();
    const float gain = host.parameter(1);
    SetDlgItemTextA(panel, IDC_GAIN_EDIT, "10000");
    pumpMessages();
    EXPECT_EQ(host.parameter(1), gain);
    EXPECT_TRUE(recordedHostCalls().empty());
    EXPECT_EQ(textOf(panel, IDC_GAIN_EDIT), "10000");
    SendMessageA(panel, MSG_REFRESH_BAND, 0, 0);
    EXPECT_EQ(textOf(panel, IDC_GAIN_EDIT), "0.0");
}

TEST_F(BandPanel, DoubleClickRestoresThePanelDefaults) {
    typeInto(panel, IDC_ATTACK_EDIT, "100");
    typeInto(panel, IDC_RMS_EDIT, "50");
    clearHostCalls();
    doubleClickFader(IDC_RATIO_FADER);
    EXPECT_EQ(host.display(3), "1.00"); // 1:1, not the band default 2:1
    doubleClickFader(IDC_RELEASE_FADER);
    EXPECT_EQ(host.display(6), "149"); // position 273: 0.273^2 x 2000 = 149.06
    doubleClickFader(IDC_ATTACK_FADER);
    EXPECT_EQ(host.display(5), "15");
    doubleClickFader(IDC_RMS_FADER);
    EXPECT_EQ(host.display(7), "5");
    EXPECT_EQ(textOf(panel, IDC_RMS_EDIT), "5");
    std::vector<HostCall> calls = recordedHostCalls();
    for (int32_t index : {3, 6, 5, 7})
        EXPECT_FALSE(callsOf(calls, audioMasterEndEdit, index).empty()) << index;
}

TEST_F(BandPanel, SwitchesReportTheEndOfAnEdit) {
    clickControl(panel, IDC_ACTIVE);
    std::vector<HostCall> calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterEndEdit);
    EXPECT_EQ(calls[0].index, 11);
    EXPECT_EQ(host.parameter(11), 0.0f);

    // On the second band: the index follows the current band.
    SendDlgItemMessageA(host.editor(), IDC_BAND_TABS, TCM_SETCURSEL, 1, 0);
    NMHDR change = {GetDlgItem(host.editor(), IDC_BAND_TABS), IDC_BAND_TABS, UINT(TCN_SELCHANGE)};
    SendMessageA(host.editor(), WM_NOTIFY, IDC_BAND_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(textOf(panel, IDC_FREQUENCY_EDIT), "1000.0");
    const struct {
        int box;
        int32_t n;
        float after;
    } switches[] = {{IDC_AUTO_MAKEUP, 8, 0.0f}, {IDC_PROGRAM_RELEASE, 9, 1.0f}, {IDC_FEEDBACK, 10, 1.0f}};
    for (const auto& s : switches) {
        clearHostCalls();
        clickControl(panel, s.box);
        calls = recordedHostCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].opcode, audioMasterEndEdit);
        EXPECT_EQ(calls[0].index, 12 + s.n);
        EXPECT_EQ(host.parameter(12 + s.n), s.after);
    }

    // The frequency mapping switch is no host parameter: a general change is reported.
    clearHostCalls();
    clickControl(panel, IDC_LOG_SCALE_AUTOMATION);
    calls = recordedHostCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, -1);
    EXPECT_FLOAT_EQ(host.parameter(12), 1000.0f / 24000);
}

} // namespace
} // namespace editortest
