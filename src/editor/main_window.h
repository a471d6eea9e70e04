// The editor's main window: the dialog the host embeds, with the response graph, a tab per band
// over the band panel, the band-list buttons, the view switches, the output gain fader and box
// and the two level meters. A 33 ms timer repaints the graph and feeds the meters; a 100 ms
// timer reloads every control after host-side changes (the host's writes only raise a flag).
#pragma once

#include "support/windows_prelude.h"

class CompressorEffect;

// Creates the editor (dialog 101) inside the host's window; null when it could not be made.
HWND createMainWindow(CompressorEffect& fx, HWND hostWindow);

// The layout for the "Tabs" switch: with tabs the graph is 120 pixels high over the tabs and
// the band panel; without them it is 370 pixels high and both are hidden.
void layoutMainWindow(HWND mainWindow, bool showTabs);
