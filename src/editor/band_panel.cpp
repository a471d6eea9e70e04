#include "editor/band_panel.h"

#include "editor/dialog_labels.h"
#include "editor/instance_dialog.h"
#include "editor/resource.h"
#include "shell/edit_gesture.h"
#include "shell/module.h"
#include "shell/setting_kinds.h"

#include <cstdlib>

namespace {

constexpr int kTypedTextSize = 512;
constexpr LONG kFrequencyFaderFlags = FADER_NO_TRACK_COLOR_QUERY | FADER_NO_DEFAULT_LINE;

// Process-wide, as all editor windows live on one thread: set while the panel writes its own
// edit boxes or handles a fader, so the change notifications that causes are not taken as typing.
bool panelEditGuard = false;

// One numeric setting: its fader and its edit box; the conversions between them and the
// setting are its kind's.
struct NumericControl {
    int32_t kind;
    int fader;
    int edit;
};

constexpr NumericControl kNumericControls[] = {
    {kSettingFrequency, IDC_FREQUENCY_FADER, IDC_FREQUENCY_EDIT},
    {kSettingGain, IDC_GAIN_FADER, IDC_GAIN_EDIT},
    {kSettingThreshold, IDC_THRESHOLD_FADER, IDC_THRESHOLD_EDIT},
    {kSettingRatio, IDC_RATIO_FADER, IDC_RATIO_EDIT},
    {kSettingKnee, IDC_KNEE_FADER, IDC_KNEE_EDIT},
    {kSettingAttack, IDC_ATTACK_FADER, IDC_ATTACK_EDIT},
    {kSettingRelease, IDC_RELEASE_FADER, IDC_RELEASE_EDIT},
    {kSettingRmsWindow, IDC_RMS_FADER, IDC_RMS_EDIT},
};

// The band switches the host sees as parameters; each reports only the end of an edit.
struct SwitchControl {
    int box;
    int32_t kind;
};
constexpr SwitchControl kSwitchControls[] = {
    {IDC_ACTIVE, kSettingActive},
    {IDC_AUTO_MAKEUP, kSettingAutoMakeup},
    {IDC_PROGRAM_RELEASE, kSettingProgramRelease},
    {IDC_FEEDBACK, kSettingFeedback},
};

const NumericControl* controlWithFader(int id) {
    for (const NumericControl& control : kNumericControls)
        if (control.fader == id)
            return &control;
    return nullptr;
}

const NumericControl* controlWithEdit(int id) {
    for (const NumericControl& control : kNumericControls)
        if (control.edit == id)
            return &control;
    return nullptr;
}

const SwitchControl* switchWithBox(int id) {
    for (const SwitchControl& control : kSwitchControls)
        if (control.box == id)
            return &control;
    return nullptr;
}

bool boxChecked(HWND panel, int id) {
    return IsDlgButtonChecked(panel, id) == BST_CHECKED;
}

// Writes an edit box; the caller holds the panel edit guard.
void writeEdit(HWND panel, const NumericControl& control, double value) {
    char text[64];
    settingKind(control.kind).editFormat(text, sizeof(text), value);
    SetDlgItemTextA(panel, control.edit, text);
}

void onRefreshBand(HWND panel, CompressorEffect& fx, int untouchedEdit) {
    BandView view;
    if (!fx.viewBand(fx.currentBand, view))
        return;
    for (const NumericControl& control : kNumericControls)
        SendDlgItemMessageA(panel, control.fader, FADER_SETPOS, 0,
                            settingKind(control.kind).faderPosition(viewedSetting(view, control.kind)));
    for (const SwitchControl& control : kSwitchControls)
        CheckDlgButton(panel, control.box,
                       viewedSetting(view, control.kind) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, IDC_LOG_SCALE_AUTOMATION,
                   view.settings.logScaleAutomation ? BST_CHECKED : BST_UNCHECKED);
    panelEditGuard = true;
    for (const NumericControl& control : kNumericControls)
        if (control.edit != untouchedEdit)
            writeEdit(panel, control, viewedSetting(view, control.kind));
    panelEditGuard = false;
}

void onInitDialog(HWND panel, CompressorEffect& fx) {
    for (const NumericControl& control : kNumericControls)
        if (control.kind != kSettingFrequency)
            SendDlgItemMessageA(panel, control.fader, FADER_SETDEFAULT, 0,
                                settingKind(control.kind).defaultFaderPosition);
    SetWindowLongA(GetDlgItem(panel, IDC_FREQUENCY_FADER), FADER_WORD_FLAGS, kFrequencyFaderFlags);
    fitLabelsToText(panel);
    ShowWindow(panel, SW_SHOWNA);
    onRefreshBand(panel, fx, 0);
}

// A drag reports every move and then the end of the gesture; the edit box follows in its format.
// No move takes a new glide snapshot, whatever the setting.
void onFaderMoved(HWND panel, CompressorEffect& fx, HWND fader, int scrollCode) {
    const NumericControl* control = controlWithFader(GetDlgCtrlID(fader));
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
void onEditChanged(HWND panel, CompressorEffect& fx, const NumericControl& control) {
    char text[kTypedTextSize];
    GetDlgItemTextA(panel, control.edit, text, kTypedTextSize);
    const double real = std::strtod(text, nullptr);
    const long integer = std::strtol(text, nullptr, 10);
    const int32_t band = fx.currentBand;
    editSetting(fx, band, control.kind, settingKind(control.kind).fromTyped(real, integer), EditReport::Move);
    SendMessageA(panel, MSG_REFRESH_BAND, 0, control.edit);
}

void onSwitchClicked(HWND panel, CompressorEffect& fx, const SwitchControl& control) {
    const int32_t band = fx.currentBand;
    editSetting(fx, band, control.kind, boxChecked(panel, control.box) ? 1 : 0, EditReport::End);
}

void onLogScaleClicked(HWND panel, CompressorEffect& fx) {
    if (fx.setLogScaleAutomation(fx.currentBand, boxChecked(panel, IDC_LOG_SCALE_AUTOMATION)))
        notifyGeneralChange(&fx.effect);
}

void onCommand(HWND panel, CompressorEffect& fx, int id, int code) {
    if (code == EN_CHANGE) {
        const NumericControl* control = controlWithEdit(id);
        if (control && !panelEditGuard)
            onEditChanged(panel, fx, *control);
    } else if (code == BN_CLICKED) {
        if (const SwitchControl* control = switchWithBox(id))
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
