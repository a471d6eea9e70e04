// Painting the response graph: the grid, every band's lines, gauge, handle and meters, and the
// info box of the hovered or dragged band, drawn with the raster library into the instance's
// back buffer and copied to the window in one BitBlt. The bands are copied first (the shell
// takes the lock for it and decays their meters there); nothing is drawn while it is held.
#pragma once

#include "support/windows_prelude.h"

#include <cstdint>

class CompressorEffect;
class PIXO_IBitmap;

// WM_PAINT. A missing back buffer that cannot be made ends the paint undrawn.
void paintGraph(HWND window, CompressorEffect& fx);

// Draws one frame into bitmap (its whole width x height) at tick count now, with the pointer at
// (pointerX, pointerY) in client coordinates for the info box.
void renderGraph(CompressorEffect& fx, PIXO_IBitmap& bitmap, uint32_t now, int32_t pointerX, int32_t pointerY);

// Deletes the graph's shared fonts (when the last instance goes).
void deleteGraphFonts();
