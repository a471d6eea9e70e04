#include "editor/band_panel.h"

#include "editor/dialog_labels.h"
#include "editor/instance_dialog.h"
#include "editor/resource.h"
#include "shell/conversions.h"
#include "shell/edit_gesture.h"
#include "shell/module.h"
#include "support/stable_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kDbToExponent = 0.11512925464970228; // ln 10 / 20: 10^(dB/20) = exp(dB x this)
constexpr double kInverseLn401 = 1 / 5.993961427306569;
constexpr double kFaderStepsPerLn401 = 1000 * kInverseLn401;
constexpr int kTypedTextSize = 512;
constexpr LONG kFrequencyFaderFlags = FADER_NO_TRACK_COLOR_QUERY | FADER_NO_DEFAULT_LINE;
constexpr LPARAM kZeroDbPosition = -1;

// Process-wide, as all editor windows live on one thread: set while the panel writes its own
// edit boxes or handles a fader, so the change notifications that causes are not taken as typing.
bool panelEditGuard = false;

double frequencyOf(const BandView& v) {
    return v.frequency;
}
double gainOf(const BandView& v) {
    return v.settings.gain;
}
double thresholdOf(const BandView& v) {
    return v.settings.threshold;
}
double ratioOf(const BandView& v) {
    return v.settings.ratio;
}
double kneeOf(const BandView& v) {
    return v.settings.knee;
}
double attackOf(const BandView& v) {
    return v.settings.attackMs;
}
double releaseOf(const BandView& v) {
    return v.settings.releaseMs;
}
double rmsWindowOf(const BandView& v) {
    return v.settings.rmsSizeMs;
}

// Fader position <-> setting. The frequency fader is logarithmic whatever the band's
// automation mapping; gain and threshold use the decibel fader scale.
int32_t frequencyPosition(double f) {
    return truncateToInt32(stable_math::log((f - 20) * 4.170141784820684e-05 * 400 + 1) * kInverseLn401 *
                           1000);
}
double frequencyAt(int32_t p) {
    return (stable_math::exp(p / kFaderStepsPerLn401) - 1) * 23980 * 0.0025 + 20;
}
int32_t levelPosition(double linear) {
    return truncateToInt32(DbToFaderPos(AmpToDb(linear)));
}
double levelAt(int32_t p) {
    return stable_math::exp(FaderPosToDb(p) * kDbToExponent);
}
int32_t ratioPosition(double ratio) {
    return truncateToInt32(RatioToSliderPos(ratio));
}
double ratioAt(int32_t p) {
    return SliderPosToRatio(p);
}
int32_t kneePosition(double knee) {
    return truncateToInt32(knee * 1000 / 24);
}
double kneeAt(int32_t p) {
    return p * 24 / 1000.0;
}
int32_t quarterSecondPosition(double ms) {
    return truncateToInt32(ms * 1000 / 250);
}
double quarterSecondAt(int32_t p) {
    return truncateToInt32(p * 250 / 1000.0);
}
int32_t releasePosition(double ms) {
    return ReleaseToSliderPos(ms);
}
double releaseAt(int32_t p) {
    return truncateToInt32(SliderPosToRelease(p));
}

// Typed text -> setting: each kind reads the text once as a decimal number and once as an integer.
double typedAsIs(double real, long) {
    return real;
}
double typedDecibels(double real, long) {
    return stable_math::exp(real * kDbToExponent);
}
// NaN stays NaN (and is refused by the store); infinities clamp like any large number.
double typedRatio(double real, long) {
    return std::isnan(real) ? real : std::clamp(real, 0.1, 100.0);
}
double typedInteger(double, long integer) {
    return double(integer);
}

void formatTenths(char* text, size_t size, double value) {
    std::snprintf(text, size, "%.1f", value);
}
void formatDecibels(char* text, size_t size, double linear) {
    std::snprintf(text, size, "%0.1f", AmpToDb(linear));
}
void formatHundredths(char* text, size_t size, double value) {
    std::snprintf(text, size, "%0.2f", value);
}
void formatWhole(char* text, size_t size, double value) {
    std::snprintf(text, size, "%d", truncateToInt32(value));
}

// One numeric setting: its fader, its edit box and the conversions between them.
struct NumericControl {
    int32_t kind;
    int fader;
    int edit;
    double (*value)(const BandView&);
    int32_t (*position)(double value);
    double (*valueAt)(int32_t position);
    double (*typed)(double real, long integer);
    void (*format)(char* text, size_t size, double value);
    LPARAM defaultPosition;
};

