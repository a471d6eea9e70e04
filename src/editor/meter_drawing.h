// The Windows meters' drawing: the core's meter drawing (editor/core/meter_render.h) into the
// state's system bitmaps, which the window then copies to the screen.
#pragma once

#include <cstdint>

#include "editor/meter_state.h"

// The bar colour at position 0..256 of the scale as a COLORREF (meterRampPixel's colour).
COLORREF meterRampColour(int32_t position);

// Takes a new scale (METER_SETSCALE): a different one remakes the font and has the next paint
// render the strip again.
void setMeterScale(MeterState& state, double scale);

// Brings the strip and frame to the client size and composes the frame with its readout.
// False when there is nothing to show (an empty client area, or surfaces that could not be
// made).
bool drawVerticalMeter(MeterState& state, int32_t width, int32_t height);
bool drawHorizontalMeter(MeterState& state, int32_t width, int32_t height);
