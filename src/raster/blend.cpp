// Fills and blits: clip once, then one tight loop per blend mode (and per source-alpha
// variant), instantiated from the formula functors of blend_ops.h.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "raster/blend_ops.h"
#include "raster/pixo.h"

using namespace pixo;

int32_t PIXO_Weight(float alpha) {
    if (!(alpha == alpha))
        return 0;
    if (alpha > 16.0f)
        alpha = 16.0f;
    if (alpha < -16.0f)
        alpha = -16.0f;
    return int32_t(alpha * 256.0f);
}

namespace {

// Reciprocal table of the HSV conversion: entry i is floor(65536 / i) - 1, entry 0 is 0.
struct Reciprocals {
    uint16_t entry[256];
    Reciprocals() {
        entry[0] = 0;
        for (int i = 1; i < 256; ++i)
            entry[i] = uint16_t(65536 / i - 1);
    }
};
const Reciprocals reciprocals;

} // namespace

uint32_t PIXO_AdjustHsv(int32_t R, int32_t G, int32_t B, int32_t adjustRed, int32_t adjustGreen, int32_t adjustBlue,
                        int32_t w) {
    int max, delta, base, g;
    if (R < G) {
        if (B < G) {
            max = G;
            delta = G - (B < R ? B : R);
            base = 128;
            g = B - R;
        } else {
            max = B;
            delta = B - R;
            base = 256;
            g = R - G;
        }
    } else if (B < R) {
        max = R;
        if (G >= B) {
            delta = R - B;
            base = 0;
        } else {
            delta = R - G;
            base = 383;
        }
        g = G - B;
    } else {
        max = B;
        delta = B - G;
        base = 256;
        g = R - G;
    }
    const uint16_t* table = reciprocals.entry;
    int hue = base + g * (table[delta] + 1) / 1024 + w * (adjustRed / 2 + adjustRed - 192) / 256;
    // One wrap suffices for weights up to 256; larger weights wrap as often as needed.
    hue %= 384;
    if (hue < 0)
        hue += 384;
    int sat = clampByte(delta * table[max] / 256 + w * (adjustGreen - 128) / 128);
    int val = clampByte(max + w * (adjustBlue - 128) / 128);

    int p = (256 - sat) * val / 256;
    auto f = [&](int x) { return val * (16384 - sat * x) / 16384; };
    int r, gr, b;
    switch (hue / 64) {
    case 0: r = val, gr = f(64 - hue), b = p; break;
    case 1: r = f(hue - 64), gr = val, b = p; break;
    case 2: r = p, gr = val, b = f(192 - hue); break;
    case 3: r = p, gr = f(hue - 192), b = val; break;
    case 4: r = f(320 - hue), gr = p, b = val; break;
    default: r = val, gr = p, b = f(hue - 320); break;
    }
    return (uint32_t(r & 0xFF) << 16) | (uint32_t(gr & 0xFF) << 8) | uint32_t(b & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// PIXO_PaintRect

namespace {

struct FillArea {
    Rows rows;
    int32_t x, y, w, h;
};

template <class Op>
void fillWithFormula(const FillArea& a, uint32_t colour, int w) {
    for (int32_t j = 0; j < a.h; ++j) {
        uint32_t* p = a.rows.at(a.x, a.y + j);
        for (int32_t i = 0; i < a.w; ++i)
            p[i] = blendWordAlpha<Op>(p[i], colour, w, w);
    }
}

void fillHsv(const FillArea& a, uint32_t colour, int w) {
    for (int32_t j = 0; j < a.h; ++j) {
        uint32_t* p = a.rows.at(a.x, a.y + j);
        for (int32_t i = 0; i < a.w; ++i)
            p[i] = hsvWord(p[i], colour, uint32_t(w), w);
    }
}

template <class WordRule>
void fillWords(const FillArea& a, WordRule rule) {
    for (int32_t j = 0; j < a.h; ++j) {
        uint32_t* p = a.rows.at(a.x, a.y + j);
        for (int32_t i = 0; i < a.w; ++i)
            p[i] = rule(p[i]);
    }
}

} // namespace

void PIXO_PaintRect(PIXO_IBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, float alpha,
                    int32_t mode) {
    if (!bitmap)
        return;
    if (mode & PIXO_BLEND_SOURCE_ALPHA)
        alpha = alpha * (float(colour >> 24) / 255.0f);
    FillArea a;
    if (alpha == 0.0f || !a.rows.open(bitmap))
        return;
    int64_t left = x, top = y, right = int64_t(x) + w, bottom = int64_t(y) + h;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right > a.rows.width)
        right = a.rows.width;
    if (bottom > a.rows.height)
        bottom = a.rows.height;
    if (right <= left || bottom <= top)
        return;
    a.x = int32_t(left);
    a.y = int32_t(top);
    a.w = int32_t(right - left);
    a.h = int32_t(bottom - top);

    int weight = PIXO_Weight(alpha);
    switch (mode & 0xFF) {
    case PIXO_BLEND_COPY:
        switch (weight) {
        case 256: fillWords(a, [colour](uint32_t) { return colour; }); return;
        case 128: fillWords(a, [colour](uint32_t p) { return half(colour) + half(p); }); return;
        case 64: fillWords(a, [colour](uint32_t p) { return half(p) + quarter(colour) + quarter(p); }); return;
        case 192: fillWords(a, [colour](uint32_t p) { return quarter(colour) + quarter(p) + half(colour); }); return;
        default:
            if (weight > 0)
                fillWithFormula<CopyOp>(a, colour, weight);
            return;
        }
    case PIXO_BLEND_ADD:
        if (weight != 0)
            fillWithFormula<AddOp>(a, colour, weight);
        return;
    case PIXO_BLEND_DODGE:
        if (weight != 0)
            fillWithFormula<DodgeOp>(a, colour, weight);
        return;
    case PIXO_BLEND_MULTIPLY:
        if (weight != 0)
            fillWithFormula<MultiplyOp>(a, colour, weight);
        return;
    case PIXO_BLEND_OVERLAY:
        if (weight != 0)
            fillWithFormula<OverlayOp>(a, colour, weight);
        return;
    case PIXO_BLEND_HSV_ADJUST:
        if (weight != 0)
            fillHsv(a, colour, weight);
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// PIXO_ComposeBitmap

namespace {

struct BlitArea {
    Rows src, dst;
    int32_t sx, sy, dx, dy, w, h;
};

template <class PixelRule>
void blitRows(const BlitArea& a, PixelRule rule) {
    for (int32_t j = 0; j < a.h; ++j) {
        const uint32_t* s = a.src.at(a.sx, a.sy + j);
        uint32_t* d = a.dst.at(a.dx, a.dy + j);
        for (int32_t i = 0; i < a.w; ++i)
            d[i] = rule(d[i], s[i]);
    }
}

template <class Op>
void blitFormula(const BlitArea& a, int w) {
    blitRows(a, [w](uint32_t d, uint32_t s) { return blendWord<Op>(d, s, w); });
}

// Source alpha for the formula modes: w' = w * (sa + 1) / 256, optionally skipping sa = 0.
template <class Op, bool skipTransparent>
void blitSourceAlpha(const BlitArea& a, int w) {
    blitRows(a, [w](uint32_t d, uint32_t s) {
        int sa = int(s >> 24);
        if (skipTransparent && sa == 0)
            return d;
        return blendWord<Op>(d, s, w * (sa + 1) / 256);
    });
}

void blitSourceAlphaCopy(const BlitArea& a, int w) {
    if (w == 256) {
        blitRows(a, [](uint32_t d, uint32_t s) {
            int sa = int(s >> 24);
            if (sa == 0)
                return d;
            if (sa == 255)
                return s | 0xFF000000u;
            int da = byteOf(d, 3);
            uint32_t out = uint32_t(sa + da > 255 ? 255 : sa + da) << 24;
            for (int i = 0; i < 3; ++i) {
                int sb = byteOf(s, i);
                out |= uint32_t((sb + (byteOf(d, i) - sb) * (255 - sa) / 256) & 0xFF) << (8 * i);
            }
            return out;
        });
        return;
    }
    blitRows(a, [w](uint32_t d, uint32_t s) {
        int sa = int(s >> 24);
        if (sa == 0)
            return d;
        int ws = w * (sa + 1) / 256;
        int da = byteOf(d, 3);
        uint32_t out = uint32_t(ws + da > 255 ? 255 : (ws + da) & 0xFF) << 24;
        for (int i = 0; i < 3; ++i)
            out |= uint32_t(CopyOp::apply(byteOf(d, i), byteOf(s, i), ws) & 0xFF) << (8 * i);
        return out;
    });
}

void blitSourceAlphaAdd(const BlitArea& a, int w) {
    blitRows(a, [w](uint32_t d, uint32_t s) {
        int sa = int(s >> 24);
        if (sa == 0)
            return d;
        int ws = w * (sa + 1) / 256;
        return blendWordAlpha<AddOp>(d, s, sa, ws);
    });
}

void blitSourceAlphaHsv(const BlitArea& a, int w) {
    blitRows(a, [w](uint32_t d, uint32_t s) {
        int sa = int(s >> 24);
        return hsvWord(d, s, uint32_t(sa), w * (sa + 1) / 256);
    });
}

void blitChannel(const BlitArea& a, int mode) {
    int from = 8 * (mode & 3);
    int to = 8 * ((mode >> 2) & 3);
    uint32_t keep = ~(0xFFu << to);
    blitRows(a, [from, to, keep](uint32_t d, uint32_t s) { return (d & keep) | (((s >> from) & 0xFF) << to); });
}

} // namespace

void PIXO_ComposeBitmap(PIXO_IBitmap* dest, PIXO_IBitmap* src, int32_t x, int32_t y, const PIXO_Rect* srcRect,
                        float alpha, int32_t mode) {
    if (!src || !dest || alpha == 0.0f)
        return;
    int64_t srcWidth = src->width(), srcHeight = src->height();
    int64_t sx0 = 0, sy0 = 0, sx1 = srcWidth, sy1 = srcHeight;
    int64_t dx = x, dy = y;
    if (srcRect) {
        sx1 = srcRect->right < srcWidth ? srcRect->right : srcWidth;
        sy1 = srcRect->bottom < srcHeight ? srcRect->bottom : srcHeight;
        if (srcRect->left < 0)
            dx -= srcRect->left;
        else
            sx0 = srcRect->left;
        if (srcRect->top < 0)
            dy -= srcRect->top;
        else
            sy0 = srcRect->top;
    }
    if (dx < 0) {
        sx0 -= dx;
        dx = 0;
    }
    if (dy < 0) {
        sy0 -= dy;
        dy = 0;
    }
    int64_t destWidth = dest->width(), destHeight = dest->height();
    if (dx + (sx1 - sx0) > destWidth)
        sx1 = destWidth + sx0 - dx;
    if (dy + (sy1 - sy0) > destHeight)
        sy1 = destHeight + sy0 - dy;
    if (sx0 >= sx1 || sy0 >= sy1)
        return;
    BlitArea a;
    if (!a.src.open(src) || !a.dst.open(dest))
        return;
    a.sx = int32_t(sx0);
    a.sy = int32_t(sy0);
    a.dx = int32_t(dx);
    a.dy = int32_t(dy);
    a.w = int32_t(sx1 - sx0);
    a.h = int32_t(sy1 - sy0);

    int modeByte = mode & 0xFF;
    if (modeByte >= PIXO_BLEND_CHANNEL_COPY) {
        blitChannel(a, modeByte);
        return;
    }
    bool sourceAlpha = (mode & PIXO_BLEND_SOURCE_ALPHA) != 0;
    if (modeByte == PIXO_BLEND_COPY && !sourceAlpha) {
        if (alpha == 1.0f) {
            for (int32_t j = 0; j < a.h; ++j)
                std::memcpy(a.dst.at(a.dx, a.dy + j), a.src.at(a.sx, a.sy + j), size_t(a.w) * 4);
            return;
        }
        if (alpha == 0.5f) {
            blitRows(a, [](uint32_t d, uint32_t s) { return half(s) + half(d); });
            return;
        }
    }
    int w = PIXO_Weight(alpha);
    if (w == 0)
        return;
    if (sourceAlpha) {
        switch (modeByte) {
        case PIXO_BLEND_COPY:
            if (w > 0)
                blitSourceAlphaCopy(a, w);
            return;
        case PIXO_BLEND_ADD: blitSourceAlphaAdd(a, w); return;
        case PIXO_BLEND_DODGE: blitSourceAlpha<DodgeOp, false>(a, w); return;
        case PIXO_BLEND_MULTIPLY: blitSourceAlpha<MultiplyOp, true>(a, w); return;
        case PIXO_BLEND_OVERLAY: blitSourceAlpha<OverlayOp, false>(a, w); return;
        case PIXO_BLEND_HSV_ADJUST: blitSourceAlphaHsv(a, w); return;
        default: return;
        }
    }
    switch (modeByte) {
    case PIXO_BLEND_COPY:
        if (w == 256)
            blitRows(a, [](uint32_t, uint32_t s) { return s; });
        else if (w > 0)
            blitFormula<CopyOp>(a, w);
        return;
    case PIXO_BLEND_ADD: blitFormula<AddOp>(a, w); return;
    case PIXO_BLEND_DODGE: blitFormula<DodgeOp>(a, w); return;
    case PIXO_BLEND_MULTIPLY: blitFormula<MultiplyOp>(a, w); return;
    case PIXO_BLEND_OVERLAY: blitFormula<OverlayOp>(a, w); return;
    case PIXO_BLEND_HSV_ADJUST:
        blitRows(a, [w](uint32_t d, uint32_t s) { return hsvWord(d, s, s >> 24, w); });
        return;
    default: return;
    }
}

// ---------------------------------------------------------------------------------------------
// PIXO_ClearBitmap, PIXO_SoftenRegion

void PIXO_ClearBitmap(PIXO_IBitmap* bitmap) {
    Rows rows;
    if (!rows.open(bitmap))
        return;
    for (int32_t y = 0; y < rows.height; ++y)
        std::memset(rows.row(y), 0, size_t(rows.width) * 4);
}

void PIXO_SoftenRegion(PIXO_IBitmap* bitmap, int32_t w, int32_t h) {
    Rows rows;
    if (!rows.open(bitmap))
        return;
    if (w > rows.width)
        w = rows.width;
    if (h > rows.height)
        h = rows.height;
    if (w < 2 || h < 2)
        return;

    // Two rows of the image as it was before this pass, by row parity, so a row can read its
    // upper neighbour unsoftened.
    uint32_t frameScratch[2 * 1024];
    uint32_t* heapScratch = nullptr;
    uint32_t* scratch = frameScratch;
    if (w > 1024) {
        heapScratch = static_cast<uint32_t*>(std::malloc(size_t(w) * 2 * 4));
        scratch = heapScratch;
    }

    for (int32_t y = 0; y < h; ++y) {
        uint32_t* p = rows.row(y);
        const bool firstRow = y == 0, lastRow = y == h - 1;
        const uint32_t* below = lastRow ? nullptr : rows.row(y + 1);
        const uint32_t* above = nullptr;
        if (!firstRow) {
            // The last row reads its upper neighbour as already softened.
            above = (scratch && !lastRow) ? scratch + ((y - 1) & 1) * w : rows.row(y - 1);
        }
        if (scratch)
            std::memcpy(scratch + (y & 1) * w, p, size_t(w) * 4);

        uint32_t left = 0;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t centre = p[x];
            bool firstColumn = x == 0, lastColumn = x == w - 1;
            uint32_t sides;
            if (firstColumn)
                sides = quarter(p[x + 1]);
            else if (lastColumn)
                sides = quarter(left);
            else
                sides = eighth(left) + eighth(p[x + 1]);
            uint32_t vertical;
            if (firstRow)
                vertical = quarter(below[x]);
            else if (lastRow)
                vertical = quarter(above[x]);
            else
                vertical = eighth(above[x]) + eighth(below[x]);
            left = centre;
            p[x] = half(centre) + vertical + sides;
        }
    }
    std::free(heapScratch);
}
