// The dialogs' layout: pixel rectangles checked against what the Win32 editor shows under Wine
// at 96 dpi (measured on its picture: the edges of buttons, boxes and the tab strip), the
// dialog manager's rounding, the scale, and ids that repeat between the two dialogs.
#include "editor/core/editor_layout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

PixelRect mainControl(int32_t id, double scale = 1.0) {
    const ControlLayout* control = findControl(mainWindowLayout(), id);
    EXPECT_NE(control, nullptr) << id;
    return control ? dialogUnitsToPixels(control->units, scale) : PixelRect{};
}

void expectRect(const PixelRect& r, int32_t x, int32_t y, int32_t width, int32_t height) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}

TEST(EditorLayout, MatchesTheWindowsEditorsPixelsAt96Dpi) {
    const PixelRect window = dialogPixels(mainWindowLayout(), 1.0);
    EXPECT_EQ(window.width, 567);
    EXPECT_EQ(window.height, 396);
    // The button's light edge starts at x 36, its dark edge ends at x 94 and y 383.
    expectRect(mainControl(IDC_ADD_BAND), 36, 363, 59, 21);
    // The edit box's sunken edge runs from x 498 to 530.
    expectRect(mainControl(IDC_OUTPUT_GAIN_EDIT), 498, 363, 33, 21);
    // The tab strip's frame: x 36 to 497, y 131 (the selected tab's top) to 360.
    expectRect(mainControl(IDC_BAND_TABS), 36, 131, 462, 230);
    // The check box's 13-pixel square sits at y 367, centred in 15 rows.
    expectRect(mainControl(IDC_SOLO_BAND), 270, 366, 108, 15);
}

TEST(EditorLayout, RoundsHalvesAwayFromZeroThenScales) {
    // 11 dialog units down are 16.5 pixels: 17. 245 down are 367.5: 368.
    expectRect(mainControl(IDC_INPUT_METER), 6, 17, 24, 368);
    // At 150 % the 96-dpi pixels grow and round to the nearest: 363 * 1.5 = 544.5 -> 545.
    expectRect(mainControl(IDC_ADD_BAND, 1.5), 54, 545, 89, 32);
    const PixelRect twice = dialogPixels(mainWindowLayout(), 2.0);
    EXPECT_EQ(twice.width, 1134);
    EXPECT_EQ(twice.height, 792);
}

TEST(EditorLayout, IdsNameControlsWithinTheirDialogOnly) {
    const ControlLayout* deleteButton = findControl(mainWindowLayout(), IDC_DELETE_BAND);
    const ControlLayout* frequencyBox = findControl(bandPanelLayout(), IDC_FREQUENCY_EDIT);
    ASSERT_NE(deleteButton, nullptr);
    ASSERT_NE(frequencyBox, nullptr);
    EXPECT_EQ(IDC_DELETE_BAND, IDC_FREQUENCY_EDIT);
    EXPECT_EQ(deleteButton->kind, ControlKind::PushButton);
    EXPECT_STREQ(deleteButton->text, "Delete band");
    EXPECT_EQ(frequencyBox->kind, ControlKind::EditBox);
    EXPECT_EQ(findControl(mainWindowLayout(), kLabelControlId), nullptr);
    EXPECT_EQ(findControl(bandPanelLayout(), IDC_BAND_TABS + 5000), nullptr);
}

TEST(EditorLayout, EveryControlLiesInsideItsDialogAndThePanelInsideItsPlace) {
    for (const DialogLayout* dialog : {&mainWindowLayout(), &bandPanelLayout()}) {
        const PixelRect whole = dialogPixels(*dialog, 1.0);
        for (int32_t i = 0; i < dialog->count; ++i) {
            const PixelRect r = dialogUnitsToPixels(dialog->controls[i].units, 1.0);
            EXPECT_GE(r.x, 0) << dialog->controls[i].text;
            EXPECT_GE(r.y, 0);
            EXPECT_LE(r.right(), whole.width) << i;
            EXPECT_LE(r.bottom(), whole.height) << i;
        }
    }
    // The panel's content fits the placeholder it is put on (its dialog is larger than needed).
    const PixelRect place = mainControl(IDC_BAND_PANEL_PLACE);
    for (int32_t i = 0; i < bandPanelLayout().count; ++i) {
        const PixelRect r = dialogUnitsToPixels(bandPanelLayout().controls[i].units, 1.0);
        EXPECT_LE(r.right(), place.width) << i;
        EXPECT_LE(r.bottom(), place.height) << i;
    }
}

} // namespace
