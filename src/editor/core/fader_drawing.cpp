#include "editor/core/fader_drawing.h"

#include <algorithm>
#include <cstdlib>

#include "editor/core/ui_scale.h"

namespace {

int clampByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

uint32_t grey(int r, int g, int b) {
    return 0xFF000000u | (uint32_t(clampByte(r)) << 16) | (uint32_t(clampByte(g)) << 8) | uint32_t(clampByte(b));
}

// Distance along the cap from its centre line (one row, or two when the length is even).
int distanceFromCentre(int along, int length) {
    int upper = length / 2;
    int lower = (length % 2 == 0) ? upper - 1 : upper;
    if (along >= lower && along <= upper)
        return 0;
    return along < lower ? lower - along : along - upper;
}

void fill(PIXO_IBitmap& bitmap, int32_t x, int32_t y, const PIXO_Rect& r, uint32_t colour) {
    PIXO_PaintRect(&bitmap, x + int32_t(r.left), y + int32_t(r.top), int32_t(r.right - r.left),
                   int32_t(r.bottom - r.top), colour, 1.0f, PIXO_BLEND_COPY);
}

// The track: an outline of the edge colour around the fill. The outline runs along the
// rectangle's outermost pixels and a wider pen is centred on it (half of it, rounded down,
// outside), as the system's pens are; the small rounding of the corners is left out (at 96 dpi
// the system draws those pixels too).
void drawTrack(PIXO_IBitmap& bitmap, int32_t x, int32_t y, const FaderGeometry& g, const FaderColours& colours) {
    const PIXO_Rect track = faderTrackRect(g);
    const int32_t pen = scaledStroke(1, g.scale), outside = pen / 2, inside = pen - outside;
    const int32_t left = int32_t(track.left), top = int32_t(track.top);
    const int32_t right = int32_t(track.right) - 1, bottom = int32_t(track.bottom) - 1;
    if (right < left || bottom < top)
        return;
    fill(bitmap, x, y, {left - outside, top - outside, right + inside, bottom + inside}, colours.trackEdge);
    fill(bitmap, x, y, {left + inside, top + inside, right - outside, bottom - outside}, colours.trackFill);
}

// The default-position line from 2 to the extent - 2 (exclusive) at a row or column: a wider
// pen is centred on it and reaches half its width past either end.
void drawDefaultLine(PIXO_IBitmap& bitmap, int32_t x, int32_t y, const FaderGeometry& g, int32_t at,
                     uint32_t colour) {
    const int32_t pen = scaledStroke(1, g.scale), outside = pen / 2;
    const int32_t from = 2 - (pen > 1 ? outside : 0);
    const int32_t to = (g.vertical ? g.clientWidth : g.clientHeight) - 2 + (pen > 1 ? outside : 0);
    if (g.vertical)
        fill(bitmap, x, y, {from, at - outside, to, at - outside + pen}, colour);
    else
        fill(bitmap, x, y, {at - outside, from, at - outside + pen, to}, colour);
}

void drawCap(PIXO_IBitmap& bitmap, int32_t left, int32_t top, bool vertical, double scale) {
    const int32_t width = faderCapWidth(vertical, scale), height = faderCapHeight(vertical, scale);
    for (int32_t cy = 0; cy < height; ++cy)
        for (int32_t cx = 0; cx < width; ++cx) {
            const uint32_t pixel = faderCapPixel(vertical, cx, cy, scale);
            if (pixel != kFaderCapClear)
                PIXO_PaintRect(&bitmap, left + cx, top + cy, 1, 1, pixel, 1.0f, PIXO_BLEND_COPY);
        }
}

} // namespace

