#include "editor/core/graph_paint.h"

#include "editor/core/editor_fonts.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_geometry.h"
#include "raster/pixo.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

namespace Colour {
constexpr uint32_t kBackground = 0x00000000;
constexpr uint32_t kGridLine = 0xFF4D4D4D;
constexpr uint32_t kGridLabel = 0xFF909090;
constexpr uint32_t kReductionReadout = 0xFFFFFF00;
constexpr uint32_t kMakeupBar = 0xFF0080FF;
constexpr uint32_t kInputMeter = 0xFF008000;
constexpr uint32_t kDetectorMeter = 0xFF00FF00;
constexpr uint32_t kOutputMeter = 0xFF00FF00;
constexpr uint32_t kReductionBar = 0xFFC8F049;
constexpr uint32_t kThresholdCurrent = 0xFFFF0000;
constexpr uint32_t kThresholdOther = 0xFF800000;
constexpr uint32_t kTopFrequencyLine = 0xFF007896;
constexpr uint32_t kThresholdTick = 0xFF800000;
constexpr uint32_t kRatioGauge = 0xFFC08000;
constexpr uint32_t kHandleCurrent = 0xFFC80000;
constexpr uint32_t kHandleOther = 0xFF800000;
constexpr uint32_t kHandleOutline = 0xFF800000;
constexpr uint32_t kNumber = 0xFF000000;
constexpr uint32_t kNumberSilent = 0xFFC00000;
} // namespace Colour

constexpr double kPi = 3.14159265358979323846;

// The 96-dpi pixel heights of the two fonts.
constexpr int32_t kHandleFontHeight = 14;
constexpr int32_t kLabelFontHeight = 12;

class GraphPainter {
public:
    GraphPainter(PIXO_IBitmap& target, const GraphGeometry& geometry, GraphPaintCache& cache)
        : target_(target), g_(geometry), cache_(cache), handleFont_(cache.handleFont(geometry.px(kHandleFontHeight))),
          labelFont_(cache.labelFont(geometry.px(kLabelFontHeight))) {}

    void grid();
    void band(const GraphBands& bands, const GraphBand& band, int32_t previousX);
    void infoBox(const GraphBands& bands, const GraphBand& band, int32_t pointerX, int32_t pointerY,
                 uint32_t background, uint32_t foreground);

    void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
        PIXO_PaintRect(&target_, x, y, w, h, colour, 1.0f, PIXO_BLEND_COPY);
    }

private:
    // A line of the scale's width: strokes side by side, across a vertical line and over
    // any other, the first one where a one-pixel line lies.
    void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
        const int32_t width = g_.lineWidth();
        const bool vertical = x1 == x2;
        for (int32_t i = 0; i < width; ++i)
            PIXO_StrokeLine(&target_, x1 + (vertical ? i : 0), y1 + (vertical ? 0 : i),
                            x2 + (vertical ? i : 0), y2 + (vertical ? 0 : i), colour, 1.0f);
    }
    void text(PIXO_CachedFont* font, const char* s, int32_t left, int32_t top, int32_t right, int32_t bottom,
              int32_t flags) {
        if (!font)
            return;
        PIXO_Rect box = {left, top, right, bottom};
        font->RenderText(&target_, s, -1, &box, flags);
    }
    // A level meter column b wide from the bottom of the window up to the level.
    void column(int32_t x, int32_t b, double level, uint32_t colour) {
        int32_t top = g_.yOfDb(ampToDb(level));
        if (top < g_.height)
            fill(x, top, b, g_.height - top, colour);
    }
    // A bar b wide from y, |length| pixels long, downward for a positive length.
    void bar(int32_t x, int32_t y, int32_t b, int32_t length, uint32_t colour) {
        if (length > 0)
            fill(x, y, b, length, colour);
        else if (length < 0)
            fill(x, y + length, b, -length, colour);
    }
    void meters(const GraphBand& band, int32_t previousX, int32_t xTop, int32_t yThr);
    void gauge(double ratio, int32_t mid, int32_t yThr);

    PIXO_IBitmap& target_;
    GraphGeometry g_;
    GraphPaintCache& cache_;
    PIXO_CachedFont* handleFont_;
    PIXO_CachedFont* labelFont_;
};

