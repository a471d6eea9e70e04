// The editor's scale: how many device pixels one 96-dpi pixel becomes (1.0 at 96 dpi, 1.5 at
// 144, 2.0 at 192). The editor keeps it as a plain factor so that any window layer can supply
// its own; every size that is a fixed pixel count at 96 dpi goes through scaledPixels, which
// leaves each one unchanged at a scale of 1.
#pragma once

#include <cmath>
#include <cstdint>

constexpr int32_t kBaseDpi = 96;

// A scale from dots per inch; 1.0 for a value no display reports.
inline double scaleOfDpi(int32_t dpi) {
    return dpi >= 24 && dpi <= 960 ? dpi / double(kBaseDpi) : 1.0;
}
// The dots per inch a scale stands for, the form the window messages carry.
inline int32_t dpiOfScale(double scale) {
    return int32_t(std::lround(scale * kBaseDpi));
}
// A 96-dpi pixel count at the scale, rounded to the nearest pixel.
inline int32_t scaledPixels(int32_t pixels, double scale) {
    return int32_t(std::lround(pixels * scale));
}
// A line width or other length that never vanishes: at least one pixel.
inline int32_t scaledStroke(int32_t pixels, double scale) {
    const int32_t scaled = scaledPixels(pixels, scale);
    return scaled > 0 ? scaled : 1;
}
