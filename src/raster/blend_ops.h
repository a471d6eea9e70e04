// The per-byte blend formulas as functors of (d, s, w), shared by fills, blits, shapes and
// glyphs, and the row addressing every routine uses. Division truncates toward zero; results
// stored without a clamp keep their low 8 bits.
#pragma once

#include <cstdint>

#include "raster/pixo.h"

namespace pixo {

inline int clampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Whole-word shifts that act on each byte by itself.
inline uint32_t half(uint32_t v) { return (v >> 1) & 0x7F7F7F7Fu; }
inline uint32_t quarter(uint32_t v) { return (v >> 2) & 0x3F3F3F3Fu; }
inline uint32_t eighth(uint32_t v) { return (v >> 3) & 0x1F1F1F1Fu; }

inline int byteOf(uint32_t word, int index) { return int((word >> (8 * index)) & 0xFF); }

struct CopyOp {
    static int apply(int d, int s, int w) { return s + (d - s) * (256 - w) / 256; }
};
struct AddOp {
    static int apply(int d, int s, int w) { return clampByte(d + s * w / 256); }
};
struct DodgeOp {
    static int apply(int d, int s, int w) {
        int t = s * w / 256;
        return t >= 255 ? clampByte(d * 256) : clampByte(d * 256 / (256 - t));
    }
};
struct MultiplyOp {
    static int apply(int d, int s, int w) { return (s * w + (256 - w) * 256) * d / 65536; }
};
struct OverlayOp {
    static int apply(int d, int s, int w) {
        int t = s * w + (256 - w) * 128;
        return clampByte((((32768 - t) * d / 256) + t) * d / 32768);
    }
};

// Blends all four bytes of a pixel with one weight; source bytes given per position.
template <class Op>
inline uint32_t blendWord(uint32_t d, uint32_t s, int w) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
        out |= uint32_t(Op::apply(byteOf(d, i), byteOf(s, i), w) & 0xFF) << (8 * i);
    return out;
}

// Blends the colour bytes from the word s and the alpha byte from sourceAlpha (which may be
// beyond 255, as a fill's weight is).
template <class Op>
inline uint32_t blendWordAlpha(uint32_t d, uint32_t s, int sourceAlpha, int w) {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i)
        out |= uint32_t(Op::apply(byteOf(d, i), byteOf(s, i), w) & 0xFF) << (8 * i);
    out |= uint32_t(Op::apply(byteOf(d, 3), sourceAlpha, w) & 0xFF) << 24;
    return out;
}

// HSV adjust of the destination's colour bytes by the source's colour bytes, alpha given.
inline uint32_t hsvWord(uint32_t d, uint32_t s, uint32_t alphaByte, int w) {
    uint32_t rgb = PIXO_AdjustHsv(byteOf(d, 2), byteOf(d, 1), byteOf(d, 0), byteOf(s, 2), byteOf(s, 1),
                                  byteOf(s, 0), w);
    return rgb | ((alphaByte & 0xFF) << 24);
}

// The copy rules of a fill in one pixel: whole-word fast paths at 256, 128, 64 and 192, the copy
// formula otherwise, with sourceAlpha as the source of the alpha byte. w must be positive.
inline uint32_t copyFillWord(uint32_t pixel, uint32_t colour, int sourceAlpha, int w) {
    switch (w) {
    case 256: return colour;
    case 128: return half(colour) + half(pixel);
    case 64: return half(pixel) + quarter(colour) + quarter(pixel);
    case 192: return quarter(colour) + quarter(pixel) + half(colour);
    default: return blendWordAlpha<CopyOp>(pixel, colour, sourceAlpha, w);
    }
}

// Storage addressing of visual rows: row y lives at first + y * step.
struct Rows {
    uint32_t* first = nullptr;
    intptr_t step = 0;
    int32_t width = 0;
    int32_t height = 0;

    // False when the bitmap has nothing to draw on.
    bool open(PIXO_IBitmap* bitmap) {
        if (!bitmap)
            return false;
        uint32_t* pixels = bitmap->pixels();
        width = bitmap->width();
        height = bitmap->height();
        int32_t span = bitmap->rowSpan();
        if (!pixels || width <= 0 || height <= 0 || span <= 0)
            return false;
        if (bitmap->bottomUp()) {
            first = pixels + intptr_t(height - 1) * span;
            step = -intptr_t(span);
        } else {
            first = pixels;
            step = span;
        }
        return true;
    }
    // Rows in storage order whatever the bitmap's orientation (for callers that flip their own
    // coordinates first).
    bool openStorageOrder(PIXO_IBitmap* bitmap) {
        if (!open(bitmap))
            return false;
        first = bitmap->pixels();
        step = bitmap->rowSpan();
        return true;
    }
    uint32_t* row(int32_t y) const { return first + intptr_t(y) * step; }
    uint32_t* at(int32_t x, int32_t y) const { return row(y) + x; }
};

} // namespace pixo
