// Lines, rectangle outlines, circles, coverage masks, trapezoids and convex polygons. All blend
// with the copy formula toward the colour's four bytes; none takes a blend-mode word.
#include <algorithm>
#include <cmath>

#include "raster/blend_ops.h"
#include "raster/pixo.h"

using namespace pixo;

namespace {

// The pixel rule of lines and circle points: 256 writes the colour, 128 averages each byte,
// other positive weights use the copy formula.
inline uint32_t plotWord(uint32_t pixel, uint32_t colour, int w) {
    if (w == 256)
        return colour;
    if (w == 128) {
        uint32_t out = 0;
        for (int i = 0; i < 4; ++i)
            out |= uint32_t((byteOf(colour, i) + byteOf(pixel, i)) >> 1) << (8 * i);
        return out;
    }
    return blendWord<CopyOp>(pixel, colour, w);
}

// ---------------------------------------------------------------------------------------------
// Line clipping

int outCode(int64_t x, int64_t y, int64_t W, int64_t H) {
    int code = 0;
    if (x < 0)
        code |= 1;
    else if (x >= W)
        code |= 2;
    if (y < 0)
        code |= 4;
    else if (y >= H)
        code |= 8;
    return code;
}

int64_t truncToInt(double v) {
    if (v > 4e18)
        return int64_t(4e18);
    if (v < -4e18)
        return -int64_t(4e18);
    return int64_t(v);
}

// Moves the end points onto the bitmap; false when the line misses it.
bool clipLine(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t W, int64_t H) {
    int code1 = outCode(x1, y1, W, H), code2 = outCode(x2, y2, W, H);
    // Each move settles one border; a handful of rounds always suffices for a line that hits.
    for (int round = 0; round < 8; ++round) {
        if (!(code1 | code2))
            return true;
        if (code1 & code2)
            return false;
        double dx = double(x2 - x1), dy = double(y2 - y1);
        bool first = code1 != 0;
        int code = first ? code1 : code2;
        int64_t x, y;
        if (code & 8) {
            y = H - 1;
            x = x1 + truncToInt(dx * double(H - y1) / dy);
        } else if (code & 4) {
            y = 0;
            x = x1 - truncToInt(dx * double(y1) / dy);
        } else if (code & 2) {
            x = W - 1;
            y = y1 + truncToInt(dy * double(W - x1) / dx);
        } else {
            x = 0;
            y = y1 - truncToInt(dy * double(x1) / dx);
        }
        if (first) {
            x1 = x, y1 = y;
            code1 = outCode(x, y, W, H);
        } else {
            x2 = x, y2 = y;
            code2 = outCode(x, y, W, H);
        }
    }
    return !(code1 | code2);
}

// Horizontal and vertical runs test the exact alphas 1, 0.5, 0.25 and 0.75 first.
template <class Visit>
void strokeStraight(float alpha, uint32_t colour, Visit visit) {
    if (alpha == 1.0f)
        visit([colour](uint32_t) { return colour; });
    else if (alpha == 0.5f)
        visit([colour](uint32_t p) { return half(colour) + half(p); });
    else if (alpha == 0.25f)
        visit([colour](uint32_t p) { return half(p) + quarter(colour) + quarter(p); });
    else if (alpha == 0.75f)
        visit([colour](uint32_t p) { return half(colour) + quarter(colour) + quarter(p); });
    else {
        int w = PIXO_Weight(alpha);
        if (w > 0)
            visit([colour, w](uint32_t p) { return plotWord(p, colour, w); });
    }
}

} // namespace

