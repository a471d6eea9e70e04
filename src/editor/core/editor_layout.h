// Where every control of the editor's two dialogs sits: the main window and the band panel as
// tables of id, kind, text and rectangle in dialog units, and their conversion to pixels. The
// Win32 editor builds the same dialogs from its resource file; a test there holds every window
// it makes to these tables' pixels, so the X11 editor, which places its widgets from them,
// cannot drift from it. Dialog units are those of "MS Shell Dlg" 8 pt, whose base units the
// system gives as 6 x 12 pixels at 96 dpi.
#pragma once

#include "editor/core/control_ids.h"

#include <cstdint>

// A label's id: labels are never addressed one by one.
constexpr int32_t kLabelControlId = -1;

enum class ControlKind : int32_t {
    GroupBox,
    BandTabs,
    // The hidden rectangle the band panel is placed on.
    PanelPlace,
    Graph,
    PushButton,
    CheckBox,
    Label,
    EditBox,
    VerticalFader,
    HorizontalFader,
    Meter,
    // The preset's name and the menu of presets, A/B and undo (preset_control.h, preset_menu.h).
    PresetControl,
};

enum class TextAlign : int32_t { Left, Center, Right };

struct DialogRect {
    int32_t x, y, width, height;
};

struct PixelRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t right() const { return x + width; }
    int32_t bottom() const { return y + height; }
    bool contains(int32_t px, int32_t py) const { return px >= x && py >= y && px < right() && py < bottom(); }
};

struct ControlLayout {
    int32_t id;
    ControlKind kind;
    const char* text;
    TextAlign align;
    DialogRect units;
};

struct DialogLayout {
    int32_t width, height; // dialog units
    const ControlLayout* controls;
    int32_t count;
};

constexpr int32_t kDialogBaseUnitX = 6;
constexpr int32_t kDialogBaseUnitY = 12;

// The two dialogs, their controls in the resource file's order (which is also the order the
// Win32 dialog stacks them: earlier ones are below later ones).
const DialogLayout& mainWindowLayout();
const DialogLayout& bandPanelLayout();

// The control of a dialog with an id (never a label's); null when it has none.
const ControlLayout* findControl(const DialogLayout& dialog, int32_t id);

// Dialog units to pixels as the dialog manager converts them at 96 dpi (each of position and size
// times its base unit, over 4 across and 8 down, rounded half away from zero), then times scale
// and rounded to the nearest pixel.
PixelRect dialogUnitsToPixels(const DialogRect& units, double scale);
// A whole dialog's size in pixels at a scale.
PixelRect dialogPixels(const DialogLayout& dialog, double scale);
