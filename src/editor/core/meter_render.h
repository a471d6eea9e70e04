// How the meters draw, with the raster library into any bitmaps: a strip holding the whole
// scale twice (idle colours, lit colours, with the dB labels) is rendered once per size, mode
// and scale, and every frame is composed from pieces of it, then gets the readout in the
// editor's bold face. Every copy is clipped to both bitmaps, so a level or hold far off the
// scale (a silence value in gain-reduction mode puts the hold row far below the frame) draws
// nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "editor/core/meter_model.h"
#include "raster/pixo.h"

// The bar colour (a raster word) at position 0..256 of the scale (256 at 0 dB): green through
// yellow-green to orange, brightened by a quarter.
uint32_t meterRampPixel(int32_t position);
// The idle (unlit) version of a bar colour: three eighths of each component.
uint32_t meterDimmedPixel(uint32_t pixel);

// Copies a w x h block from (sx, sy) of src to (dx, dy) of dest, clipped to both bitmaps.
void copyClipped(PIXO_IBitmap& dest, int64_t dx, int64_t dy, PIXO_IBitmap& src, int64_t sx, int64_t sy, int64_t w,
                 int64_t h);

// One meter's drawing surfaces and font. The frame holds the finished picture (client-sized);
// the strip is the pre-rendered scale (vertical: twice the width; horizontal: twice the height).
class MeterPainter {
public:
    // Draws into bitmaps of its own.
    MeterPainter();
    // Draws into the caller's bitmaps, which must outlive it.
    MeterPainter(PIXO_IBitmap& frame, PIXO_IBitmap& strip);
    ~MeterPainter();
    MeterPainter(const MeterPainter&) = delete;
    MeterPainter& operator=(const MeterPainter&) = delete;

    // Device pixels per 96-dpi pixel: the font, labels, readout and hold line grow by it. A new
    // scale makes the font again and has the next frame render the strip again.
    void setScale(double scale);
    double scale() const { return scale_; }

    // Brings the strip and the frame to the size (rendering the strip again when the size, the
    // mode or the scale changed) and composes the frame with its readout. False when there is
    // nothing to show (an empty size, or bitmaps without pixels).
    bool drawVertical(const MeterValues& values, int32_t width, int32_t height);
    bool drawHorizontal(const MeterValues& values, int32_t width, int32_t height);

    PIXO_IBitmap& frame() { return *frame_; }
    PIXO_IBitmap& strip() { return *strip_; }

private:
    bool prepare(const MeterValues& values, int32_t frameWidth, int32_t frameHeight, int32_t stripWidth,
                 int32_t stripHeight, bool& renderStrip);

    std::unique_ptr<PIXO_MemBitmap> ownFrame_, ownStrip_;
    PIXO_IBitmap* frame_;
    PIXO_IBitmap* strip_;
    std::unique_ptr<PIXO_CachedFont> font_;
    double scale_ = 1.0;
    // The mode the strip was last rendered in, -1 when it must be rendered again.
    int32_t stripMode_ = -1;
};