void PIXO_StrokeLine(PIXO_IBitmap* bitmap, int32_t ax, int32_t ay, int32_t bx, int32_t by, uint32_t colour,
                     float alpha) {
    if (!bitmap)
        return;
    uint32_t* pixels = bitmap->pixels();
    int32_t W = bitmap->width(), H = bitmap->height(), span = bitmap->rowSpan();
    if (!pixels || W <= 0 || H <= 0 || span <= 0)
        return;
    int64_t x1 = ax, y1 = ay, x2 = bx, y2 = by;
    if (bitmap->bottomUp()) {
        y1 = H - 1 - y1;
        y2 = H - 1 - y2;
    }
    if (!clipLine(x1, y1, x2, y2, W, H))
        return;
    auto at = [pixels, span](int64_t x, int64_t y) { return pixels + y * span + x; };

    if (y1 == y2) {
        int64_t from = std::min(x1, x2), to = std::max(x1, x2);
        uint32_t* row = at(0, y1);
        strokeStraight(alpha, colour, [&](auto rule) {
            for (int64_t x = from; x <= to; ++x)
                row[x] = rule(row[x]);
        });
        return;
    }
    if (x1 == x2) {
        int64_t from = std::min(y1, y2), to = std::max(y1, y2);
        strokeStraight(alpha, colour, [&](auto rule) {
            for (int64_t y = from; y <= to; ++y) {
                uint32_t* p = at(x1, y);
                *p = rule(*p);
            }
        });
        return;
    }
    int64_t dx = x2 - x1, dy = y2 - y1;
    int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    if (adx == ady) {
        int64_t stepX = dx < 0 ? -1 : 1, stepY = dy < 0 ? -1 : 1;
        if (alpha == 1.0f) {
            for (int64_t i = 0; i <= adx; ++i)
                *at(x1 + i * stepX, y1 + i * stepY) = colour;
            return;
        }
        int w = PIXO_Weight(alpha);
        if (w <= 0)
            return;
        for (int64_t i = 0; i <= adx; ++i) {
            uint32_t* p = at(x1 + i * stepX, y1 + i * stepY);
            *p = plotWord(*p, colour, w);
        }
        return;
    }

    int w = PIXO_Weight(alpha);
    if (w <= 0)
        return;
    bool xMajor = adx > ady;
    if ((xMajor ? dx : dy) < 0) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dx = -dx;
        dy = -dy;
    }
    int64_t n = xMajor ? dx : dy;
    int64_t m = xMajor ? dy : dx;
    int64_t slope = int64_t(double(m < 0 ? -m : m) / double(n) * 65536.0);
    int64_t minorStep = m < 0 ? -1 : 1;
    // Walk inward from both ends at once, so the line is the same whichever end comes first.
    int64_t sx = x1, sy = y1, ex = x2, ey = y2;
    int64_t majorX = xMajor ? 1 : 0, majorY = xMajor ? 0 : 1;
    int64_t minorX = xMajor ? 0 : minorStep, minorY = xMajor ? minorStep : 0;
    int64_t accumulator = 0;
    auto plot = [&](int64_t x, int64_t y) {
        uint32_t* p = at(x, y);
        *p = plotWord(*p, colour, w);
    };
    for (int64_t round = 0; round < (n + 1) / 2; ++round) {
        plot(sx, sy);
        plot(ex, ey);
        sx += majorX, sy += majorY;
        ex -= majorX, ey -= majorY;
        if (accumulator + slope < 32768) {
            accumulator += slope;
        } else {
            sx += minorX, sy += minorY;
            ex -= minorX, ey -= minorY;
            accumulator += slope - 65536;
        }
    }
    if (n % 2 == 0)
        plot(sx, sy);
}

void PIXO_StrokeRect(PIXO_IBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                     float alpha) {
    int32_t right = int32_t(int64_t(x) + w), bottom = int32_t(int64_t(y) + h);
    PIXO_StrokeLine(bitmap, x, y, right, y, colour, alpha);
    PIXO_StrokeLine(bitmap, right, y, right, bottom, colour, alpha);
    PIXO_StrokeLine(bitmap, right, bottom, x, bottom, colour, alpha);
    PIXO_StrokeLine(bitmap, x, bottom, x, y, colour, alpha);
}

// ---------------------------------------------------------------------------------------------
// Coverage masks and circles

void PIXO_PaintCoverage(PIXO_IBitmap* bitmap, int32_t x, int32_t y, const uint8_t* mask, int32_t maskWidth,
                        int32_t maskHeight, uint32_t colour, float alpha) {
    Rows rows;
    if (!mask || maskWidth <= 0 || maskHeight <= 0 || !rows.open(bitmap))
        return;
    int w = PIXO_Weight(alpha);
    if (w < 1)
        return;
    int64_t skipX = x < 0 ? -int64_t(x) : 0, skipY = y < 0 ? -int64_t(y) : 0;
    int64_t right = std::min<int64_t>(int64_t(x) + maskWidth, rows.width);
    int64_t bottom = std::min<int64_t>(int64_t(y) + maskHeight, rows.height);
    int64_t left = int64_t(x) + skipX, top = int64_t(y) + skipY;
    for (int64_t py = top; py < bottom; ++py) {
        const uint8_t* m = mask + (py - y) * maskWidth;
        uint32_t* row = rows.row(int32_t(py));
        for (int64_t px = left; px < right; ++px) {
            int coverage = m[px - x];
            if (coverage)
                row[px] = blendWord<CopyOp>(row[px], colour, w * coverage / 256);
        }
    }
}

