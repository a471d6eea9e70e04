// The response graph's WM_PAINT: the portable painter (editor/core/graph_paint.h) draws the
// frame into the instance's back buffer, which reaches the window in one BitBlt. The fonts and
// the gauge sprite are shared by every instance of the process.
#pragma once

#include "support/windows_prelude.h"

class CompressorEffect;

// WM_PAINT. A missing back buffer that cannot be made ends the paint undrawn.
void paintGraph(HWND window, CompressorEffect& fx);

// Deletes the graph's shared fonts (when the last instance goes).
void deleteGraphFonts();
