// The band panel's rules apart from any window system: which fader and edit box stand for which
// band setting, which check box for which switch, and how typed text becomes a setting. The
// conversions themselves are the setting kinds' (shell/setting_kinds.h).
#pragma once

#include <cstdint>

// One numeric setting: its fader and its edit box.
struct PanelNumericControl {
    int32_t kind;
    int32_t fader;
    int32_t edit;
};

// A band switch the host sees as a parameter; each reports only the end of an edit.
struct PanelSwitchControl {
    int32_t box;
    int32_t kind;
};

// The panel's numeric settings and switches, in a fixed order.
const PanelNumericControl* panelNumericControls(int32_t& count);
const PanelSwitchControl* panelSwitchControls(int32_t& count);

// The control with a fader, an edit box or a check box id; null for any other id.
const PanelNumericControl* panelControlWithFader(int32_t id);
const PanelNumericControl* panelControlWithEdit(int32_t id);
const PanelSwitchControl* panelSwitchWithBox(int32_t id);

// The setting of kind that an edit box's text stands for: read once as a decimal number and once
// as an integer, as the kind's conversion takes them (not finite when the text is absurd; the
// caller's store then refuses it).
double panelTypedSetting(int32_t kind, const char* text);
