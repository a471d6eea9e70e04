// The editor's control window classes (the two faders, the two meters and the knob), the fader
// skins next to the library and the registered wheel message, all alive while the library is
// attached to a process. Registration is counted: only the first call registers and loads the
// skins, and only the matching last call unregisters and deletes them.
#pragma once

#include "support/windows_prelude.h"

constexpr const char* kVerticalFaderClass = "HALDORvfader";
constexpr const char* kHorizontalFaderClass = "HALDORhfader";
constexpr const char* kHorizontalMeterClass = "HALDORhorzvu";
constexpr const char* kVerticalMeterClass = "HALDORvertvu";
// Registered for dialogs that name it; it behaves exactly as a vertical meter.
constexpr const char* kKnobClass = "HALDORknob";

void RegisterControlClasses(HINSTANCE module);
void UnregisterControlClasses(HINSTANCE module);

// The id the system gave the message "MSWHEEL_ROLLMSG" (wheel delta in wParam), or 0 when it
// is not registered; 0 never matches a message.
UINT WheelRollMessage();

// The thumb images loaded from "vantor_vslider.bmp" and "vantor_hslider.bmp" in the
// library's folder; null when the file was missing or unreadable.
HBITMAP VerticalFaderSkin();
HBITMAP HorizontalFaderSkin();
