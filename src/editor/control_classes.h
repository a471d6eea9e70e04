// The editor's control window classes (the two faders, the two meters and the knob), registered
// while the library is attached to a process. Registration is counted: only the first call
// registers and only the matching last call unregisters.
#pragma once

#include "support/windows_prelude.h"

void RegisterControlClasses(HINSTANCE module);
void UnregisterControlClasses(HINSTANCE module);
