// The band settings panel: a child dialog of the main window that edits the current band with
// a fader and an edit box per numeric setting and a check box per switch, and tells the host.
// It reloads its controls on MSG_REFRESH_BAND (lParam: an edit box to leave as typed); it
// keeps no band state of its own, so it always shows the band current at its last refresh.
#pragma once

#include "support/windows_prelude.h"

class CompressorEffect;

// Creates the panel (dialog 103) inside the main window; null when it could not be made.
HWND createBandPanel(CompressorEffect& fx, HWND mainWindow);
