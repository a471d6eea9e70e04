#include "editor/main_window.h"

#include "editor/band_panel.h"
#include "editor/dialog_labels.h"
#include "editor/edit_keys.h"
#include "editor/editor_state.h"
#include "editor/instance_dialog.h"
#include "editor/preset_menu_window.h"
#include "editor/resource.h"
#include "editor/core/main_rules.h"
#include "editor/window_scale.h"
#include "shell/ab_slots.h"
#include "shell/edit_history.h"
#include "shell/module.h"

#include <commctrl.h>

#include <cmath>

namespace {

constexpr int kTypedTextSize = 512;

// Process-wide, as all editor windows live on one thread: set while the window writes the
// output gain box itself, so the change notification that causes is not taken as typing.
bool outputEditGuard = false;

HWND tabsOf(HWND window) {
    return GetDlgItem(window, IDC_BAND_TABS);
}

HWND bandPanelOf(CompressorEffect& fx) {
    const EditorState* state = findEditorState(fx);
    return state ? state->bandPanel : nullptr;
}

void writeOutputGainBox(HWND window, double gain) {
    char text[32];
    formatOutputGain(text, sizeof(text), gain);
    SetDlgItemTextA(window, IDC_OUTPUT_GAIN_EDIT, text);
}

void moveOutputFader(HWND window, double gain) {
    SendDlgItemMessageA(window, IDC_OUTPUT_GAIN_FADER, FADER_SETPOS, 0, outputFaderPosition(gain));
}

void setCheckBox(HWND window, int id, bool on) {
    CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED);
}
bool boxChecked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

