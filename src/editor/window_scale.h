// Where the Windows editor takes its scale from, and how it hands it to its own controls.
#pragma once

#include "support/windows_prelude.h"

// The window's scale: its own DPI where the system keeps one per window (Windows 10 1607 and
// later), else the screen's logical pixels per inch.
double WindowScale(HWND window);

// Gives every fader, meter and preset control among the window's descendants the scale
// (FADER_SETSCALE, METER_SETSCALE, PRESET_SETSCALE); other controls are left alone, since
// their message numbers overlap ours.
void sendScaleToControls(HWND window, double scale);
