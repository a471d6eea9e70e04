// The thumb a fader draws when no skin bitmap was found: the drawn cap of the editor core
// (editor/core/fader_drawing.h), made once per orientation and scale as a DIB section whose
// cut corners are magenta, so it goes through the skins' keyed copy.
#pragma once

#include <cstdint>

#include "editor/core/fader_drawing.h"
#include "editor/core/fader_model.h"
#include "support/windows_prelude.h"

constexpr int32_t kVerticalThumbWidth = kVerticalFaderThumbWidth;
constexpr int32_t kVerticalThumbHeight = kVerticalFaderThumbHeight;
constexpr int32_t kHorizontalThumbWidth = kHorizontalFaderThumbWidth;
constexpr int32_t kHorizontalThumbHeight = kHorizontalFaderThumbHeight;
// The colour a thumb image marks transparent pixels with.
constexpr COLORREF kThumbKeyColour = RGB(255, 0, 255);

// The drawn cap's pixel at (x, y) as a COLORREF; kThumbKeyColour at the cut corners.
COLORREF faderCapColour(bool vertical, int32_t x, int32_t y, double scale = 1.0);

// The drawn cap for the orientation at the scale, made on first use (again when the scale
// changed); null when it could not be made.
HBITMAP plainFaderCap(bool vertical, double scale);
void releasePlainFaderCaps();