void appendTab(HWND tabs, int32_t index) {
    char label[16];
    formatTabLabel(label, sizeof(label), index);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label;
    SendMessageA(tabs, TCM_INSERTITEMA, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

// One tab per band, labelled by its number: extra tabs go from the end, missing ones are
// appended. True when the count changed.
bool matchTabsToBands(HWND window, int32_t bandCount) {
    HWND tabs = tabsOf(window);
    int32_t tabCount = int32_t(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    const bool changed = tabCount != bandCount;
    for (; tabCount > bandCount; --tabCount)
        SendMessageA(tabs, TCM_DELETEITEM, WPARAM(bandCount), 0);
    for (; tabCount < bandCount; ++tabCount)
        appendTab(tabs, tabCount);
    return changed;
}

void selectCurrentTab(HWND window, CompressorEffect& fx) {
    SendMessageA(tabsOf(window), TCM_SETCURSEL, WPARAM(int32_t(fx.currentBand)), 0);
}

// After a band was added or deleted: the tabs follow the list, the panel shows the current band.
void showBandListChange(HWND window, CompressorEffect& fx) {
    matchTabsToBands(window, fx.viewBandCount());
    selectCurrentTab(window, fx);
    if (HWND panel = bandPanelOf(fx))
        InvalidateRect(panel, nullptr, TRUE);
    refreshBandPanel(fx);
}

void onRefreshTabs(HWND window, CompressorEffect& fx) {
    outputEditGuard = true;
    const bool countChanged = matchTabsToBands(window, fx.viewBandCount());
    HWND panel = bandPanelOf(fx);
    if (countChanged && panel && fx.showTabs) {
        // Shown again so that it stays above the tab control.
        ShowWindow(panel, SW_HIDE);
        ShowWindow(panel, SW_SHOWNA);
    }
    selectCurrentTab(window, fx);
    const double gain = fx.outputGain;
    moveOutputFader(window, gain);
    writeOutputGainBox(window, gain);
    setCheckBox(window, IDC_SHOW_GRID, fx.showGrid != 0);
    setCheckBox(window, IDC_SHOW_TABS, fx.showTabs != 0);
    setCheckBox(window, IDC_SOLO_BAND, fx.soloCurrentBand != 0);
    layoutMainWindow(window, fx.showTabs != 0);
    outputEditGuard = false;
}

// The panel goes onto the hidden placeholder's rectangle.
void placeBandPanel(HWND window, HWND panel) {
    RECT place;
    GetWindowRect(GetDlgItem(window, IDC_BAND_PANEL_PLACE), &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    SetWindowPos(panel, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The group box's caption: the effect, its build and its maker.
void writeBanner(HWND window) {
    char banner[96];
    formatBanner(banner, sizeof(banner));
    SetDlgItemTextA(window, IDC_BANNER, banner);
}

// The editor's state was made by createMainWindow; metering starts with the window.
void onInitDialog(HWND window, CompressorEffect& fx) {
    writeBanner(window);
    fitLabelsToText(window);
    fx.editorNeedsRefresh = 0;
    EditorState& state = *editorStateOf(fx);
    state.mainWindow = window;
    state.scale = WindowScale(window);
    fx.meteringWanted = true;
    HWND panel = createBandPanel(fx, window);
    state.bandPanel = panel;
    if (panel)
        placeBandPanel(window, panel);
    sendScaleToControls(window, state.scale);
    SendDlgItemMessageA(window, IDC_OUTPUT_GAIN_FADER, FADER_SETDEFAULT, 0, -1);
    ShowWindow(window, SW_SHOWNA);
    SetTimer(window, EDITOR_REFRESH_TIMER, UINT(kRefreshIntervalMs), nullptr);
    SetTimer(window, EDITOR_METER_TIMER, UINT(kMeterIntervalMs), nullptr);
    onRefreshTabs(window, fx);
    showPresetLabel(window, fx);
    watchEditKeys(window);
}

void onTabSelected(HWND window, CompressorEffect& fx) {
    fx.currentBand = int32_t(SendMessageA(tabsOf(window), TCM_GETCURSEL, 0, 0));
    refreshBandPanel(fx);
}

// Typing moves the fader but tells the host nothing; the box keeps the text as typed. A value
// whose gain is not finite (10000 dB) is not stored.
void onOutputGainTyped(HWND window, CompressorEffect& fx) {
    char text[kTypedTextSize];
    GetDlgItemTextA(window, IDC_OUTPUT_GAIN_EDIT, text, kTypedTextSize);
    const double gain = outputGainTyped(text);
    if (!std::isfinite(gain))
        return;
    fx.setOutputGain(gain);
    moveOutputFader(window, gain);
}

// A whole drag is one undo step, closed at its end.
void onOutputFaderMoved(HWND window, CompressorEffect& fx, HWND fader, int scrollCode) {
    const double gain = outputGainAtFaderPosition(int32_t(SendMessageA(fader, FADER_GETPOS, 0, 0)));
    fx.setOutputGain(gain);
    outputEditGuard = true;
    writeOutputGainBox(window, gain);
    outputEditGuard = false;
    notifyGeneralChange(&fx.effect);
    if (scrollCode == SB_ENDSCROLL)
        closeEditStep(fx);
}

void onAddBand(HWND window, CompressorEffect& fx) {
    fx.addBand();
    showBandListChange(window, fx);
}

void onDeleteBand(HWND window, CompressorEffect& fx) {
    fx.deleteCurrentBand();
    showBandListChange(window, fx);
}

void onResetToDefaults(HWND window, CompressorEffect& fx) {
    fx.resetToDefaults();
    SendMessageA(window, MSG_REFRESH_TABS, 0, 0);
    refreshBandPanel(fx);
}

void onShowTabsClicked(HWND window, CompressorEffect& fx) {
    const bool on = boxChecked(window, IDC_SHOW_TABS);
    if (on == (fx.showTabs != 0))
        return;
    fx.showTabs = on ? 1 : 0;
    layoutMainWindow(window, on);
}

void onSoloClicked(HWND window, CompressorEffect& fx) {
    const bool on = boxChecked(window, IDC_SOLO_BAND);
    if (on != (fx.soloCurrentBand != 0))
        fx.soloCurrentBand = on ? 1 : 0;
}

void onButtonClicked(HWND window, CompressorEffect& fx, int id) {
    switch (id) {
    case IDC_ADD_BAND:
        onAddBand(window, fx);
        break;
    case IDC_DELETE_BAND:
        onDeleteBand(window, fx);
        break;
    case IDC_RESET_DEFAULTS:
        onResetToDefaults(window, fx);
        break;
    case IDC_SHOW_GRID:
        fx.showGrid = boxChecked(window, IDC_SHOW_GRID) ? 1 : 0;
        break;
    case IDC_SHOW_TABS:
        onShowTabsClicked(window, fx);
        break;
    case IDC_SOLO_BAND:
        onSoloClicked(window, fx);
        break;
    default:
        break;
    }
}

// A typed gain is one undo step, closed when the focus leaves the box (the edit keys' hook
// closes it at Return, or at a press elsewhere in the editor).
void onCommand(HWND window, CompressorEffect& fx, int id, int code) {
    if (id == IDC_OUTPUT_GAIN_EDIT) {
        if (code == EN_CHANGE && !outputEditGuard)
            onOutputGainTyped(window, fx);
        else if (code == EN_KILLFOCUS)
            closeEditStep(fx);
    } else if (id == IDC_PRESET_CONTROL) {
        if (code == BN_CLICKED)
            openPresetMenu(window, fx);
    } else if (code == BN_CLICKED) {
        onButtonClicked(window, fx, id);
    }
}

void sendMeterLevels(HWND window, int id, double left, double right) {
    SendDlgItemMessageA(window, id, METER_SETLEVELS, WPARAM(intptr_t(meterLevelTenths(left))),
                        LPARAM(meterLevelTenths(right)));
}

// The peaks are taken and decayed under the lock, the meters written without it; the audio
// thread raises the peaks again from its next sub-block.
void onMeterTick(HWND window, CompressorEffect& fx) {
    InvalidateRect(GetDlgItem(window, IDC_GRAPH), nullptr, TRUE);
    const MeterPeaks peaks = fx.takeMeterPeaks(kMeterDecay);
    sendMeterLevels(window, IDC_INPUT_METER, peaks.inputLeft, peaks.inputRight);
    sendMeterLevels(window, IDC_OUTPUT_METER, peaks.outputLeft, peaks.outputRight);
}

// A hover that left the graph without a mouse-move there ends here; then host-side changes.
void onRefreshTick(HWND window, CompressorEffect& fx) {
    HWND graph = GetDlgItem(window, IDC_GRAPH);
    POINT pointer = {0, 0};
    EditorState& state = *editorStateOf(fx);
    if (state.dragBand >= 0 && GetCapture() != graph && GetCursorPos(&pointer) &&
        WindowFromPoint(pointer) != graph) {
        state.dragBand = -1;
        state.dragMode = 0;
    }
    if (fx.editorNeedsRefresh) {
        fx.editorNeedsRefresh = 0;
        SendMessageA(window, MSG_REFRESH_TABS, 0, 0);
        refreshBandPanel(fx);
    }
    const uint64_t change = editChangeCount(fx);
    const int32_t slot = activeAbSlot(fx);
    if (change != state.presetLabelChange || slot != state.presetLabelSlot) {
        state.presetLabelChange = change;
        state.presetLabelSlot = slot;
        showPresetLabel(window, fx);
    }
}

void onTimer(HWND window, CompressorEffect& fx, WPARAM timer) {
    if (timer == EDITOR_METER_TIMER)
        onMeterTick(window, fx);
    else if (timer == EDITOR_REFRESH_TIMER)
        onRefreshTick(window, fx);
}

void onNotify(HWND window, CompressorEffect& fx, const NMHDR& header) {
    if (header.idFrom == IDC_BAND_TABS && header.code == UINT(TCN_SELCHANGE))
        onTabSelected(window, fx);
}

// The window moved to a screen of another DPI (or the screen's changed): the graph, the
// controls and the layout take the new scale. The dialog's own size follows its font, which
// the host or the system sets.
void onDpiChanged(HWND window, CompressorEffect& fx) {
    EditorState& state = *editorStateOf(fx);
    const double scale = WindowScale(window);
    if (scale == state.scale)
        return;
    state.scale = scale;
    sendScaleToControls(window, scale);
    if (HWND panel = bandPanelOf(fx))
        placeBandPanel(window, panel);
    layoutMainWindow(window, fx.showTabs != 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Metering stops with the window, and nothing may send to the panel that goes with it.
void onDestroy(HWND window, CompressorEffect& fx) {
    unwatchEditKeys(window);
    EditorState& state = *editorStateOf(fx);
    if (state.mainWindow == window) {
        state.mainWindow = nullptr;
        fx.meteringWanted = false;
    }
    state.bandPanel = nullptr;
}

INT_PTR mainWindowProcedure(HWND window, CompressorEffect& fx, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(window, fx);
        return FALSE;
    case MSG_REFRESH_TABS:
        onRefreshTabs(window, fx);
        return TRUE;
    case WM_NOTIFY:
        onNotify(window, fx, *reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    case WM_COMMAND:
        onCommand(window, fx, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_VSCROLL:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_OUTPUT_GAIN_FADER)
            onOutputFaderMoved(window, fx, reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return TRUE;
    case MSG_EDIT_KEY:
        runPresetCommand(window, fx, uint32_t(wParam));
        return TRUE;
    case WM_TIMER:
        onTimer(window, fx, wParam);
        return TRUE;
    case WM_DPICHANGED:
    case WM_DPICHANGED_AFTERPARENT:
        onDpiChanged(window, fx);
        return FALSE;
    case WM_DESTROY:
        onDestroy(window, fx);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void layoutMainWindow(HWND mainWindow, bool showTabs) {
    HWND graph = GetDlgItem(mainWindow, IDC_GRAPH);
    RECT bounds, below;
    GetWindowRect(graph, &bounds);
    // The graph stops above what lies under it (the tabs, or with them hidden the row of
    // buttons): a dialog font with shorter letters than the system's (Liberation Sans for
    // "MS Shell Dlg") leaves less than 120 or 370 pixels there.
    GetWindowRect(showTabs ? tabsOf(mainWindow) : GetDlgItem(mainWindow, IDC_ADD_BAND), &below);
    auto* fx = instanceOfDialog(mainWindow);
    const EditorState* state = fx ? findEditorState(*fx) : nullptr;
    const double scale = state ? state->scale : 1.0;
    const int height = graphHeight(showTabs, int32_t(below.top - bounds.top), scale);
    SetWindowPos(graph, nullptr, 0, 0, bounds.right - bounds.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int show = showTabs ? SW_SHOWNA : SW_HIDE;
    if (HWND panel = fx ? bandPanelOf(*fx) : nullptr)
        ShowWindow(panel, show);
    ShowWindow(tabsOf(mainWindow), show);
}

HWND createMainWindow(CompressorEffect& fx, HWND hostWindow) {
    // Every handler of the window relies on the state existing.
    if (!editorStateOf(fx))
        return nullptr;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    return CreateDialogParamA(static_cast<HINSTANCE>(libraryModule()), MAKEINTRESOURCEA(IDD_EDITOR),
                              hostWindow, instanceDialogProc<mainWindowProcedure>,
                              reinterpret_cast<LPARAM>(&fx));
}
