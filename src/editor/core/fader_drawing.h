// How a fader looks, drawn by the raster library into any bitmap: the background the caller
// chooses, two level bars beside the track (vertical fader), the default-position line, the
// rounded track and the thumb, a console-style cap (dark, ridged, with a white centre line)
// drawn pixel by pixel at any scale. The same pieces sit where the Windows fader puts them
// with the system's pens and brushes, so both draw the same picture at 96 dpi.
#pragma once

#include <cstdint>

#include "editor/core/fader_model.h"
#include "raster/pixo.h"

// Raster pixel words (0xAARRGGBB).
constexpr uint32_t kFaderOverlayColour = 0xFF20C000;
// The cap's cut corners: no pixel of the cap is drawn there.
constexpr uint32_t kFaderCapClear = 0x00FF00FF;

// The cap's pixel at (x, y) at a scale, kFaderCapClear at its cut corners.
uint32_t faderCapPixel(bool vertical, int32_t x, int32_t y, double scale);

// The track's rectangle (right and bottom exclusive): a 5-pixel (scaled) wide bar over the
// centre, a third of the thumb in from either end.
PIXO_Rect faderTrackRect(const FaderGeometry& g);
// The corner size of the track's rounding.
int32_t faderTrackCorner(const FaderGeometry& g);
// Where the default-position line runs across the axis: a row (vertical) or column
// (horizontal) under the thumb's centre when the thumb sits at the default position. The
// line spans from 2 to the client extent - 2, exclusive.
int32_t faderDefaultLineAt(const FaderGeometry& g, const FaderRange& range, int32_t defaultPosition);
// The two level bars of an overlay word (left: low 16 bits); false when the word draws none.
bool faderOverlayBars(const FaderGeometry& g, uint32_t levels, PIXO_Rect& left, PIXO_Rect& right);

// The defaults are the system's standard button face, shadow and highlight colours, which the
// Windows fader takes unless its parent answers with others.
struct FaderColours {
    uint32_t background = 0xFFF0F0F0;
    uint32_t defaultLine = 0xFF000000;
    uint32_t trackFill = 0xFFA0A0A0;
    uint32_t trackEdge = 0xFFFFFFFF;
};

// Draws the whole fader with the drawn cap into the bitmap with its client area's top-left
// corner at (x, y), clipped to the bitmap.
void drawFader(PIXO_IBitmap& bitmap, int32_t x, int32_t y, const FaderModel& fader, const FaderGeometry& g,
               const FaderColours& colours);
