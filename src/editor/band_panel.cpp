#include "editor/band_panel.h"

#include "editor/core/panel_rules.h"
#include "editor/dialog_labels.h"
#include "editor/instance_dialog.h"
#include "editor/resource.h"
#include "shell/edit_gesture.h"
#include "shell/module.h"
#include "shell/setting_kinds.h"

namespace {

constexpr int kTypedTextSize = 512;
constexpr LONG kFrequencyFaderFlags = FADER_NO_TRACK_COLOR_QUERY | FADER_NO_DEFAULT_LINE;

// Process-wide, as all editor windows live on one thread: set while the panel writes its own
// edit boxes or handles a fader, so the change notifications that causes are not taken as typing.
bool panelEditGuard = false;

bool boxChecked(HWND panel, int id) {
    return IsDlgButtonChecked(panel, id) == BST_CHECKED;
}

// Writes an edit box; the caller holds the panel edit guard.
void writeEdit(HWND panel, const PanelNumericControl& control, double value) {
    char text[64];
    settingKind(control.kind).editFormat(text, sizeof(text), value);
    SetDlgItemTextA(panel, control.edit, text);
}

void onRefreshBand(HWND panel, CompressorEffect& fx, int untouchedEdit) {
    BandView view;
    if (!fx.viewBand(fx.currentBand, view))
        return;
    int32_t numericCount = 0, switchCount = 0;
    const PanelNumericControl* numeric = panelNumericControls(numericCount);
    const PanelSwitchControl* switches = panelSwitchControls(switchCount);
    for (int32_t i = 0; i < numericCount; ++i)
        SendDlgItemMessageA(panel, numeric[i].fader, FADER_SETPOS, 0,
                            settingKind(numeric[i].kind).faderPosition(viewedSetting(view, numeric[i].kind)));
    for (int32_t i = 0; i < switchCount; ++i)
        CheckDlgButton(panel, switches[i].box,
                       viewedSetting(view, switches[i].kind) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, IDC_LOG_SCALE_AUTOMATION,
                   view.settings.logScaleAutomation ? BST_CHECKED : BST_UNCHECKED);
    panelEditGuard = true;
    for (int32_t i = 0; i < numericCount; ++i)
        if (numeric[i].edit != untouchedEdit)
            writeEdit(panel, numeric[i], viewedSetting(view, numeric[i].kind));
    panelEditGuard = false;
}

void onInitDialog(HWND panel, CompressorEffect& fx) {
    int32_t count = 0;
    const PanelNumericControl* numeric = panelNumericControls(count);
    for (int32_t i = 0; i < count; ++i)
        if (numeric[i].kind != kSettingFrequency)
            SendDlgItemMessageA(panel, numeric[i].fader, FADER_SETDEFAULT, 0,
                                settingKind(numeric[i].kind).defaultFaderPosition);
    SetWindowLongA(GetDlgItem(panel, IDC_FREQUENCY_FADER), FADER_WORD_FLAGS, kFrequencyFaderFlags);
    fitLabelsToText(panel);
    ShowWindow(panel, SW_SHOWNA);
    onRefreshBand(panel, fx, 0);
}

// A drag reports every move and then the end of the gesture; the edit box follows in its format.
// No move takes a new glide snapshot, whatever the setting.
void onFaderMoved(HWND panel, CompressorEffect& fx, HWND fader, int scrollCode) {
    const PanelNumericControl* control = panelControlWithFader(GetDlgCtrlID(fader));
    if (!control)
        return;
    const int32_t band = fx.currentBand;
    panelEditGuard = true;
    const double value =
        settingKind(control->kind).atFaderPosition(int32_t(SendMessageA(fader, FADER_GETPOS, 0, 0)));
    const EditReport report = scrollCode == SB_ENDSCROLL ? EditReport::End : EditReport::Move;
    if (editSetting(fx, band, control->kind, value, report, SettingChange::KeepSnapshot))
        writeEdit(panel, *control, value);
    panelEditGuard = false;
}

// Stores what is typed (a value whose conversion is not finite is refused and the band keeps
// its setting), then brings every other control to the band while the box keeps its text.
void onEditChanged(HWND panel, CompressorEffect& fx, const PanelNumericControl& control) {
    char text[kTypedTextSize];
    GetDlgItemTextA(panel, control.edit, text, kTypedTextSize);
    const int32_t band = fx.currentBand;
    editSetting(fx, band, control.kind, panelTypedSetting(control.kind, text), EditReport::Move);
    SendMessageA(panel, MSG_REFRESH_BAND, 0, control.edit);
}

void onSwitchClicked(HWND panel, CompressorEffect& fx, const PanelSwitchControl& control) {
    const int32_t band = fx.currentBand;
    editSetting(fx, band, control.kind, boxChecked(panel, control.box) ? 1 : 0, EditReport::End);
}

void onLogScaleClicked(HWND panel, CompressorEffect& fx) {
    if (fx.setLogScaleAutomation(fx.currentBand, boxChecked(panel, IDC_LOG_SCALE_AUTOMATION)))
        notifyGeneralChange(&fx.effect);
}

// A typed value is one undo step, closed when the focus leaves its box (the edit keys' hook
// closes it at Return, or at a press elsewhere in the editor).
void onCommand(HWND panel, CompressorEffect& fx, int id, int code) {
    if (code == EN_CHANGE) {
        const PanelNumericControl* control = panelControlWithEdit(id);
        if (control && !panelEditGuard)
            onEditChanged(panel, fx, *control);
    } else if (code == EN_KILLFOCUS) {
        if (panelControlWithEdit(id))
            closeEditStep(fx);
    } else if (code == BN_CLICKED) {
        if (const PanelSwitchControl* control = panelSwitchWithBox(id))
            onSwitchClicked(panel, fx, *control);
        else if (id == IDC_LOG_SCALE_AUTOMATION)
            onLogScaleClicked(panel, fx);
    }
}

INT_PTR bandPanelProcedure(HWND panel, CompressorEffect& fx, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(panel, fx);
        return FALSE;
    case MSG_REFRESH_BAND:
        onRefreshBand(panel, fx, int(lParam));
        return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        onFaderMoved(panel, fx, reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return TRUE;
    case WM_COMMAND:
        onCommand(panel, fx, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

HWND createBandPanel(CompressorEffect& fx, HWND mainWindow) {
    return CreateDialogParamA(static_cast<HINSTANCE>(libraryModule()), MAKEINTRESOURCEA(IDD_BAND_PANEL),
                              mainWindow, instanceDialogProc<bandPanelProcedure>,
                              reinterpret_cast<LPARAM>(&fx));
}
