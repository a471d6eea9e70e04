// The main window's and band panel's rules: output gain text and fader, meter levels, the
// graph's height, and the panel's controls and typed values, with values worked out by hand.
#include "editor/core/main_rules.h"
#include "editor/core/panel_rules.h"

#include "editor/core/control_ids.h"
#include "engine/band_control.h"
#include "shell/setting_kinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

namespace {

std::string outputText(double gain) {
    char text[32];
    formatOutputGain(text, sizeof(text), gain);
    return text;
}

TEST(MainRules, OutputGainTextAndSilence) {
    EXPECT_EQ(outputText(1.0), "0.0");
    EXPECT_EQ(outputText(0.5), "-6.0");
    EXPECT_EQ(outputText(2.0), "6.0");
    // -120 dB and below are silence.
    EXPECT_EQ(outputText(1e-6), "-inf");
    EXPECT_EQ(outputText(0.0), "-inf");
    EXPECT_EQ(outputGainForDb(-130), 0.0);
    EXPECT_NEAR(outputGainTyped("-6.0206"), 0.5, 1e-6);
    EXPECT_NEAR(outputGainTyped("3 dB"), std::pow(10.0, 0.15), 1e-12);
    EXPECT_EQ(outputGainTyped("abc"), 1.0);
    EXPECT_FALSE(std::isfinite(outputGainTyped("10000")));
}

TEST(MainRules, OutputFaderPositionsRoundTripThroughTheGain) {
    for (int32_t position : {0, 1, 250, 500, 789, 900, 1000}) {
        const double gain = outputGainAtFaderPosition(position);
        if (gain > 0) {
            EXPECT_NEAR(outputFaderPosition(gain), position, 1) << position;
        }
    }
    // 0 dB sits above the middle of the travel, louder gains above it.
    EXPECT_GT(outputFaderPosition(1.0), 500);
    EXPECT_GT(outputFaderPosition(2.0), outputFaderPosition(1.0));
}

TEST(MainRules, MeterLevelsInTenthsOfADecibel) {
    EXPECT_EQ(meterLevelTenths(1.0), 0);
    EXPECT_EQ(meterLevelTenths(0.5), -61); // -6.02 dB, floored
    EXPECT_EQ(meterLevelTenths(2.0), 60);
}

TEST(MainRules, GraphHeightKeepsAGapAboveWhatLiesBelow) {
    // The Windows editor at 96 dpi: 114 pixels from the graph's top to the tabs leave 112.
    EXPECT_EQ(graphHeight(true, 114, 1.0), 112);
    EXPECT_EQ(graphHeight(true, 400, 1.0), 120);
    EXPECT_EQ(graphHeight(false, 400, 1.0), 370);
    EXPECT_EQ(graphHeight(false, 346, 1.0), 344);
    EXPECT_EQ(graphHeight(true, 400, 2.0), 240);
    EXPECT_EQ(graphHeight(true, 200, 2.0), 196);
}

TEST(MainRules, BannerAndTabLabels) {
    char text[96];
    formatBanner(text, sizeof(text));
    EXPECT_STREQ(text, "Tarnwell-STAND64  1.1  (build 1100, x64)  -  multiband compressor by Vantor");
    formatTabLabel(text, sizeof(text), 0);
    EXPECT_STREQ(text, "1");
    formatTabLabel(text, sizeof(text), 11);
    EXPECT_STREQ(text, "12");
}

TEST(PanelRules, EveryNumericSettingHasOneFaderAndOneBox) {
    int32_t count = 0;
    const PanelNumericControl* controls = panelNumericControls(count);
    ASSERT_EQ(count, 8);
    std::set<int32_t> kinds, ids;
    for (int32_t i = 0; i < count; ++i) {
        kinds.insert(controls[i].kind);
        ids.insert(controls[i].fader);
        ids.insert(controls[i].edit);
        EXPECT_EQ(panelControlWithFader(controls[i].fader), &controls[i]);
        EXPECT_EQ(panelControlWithEdit(controls[i].edit), &controls[i]);
        EXPECT_NE(settingKind(controls[i].kind).faderPosition, nullptr);
    }
    EXPECT_EQ(kinds.size(), 8u);
    EXPECT_EQ(ids.size(), 16u);
    EXPECT_EQ(panelControlWithEdit(IDC_THRESHOLD_EDIT)->kind, kSettingThreshold);
    EXPECT_EQ(panelControlWithFader(IDC_THRESHOLD_EDIT), nullptr);
    EXPECT_EQ(panelSwitchWithBox(IDC_ACTIVE)->kind, kSettingActive);
    EXPECT_EQ(panelSwitchWithBox(IDC_FEEDBACK)->kind, kSettingFeedback);
    // The log-scale box is no band setting the host sees.
    EXPECT_EQ(panelSwitchWithBox(IDC_LOG_SCALE_AUTOMATION), nullptr);
}

TEST(PanelRules, TypedTextBecomesTheSettingInItsUnit) {
    // The threshold is stored as an amplitude.
    EXPECT_NEAR(panelTypedSetting(kSettingThreshold, "-12.5"), std::pow(10.0, -12.5 / 20), 1e-12);
    EXPECT_DOUBLE_EQ(panelTypedSetting(kSettingFrequency, "1500"), 1500);
    // Integer settings read the integer: "15.9" ms of attack is 15.
    EXPECT_DOUBLE_EQ(panelTypedSetting(kSettingAttack, "15.9"),
                     settingKind(kSettingAttack).fromTyped(15.9, 15));
}

} // namespace
