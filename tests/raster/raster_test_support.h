// Helpers shared by the raster tests: bitmaps filled with one word, pixel access, and a
// synthetic glyph rasterizer whose coverage images the tests choose.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "raster/pixo.h"

namespace rastertest {

// Heap pixels that report their rows stored bottom row first (pixelAt still reads storage rows).
class BottomUpBitmap : public PIXO_MemBitmap {
public:
    bool bottomUp() override { return true; }
};

// Pixel (x, y) in storage order.
inline uint32_t& pixelAt(PIXO_IBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.pixels()[intptr_t(y) * bitmap.rowSpan() + x];
}

inline void fill(PIXO_IBitmap& bitmap, uint32_t word) {
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            pixelAt(bitmap, x, y) = word;
}

inline int byteOf(uint32_t word, int index) { return int((word >> (8 * index)) & 0xFF); }

// Glyphs made to order. Characters without an entry get a 6-pixel advance and a solid block of
// ink in columns 1..4, rows 2..lineHeight-3.
class SyntheticFace : public PIXO_GlyphRasterizer {
public:
    struct Glyph {
        int32_t advance, boxWidth, boxHeight;
        std::vector<uint8_t> coverage;  // boxWidth x boxHeight, row after row
    };

    explicit SyntheticFace(int32_t lineHeight, int* destroyed = nullptr) : lineHeight_(lineHeight), destroyed_(destroyed) {}
    ~SyntheticFace() override {
        if (destroyed_)
            ++*destroyed_;
    }

    std::map<uint16_t, Glyph> glyphs;
    bool refuseWide = false;
    int measured = 0;

    int32_t lineHeight() override { return lineHeight_; }
    bool measure(uint16_t c, int32_t& advance, int32_t& boxWidth, int32_t& boxHeight) override {
        ++measured;
        if (refuseWide && c >= 128)
            return false;
        const Glyph g = glyphFor(c);
        advance = g.advance;
        boxWidth = g.boxWidth;
        boxHeight = g.boxHeight;
        return true;
    }
    void draw(uint16_t c, PIXO_IBitmap& scratch, int32_t boxWidth, int32_t boxHeight) override {
        const Glyph g = glyphFor(c);
        for (int32_t y = 0; y < boxHeight; ++y)
            for (int32_t x = 0; x < boxWidth; ++x) {
                uint32_t v = g.coverage[size_t(y) * boxWidth + x];
                pixelAt(scratch, x, y) = (v << 16) | (v << 8) | v;
            }
    }

private:
    Glyph glyphFor(uint16_t c) const {
        auto found = glyphs.find(c);
        if (found != glyphs.end())
            return found->second;
        Glyph g{6, 6, lineHeight_, std::vector<uint8_t>(size_t(6 * lineHeight_), 0)};
        for (int32_t y = 2; y < lineHeight_ - 2; ++y)
            for (int32_t x = 1; x <= 4; ++x)
                g.coverage[size_t(y) * 6 + x] = 255;
        return g;
    }

    int32_t lineHeight_;
    int* destroyed_;
};

}  // namespace rastertest
