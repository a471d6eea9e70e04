// How the meters draw: a strip holding the whole scale twice (idle colours, lit colours) is
// rendered once per size, and every paint composes the frame from pieces of it, then adds the
// readout. Every copy is clipped to both bitmaps, so a level or hold far off the scale (a
// silence value in gain-reduction mode puts the hold row far below the frame) draws nothing.
#pragma once

#include <cstdint>

#include "editor/meter_state.h"

// The bar colour at position 0..256 of the scale (256 at 0 dB): green through yellow-green to
// orange, brightened by a quarter.
COLORREF meterRampColour(int32_t position);

// "%c%d.%01d" of a level in tenths of a dB (-5 gives "-0.5", 0 "+0.0"); "-inf" below -999.
void formatMeterReading(int32_t tenths, char (&text)[16]);

// Copies a w x h block from (sx, sy) of src to (dx, dy) of dest, clipped to both bitmaps.
void copyClipped(PIXO_IBitmap& dest, int64_t dx, int64_t dy, PIXO_IBitmap& src, int64_t sx, int64_t sy, int64_t w,
                 int64_t h);

// The vertical scale of a mode for a meter of height h.
struct VerticalMeterScale {
    int32_t rangeDb;     // dB shown below 0 dB
    int32_t headroomDb;  // dB shown above it
    int32_t fullScale;   // tenths of a dB over the whole height
    int32_t zeroLine;    // first row at or below 0 dB (no over zone when 0)
    int32_t textBottom;  // bottom of the band the readout is centred in
    int32_t resetValue;
};
VerticalMeterScale verticalScaleOf(int32_t mode, int32_t height);

// The meter font: 12 pixels at 96 dpi grown by the scale, bold Arial (null when it cannot be
// made).
HFONT createMeterFont(double scale);

// Takes a new scale: a different one drops the font and has the next paint render the strip
// again.
void setMeterScale(MeterState& state, double scale);
// Deletes the state's font, selected out of both surfaces first.
void releaseMeterFont(MeterState& state);

// Brings the strip and frame to the client size (rendering the strip again when a size or
// the mode changed) and composes the frame with its readout. False when there is nothing to
// show (an empty client area, or surfaces that could not be made).
bool drawVerticalMeter(MeterState& state, int32_t width, int32_t height);
bool drawHorizontalMeter(MeterState& state, int32_t width, int32_t height);
