// The editor's control window classes (faders, knob, meters), registered while the library
// is attached to a process.
#pragma once

#include <windows.h>

void registerControlClasses(HINSTANCE module);
void unregisterControlClasses();
