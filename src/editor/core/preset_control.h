// How the preset control looks, drawn by the raster library into any bitmap: a flat button with
// the preset's label (presetControlLabel) at the left, cut short with "..." when it does not fit,
// and a drop-down arrow at the right. Both editors draw it with this painter, so it looks the
// same in either.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "raster/pixo.h"

class PresetControlPainter {
public:
    PresetControlPainter();
    ~PresetControlPainter();
    PresetControlPainter(const PresetControlPainter&) = delete;
    PresetControlPainter& operator=(const PresetControlPainter&) = delete;

    // Device pixels per 96-dpi pixel; a new scale makes the font again.
    void setScale(double scale);

    // Draws the control filling a width x height area at (x, y) of the bitmap, clipped to it;
    // pressed while its menu is open.
    void draw(PIXO_IBitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height, const std::string& label,
              bool pressed);

    // The label as drawn in a text area of a width: whole, or cut at a character boundary with
    // "..." after it.
    std::string fitted(const std::string& label, int32_t width);

private:
    int32_t textWidth(const std::string& text);

    std::unique_ptr<PIXO_CachedFont> font_;
    double scale_ = 1.0;
};