namespace {

struct SmallCircleMask {
    float radius;
    int size;
    uint8_t bytes[81];
};

const SmallCircleMask smallCircles[] = {
    {1.5f, 4, {0x4F, 0xFF, 0xFF, 0x4F, 0xFF, 0x0F, 0x0F, 0xFF, 0xFF, 0x0F, 0x0F, 0xFF, 0x4F, 0xFF, 0xFF, 0x4F}},
    {2.0f, 5, {0x0F, 0xBF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00,
               0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xBF, 0x0F}},
    {2.5f, 6, {0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
               0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
               0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F}},
    {3.0f, 7, {0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
               0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x30, 0xFF,
               0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
               0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00}},
    {3.5f, 8, {0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00, 0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
               0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE, 0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
               0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
               0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F, 0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00}},
    {4.0f, 9, {0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00, 0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1,
               0xF0, 0x1F, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0xFF, 0x4F, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x4F, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xFF, 0x4F, 0x00,
               0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0x1F,
               0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0, 0x1F, 0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F,
               0x00}},
};

// A float coordinate truncated toward zero, held far from the integer limits.
inline int64_t truncCoordinate(float v) {
    if (v > 1e15f)
        return int64_t(1e15f);
    if (v < -1e15f)
        return -int64_t(1e15f);
    return int64_t(v);
}

struct CircleCanvas {
    Rows rows;
    uint32_t colour;
    bool clipNeeded;

    void plot(float fx, float fy, int w) {
        int64_t x = truncCoordinate(fx), y = truncCoordinate(fy);
        if (clipNeeded && (x < 0 || y < 0 || x >= rows.width || y >= rows.height))
            return;
        uint32_t* p = rows.at(int32_t(x), int32_t(y));
        *p = blendWord<CopyOp>(*p, colour, w);
    }
    void span(float fy, float fromX, float toX, int w) {
        int64_t y = truncCoordinate(fy), from = truncCoordinate(fromX), to = truncCoordinate(toX);
        if (clipNeeded) {
            if (y < 0 || y >= rows.height)
                return;
            from = std::max<int64_t>(from, 0);
            to = std::min<int64_t>(to, rows.width - 1);
        }
        uint32_t* row = rows.row(int32_t(y));
        for (int64_t x = from; x <= to; ++x)
            row[x] = blendWord<CopyOp>(row[x], colour, w);
    }
};

void rasterCircle(CircleCanvas& canvas, float cx, float cy, float r, int w, bool fill) {
    int i = 0;
    float R = r, r2 = r * r;
    while (float(i) < R + 1.0f) {
        float fi = float(i);
        if (R == std::floor(R)) {
            canvas.plot(cx + fi, cy + R, w);
            canvas.plot(cx + fi, cy - R, w);
            canvas.plot(cx - fi, cy + R, w);
            canvas.plot(cx - fi, cy - R, w);
            canvas.plot(cx + R, cy + fi, w);
            canvas.plot(cx + R, cy - fi, w);
            canvas.plot(cx - R, cy + fi, w);
            canvas.plot(cx - R, cy - fi, w);
        } else {
            float f = R - std::floor(R);
            int wo = int(float(w) * f), wi = w - wo;
            for (float column : {cx + fi, cx - fi}) {
                canvas.plot(column, cy + 1.0f + R, wo);
                canvas.plot(column, cy + R, wi);
                canvas.plot(column, cy - R + 1.0f, wi);
                canvas.plot(column, cy - R, wo);
            }
            canvas.plot(cx + 1.0f + R, cy + fi, wo);
            canvas.plot(cx + R, cy + fi, wi);
            canvas.plot(cx + 1.0f + R, cy - fi, wo);
            canvas.plot(cx + R, cy - fi, wi);
            canvas.plot(cx - R + 1.0f, cy + fi, wi);
            canvas.plot(cx - R, cy + fi, wo);
            canvas.plot(cx - R + 1.0f, cy - fi, wi);
            canvas.plot(cx - R, cy - fi, wo);
        }
        if (fill) {
            canvas.span(cy - R + 1.0f, cx - fi, cx + fi, w);
            canvas.span(cy + R, cx - fi, cx + fi, w);
            canvas.span(cy - fi, cx - R + 1.0f, cx + R, w);
            canvas.span(cy + fi, cx - R + 1.0f, cx + R, w);
        }
        ++i;
        R = std::sqrt(r2 - float(i) * float(i));
    }
}

void drawCircle(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha, bool fill) {
    CircleCanvas canvas;
    // A bottom-up bitmap flips the centre, not the rows: with a fractional centre the two differ
    // by a row, and the rasteriser's rows are storage rows.
    if (!canvas.rows.openStorageOrder(bitmap))
        return;
    // Non-finite or negative geometry would defeat the bounding-box test below.
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0.0f)
        return;
    float W = float(canvas.rows.width), H = float(canvas.rows.height);
    if (bitmap->bottomUp())
        cy = H - 1.0f - cy;
    int w = PIXO_Weight(alpha);
    if (w <= 0)
        return;
    canvas.colour = colour;
    canvas.clipNeeded = cx - r - 1.0f < 0.0f || cy - r - 1.0f < 0.0f || cx + r + 1.0f >= W || cy + r + 1.0f >= H;
    rasterCircle(canvas, cx, cy, r, w, fill);
}

} // namespace

