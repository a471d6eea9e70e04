// The thumb a fader draws when no skin bitmap was found: a console-style fader cap (dark,
// ridged, with a white centre line), made once per orientation at the default thumb size as
// a DIB section whose corner pixels are magenta, so it goes through the skins' keyed copy.
#pragma once

#include <cstdint>

#include "support/windows_prelude.h"

constexpr int32_t kVerticalThumbWidth = 14;
constexpr int32_t kVerticalThumbHeight = 26;
constexpr int32_t kHorizontalThumbWidth = 23;
constexpr int32_t kHorizontalThumbHeight = 14;
// The colour a thumb image marks transparent pixels with.
constexpr COLORREF kThumbKeyColour = RGB(255, 0, 255);

// The pixel of the drawn cap at (x, y) as a COLORREF; kThumbKeyColour at the cut corners.
COLORREF faderCapPixel(bool vertical, int32_t x, int32_t y);

// The drawn cap for the orientation, created on first use; null when it could not be made.
HBITMAP PlainFaderCap(bool vertical);
void ReleasePlainFaderCaps();
