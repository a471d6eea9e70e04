// GraphGeometry: where things sit in the response graph. Frequencies run logarithmically from
// 20 Hz at x = 0 to 24000 Hz at x = W; levels run linearly in dB over the range the band tabs
// leave room for (-60..+6 dB with tabs shown, -90..+12 dB without). Every pixel position is
// truncated toward zero, so y(dB) lies one pixel lower than a rounded position would. The
// handle and the pointer's reach are 96-dpi pixel counts grown by the editor's scale.
#pragma once

#include "editor/core/ui_scale.h"
#include "shell/conversions.h"
#include "shell/setting_kinds.h"

#include <cstdint>

struct GraphGeometry {
    int32_t width = 0;
    int32_t height = 0;
    double bottomDb = -60.0;
    double spanDb = 66.0;
    double scale = 1.0;

    GraphGeometry(int32_t w, int32_t h, bool tabsShown, double scaleFactor = 1.0)
        : width(w), height(h), bottomDb(tabsShown ? -60.0 : -90.0), spanDb(tabsShown ? 66.0 : 102.0),
          scale(scaleFactor) {}

    double topDb() const { return bottomDb + spanDb; }

    int32_t xOfFrequency(double f) const { return clampedPixels(logScaleFractionByQuotient(f) * width); }
    double frequencyOfX(double x) const { return logScaleFrequencyAt(x, width); }
    // Not clamped: a level above the range lies above the window, silence far below it.
    int32_t yOfDb(double db) const { return height - clampedPixels((db - bottomDb) * (height / spanDb)); }
    double amplitudeOfY(double y) const { return dbToAmp((height - y) * spanDb / height + bottomDb); }
    // A length in pixels for a level difference in dB (makeup and gain-reduction bars).
    int32_t pixelsOfDb(double db) const { return clampedPixels(db * height / spanDb); }
    // The grid's level lines: one pixel above y(dB) when the product is not whole.
    int32_t gridYOfDb(double db) const { return clampedPixels((db - bottomDb) * (-height / spanDb) + height); }

    // A band's handle: a disc of handleRadius() pixels at the band's threshold, centred between
    // its own frequency line and the one below it (handleX); the pointer hits it within the
    // radius across and up or down.
    static constexpr int32_t kHandleRadius = 7;
    static int32_t handleX(int32_t lineBelowX, int32_t lineX) { return (lineX + lineBelowX) / 2; }
    int32_t handleRadius() const { return scaledPixels(kHandleRadius, scale); }
    // The pointer is on a frequency line less than lineReach() pixels from it, and at the
    // band's threshold there less than thresholdReach() pixels above or below it.
    static constexpr int32_t kLineReach = 3;
    static constexpr int32_t kThresholdReach = 12;
    int32_t lineReach() const { return scaledPixels(kLineReach, scale); }
    int32_t thresholdReach() const { return scaledPixels(kThresholdReach, scale); }
    // A 96-dpi pixel count (an offset, a font or sprite size) at the scale.
    int32_t px(int32_t pixels) const { return scaledPixels(pixels, scale); }
    // The width of the graph's lines: one pixel at 96 dpi, never less.
    int32_t lineWidth() const { return scaledStroke(1, scale); }

private:
    // Truncation toward zero, held inside 32 bits for levels far outside the window.
    static int32_t clampedPixels(double v) {
        if (!(v > -1e8))
            return v > 0 ? 100000000 : -100000000;
        return v > 1e8 ? 100000000 : int32_t(v);
    }
};