void GraphPainter::grid() {
    const int32_t W = g_.width, H = g_.height;
    const int32_t one = g_.lineWidth();
    if (labelFont_)
        labelFont_->SetForeground(Colour::kGridLabel);
    char label[32];

    // Frequency lines: the step doubles for the first five steps, then stays at 3200 Hz.
    int32_t labelledX = 0;
    int32_t step = 100;
    int32_t doublings = 0;
    for (int32_t f = 100; f < 23980;) {
        int32_t x = g_.xOfFrequency(f);
        if (x >= W)
            break;
        line(x, 0, x, H + 1, Colour::kGridLine);
        if (x > labelledX + g_.px(50)) {
            // Labels name the frequency the parameter scale shows there (24000 / 23980 of it).
            int32_t shown = int32_t(int64_t(f) * 24000 / 23980);
            if (shown < 1000)
                std::snprintf(label, sizeof label, "%d", shown);
            else
                std::snprintf(label, sizeof label, "%.1fk", shown / 1000.0);
            text(labelFont_, label, x - g_.px(100), H - g_.px(20), x - one, H + 1,
                 DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
            labelledX = x;
        }
        if (doublings < 5) {
            step *= 2;
            ++doublings;
        }
        f += step;
    }

    // Level lines every 6 dB below the top of the range, at least 13 pixels (at 96 dpi) apart.
    int32_t lastY = 0;
    for (double db = g_.topDb() - 6.0; db > g_.bottomDb; db -= 6.0) {
        int32_t y = g_.gridYOfDb(db);
        if (y - lastY <= g_.px(12))
            continue;
        line(0, y, W, y, Colour::kGridLine);
        std::snprintf(label, sizeof label, " %s%.0f", db >= 0 ? "+" : "", db);
        text(labelFont_, label, 0, y - g_.px(10), g_.px(20), y + 1, DT_BOTTOM | DT_SINGLELINE);
        lastY = y;
    }
}

void GraphPainter::meters(const GraphBand& band, int32_t previousX, int32_t xTop, int32_t yThr) {
    const int32_t mid = GraphGeometry::handleX(previousX, xTop);
    const int32_t widest = g_.px(4);
    const int32_t b = std::clamp((xTop - previousX - widest) / 3, 1, widest);
    const int32_t gap = b == widest ? g_.lineWidth() : 0;
    const int32_t q = mid + g_.px(10) + 3 * b > xTop ? xTop - 3 * b : mid + g_.px(10);

    bar(mid - g_.px(8) - b, yThr, b, -g_.pixelsOfDb(ampToDb(band.makeupGain)), Colour::kMakeupBar);

    column(q, b, band.inputPeak, Colour::kInputMeter);
    column(q, b, band.detectorPeak, Colour::kDetectorMeter);
    // The reduction hangs below the line; an expander's gain above 1 draws no bar (its held
    // value still shows as text).
    const int32_t reduction = g_.pixelsOfDb(-ampToDb(band.gainMeter));
    if (reduction > 0)
        fill(q + (b + gap), yThr, b, reduction, Colour::kReductionBar);
    column(q + 2 * (b + gap), b, band.outputPeak, Colour::kOutputMeter);

    // The held reduction as text: right of the columns, below the line for a compressor and
    // above it for an expander.
    bool expander = band.expander();
    if (expander ? band.gainMeterHold > 1.0 : band.gainMeterHold < 1.0) {
        char readout[32];
        std::snprintf(readout, sizeof readout, "%.1f", ampToDb(band.gainMeterHold));
        int32_t x = q + 3 * (b + gap);
        if (expander)
            text(labelFont_, readout, x + g_.px(5), yThr - g_.px(15), x + g_.px(50), yThr,
                 DT_BOTTOM | DT_SINGLELINE);
        else
            text(labelFont_, readout, x, yThr, x + g_.px(50), yThr + g_.px(20), DT_SINGLELINE);
    }
}

// A dome standing on the threshold line for ratios of 1 and more, a bowl hanging below it for
// ratios under 1; the needle turns away from 1:1, where the gauge is empty.
void GraphPainter::gauge(double ratio, int32_t mid, int32_t yThr) {
    const int32_t size = g_.px(12) * 2, half = size / 2;
    PIXO_MemBitmap* sprite = cache_.gaugeSprite(size);
    if (!sprite)
        return;
    double a = std::log10(ratio) * kPi * 0.45;
    if (std::isnan(a))
        a = 0.0;
    if (a < 0)
        a /= std::log10(0.1) * -0.5;
    a = std::clamp(a, -2.0 * kPi, 2.0 * kPi);
    PIXO_ClearBitmap(sprite);
    const int32_t c = a >= 0 ? half : 0;
    PIXO_PaintDisc(sprite, float(half), float(c), float(g_.px(11)), Colour::kRatioGauge, 1.0f);
    const double needle = g_.px(14);
    const int32_t dx = int32_t(-needle * std::cos(a)), dy = int32_t(-needle * std::sin(a));
    if (std::fabs(a) < kPi / 2) {
        const int32_t xs[5] = {half, half + dx, half + dx, size, size};
        const int32_t ys[5] = {c, c + dy, half - c, half - c, c};
        PIXO_PaintConvexPolygon(sprite, xs, ys, 0, 1.0f);
    } else {
        PIXO_PaintTrapezoid(sprite, half, size, c, half + dx, size, c + dy, 0, 1.0f);
    }
    const PIXO_Rect source = {0, 0, size, size};
    PIXO_ComposeBitmap(&target_, sprite, mid - half, yThr - c, &source, 1.0f, PIXO_BLEND_SOURCE_ALPHA);
}

void GraphPainter::band(const GraphBands& bands, const GraphBand& band, int32_t previousX) {
    const int32_t H = g_.height;
    const int32_t xTop = g_.xOfFrequency(band.frequency);
    const int32_t yThr = std::clamp(g_.yOfDb(ampToDb(band.threshold)), 0, H - 1);
    const int32_t mid = GraphGeometry::handleX(previousX, xTop);
    const bool current = band.index == bands.currentBand;
    const bool muted = bands.muted(band.index);

    if (labelFont_)
        labelFont_->SetForeground(Colour::kReductionReadout);
    if (!muted && band.metered)
        meters(band, previousX, xTop, yThr);
    if (handleFont_)
        handleFont_->SetForeground(Colour::kNumber);

    line(previousX, yThr, xTop, yThr, current ? Colour::kThresholdCurrent : Colour::kThresholdOther);
    line(xTop - g_.lineWidth(), 0, xTop - g_.lineWidth(), H, Colour::kTopFrequencyLine);
    gauge(band.ratio, mid, yThr);
    line(xTop - g_.lineWidth(), yThr - g_.px(8), xTop - g_.lineWidth(), yThr + g_.px(8),
         Colour::kThresholdTick);

    const int32_t radius = g_.handleRadius();
    if (band.active && !muted)
        PIXO_PaintDisc(&target_, float(mid), float(yThr), float(radius),
                       current ? Colour::kHandleCurrent : Colour::kHandleOther, 1.0f);
    else if (handleFont_)
        handleFont_->SetForeground(Colour::kNumberSilent);
    for (int32_t ring = 0; ring < g_.lineWidth(); ++ring)
        PIXO_StrokeCircle(&target_, float(mid), float(yThr), float(radius - ring), Colour::kHandleOutline,
                          1.0f);
    char number[16];
    std::snprintf(number, sizeof number, "%d", band.index + 1);
    text(handleFont_, number, mid - radius, yThr - radius, mid + radius, yThr + radius,
         DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void GraphPainter::infoBox(const GraphBands& bands, const GraphBand& band, int32_t pointerX, int32_t pointerY,
                           uint32_t background, uint32_t foreground) {
    if (!handleFont_)
        return;
    double lower = 20.0;
    for (int32_t i = 0; i < bands.count; ++i)
        if (bands.sorted[i].frequency < band.frequency)
            lower = std::max(lower, bands.sorted[i].frequency);
    char info[512];
    int used = std::snprintf(info, sizeof info, "%s %.0f-%.0fHz %.2f:1 @ %.1fdB\r\n%s%.1fdB gain",
                             band.active ? "" : "DISABLED: ", lower, band.frequency, band.ratio,
                             ampToDb(band.threshold), band.gain >= 1.0 ? "+" : "", ampToDb(band.gain));
    if (band.autoMakeupGain && used > 0 && size_t(used) < sizeof info) {
        double makeup = ampToDb(band.makeupGain) - ampToDb(band.gain);
        std::snprintf(info + used, sizeof info - size_t(used), " %s%.1fdB makeup gain", makeup >= 0 ? "+" : "",
                      makeup);
    }

    handleFont_->SetForeground(foreground);
    PIXO_Rect measured = {0, 0, 0, 0};
    handleFont_->RenderText(nullptr, info, -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    const int32_t tw = measured.right - measured.left, th = measured.bottom - measured.top;
    const int32_t right = g_.width, bottom = g_.height;
    const int32_t x = std::max(pointerX, 0);
    int32_t top = pointerY + g_.px(8);
    if (top + th > bottom - 1)
        top = bottom - th - 1;
    top = std::max(top, 1);
    const int32_t offset = g_.px(30);
    int32_t left = x + offset;
    if (left + tw > right - 2 && x - tw - offset > 0)
        left = x - tw - offset;
    fill(left - 1, top, tw + 3, th + 1, background);
    PIXO_StrokeRect(&target_, left - 2, top - 1, tw + 4, th + 2, foreground, 1.0f);
    text(handleFont_, info, left, top, left + tw, top + th, DT_NOPREFIX);
}

} // namespace

GraphPaintCache::~GraphPaintCache() {
    releaseFonts();
    delete gauge_;
}

void GraphPaintCache::releaseFonts() {
    delete handle_.font;
    delete label_.font;
    handle_ = Font{};
    label_ = Font{};
}

PIXO_CachedFont* GraphPaintCache::fontOfHeight(Font& font, int32_t height) {
    if (font.font && font.height != height) {
        delete font.font;
        font.font = nullptr;
    }
    if (!font.font) {
        font.font = createEditorFont(height, false);
        font.height = height;
    }
    return font.font;
}

PIXO_CachedFont* GraphPaintCache::handleFont(int32_t pixelHeight) { return fontOfHeight(handle_, pixelHeight); }

PIXO_CachedFont* GraphPaintCache::labelFont(int32_t pixelHeight) { return fontOfHeight(label_, pixelHeight); }

// size x size / 2 (24 x 12 at 96 dpi), rows aligned to 4 bytes.
PIXO_MemBitmap* GraphPaintCache::gaugeSprite(int32_t size) {
    if (!gauge_)
        gauge_ = new (std::nothrow) PIXO_MemBitmap(3);
    if (!gauge_)
        return nullptr;
    if (gauge_->width() != size || gauge_->height() != size / 2)
        gauge_->setSize(size, size / 2);
    return gauge_->pixels() ? gauge_ : nullptr;
}

void renderGraph(CompressorEffect& fx, GraphBandCopies& copies, GraphPaintCache& cache, PIXO_IBitmap& bitmap,
                 const GraphFrame& frame) {
    const GraphGeometry geometry(bitmap.width(), bitmap.height(), fx.showTabs != 0, frame.scale);
    GraphPainter painter(bitmap, geometry, cache);
    painter.fill(0, 0, geometry.width, geometry.height, Colour::kBackground);
    if (fx.showGrid)
        painter.grid();

    // The only lock of the paint, taken by the shell: copying the bands and decaying their meters.
    uint32_t now = frame.now;
    const GraphBands bands = copyGraphBands(fx, copies, &now);
    int32_t previousX = 0;
    for (int32_t i = 0; i < bands.count; ++i) {
        painter.band(bands, bands.sorted[i], previousX);
        previousX = geometry.xOfFrequency(bands.sorted[i].frequency);
    }

    if (const GraphBand* shown = bands.byIndex(frame.infoBand))
        painter.infoBox(bands, *shown, frame.pointerX, frame.pointerY, frame.infoBackground, frame.infoText);
}