bool PIXO_StrokeSmallCircle(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha) {
    for (const SmallCircleMask& mask : smallCircles) {
        if (r != mask.radius)
            continue;
        if (bitmap && std::isfinite(cx) && std::isfinite(cy)) {
            int32_t x = int32_t(std::max(-1e9f, std::min(1e9f, cx - r)));
            int32_t y = int32_t(std::max(-1e9f, std::min(1e9f, cy - r)));
            PIXO_PaintCoverage(bitmap, x, y, mask.bytes, mask.size, mask.size, colour, alpha);
        }
        return true;
    }
    return false;
}

void PIXO_StrokeCircle(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha) {
    if (!bitmap || PIXO_StrokeSmallCircle(bitmap, cx, cy, r, colour, alpha))
        return;
    drawCircle(bitmap, cx, cy, r, colour, alpha, false);
}

void PIXO_PaintDisc(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha) {
    if (!bitmap)
        return;
    drawCircle(bitmap, cx, cy, r, colour, alpha, true);
}

// ---------------------------------------------------------------------------------------------
// Trapezoids and convex polygons

namespace {

// One edge of a trapezoid: position, 16.16 step magnitude and direction, fraction.
struct Edge {
    int64_t x;
    int64_t step;
    int64_t direction;
    int64_t fraction = 0;

    Edge(int64_t start, double delta, double factor) : x(start) {
        double s = delta * factor;
        s = std::max(-536870912.0, std::min(536870912.0, s));
        int64_t whole = int64_t(s);
        step = whole < 0 ? -whole : whole;
        direction = whole < 0 ? -1 : 1;
    }
    void advanceRows(int64_t count) {
        int64_t total = count * step + fraction;
        x += direction * (total >> 16);
        fraction = total & 0xFFFF;
    }
    void nextRow() {
        fraction += step;
        if (fraction >= 65536) {
            x += direction * (fraction >> 16);
            fraction &= 0xFFFF;
        }
    }
};

} // namespace

void PIXO_PaintTrapezoid(PIXO_IBitmap* bitmap, int32_t x1a, int32_t x1b, int32_t y1, int32_t x2a, int32_t x2b,
                         int32_t y2, uint32_t colour, float alpha) {
    if (!bitmap)
        return;
    uint32_t* pixels = bitmap->pixels();
    int32_t W = bitmap->width(), H = bitmap->height(), span = bitmap->rowSpan();
    if (!pixels || W <= 0 || H <= 0 || span <= 0)
        return;
    int w = PIXO_Weight(alpha);
    if (w < 1)
        return;
    int64_t ya = y1, yb = y2, la = x1a, ra = x1b, lb = x2a, rb = x2b;
    if (yb < ya) {
        std::swap(ya, yb);
        std::swap(la, lb);
        std::swap(ra, rb);
    }
    if (ra < la)
        std::swap(la, ra);
    if (rb < lb)
        std::swap(lb, rb);
    if ((ra < 0 && rb < 0) || (la >= W && lb >= W))
        return;
    if (la < 1 && lb < 1)
        la = lb = 0;
    if (ra >= W - 1 && rb >= W - 1)
        ra = rb = W - 1;
    if (yb < 0 || ya >= H)
        return;

    double factor = ya == yb ? 0.0 : 65536.0 / double(yb - ya);
    Edge left(la, double(lb - la), factor), right(ra + 1, double(rb - ra), factor);
    if (ya < 0) {
        left.advanceRows(-ya);
        right.advanceRows(-ya);
        ya = 0;
    }
    // The copy rules of a fill, with the alpha byte blended toward the colour's alpha.
    auto blendSpan = [&](uint32_t* row, int64_t from, int64_t to) {
        for (int64_t x = from; x < to; ++x)
            row[x] = copyFillWord(row[x], colour, byteOf(colour, 3), w);
    };
    int64_t lastRow = std::min<int64_t>(H - 1, yb);
    if (left.step == 0 && right.step == 0) {
        int64_t from = std::max<int64_t>(left.x, 0), to = std::min<int64_t>(right.x, W);
        if (from >= to)
            return;
        for (int64_t y = ya; y <= lastRow; ++y)
            blendSpan(pixels + y * span, from, to);
        return;
    }
    for (int64_t y = ya; y <= lastRow; ++y) {
        int64_t from = std::max<int64_t>(left.x, 0), to = std::min<int64_t>(right.x, W);
        blendSpan(pixels + y * span, from, to);
        left.nextRow();
        right.nextRow();
    }
}