constexpr NumericControl kNumericControls[] = {
    {kSettingFrequency, IDC_FREQUENCY_FADER, IDC_FREQUENCY_EDIT, frequencyOf, frequencyPosition, frequencyAt,
     typedAsIs, formatTenths, kZeroDbPosition},
    {kSettingGain, IDC_GAIN_FADER, IDC_GAIN_EDIT, gainOf, levelPosition, levelAt, typedDecibels,
     formatDecibels, kZeroDbPosition},
    {kSettingThreshold, IDC_THRESHOLD_FADER, IDC_THRESHOLD_EDIT, thresholdOf, levelPosition, levelAt,
     typedDecibels, formatDecibels, kZeroDbPosition},
    {kSettingRatio, IDC_RATIO_FADER, IDC_RATIO_EDIT, ratioOf, ratioPosition, ratioAt, typedRatio,
     formatHundredths, 250},
    {kSettingKnee, IDC_KNEE_FADER, IDC_KNEE_EDIT, kneeOf, kneePosition, kneeAt, typedAsIs, formatTenths, 0},
    {kSettingAttack, IDC_ATTACK_FADER, IDC_ATTACK_EDIT, attackOf, quarterSecondPosition, quarterSecondAt,
     typedInteger, formatWhole, 60},
    // 273 is the position nearest below the 150 ms default: trunc(trunc(sqrt(0.075) x 1000) + 0.5).
    {kSettingRelease, IDC_RELEASE_FADER, IDC_RELEASE_EDIT, releaseOf, releasePosition, releaseAt,
     typedInteger, formatWhole, 273},
    {kSettingRmsWindow, IDC_RMS_FADER, IDC_RMS_EDIT, rmsWindowOf, quarterSecondPosition, quarterSecondAt,
     typedInteger, formatWhole, 20},
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
    control.format(text, sizeof(text), value);
    SetDlgItemTextA(panel, control.edit, text);
}

bool switchOf(const BandView& view, int32_t kind) {
    const BandSettings& s = view.settings;
    switch (kind) {
    case kSettingActive:
        return s.active;
    case kSettingAutoMakeup:
        return s.autoMakeupGain;
    case kSettingProgramRelease:
        return s.programDependentRelease;
    default:
        return s.feedbackDetector;
    }
}

void onRefreshBand(HWND panel, CompressorEffect& fx, int untouchedEdit) {
    BandView view;
    if (!fx.viewBand(fx.currentBand, view))
        return;
    for (const NumericControl& control : kNumericControls)
        SendDlgItemMessageA(panel, control.fader, FADER_SETPOS, 0, control.position(control.value(view)));
    for (const SwitchControl& control : kSwitchControls)
        CheckDlgButton(panel, control.box, switchOf(view, control.kind) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, IDC_LOG_SCALE_AUTOMATION,
                   view.settings.logScaleAutomation ? BST_CHECKED : BST_UNCHECKED);
    panelEditGuard = true;
    for (const NumericControl& control : kNumericControls)
        if (control.edit != untouchedEdit)
            writeEdit(panel, control, control.value(view));
    panelEditGuard = false;
}

void onInitDialog(HWND panel, CompressorEffect& fx) {
    for (const NumericControl& control : kNumericControls)
        if (control.kind != kSettingFrequency)
            SendDlgItemMessageA(panel, control.fader, FADER_SETDEFAULT, 0, control.defaultPosition);
    SetWindowLongA(GetDlgItem(panel, IDC_FREQUENCY_FADER), FADER_WORD_FLAGS, kFrequencyFaderFlags);
    FitLabelsToText(panel);
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
    const double value = control->valueAt(int32_t(SendMessageA(fader, FADER_GETPOS, 0, 0)));
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
    editSetting(fx, band, control.kind, control.typed(real, integer), EditReport::Move);
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

HWND CreateBandPanel(CompressorEffect& fx, HWND mainWindow) {
    return CreateDialogParamA(static_cast<HINSTANCE>(libraryModule()), MAKEINTRESOURCEA(IDD_BAND_PANEL),
                              mainWindow, InstanceDialogProc<bandPanelProcedure>,
                              reinterpret_cast<LPARAM>(&fx));
}
