#include "editor/graph_input.h"

#include "editor/editor_state.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_geometry.h"
#include "editor/resource.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "shell/edit_gesture.h"
#include "shell/module.h"
#include "support/stable_math.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace {

// The last pointer position of a gesture (one gesture at a time in the process).
int32_t dragLastX = 0;
int32_t dragLastY = 0;

GraphGeometry geometryOf(HWND window, const CompressorEffect& fx) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    const EditorState* state = findEditorState(fx);
    return GraphGeometry(client.right - client.left, client.bottom - client.top, fx.showTabs != 0,
                         state ? state->scale : 1.0);
}

bool keyDown(int key) { return GetKeyState(key) < 0; }

// The graph's handlers run only where the window procedure found the instance's state.
EditorState& stateOf(CompressorEffect& fx) { return *editorStateOf(fx); }

bool bandExists(CompressorEffect& fx, int32_t index) {
    BandView view;
    return fx.viewBand(index, view);
}

double gainPlusDb(double gain, double db) {
    return dbToAmp(ampToDb(gain) + db);
}

double ratioTimesPowerOfTen(double ratio, double exponent, double lowest) {
    return std::clamp(stable_math::pow(10.0, std::log10(ratio) + exponent), lowest, 100.0);
}

// One mouse move of a handle gesture: d 96-dpi pixels upward, so a hand's movement edits as
// much at any scale.
void dragHandle(CompressorEffect& fx, int32_t band, const GraphGeometry& g, int32_t y) {
    const double d = (dragLastY - y) / g.scale;
    const bool fine = keyDown(VK_CONTROL);
    const EditReport move = EditReport::Move;
    int32_t edited;
    bool stored;
    if (keyDown(VK_SHIFT)) {
        edited = DRAG_EDITED_GAIN;
        stored = editSettingFrom(
            fx, band, kSettingGain, [&](double gain) { return gainPlusDb(gain, d * (fine ? 0.05 : 0.2)); }, move);
    } else if (keyDown(VK_MENU)) {
        edited = DRAG_EDITED_RATIO;
        stored = editSettingFrom(
            fx, band, kSettingRatio,
            [&](double ratio) { return ratioTimesPowerOfTen(ratio, d * (fine ? 0.002 : 0.02), 0.1); }, move);
    } else {
        edited = DRAG_EDITED_THRESHOLD;
        const double from = ampToDb(g.amplitudeOfY(dragLastY)), to = ampToDb(g.amplitudeOfY(y));
        const double moved = (fine ? 0.9 * from + 0.1 * to : to) - from;
        stored = editSettingFrom(
            fx, band, kSettingThreshold,
            [&](double threshold) {
                return std::min(dbToAmp(std::max(ampToDb(threshold) + moved, -60.0)), 64.0);
            },
            move);
    }
    if (stored)
        stateOf(fx).dragMode |= edited;
}

// Ticks a check box of the main window and sends the command a click on it sends, so the main
// window's own handler makes the change.
void switchMainCheckBox(HWND window, int id, bool on) {
    HWND main = GetParent(window);
    HWND box = GetDlgItem(main, id);
    if (box)
        SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(box));
}

void clickMainButton(HWND window, int id) {
    HWND main = GetParent(window);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(main, id)));
}

// A menu toggle is the same edit as a click on the band panel's switch, and tells the host
// the same: the end of a gesture that the click was all of.
void toggleBandSwitch(CompressorEffect& fx, int32_t kind) {
    if (editSettingFrom(fx, fx.currentBand, kind, [](double on) { return on != 0 ? 0.0 : 1.0; }, EditReport::End))
        refreshBandPanel(fx);
}

struct MenuSwitch {
    UINT item;
    int32_t kind;
};
constexpr MenuSwitch kBandSwitches[] = {{IDM_BAND_ACTIVE, kSettingActive},
                                        {IDM_AUTO_MAKEUP, kSettingAutoMakeup},
                                        {IDM_PROGRAM_RELEASE, kSettingProgramRelease},
                                        {IDM_FEEDBACK, kSettingFeedback}};

