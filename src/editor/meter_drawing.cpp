#include "editor/meter_drawing.h"

#include "editor/core/ui_scale.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr COLORREF kStripeColour = RGB(32, 32, 32);
constexpr COLORREF kOverColour = RGB(255, 0, 0);
constexpr COLORREF kRampLow = RGB(0, 128, 0);
constexpr COLORREF kRampMiddle = RGB(192, 255, 96);
constexpr COLORREF kRampTop = RGB(255, 128, 64);
constexpr COLORREF kTextColour = RGB(255, 255, 255);
constexpr int32_t kLabelBoxHeight = 16;
constexpr UINT kTextFlags = DT_SINGLELINE | DT_NOPREFIX;

// The raster library's pixel word for a colour reference.
uint32_t pixelOf(COLORREF colour) {
    return 0xFF000000u | (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

// The idle (unlit) version of a bar colour: three eighths of each component.
COLORREF dimmed(COLORREF colour) {
    auto dim = [](int c) { return c / 8 + c / 4; };
    return RGB(dim(GetRValue(colour)), dim(GetGValue(colour)), dim(GetBValue(colour)));
}

void paint(PIXO_SysBitmap& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, COLORREF colour) {
    PIXO_PaintRect(&bitmap, x, y, w, h, pixelOf(colour), 1.0f, PIXO_BLEND_COPY);
}

void drawText(HDC dc, const char* text, RECT rect, COLORREF colour, UINT flags) {
    SetTextColor(dc, colour);
    DrawTextA(dc, text, -1, &rect, flags | kTextFlags);
}

void prepareText(PIXO_SysBitmap& bitmap, HFONT font) {
    HDC dc = bitmap.deviceContext();
    if (font)
        SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
}

// ---------------------------------------------------------------------------------------------
// Vertical meter

// One bar row of the strip in both halves. Each half holds the two channels' columns with a
// two-pixel gap between them, closed above 0 dB.
void fillStripRow(PIXO_SysBitmap& strip, int32_t width, int32_t y, COLORREF idle, COLORREF lit, bool overZone) {
    int32_t half = width / 2;
    if (overZone) {
        paint(strip, 0, y, width, 1, idle);
        paint(strip, width, y, width, 1, lit);
        return;
    }
    paint(strip, 0, y, half - 1, 1, idle);
    paint(strip, half + 1, y, width - half - 1, 1, idle);
    paint(strip, width, y, half - 1, 1, lit);
    paint(strip, width + half + 1, y, width - half - 1, 1, lit);
}

void renderVerticalBars(MeterState& state, int32_t width, int32_t height, const VerticalMeterScale& scale) {
    int32_t divisor = std::max(1, height - scale.zeroLine);
    for (int32_t y = height - 1; y >= 0; --y) {
        int32_t f = (height - y) * 256 / divisor;
        bool odd = (y & 1) != 0;
        COLORREF idle, lit;
        if (state.mode == kMeterGainReductionMode) {
            // The reduction lights bright red from the top; the rest of the bar is dark red.
            idle = odd ? kStripeColour : RGB(f / 3 < 64 ? 255 - f / 3 : 192, 0, 0);
            lit = odd ? kStripeColour : RGB(std::max(0, 80 - f / 5), 0, 0);
        } else {
            lit = y < scale.zeroLine ? kOverColour : (odd ? kStripeColour : meterRampColour(f));
            idle = dimmed(lit);
        }
        fillStripRow(state.strip, width, y, idle, lit, y < scale.zeroLine);
    }
}

void drawVerticalLabel(HDC dc, int32_t width, int32_t height, const VerticalMeterScale& scale, int32_t db,
                       int32_t grey, double factor) {
    auto px = [factor](int32_t pixels) { return scaledPixels(pixels, factor); };
    int32_t y = height * (scale.headroomDb + db) / (scale.rangeDb + scale.headroomDb) - px(5);
    if (y <= px(10))
        return;
    char text[16];
    std::snprintf(text, sizeof(text), "-%d-", db);
    const int32_t box = px(kLabelBoxHeight), one = scaledStroke(1, factor);
    drawText(dc, text, {one, y, width, y + box}, RGB(grey, grey, grey), DT_CENTER);
    if (db != 0)
        drawText(dc, text, {width + 3 * one, y + one, 2 * width + 2 * one, y + one + box}, RGB(0, 0, 0),
                 DT_CENTER);
    drawText(dc, text, {width + one, y, 2 * width, y + box}, kTextColour, DT_CENTER);
}

void renderVerticalLabels(MeterState& state, int32_t width, int32_t height, const VerticalMeterScale& scale) {
    HDC dc = state.strip.deviceContext();
    prepareText(state.strip, state.font);
    // Label spacing goes by the height in 96-dpi pixels, so a scaled meter shows the same labels.
    const int32_t baseHeight = int32_t(height / state.scale);
    int32_t spacing = baseHeight < 200 ? 12 : 6;
    if (state.mode == kMeterGainReductionMode) {
        for (int32_t db = spacing; db < scale.rangeDb - spacing; db += spacing)
            drawVerticalLabel(dc, width, height, scale, db, 255, state.scale);
        return;
    }
    for (int32_t db = baseHeight > 239 ? 0 : 6; db < scale.rangeDb; db += spacing)
        drawVerticalLabel(dc, width, height, scale, db, std::clamp(255 - db * 155 / scale.rangeDb, 0, 255),
                          state.scale);
}

void renderVerticalStrip(MeterState& state, int32_t width, int32_t height) {
    VerticalMeterScale scale = verticalScaleOf(state.mode, height);
    paint(state.strip, 0, 0, 2 * width, height, kStripeColour);
    renderVerticalBars(state, width, height, scale);
    renderVerticalLabels(state, width, height, scale);
    state.stripMode = state.mode;
}

// A hold line one scaled pixel thick: the source row repeated, held above the bar's top.
void copyHoldLine(MeterState& state, int64_t x, int64_t row, int64_t sourceX, int64_t sourceRow,
                  int64_t width, int64_t below) {
    const int64_t rows = std::min<int64_t>(scaledStroke(1, state.scale), below - row);
    for (int64_t i = 0; i < rows; ++i)
        copyClipped(state.frame, x, row + i, state.strip, sourceX, sourceRow, width, 1);
}

// One channel's column of the frame: idle strip above the level, lit below it, the over zone
// while any channel has reached 0 dB, and the hold line.
void composeVerticalChannel(MeterState& state, int32_t n, int32_t width, int32_t height,
                            const VerticalMeterScale& scale, int32_t overReached) {
    PIXO_SysBitmap& frame = state.frame;
    PIXO_SysBitmap& strip = state.strip;
    int64_t columnWidth = width / 2;
    int64_t x = n * columnWidth;
    int64_t litX = x + width;
    int64_t zeroLine = scale.zeroLine;
    int64_t tenthsBelowZero = 10 * int64_t(scale.rangeDb);
    bool levelMode = state.mode != kMeterGainReductionMode;

    int64_t level = state.level[n];
    int64_t levelTop = height - std::clamp<int64_t>(level + tenthsBelowZero, 0, scale.fullScale) * height / scale.fullScale;
    if (level >= 0 && levelTop >= zeroLine)
        levelTop = zeroLine - 1;
    int64_t hold = state.peakHold[n];
    int64_t holdRow = height - std::min<int64_t>(scale.fullScale, hold + tenthsBelowZero) * height / scale.fullScale;
    if (levelMode && hold >= 0 && holdRow >= zeroLine)
        holdRow = zeroLine - 1;

    copyClipped(frame, x, 0, strip, x, 0, columnWidth, levelTop);
    copyClipped(frame, x, levelTop, strip, litX, levelTop, columnWidth, height - levelTop);
    // A hold line below 0 dB takes an even (ramp-coloured, not striped) source row.
    int64_t holdSource = zeroLine < holdRow ? (holdRow & ~int64_t(1)) : holdRow;
    if (levelMode) {
        if (overReached >= 0)
            copyClipped(frame, x, 0, strip, litX, 0, columnWidth, zeroLine);
        if (holdRow < levelTop && holdRow < zeroLine)
            copyClipped(frame, x, holdRow, strip, litX, holdSource, columnWidth, zeroLine - holdRow);
        else if (holdRow < levelTop)
            copyHoldLine(state, x, holdRow, litX, holdSource, columnWidth, levelTop);
    } else if (levelTop < holdRow && scale.textBottom < holdRow) {
        copyHoldLine(state, x, holdRow, x, holdSource, columnWidth, height);
    }
}

void drawVerticalReadout(MeterState& state, int32_t width, int32_t height, const VerticalMeterScale& scale) {
    HDC dc = state.frame.deviceContext();
    prepareText(state.frame, state.font);
    char text[16];
    if (state.mode == kMeterGainReductionMode) {
        formatMeterReading(std::min(state.maxSinceReset[0], state.maxSinceReset[1]), text);
        drawText(dc, text, {0, 0, width, height}, kTextColour, DT_CENTER | DT_BOTTOM);
        formatMeterReading(std::min(state.peakHold[0], state.peakHold[1]), text);
        drawText(dc, text, {0, 0, width, scale.textBottom}, kTextColour, DT_CENTER | DT_VCENTER);
    } else {
        formatMeterReading(std::max(state.maxSinceReset[0], state.maxSinceReset[1]), text);
        drawText(dc, text, {0, 0, width, std::max(scale.textBottom, scaledPixels(10, state.scale))},
                 kTextColour, DT_CENTER | DT_VCENTER);
    }
}

// ---------------------------------------------------------------------------------------------
// Horizontal meter

int32_t horizontalZero(int32_t width) {
    return width * 619 / 680;
}

void renderHorizontalBars(MeterState& state, int32_t width, int32_t height) {
    int32_t zero = horizontalZero(width);
    int32_t firstChannelRows = height / 2;
    int32_t secondChannelTop = height / 2 + 1;
    for (int32_t x = 0; x < width; ++x) {
        int32_t f = x * 256 / std::max(1, zero);
        COLORREF lit = x > zero ? kOverColour : ((x & 1) ? kStripeColour : meterRampColour(f));
        COLORREF idle = dimmed(lit);
        paint(state.strip, x, 0, 1, firstChannelRows, idle);
        paint(state.strip, x, secondChannelTop, 1, height - secondChannelTop, idle);
        paint(state.strip, x, height, 1, firstChannelRows, lit);
        paint(state.strip, x, height + secondChannelTop, 1, height - secondChannelTop, lit);
    }
}

// The dB values that get a tick and a label, widely spaced on narrow meters.
struct HorizontalLabels {
    int32_t first;
    int32_t step;
};

HorizontalLabels horizontalLabelsFor(int32_t width) {
    int32_t first = width < 120 ? 24 : (width < 300 ? 12 : 6);
    int32_t step = first;
    while (step < 24 && (width / 30) * step < 62 - first)
        step += 6;
    return {first, step};
}

int32_t horizontalLabelX(int32_t width, int32_t db) {
    return width - (db + 6) * width / 68;
}

void renderHorizontalTicks(MeterState& state, int32_t width, int32_t height, const HorizontalLabels& labels) {
    int32_t tick = height / 6;
    for (int32_t db = labels.first; db < 62; db += labels.step) {
        int32_t x = horizontalLabelX(width, db);
        int32_t grey = std::max(0, 255 - db * 155 / 62);
        COLORREF greyColour = RGB(grey, grey, grey);
        for (int32_t top : {0, height - tick})
            paint(state.strip, x, top, 1, tick, greyColour);
        for (int32_t top : {height, 2 * height - tick}) {
            paint(state.strip, x, top, 1, tick, RGB(255, 255, 255));
            paint(state.strip, x + 1, top, 1, tick, RGB(0, 0, 0));
        }
    }
}

void renderHorizontalLabels(MeterState& state, int32_t width, int32_t height, const HorizontalLabels& labels) {
    HDC dc = state.strip.deviceContext();
    prepareText(state.strip, state.font);
    for (int32_t db = labels.first; db < 62; db += labels.step) {
        int32_t x = horizontalLabelX(width, db);
        int32_t grey = std::max(0, 255 - db * 155 / 62);
        char text[16];
        std::snprintf(text, sizeof(text), "%d", -db);
        // The label box stays inside the meter, so the leftmost label is not cut at the edge.
        const int32_t box = scaledPixels(32, state.scale), one = scaledStroke(1, state.scale);
        int32_t left = std::clamp(x - box / 2, 0, std::max(0, width - box));
        UINT flags = DT_CENTER | DT_VCENTER;
        drawText(dc, text, {left, 0, left + box, height}, RGB(grey, grey, grey), flags);
        drawText(dc, text, {left + one, height + one, left + box + one, 2 * height + one}, RGB(0, 0, 0),
                 flags);
        drawText(dc, text, {left, height, left + box, 2 * height}, kTextColour, flags);
    }
}

void renderHorizontalStrip(MeterState& state, int32_t width, int32_t height) {
    paint(state.strip, 0, 0, width, 2 * height, kStripeColour);
    renderHorizontalBars(state, width, height);
    HorizontalLabels labels = horizontalLabelsFor(int32_t(width / state.scale));
    renderHorizontalTicks(state, width, height, labels);
    renderHorizontalLabels(state, width, height, labels);
    state.stripMode = state.mode;
}

void composeHorizontalChannel(MeterState& state, int32_t n, int32_t width, int32_t height, int32_t overReached) {
    PIXO_SysBitmap& frame = state.frame;
    PIXO_SysBitmap& strip = state.strip;
    int64_t top = n == 0 ? 0 : height / 2;
    int64_t rows = n == 0 ? height / 2 : height - height / 2;
    int64_t litTop = height + top;
    int64_t zero = horizontalZero(width);

    int64_t level = state.level[n];
    int64_t levelEnd = std::clamp<int64_t>(level + 620, 0, 680) * width / 680;
    if (level >= 0 && levelEnd <= zero)
        levelEnd = zero + 1;
    copyClipped(frame, 0, top, strip, 0, litTop, levelEnd, rows);
    copyClipped(frame, levelEnd, top, strip, levelEnd, top, width - levelEnd, rows);
    if (overReached >= 0)
        copyClipped(frame, zero + 1, top, strip, zero + 1, litTop, width - zero - 1, rows);

    int64_t hold = state.peakHold[n];
    int64_t marker = std::min<int64_t>(width - 1, width * std::min<int64_t>(hold + 620, 680) / 680);
    if (hold >= 0 && marker <= zero)
        marker = zero + 1;
    if (levelEnd < marker) {
        int64_t first = std::min(marker, zero + 1);
        int64_t source = marker < zero ? (marker & ~int64_t(1)) : first;
        copyClipped(frame, first, top, strip, source, litTop, marker - first + 1, rows);
    }
}

void drawHorizontalReadout(MeterState& state, int32_t width, int32_t height) {
    prepareText(state.frame, state.font);
    char text[16];
    formatMeterReading(std::max(state.maxSinceReset[0], state.maxSinceReset[1]), text);
    const int32_t margin = scaledPixels(4, state.scale);
    drawText(state.frame.deviceContext(), text,
             {margin, 0, width - margin, height - scaledStroke(1, state.scale)}, kTextColour,
             DT_RIGHT | DT_VCENTER);
}

// Sizes both surfaces; true when the strip must be rendered again. Null pixels leave
// *usable false.
bool prepareSurfaces(MeterState& state, int32_t frameWidth, int32_t frameHeight, int32_t stripWidth,
                     int32_t stripHeight, bool* usable) {
    bool resized = state.strip.setSize(stripWidth, stripHeight);
    resized = state.frame.setSize(frameWidth, frameHeight) || resized;
    *usable = state.strip.pixels() && state.frame.pixels();
    if (*usable && !state.font)
        state.font = createMeterFont(state.scale);
    // Pixels are about to be written directly: no system drawing may still be pending.
    GdiFlush();
    return resized || state.stripMode != state.mode;
}

} // namespace

COLORREF meterRampColour(int32_t position) {
    auto channel = [position](int low, int middle, int top) {
        int c;
        if (position < 160) {
            int t = std::max(position, 0);
            c = (middle * t + low * (159 - t)) / 160;
        } else {
            int a = position > 190 ? std::min(2 * position - 190, 255) : position;
            c = (top * (a - 160) + middle * (255 - a)) / 95;
        }
        c = c + c / 4;
        return std::clamp(c, 0, 255);
    };
    return RGB(channel(GetRValue(kRampLow), GetRValue(kRampMiddle), GetRValue(kRampTop)),
               channel(GetGValue(kRampLow), GetGValue(kRampMiddle), GetGValue(kRampTop)),
               channel(GetBValue(kRampLow), GetBValue(kRampMiddle), GetBValue(kRampTop)));
}

void formatMeterReading(int32_t tenths, char (&text)[16]) {
    if (tenths < -999) {
        std::snprintf(text, sizeof(text), "-inf");
        return;
    }
    int64_t magnitude = tenths < 0 ? -int64_t(tenths) : int64_t(tenths);
    std::snprintf(text, sizeof(text), "%c%d.%01d", tenths >= 0 ? '+' : '-', int(magnitude / 10), int(magnitude % 10));
}

void copyClipped(PIXO_IBitmap& dest, int64_t dx, int64_t dy, PIXO_IBitmap& src, int64_t sx, int64_t sy, int64_t w,
                 int64_t h) {
    uint32_t* destPixels = dest.pixels();
    const uint32_t* srcPixels = src.pixels();
    if (!destPixels || !srcPixels)
        return;
    // Move the start into both bitmaps, then cut the size to what both can hold.
    int64_t skip = std::max({int64_t(0), -dx, -sx});
    dx += skip, sx += skip, w -= skip;
    skip = std::max({int64_t(0), -dy, -sy});
    dy += skip, sy += skip, h -= skip;
    w = std::min({w, int64_t(dest.width()) - dx, int64_t(src.width()) - sx});
    h = std::min({h, int64_t(dest.height()) - dy, int64_t(src.height()) - sy});
    if (w <= 0 || h <= 0)
        return;
    for (int64_t j = 0; j < h; ++j) {
        int64_t destRow = dest.bottomUp() ? dest.height() - 1 - (dy + j) : dy + j;
        int64_t srcRow = src.bottomUp() ? src.height() - 1 - (sy + j) : sy + j;
        std::memmove(destPixels + destRow * dest.rowSpan() + dx, srcPixels + srcRow * src.rowSpan() + sx,
                     size_t(w) * sizeof(uint32_t));
    }
}

VerticalMeterScale verticalScaleOf(int32_t mode, int32_t height) {
    if (mode == kMeterGainReductionMode)
        return {21, 0, 210, 0, height - height * 209 / 240, 0};
    int32_t zeroLine = height - height * 619 / 680;
    return {62, 6, 680, zeroLine, zeroLine, kMeterSilence};
}

HFONT createMeterFont(double scale) {
    return CreateFontA(scaledPixels(12, scale), 0, 0, 0, 700, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
}

void setMeterScale(MeterState& state, double scale) {
    if (scale == state.scale)
        return;
    state.scale = scale;
    state.stripMode = -1;
    releaseMeterFont(state);
}

void releaseMeterFont(MeterState& state) {
    if (!state.font)
        return;
    // Neither surface may keep the font selected once it is deleted.
    HGDIOBJ systemFont = GetStockObject(SYSTEM_FONT);
    if (HDC dc = state.frame.deviceContext())
        SelectObject(dc, systemFont);
    if (HDC dc = state.strip.deviceContext())
        SelectObject(dc, systemFont);
    DeleteObject(state.font);
    state.font = nullptr;
}

bool drawVerticalMeter(MeterState& state, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return false;
    bool usable = false;
    bool renderStrip = prepareSurfaces(state, width, height, 2 * width, height, &usable);
    if (!usable)
        return false;
    if (renderStrip) {
        renderVerticalStrip(state, width, height);
        GdiFlush();
    }
    VerticalMeterScale scale = verticalScaleOf(state.mode, height);
    paint(state.frame, 0, 0, width, height, RGB(0, 0, 0));
    int32_t overReached = std::max(state.maxSinceReset[0], state.maxSinceReset[1]);
    for (int32_t n = 0; n < 2; ++n)
        composeVerticalChannel(state, n, width, height, scale, overReached);
    drawVerticalReadout(state, width, height, scale);
    return true;
}

bool drawHorizontalMeter(MeterState& state, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return false;
    bool usable = false;
    bool renderStrip = prepareSurfaces(state, width, height, width, 2 * height, &usable);
    if (!usable)
        return false;
    if (renderStrip) {
        renderHorizontalStrip(state, width, height);
        GdiFlush();
    }
    paint(state.frame, 0, 0, width, height, RGB(0, 0, 0));
    int32_t overReached = std::max(state.maxSinceReset[0], state.maxSinceReset[1]);
    for (int32_t n = 0; n < 2; ++n)
        composeHorizontalChannel(state, n, width, height, overReached);
    drawHorizontalReadout(state, width, height);
    return true;
}
