#include "editor/core/editor_layout.h"

#include <cmath>

namespace {

constexpr ControlLayout kMainControls[] = {
    {IDC_BAND_TABS, ControlKind::BandTabs, "", TextAlign::Left, {24, 87, 308, 153}},
    {IDC_BANNER, ControlKind::GroupBox, "Tarnwell", TextAlign::Left, {0, 0, 376, 260}},
    {IDC_BAND_PANEL_PLACE, ControlKind::PanelPlace, "", TextAlign::Left, {32, 103, 296, 135}},
    {IDC_GRAPH, ControlKind::Graph, "", TextAlign::Left, {23, 11, 310, 74}},
    {IDC_ADD_BAND, ControlKind::PushButton, "Add band", TextAlign::Center, {24, 242, 39, 14}},
    {IDC_DELETE_BAND, ControlKind::PushButton, "Delete band", TextAlign::Center, {65, 242, 46, 14}},
    {IDC_SHOW_TABS, ControlKind::CheckBox, "Tabs", TextAlign::Left, {263, 244, 32, 10}},
    {IDC_SHOW_GRID, ControlKind::CheckBox, "Grid", TextAlign::Left, {300, 244, 29, 10}},
    {IDC_OUTPUT_GAIN_FADER, ControlKind::VerticalFader, "", TextAlign::Left, {337, 22, 14, 218}},
    {IDC_OUTPUT_GAIN_EDIT, ControlKind::EditBox, "", TextAlign::Center, {332, 242, 22, 14}},
    {kLabelControlId, ControlKind::Label, "Gain:", TextAlign::Left, {337, 11, 18, 8}},
    {IDC_RESET_DEFAULTS, ControlKind::PushButton, "Reset to defaults", TextAlign::Center, {114, 242, 61, 14}},
    {IDC_INPUT_METER, ControlKind::Meter, "", TextAlign::Left, {4, 11, 16, 245}},
    {IDC_OUTPUT_METER, ControlKind::Meter, "", TextAlign::Left, {357, 11, 16, 245}},
    {IDC_SOLO_BAND, ControlKind::CheckBox, "Solo current band", TextAlign::Left, {180, 244, 72, 10}},
    // On the banner's line, right of its caption, above the output fader and meter.
    {IDC_PRESET_CONTROL, ControlKind::PresetControl, "", TextAlign::Left, {264, 0, 108, 10}},
};

constexpr ControlLayout kPanelControls[] = {
    {IDC_ACTIVE, ControlKind::CheckBox, "Active", TextAlign::Left, {0, 3, 36, 10}},
    {kLabelControlId, ControlKind::Label, "Top Freq (Hz):", TextAlign::Right, {46, 4, 46, 8}},
    {IDC_FREQUENCY_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {95, 1, 137, 14}},
    {IDC_FREQUENCY_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 1, 35, 14}},
    {kLabelControlId, ControlKind::Label, "Gain:", TextAlign::Right, {271, 1, 18, 8}},
    {IDC_GAIN_FADER, ControlKind::VerticalFader, "", TextAlign::Left, {275, 13, 14, 92}},
    {IDC_GAIN_EDIT, ControlKind::EditBox, "", TextAlign::Center, {270, 107, 24, 14}},
    {kLabelControlId, ControlKind::Label, "Threshold (dB):", TextAlign::Right, {5, 18, 54, 8}},
    {IDC_THRESHOLD_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 16, 165, 14}},
    {IDC_THRESHOLD_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 16, 35, 14}},
    {kLabelControlId, ControlKind::Label, "Ratio (:1):", TextAlign::Right, {5, 34, 54, 8}},
    {IDC_RATIO_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 31, 165, 14}},
    {IDC_RATIO_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 31, 35, 14}},
    {kLabelControlId, ControlKind::Label, "Knee (dB):", TextAlign::Right, {5, 65, 54, 8}},
    {IDC_KNEE_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 62, 165, 14}},
    {IDC_KNEE_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 62, 35, 14}},
    {kLabelControlId, ControlKind::Label, "Attack (ms):", TextAlign::Right, {18, 80, 41, 8}},
    {IDC_ATTACK_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 77, 165, 14}},
    {IDC_ATTACK_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 77, 35, 14}},
    {kLabelControlId, ControlKind::Label, "Release (ms):", TextAlign::Right, {15, 95, 44, 8}},
    {IDC_RELEASE_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 92, 165, 14}},
    {IDC_RELEASE_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 92, 35, 14}},
    {kLabelControlId, ControlKind::Label, "RMS size (ms):", TextAlign::Left, {12, 110, 49, 8}},
    {IDC_RMS_FADER, ControlKind::HorizontalFader, "", TextAlign::Left, {67, 107, 165, 14}},
    {IDC_RMS_EDIT, ControlKind::EditBox, "", TextAlign::Left, {234, 107, 34, 14}},
    {IDC_AUTO_MAKEUP, ControlKind::CheckBox, "Auto makeup gain", TextAlign::Left, {0, 49, 72, 10}},
    {IDC_FEEDBACK, ControlKind::CheckBox, "Feedback detector", TextAlign::Left, {184, 49, 75, 10}},
    {IDC_PROGRAM_RELEASE, ControlKind::CheckBox, "Program dependent release", TextAlign::Left, {77, 49, 104, 10}},
    {IDC_LOG_SCALE_AUTOMATION, ControlKind::CheckBox, "Log()-scale automated frequencies", TextAlign::Left,
     {0, 122, 125, 10}},
};

constexpr DialogLayout kMainWindow = {378, 264, kMainControls, int32_t(sizeof(kMainControls) / sizeof(kMainControls[0]))};
constexpr DialogLayout kBandPanel = {305, 132, kPanelControls, int32_t(sizeof(kPanelControls) / sizeof(kPanelControls[0]))};

// The dialog manager's MulDiv(units, base, divisor): rounded half away from zero.
int32_t unitsToPixels(int32_t units, int32_t base, int32_t divisor, double scale) {
    const int64_t product = int64_t(units) * base;
    const int64_t half = divisor / 2;
    const int64_t at96 = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    return int32_t(std::lround(double(at96) * scale));
}

} // namespace

const DialogLayout& mainWindowLayout() {
    return kMainWindow;
}

const DialogLayout& bandPanelLayout() {
    return kBandPanel;
}

const ControlLayout* findControl(const DialogLayout& dialog, int32_t id) {
    if (id == kLabelControlId)
        return nullptr;
    for (int32_t i = 0; i < dialog.count; ++i)
        if (dialog.controls[i].id == id)
            return &dialog.controls[i];
    return nullptr;
}

PixelRect dialogUnitsToPixels(const DialogRect& units, double scale) {
    PixelRect pixels;
    pixels.x = unitsToPixels(units.x, kDialogBaseUnitX, 4, scale);
    pixels.y = unitsToPixels(units.y, kDialogBaseUnitY, 8, scale);
    pixels.width = unitsToPixels(units.width, kDialogBaseUnitX, 4, scale);
    pixels.height = unitsToPixels(units.height, kDialogBaseUnitY, 8, scale);
    return pixels;
}

PixelRect dialogPixels(const DialogLayout& dialog, double scale) {
    return dialogUnitsToPixels({0, 0, dialog.width, dialog.height}, scale);
}
