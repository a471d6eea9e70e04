#include "editor/core/panel_rules.h"

#include "editor/core/control_ids.h"
#include "engine/band_control.h"
#include "shell/setting_kinds.h"

#include <cstdlib>

namespace {

constexpr PanelNumericControl kNumericControls[] = {
    {kSettingFrequency, IDC_FREQUENCY_FADER, IDC_FREQUENCY_EDIT},
    {kSettingGain, IDC_GAIN_FADER, IDC_GAIN_EDIT},
    {kSettingThreshold, IDC_THRESHOLD_FADER, IDC_THRESHOLD_EDIT},
    {kSettingRatio, IDC_RATIO_FADER, IDC_RATIO_EDIT},
    {kSettingKnee, IDC_KNEE_FADER, IDC_KNEE_EDIT},
    {kSettingAttack, IDC_ATTACK_FADER, IDC_ATTACK_EDIT},
    {kSettingRelease, IDC_RELEASE_FADER, IDC_RELEASE_EDIT},
    {kSettingRmsWindow, IDC_RMS_FADER, IDC_RMS_EDIT},
};

constexpr PanelSwitchControl kSwitchControls[] = {
    {IDC_ACTIVE, kSettingActive},
    {IDC_AUTO_MAKEUP, kSettingAutoMakeup},
    {IDC_PROGRAM_RELEASE, kSettingProgramRelease},
    {IDC_FEEDBACK, kSettingFeedback},
};

} // namespace

const PanelNumericControl* panelNumericControls(int32_t& count) {
    count = int32_t(sizeof(kNumericControls) / sizeof(kNumericControls[0]));
    return kNumericControls;
}

const PanelSwitchControl* panelSwitchControls(int32_t& count) {
    count = int32_t(sizeof(kSwitchControls) / sizeof(kSwitchControls[0]));
    return kSwitchControls;
}

const PanelNumericControl* panelControlWithFader(int32_t id) {
    for (const PanelNumericControl& control : kNumericControls)
        if (control.fader == id)
            return &control;
    return nullptr;
}

const PanelNumericControl* panelControlWithEdit(int32_t id) {
    for (const PanelNumericControl& control : kNumericControls)
        if (control.edit == id)
            return &control;
    return nullptr;
}

const PanelSwitchControl* panelSwitchWithBox(int32_t id) {
    for (const PanelSwitchControl& control : kSwitchControls)
        if (control.box == id)
            return &control;
    return nullptr;
}

double panelTypedSetting(int32_t kind, const char* text) {
    return settingKind(kind).fromTyped(std::strtod(text, nullptr), std::strtol(text, nullptr, 10));
}