uint32_t faderCapPixel(bool vertical, int32_t x, int32_t y, double scale) {
    // "Along" runs in the direction of travel, "across" over the cap's short side; light falls
    // from the left and the top. Edges are one scaled pixel wide; distances from the centre
    // line count in 96-dpi pixels, so the grip's grooves keep their rhythm.
    int length = vertical ? faderCapHeight(true, scale) : faderCapWidth(false, scale);
    int breadth = vertical ? faderCapWidth(true, scale) : faderCapHeight(false, scale);
    int edge = scaledStroke(1, scale);
    int along = vertical ? y : x;
    int across = vertical ? x : y;
    bool alongEdge = along < edge || along >= length - edge;
    bool acrossEdge = across < edge || across >= breadth - edge;
    if (alongEdge && acrossEdge)
        return kFaderCapClear;
    if (alongEdge || acrossEdge)
        return grey(16, 16, 16);

    // A rounded body: brightest a quarter of the way across, darker towards the far side.
    int position = (across - edge) * 100 / (breadth - 2 * edge - 1);
    int shade = 46 - 90 * std::abs(position - 25) / 100;
    int level = 84 + shade;
    int distance = int(distanceFromCentre(along, length) / scale);
    if (distance == 0)
        return grey(236 + shade / 8, 236 + shade / 8, 232 + shade / 8);
    if (distance == 1)
        level -= 34;
    else if (distance >= 3 && distance % 3 == 0)
        level -= 24;  // a groove of the grip
    else if (distance >= 3 && distance % 3 == 1)
        level += 18;  // the lit ridge below it
    if (along < 2 * edge)
        level += 26;
    else if (along >= length - 2 * edge)
        level -= 20;
    level = clampByte(level);
    return grey(level, level, level + 3);
}

PIXO_Rect faderTrackRect(const FaderGeometry& g) {
    const int32_t trackWidth = scaledPixels(5, g.scale);
    PIXO_Rect track;
    if (g.vertical) {
        track.left = (g.clientWidth - (trackWidth - 1)) / 2;
        track.right = track.left + trackWidth;
        track.top = g.thumbHeight / 3;
        track.bottom = g.clientHeight - g.thumbHeight / 3;
    } else {
        track.top = (g.clientHeight - (trackWidth - 1)) / 2;
        track.bottom = track.top + trackWidth;
        track.left = g.thumbWidth / 3;
        track.right = g.clientWidth - g.thumbWidth / 3;
    }
    return track;
}

int32_t faderTrackCorner(const FaderGeometry& g) {
    return scaledPixels(2, g.scale);
}

int32_t faderDefaultLineAt(const FaderGeometry& g, const FaderRange& range, int32_t defaultPosition) {
    if (g.vertical)
        return int32_t(int64_t(g.clientHeight - g.thumbHeight) * (range.max - defaultPosition) / range.span()) +
               g.thumbHeight / 2 - 1;
    return int32_t(int64_t(g.clientWidth - g.thumbWidth) * (defaultPosition - range.min) / range.span()) +
           g.thumbWidth / 2;
}

bool faderOverlayBars(const FaderGeometry& g, uint32_t levels, PIXO_Rect& left, PIXO_Rect& right) {
    if (levels == 0)
        return false;
    const int32_t barWidth = std::max(1, (g.clientWidth - g.thumbWidth) / 2);
    auto barTop = [&](int32_t level) {
        return g.thumbHeight / 2 + int32_t(int64_t(1000 - level) * (g.clientHeight - g.thumbHeight) / 1000);
    };
    left = {0, barTop(int32_t(levels & 0xFFFF)), barWidth, g.clientHeight};
    right = {g.clientWidth - barWidth, barTop(int32_t(levels >> 16)), g.clientWidth, g.clientHeight};
    return true;
}

void drawFader(PIXO_IBitmap& bitmap, int32_t x, int32_t y, const FaderModel& fader, const FaderGeometry& g,
               const FaderColours& colours) {
    if (g.clientWidth <= 0 || g.clientHeight <= 0)
        return;
    fill(bitmap, x, y, {0, 0, g.clientWidth, g.clientHeight}, colours.background);
    PIXO_Rect left, right;
    if (fader.vertical && faderOverlayBars(g, fader.levelOverlay, left, right)) {
        fill(bitmap, x, y, left, kFaderOverlayColour);
        fill(bitmap, x, y, right, kFaderOverlayColour);
    }
    const FaderRange range = fader.range();
    if (!(fader.flags & kFaderNoDefaultLine))
        drawDefaultLine(bitmap, x, y, g, faderDefaultLineAt(g, range, fader.defaultTarget()), colours.defaultLine);
    drawTrack(bitmap, x, y, g, colours);
    const int32_t stored = fader.stored();
    drawCap(bitmap, x + g.thumbX(range, stored), y + g.thumbY(range, stored), fader.vertical, fader.scale);
}