namespace {

struct Vertex {
    int32_t x, y;
};

// The next boundary vertex below `from`: the smallest slope for the left boundary, the largest for
// the right; later vertices win ties. Returns `from` when there is none.
int nextBoundaryVertex(const Vertex* v, int from, bool leftBoundary) {
    int best = from;
    float bestSlope = 0.0f;
    for (int k = from + 1; k < 5; ++k) {
        if (v[k].y == v[from].y)
            continue;
        float slope = float(v[k].x - v[from].x) / float(v[k].y - v[from].y);
        if (best == from || (leftBoundary ? slope <= bestSlope : slope >= bestSlope)) {
            best = k;
            bestSlope = slope;
        }
    }
    return best;
}

int32_t edgeXAt(const Vertex& a, const Vertex& b, int32_t row) {
    const Vertex& lo = a.y <= b.y ? a : b;
    const Vertex& hi = a.y <= b.y ? b : a;
    if (row <= lo.y)
        return lo.x;
    if (row >= hi.y)
        return hi.x;
    return lo.x + int32_t(float(hi.x - lo.x) / float(hi.y - lo.y) * float(row - lo.y));
}

} // namespace

void PIXO_PaintConvexPolygon(PIXO_IBitmap* bitmap, const int32_t xs[5], const int32_t ys[5], uint32_t colour,
                             float alpha) {
    if (!bitmap || !xs || !ys)
        return;
    int32_t W = bitmap->width(), H = bitmap->height();
    bool flip = bitmap->bottomUp();
    Vertex v[5];
    int32_t minX = W, maxX = 0;
    for (int k = 0; k < 5; ++k) {
        v[k].x = xs[k];
        v[k].y = flip ? int32_t(int64_t(H) - ys[k] - 1) : ys[k];
        minX = std::min(minX, v[k].x);
        maxX = std::max(maxX, v[k].x);
    }
    std::sort(v, v + 5, [](const Vertex& a, const Vertex& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    if (v[0].y == v[4].y) {
        int32_t y = v[0].y;
        if (y >= 0 && y < H && minX <= maxX)
            PIXO_PaintTrapezoid(bitmap, minX, maxX, y, minX, maxX, y, colour, alpha);
        return;
    }
    int leftStart = 0, rightStart = 0;
    for (int k = 0; k < 5 && v[k].y == v[0].y; ++k) {
        if (v[k].x == v[0].x)
            leftStart = k;
        rightStart = k;
    }
    int leftCurrent = leftStart, rightCurrent = rightStart;
    int leftNext = nextBoundaryVertex(v, leftCurrent, true);
    int rightNext = nextBoundaryVertex(v, rightCurrent, false);
    int32_t F = v[0].y;
    // Each round advances at least one boundary by one vertex, so ten rounds are plenty.
    for (int round = 0; round < 10 && rightNext != rightCurrent; ++round) {
        int32_t bottom = std::min(v[leftNext].y, v[rightNext].y);
        PIXO_PaintTrapezoid(bitmap, edgeXAt(v[leftCurrent], v[leftNext], F), edgeXAt(v[rightCurrent], v[rightNext], F),
                            F, edgeXAt(v[leftCurrent], v[leftNext], bottom),
                            edgeXAt(v[rightCurrent], v[rightNext], bottom), bottom, colour, alpha);
        if (v[leftNext].y == bottom) {
            leftCurrent = leftNext;
            leftNext = nextBoundaryVertex(v, leftCurrent, true);
        }
        if (v[rightNext].y == bottom) {
            rightCurrent = rightNext;
            rightNext = nextBoundaryVertex(v, rightCurrent, false);
        }
        F = F > bottom ? bottom - 1 : bottom + 1;
    }
}
