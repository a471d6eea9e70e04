// The thumb a fader draws when no skin bitmap was found: a console-style fader cap (dark,
// ridged, with a white centre line), made once per orientation at the default thumb size as
// a DIB section whose corner pixels are magenta, so it goes through the skins' keyed copy. At a
// scale other than 1 it is drawn anew at the scaled size, its edges and grooves as wide as the
// scale makes one pixel.
#pragma once

#include <cstdint>

#include "editor/core/ui_scale.h"
#include "support/windows_prelude.h"

constexpr int32_t kVerticalThumbWidth = 14;
constexpr int32_t kVerticalThumbHeight = 26;
constexpr int32_t kHorizontalThumbWidth = 23;
constexpr int32_t kHorizontalThumbHeight = 14;
// The colour a thumb image marks transparent pixels with.
constexpr COLORREF kThumbKeyColour = RGB(255, 0, 255);

// The pixel of the drawn cap at (x, y) as a COLORREF; kThumbKeyColour at the cut corners.
COLORREF faderCapPixel(bool vertical, int32_t x, int32_t y, double scale = 1.0);

// The drawn cap's width and height at a scale.
int32_t faderCapWidth(bool vertical, double scale);
int32_t faderCapHeight(bool vertical, double scale);

// The drawn cap for the orientation at the scale, made on first use (again when the scale
// changed); null when it could not be made.
HBITMAP plainFaderCap(bool vertical, double scale);
void releasePlainFaderCaps();