void setMenuStates(HMENU popup, CompressorEffect& fx, bool onHandle) {
    auto check = [popup](UINT item, bool on) {
        CheckMenuItem(popup, item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    EnableMenuItem(popup, IDM_DELETE_BAND, MF_BYCOMMAND | (onHandle ? MF_ENABLED : MF_GRAYED));
    check(IDM_SOLO_BAND, fx.soloCurrentBand != 0);
    check(IDM_SHOW_TABS, fx.showTabs != 0);
    check(IDM_SHOW_GRID, fx.showGrid != 0);
    BandView view;
    const bool haveBand = fx.viewBand(fx.currentBand, view);
    const BandSettings& s = view.settings;
    check(IDM_BAND_ACTIVE, haveBand && s.active);
    check(IDM_AUTO_MAKEUP, haveBand && s.autoMakeupGain);
    check(IDM_PROGRAM_RELEASE, haveBand && s.programDependentRelease);
    check(IDM_FEEDBACK, haveBand && s.feedbackDetector);
}

void runMenuCommand(HWND window, CompressorEffect& fx, UINT command) {
    switch (command) {
    case IDM_ADD_BAND:
        clickMainButton(window, IDC_ADD_BAND);
        return;
    case IDM_DELETE_BAND:
        clickMainButton(window, IDC_DELETE_BAND);
        return;
    case IDM_SOLO_BAND:
        switchMainCheckBox(window, IDC_SOLO_BAND, fx.soloCurrentBand == 0);
        return;
    case IDM_SHOW_TABS:
        switchMainCheckBox(window, IDC_SHOW_TABS, fx.showTabs == 0);
        return;
    case IDM_SHOW_GRID:
        switchMainCheckBox(window, IDC_SHOW_GRID, fx.showGrid == 0);
        return;
    default:
        for (const MenuSwitch& s : kBandSwitches)
            if (s.item == command)
                toggleBandSwitch(fx, s.kind);
    }
}

} // namespace

void selectBand(HWND window, CompressorEffect& fx, int32_t index) {
    fx.currentBand = index;
    if (HWND tabs = GetDlgItem(GetParent(window), IDC_BAND_TABS))
        SendMessageA(tabs, TCM_SETCURSEL, WPARAM(index), 0);
    refreshBandPanel(fx);
    InvalidateRect(window, nullptr, FALSE);
}

void onSetCursor(HWND window, CompressorEffect& fx) {
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    ScreenToClient(window, &pointer);
    GraphHitKind kind = HIT_LINE;
    const int32_t band =
        hitTestBand(copyGraphBands(fx, nullptr), geometryOf(window, fx), pointer.x, pointer.y, kind);
    HCURSOR cursor = nullptr;
    if (band >= 0 && kind == HIT_HANDLE)
        cursor = LoadCursorA(nullptr, IDC_HAND);
    else if (band >= 0)
        cursor = LoadCursorA(nullptr, IDC_SIZEWE);
    if (!cursor)
        cursor = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(cursor);
}

void onLeftButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    dragLastX = x;
    dragLastY = y;
    GraphHitKind kind = HIT_LINE;
    const int32_t band = hitTestBand(copyGraphBands(fx, nullptr), geometryOf(window, fx), x, y, kind);
    if (band < 0)
        return;
    if (kind != HIT_LINE)
        selectBand(window, fx, band);
    EditorState& state = stateOf(fx);
    state.dragBand = band;
    SetCapture(window);
    state.dragMode = kind == HIT_HANDLE ? 0 : DRAG_FREQUENCY;
}

void onMouseMove(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    const GraphGeometry g = geometryOf(window, fx);
    EditorState& state = stateOf(fx);
    if (GetCapture() != window) {
        state.dragBand = hitTestHandle(copyGraphBands(fx, nullptr), g, x, y);
        return;
    }
    const int32_t band = state.dragBand;
    if (!bandExists(fx, band))
        return;
    x = std::clamp(x, 0, g.width);
    if (state.dragMode & DRAG_FREQUENCY) {
        if (x != dragLastX && editSetting(fx, band, kSettingFrequency, g.frequencyOfX(x), EditReport::Move))
            state.dragMode |= DRAG_EDITED_FREQUENCY;
    } else if (y != dragLastY) {
        dragHandle(fx, band, g, y);
    }
    dragLastX = x;
    dragLastY = y;
    refreshBandPanel(fx);
}

void onLeftButtonUp(HWND window, CompressorEffect& fx) {
    EditorState& state = stateOf(fx);
    const int32_t band = state.dragBand;
    if (band >= 0) {
        // The host hears the ends of the gesture in this order, whatever order the edits came in.
        const struct {
            int32_t bit, kind;
        } ends[] = {{DRAG_EDITED_THRESHOLD, kSettingThreshold},
                    {DRAG_EDITED_FREQUENCY, kSettingFrequency},
                    {DRAG_EDITED_RATIO, kSettingRatio},
                    {DRAG_EDITED_GAIN, kSettingGain}};
        for (const auto& end : ends)
            if (state.dragMode & end.bit)
                reportEdit(fx, band, end.kind, EditReport::End);
        state.dragMode = 0;
    }
    state.dragBand = -1;
    if (GetCapture() == window)
        ReleaseCapture();
}

void onMouseWheel(HWND window, CompressorEffect& fx, int32_t delta, POINT screen) {
    ScreenToClient(window, &screen);
    const int32_t band =
        hitTestHandle(copyGraphBands(fx, nullptr), geometryOf(window, fx), screen.x, screen.y);
    if (delta == 0 || band < 0)
        return;
    const double steps = delta / 50.0;
    const bool fine = keyDown(VK_CONTROL);
    // The wheel tells the host nothing.
    const EditReport nothing = EditReport::Nothing;
    bool stored;
    if (keyDown(VK_SHIFT))
        stored = editSettingFrom(
            fx, band, kSettingGain, [&](double gain) { return gainPlusDb(gain, steps * (fine ? 0.08 : 0.25)); },
            nothing);
    else
        stored = editSettingFrom(
            fx, band, kSettingRatio,
            [&](double ratio) { return ratioTimesPowerOfTen(ratio, steps * (fine ? 0.002 : 0.02), 1.0); },
            nothing);
    if (stored)
        refreshBandPanel(fx);
}

void onRightButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    const int32_t band = hitTestHandle(copyGraphBands(fx, nullptr), geometryOf(window, fx), x, y);
    if (band >= 0)
        selectBand(window, fx, band);
    stateOf(fx).dragBand = -1;
    stateOf(fx).dragMode = 0;
    HMENU menu = LoadMenuA(static_cast<HINSTANCE>(libraryModule()), MAKEINTRESOURCEA(IDR_GRAPH_MENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    UINT command = 0;
    if (popup) {
        setMenuStates(popup, fx, band >= 0);
        POINT screen = {x, y};
        ClientToScreen(window, &screen);
        command = UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr));
    }
    DestroyMenu(menu);
    runMenuCommand(window, fx, command);
}
