#include "editor/core/meter_render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/core/editor_fonts.h"
#include "editor/core/ui_scale.h"

namespace {

constexpr uint32_t kStripeColour = 0xFF202020;
constexpr uint32_t kOverColour = 0xFFFF0000;
constexpr uint32_t kRampLow = 0xFF008000;
constexpr uint32_t kRampMiddle = 0xFFC0FF60;
constexpr uint32_t kRampTop = 0xFFFF8040;
constexpr uint32_t kTextColour = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr int32_t kLabelBoxHeight = 16;
constexpr int32_t kMeterFontHeight = 12;

uint32_t rgb(int r, int g, int b) {
    return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

uint32_t greyPixel(int g) {
    return rgb(g, g, g);
}

int component(uint32_t pixel, int shift) {
    return int((pixel >> shift) & 0xFF);
}

void paint(PIXO_IBitmap& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    PIXO_PaintRect(&bitmap, x, y, w, h, colour, 1.0f, PIXO_BLEND_COPY);
}

// One line of text in a colour, laid out in the rectangle as the flags say (DrawText's).
void drawText(PIXO_CachedFont* font, PIXO_IBitmap& bitmap, const char* text, PIXO_Rect rect, uint32_t colour,
              int32_t flags) {
    if (!font)
        return;
    font->SetForeground(colour);
    font->RenderText(&bitmap, text, -1, &rect, flags | DT_SINGLELINE | DT_NOPREFIX);
}

// ---------------------------------------------------------------------------------------------
// Vertical meter

// One bar row of the strip in both halves. Each half holds the two channels' columns with a
// two-pixel gap between them, closed above 0 dB.
void fillStripRow(PIXO_IBitmap& strip, int32_t width, int32_t y, uint32_t idle, uint32_t lit, bool overZone) {
    const int32_t half = width / 2;
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

void renderVerticalBars(PIXO_IBitmap& strip, int32_t mode, int32_t width, int32_t height,
                        const VerticalMeterScale& scale) {
    const int32_t divisor = std::max(1, height - scale.zeroLine);
    for (int32_t y = height - 1; y >= 0; --y) {
        const int32_t f = (height - y) * 256 / divisor;
        const bool odd = (y & 1) != 0;
        uint32_t idle, lit;
        if (mode == kMeterGainReductionMode) {
            // The reduction lights bright red from the top; the rest of the bar is dark red.
            idle = odd ? kStripeColour : rgb(f / 3 < 64 ? 255 - f / 3 : 192, 0, 0);
            lit = odd ? kStripeColour : rgb(std::max(0, 80 - f / 5), 0, 0);
        } else {
            lit = y < scale.zeroLine ? kOverColour : (odd ? kStripeColour : meterRampPixel(f));
            idle = meterDimmedPixel(lit);
        }
        fillStripRow(strip, width, y, idle, lit, y < scale.zeroLine);
    }
}

void drawVerticalLabel(PIXO_CachedFont* font, PIXO_IBitmap& strip, int32_t width, int32_t height,
                       const VerticalMeterScale& scale, int32_t db, int32_t grey, double factor) {
    auto px = [factor](int32_t pixels) { return scaledPixels(pixels, factor); };
    const int32_t y = height * (scale.headroomDb + db) / (scale.rangeDb + scale.headroomDb) - px(5);
    if (y <= px(10))
        return;
    char text[16];
    std::snprintf(text, sizeof(text), "-%d-", db);
    const int32_t box = px(kLabelBoxHeight), one = scaledStroke(1, factor);
    drawText(font, strip, text, {one, y, width, y + box}, greyPixel(grey), DT_CENTER);
    if (db != 0)
        drawText(font, strip, text, {width + 3 * one, y + one, 2 * width + 2 * one, y + one + box}, kBlack,
                 DT_CENTER);
    drawText(font, strip, text, {width + one, y, 2 * width, y + box}, kTextColour, DT_CENTER);
}

void renderVerticalLabels(PIXO_CachedFont* font, PIXO_IBitmap& strip, int32_t mode, double factor, int32_t width,
                          int32_t height, const VerticalMeterScale& scale) {
    // Label spacing goes by the height in 96-dpi pixels, so a scaled meter shows the same labels.
    const int32_t baseHeight = int32_t(height / factor);
    const int32_t spacing = baseHeight < 200 ? 12 : 6;
    if (mode == kMeterGainReductionMode) {
        for (int32_t db = spacing; db < scale.rangeDb - spacing; db += spacing)
            drawVerticalLabel(font, strip, width, height, scale, db, 255, factor);
        return;
    }
    for (int32_t db = baseHeight > 239 ? 0 : 6; db < scale.rangeDb; db += spacing)
        drawVerticalLabel(font, strip, width, height, scale, db,
                          std::clamp(255 - db * 155 / scale.rangeDb, 0, 255), factor);
}

// A hold line one scaled pixel thick: the source row repeated, held above the bar's top.
void copyHoldLine(PIXO_IBitmap& frame, PIXO_IBitmap& strip, double factor, int64_t x, int64_t row, int64_t sourceX,
                  int64_t sourceRow, int64_t width, int64_t below) {
    const int64_t rows = std::min<int64_t>(scaledStroke(1, factor), below - row);
    for (int64_t i = 0; i < rows; ++i)
        copyClipped(frame, x, row + i, strip, sourceX, sourceRow, width, 1);
}

// One channel's column of the frame: idle strip above the level, lit below it, the over zone
// while any channel has reached 0 dB, and the hold line.
void composeVerticalChannel(PIXO_IBitmap& frame, PIXO_IBitmap& strip, double factor, const MeterValues& values,
                            int32_t n, int32_t width, int32_t height, const VerticalMeterScale& scale,
                            int32_t overReached) {
    const int64_t columnWidth = width / 2;
    const int64_t x = n * columnWidth;
    const int64_t litX = x + width;
    const int64_t zeroLine = scale.zeroLine;
    const int64_t tenthsBelowZero = 10 * int64_t(scale.rangeDb);
    const bool levelMode = values.mode != kMeterGainReductionMode;

    const int64_t level = values.level[n];
    int64_t levelTop =
        height - std::clamp<int64_t>(level + tenthsBelowZero, 0, scale.fullScale) * height / scale.fullScale;
    if (level >= 0 && levelTop >= zeroLine)
        levelTop = zeroLine - 1;
    const int64_t hold = values.peakHold[n];
    int64_t holdRow = height - std::min<int64_t>(scale.fullScale, hold + tenthsBelowZero) * height / scale.fullScale;
    if (levelMode && hold >= 0 && holdRow >= zeroLine)
        holdRow = zeroLine - 1;

    copyClipped(frame, x, 0, strip, x, 0, columnWidth, levelTop);
    copyClipped(frame, x, levelTop, strip, litX, levelTop, columnWidth, height - levelTop);
    // A hold line below 0 dB takes an even (ramp-coloured, not striped) source row.
    const int64_t holdSource = zeroLine < holdRow ? (holdRow & ~int64_t(1)) : holdRow;
    if (levelMode) {
        if (overReached >= 0)
            copyClipped(frame, x, 0, strip, litX, 0, columnWidth, zeroLine);
        if (holdRow < levelTop && holdRow < zeroLine)
            copyClipped(frame, x, holdRow, strip, litX, holdSource, columnWidth, zeroLine - holdRow);
        else if (holdRow < levelTop)
            copyHoldLine(frame, strip, factor, x, holdRow, litX, holdSource, columnWidth, levelTop);
    } else if (levelTop < holdRow && scale.textBottom < holdRow) {
        copyHoldLine(frame, strip, factor, x, holdRow, x, holdSource, columnWidth, height);
    }
}

void drawVerticalReadout(PIXO_CachedFont* font, PIXO_IBitmap& frame, double factor, const MeterValues& values,
                         int32_t width, int32_t height, const VerticalMeterScale& scale) {
    char text[16];
    if (values.mode == kMeterGainReductionMode) {
        formatMeterReading(std::min(values.maxSinceReset[0], values.maxSinceReset[1]), text);
        drawText(font, frame, text, {0, 0, width, height}, kTextColour, DT_CENTER | DT_BOTTOM);
        formatMeterReading(std::min(values.peakHold[0], values.peakHold[1]), text);
        drawText(font, frame, text, {0, 0, width, scale.textBottom}, kTextColour, DT_CENTER | DT_VCENTER);
    } else {
        formatMeterReading(std::max(values.maxSinceReset[0], values.maxSinceReset[1]), text);
        drawText(font, frame, text, {0, 0, width, std::max(scale.textBottom, scaledPixels(10, factor))},
                 kTextColour, DT_CENTER | DT_VCENTER);
    }
}

// ---------------------------------------------------------------------------------------------
// Horizontal meter

void renderHorizontalBars(PIXO_IBitmap& strip, int32_t width, int32_t height) {
    const int32_t zero = horizontalMeterZero(width);
    const int32_t firstChannelRows = height / 2;
    const int32_t secondChannelTop = height / 2 + 1;
    for (int32_t x = 0; x < width; ++x) {
        const int32_t f = x * 256 / std::max(1, zero);
        const uint32_t lit = x > zero ? kOverColour : ((x & 1) ? kStripeColour : meterRampPixel(f));
        const uint32_t idle = meterDimmedPixel(lit);
        paint(strip, x, 0, 1, firstChannelRows, idle);
        paint(strip, x, secondChannelTop, 1, height - secondChannelTop, idle);
        paint(strip, x, height, 1, firstChannelRows, lit);
        paint(strip, x, height + secondChannelTop, 1, height - secondChannelTop, lit);
    }
}

// The dB values that get a tick and a label, widely spaced on narrow meters.
struct HorizontalLabels {
    int32_t first;
    int32_t step;
};

HorizontalLabels horizontalLabelsFor(int32_t width) {
    const int32_t first = width < 120 ? 24 : (width < 300 ? 12 : 6);
    int32_t step = first;
    while (step < 24 && (width / 30) * step < 62 - first)
        step += 6;
    return {first, step};
}

int32_t horizontalLabelX(int32_t width, int32_t db) {
    return width - (db + 6) * width / 68;
}

int32_t horizontalLabelGrey(int32_t db) {
    return std::max(0, 255 - db * 155 / 62);
}

void renderHorizontalTicks(PIXO_IBitmap& strip, int32_t width, int32_t height, const HorizontalLabels& labels) {
    const int32_t tick = height / 6;
    for (int32_t db = labels.first; db < 62; db += labels.step) {
        const int32_t x = horizontalLabelX(width, db);
        const uint32_t grey = greyPixel(horizontalLabelGrey(db));
        for (int32_t top : {0, height - tick})
            paint(strip, x, top, 1, tick, grey);
        for (int32_t top : {height, 2 * height - tick}) {
            paint(strip, x, top, 1, tick, kTextColour);
            paint(strip, x + 1, top, 1, tick, kBlack);
        }
    }
}

void renderHorizontalLabels(PIXO_CachedFont* font, PIXO_IBitmap& strip, double factor, int32_t width,
                            int32_t height, const HorizontalLabels& labels) {
    for (int32_t db = labels.first; db < 62; db += labels.step) {
        const int32_t x = horizontalLabelX(width, db);
        char text[16];
        std::snprintf(text, sizeof(text), "%d", -db);
        // The label box stays inside the meter, so the leftmost label is not cut at the edge.
        const int32_t box = scaledPixels(32, factor), one = scaledStroke(1, factor);
        const int32_t left = std::clamp(x - box / 2, 0, std::max(0, width - box));
        const int32_t flags = DT_CENTER | DT_VCENTER;
        drawText(font, strip, text, {left, 0, left + box, height}, greyPixel(horizontalLabelGrey(db)), flags);
        drawText(font, strip, text, {left + one, height + one, left + box + one, 2 * height + one}, kBlack, flags);
        drawText(font, strip, text, {left, height, left + box, 2 * height}, kTextColour, flags);
    }
}

void composeHorizontalChannel(PIXO_IBitmap& frame, PIXO_IBitmap& strip, const MeterValues& values, int32_t n,
                              int32_t width, int32_t height, int32_t overReached) {
    const int64_t top = n == 0 ? 0 : height / 2;
    const int64_t rows = n == 0 ? height / 2 : height - height / 2;
    const int64_t litTop = height + top;
    const int64_t zero = horizontalMeterZero(width);

    const int64_t level = values.level[n];
    int64_t levelEnd = std::clamp<int64_t>(level + 620, 0, 680) * width / 680;
    if (level >= 0 && levelEnd <= zero)
        levelEnd = zero + 1;
    copyClipped(frame, 0, top, strip, 0, litTop, levelEnd, rows);
    copyClipped(frame, levelEnd, top, strip, levelEnd, top, width - levelEnd, rows);
    if (overReached >= 0)
        copyClipped(frame, zero + 1, top, strip, zero + 1, litTop, width - zero - 1, rows);

    const int64_t hold = values.peakHold[n];
    int64_t marker = std::min<int64_t>(width - 1, width * std::min<int64_t>(hold + 620, 680) / 680);
    if (hold >= 0 && marker <= zero)
        marker = zero + 1;
    if (levelEnd < marker) {
        const int64_t first = std::min(marker, zero + 1);
        const int64_t source = marker < zero ? (marker & ~int64_t(1)) : first;
        copyClipped(frame, first, top, strip, source, litTop, marker - first + 1, rows);
    }
}

void drawHorizontalReadout(PIXO_CachedFont* font, PIXO_IBitmap& frame, double factor, const MeterValues& values,
                           int32_t width, int32_t height) {
    char text[16];
    formatMeterReading(std::max(values.maxSinceReset[0], values.maxSinceReset[1]), text);
    const int32_t margin = scaledPixels(4, factor);
    drawText(font, frame, text, {margin, 0, width - margin, height - scaledStroke(1, factor)}, kTextColour,
             DT_RIGHT | DT_VCENTER);
}

} // namespace

uint32_t meterRampPixel(int32_t position) {
    auto channel = [position](int shift) {
        const int low = component(kRampLow, shift), middle = component(kRampMiddle, shift);
        const int top = component(kRampTop, shift);
        int c;
        if (position < 160) {
            const int t = std::max(position, 0);
            c = (middle * t + low * (159 - t)) / 160;
        } else {
            const int a = position > 190 ? std::min(2 * position - 190, 255) : position;
            c = (top * (a - 160) + middle * (255 - a)) / 95;
        }
        c = c + c / 4;
        return std::clamp(c, 0, 255);
    };
    return rgb(channel(16), channel(8), channel(0));
}

uint32_t meterDimmedPixel(uint32_t pixel) {
    auto dim = [pixel](int shift) {
        const int c = component(pixel, shift);
        return c / 8 + c / 4;
    };
    return rgb(dim(16), dim(8), dim(0));
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
        const int64_t destRow = dest.bottomUp() ? dest.height() - 1 - (dy + j) : dy + j;
        const int64_t srcRow = src.bottomUp() ? src.height() - 1 - (sy + j) : sy + j;
        std::memmove(destPixels + destRow * dest.rowSpan() + dx, srcPixels + srcRow * src.rowSpan() + sx,
                     size_t(w) * sizeof(uint32_t));
    }
}

MeterPainter::MeterPainter()
    : ownFrame_(new PIXO_MemBitmap), ownStrip_(new PIXO_MemBitmap), frame_(ownFrame_.get()), strip_(ownStrip_.get()) {}

MeterPainter::MeterPainter(PIXO_IBitmap& frame, PIXO_IBitmap& strip) : frame_(&frame), strip_(&strip) {}

MeterPainter::~MeterPainter() = default;

void MeterPainter::setScale(double scale) {
    if (scale == scale_)
        return;
    scale_ = scale;
    stripMode_ = -1;
    font_.reset();
}

bool MeterPainter::prepare(const MeterValues& values, int32_t frameWidth, int32_t frameHeight, int32_t stripWidth,
                           int32_t stripHeight, bool& renderStrip) {
    bool resized = strip_->setSize(stripWidth, stripHeight);
    resized = frame_->setSize(frameWidth, frameHeight) || resized;
    if (!strip_->pixels() || !frame_->pixels())
        return false;
    if (!font_)
        font_.reset(createEditorFont(scaledPixels(kMeterFontHeight, scale_), true));
    renderStrip = resized || stripMode_ != values.mode;
    return true;
}

bool MeterPainter::drawVertical(const MeterValues& values, int32_t width, int32_t height) {
    bool renderStrip = false;
    if (width <= 0 || height <= 0 || !prepare(values, width, height, 2 * width, height, renderStrip))
        return false;
    const VerticalMeterScale scale = verticalScaleOf(values.mode, height);
    if (renderStrip) {
        paint(*strip_, 0, 0, 2 * width, height, kStripeColour);
        renderVerticalBars(*strip_, values.mode, width, height, scale);
        renderVerticalLabels(font_.get(), *strip_, values.mode, scale_, width, height, scale);
        stripMode_ = values.mode;
    }
    paint(*frame_, 0, 0, width, height, kBlack);
    const int32_t overReached = std::max(values.maxSinceReset[0], values.maxSinceReset[1]);
    for (int32_t n = 0; n < 2; ++n)
        composeVerticalChannel(*frame_, *strip_, scale_, values, n, width, height, scale, overReached);
    drawVerticalReadout(font_.get(), *frame_, scale_, values, width, height, scale);
    return true;
}

bool MeterPainter::drawHorizontal(const MeterValues& values, int32_t width, int32_t height) {
    bool renderStrip = false;
    if (width <= 0 || height <= 0 || !prepare(values, width, height, width, 2 * height, renderStrip))
        return false;
    if (renderStrip) {
        paint(*strip_, 0, 0, width, 2 * height, kStripeColour);
        renderHorizontalBars(*strip_, width, height);
        const HorizontalLabels labels = horizontalLabelsFor(int32_t(width / scale_));
        renderHorizontalTicks(*strip_, width, height, labels);
        renderHorizontalLabels(font_.get(), *strip_, scale_, width, height, labels);
        stripMode_ = values.mode;
    }
    paint(*frame_, 0, 0, width, height, kBlack);
    const int32_t overReached = std::max(values.maxSinceReset[0], values.maxSinceReset[1]);
    for (int32_t n = 0; n < 2; ++n)
        composeHorizontalChannel(*frame_, *strip_, values, n, width, height, overReached);
    drawHorizontalReadout(font_.get(), *frame_, scale_, values, width, height);
    return true;
}
