// The editor's control window classes (the two faders, the two meters, the knob and the preset
// control), the fader skins next to the library and the registered wheel message, all alive
// while the library is attached to a process. Registration is counted: only the first call registers and loads the
// skins, and only the matching last call unregisters and deletes them.
#pragma once

#include "editor/control_resources.h"
#include "support/windows_prelude.h"

constexpr const char* kVerticalFaderClass = "HALDORvfader";
constexpr const char* kHorizontalFaderClass = "HALDORhfader";
constexpr const char* kHorizontalMeterClass = "HALDORhorzvu";
constexpr const char* kVerticalMeterClass = "HALDORvertvu";
// Registered for dialogs that name it; it behaves exactly as a vertical meter.
constexpr const char* kKnobClass = "HALDORknob";

void registerControlClasses(HINSTANCE module);
void unregisterControlClasses(HINSTANCE module);
