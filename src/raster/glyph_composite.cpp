// CompositeGlyph: one cached coverage image blended into a bitmap. The glyph acts as a source
// pixel of the text (or outline) colour with alpha byte 255, weighted per pixel by coverage;
// one loop per glyph kind and blend mode.
#include <algorithm>

#include "raster/blend_ops.h"
#include "raster/pixo.h"

using namespace pixo;

namespace {

struct GlyphArea {
    Rows rows;
    const uint8_t* coverage;
    int32_t coverageSpan;
    int32_t x, y, w, h;
};

// Per-pixel weight and source colour of each glyph kind; weight 0 leaves the pixel.
struct OrdinaryGlyph {
    int w;
    uint32_t text;
    int weight(int c) const { return w == 256 ? c + 1 : std::min(w * c / 256, 256); }
    uint32_t source(int) const { return text; }
};
struct HardEdgeGlyph {
    int w;
    uint32_t text;
    int weight(int) const { return std::min(w, 256); }
    uint32_t source(int) const { return text; }
};
struct OutlinedGlyph {
    int w;
    uint32_t text, outline;
    int weight(int) const { return std::min(w, 256); }
    uint32_t source(int c) const { return c == 255 ? text : outline; }
};

template <class Op>
struct FormulaMode {
    static uint32_t apply(uint32_t d, uint32_t s, int v) { return blendWord<Op>(d, s, v); }
};
struct HsvMode {
    static uint32_t apply(uint32_t d, uint32_t s, int v) { return hsvWord(d, s, 0xFF, v); }
};

template <class Mode, class Kind>
void compositeLoop(const GlyphArea& a, const Kind& kind) {
    for (int32_t j = 0; j < a.h; ++j) {
        const uint8_t* c = a.coverage + intptr_t(j) * a.coverageSpan;
        uint32_t* p = a.rows.at(a.x, a.y + j);
        for (int32_t i = 0; i < a.w; ++i) {
            if (c[i])
                p[i] = Mode::apply(p[i], kind.source(c[i]) | 0xFF000000u, kind.weight(c[i]));
        }
    }
}

template <class Kind>
void compositeMode(const GlyphArea& a, int mode, const Kind& kind) {
    switch (mode) {
    case PIXO_BLEND_COPY:
        if (kind.w > 0)
            compositeLoop<FormulaMode<CopyOp>>(a, kind);
        return;
    case PIXO_BLEND_ADD: compositeLoop<FormulaMode<AddOp>>(a, kind); return;
    case PIXO_BLEND_DODGE: compositeLoop<FormulaMode<DodgeOp>>(a, kind); return;
    case PIXO_BLEND_MULTIPLY: compositeLoop<FormulaMode<MultiplyOp>>(a, kind); return;
    case PIXO_BLEND_OVERLAY: compositeLoop<FormulaMode<OverlayOp>>(a, kind); return;
    case PIXO_BLEND_HSV_ADJUST: compositeLoop<HsvMode>(a, kind); return;
    default: return;
    }
}

// Full opacity in copy mode: covered pixels take the colour word itself, alpha byte included.
void storeWords(const GlyphArea& a, uint32_t text, uint32_t outline) {
    for (int32_t j = 0; j < a.h; ++j) {
        const uint8_t* c = a.coverage + intptr_t(j) * a.coverageSpan;
        uint32_t* p = a.rows.at(a.x, a.y + j);
        for (int32_t i = 0; i < a.w; ++i) {
            if (c[i])
                p[i] = c[i] == 255 ? text : outline;
        }
    }
}

} // namespace

bool PIXO_CachedFont::CompositeGlyph(PIXO_IBitmap* bitmap, uint16_t character, int32_t x, int32_t y,
                                     const PIXO_Rect& clipRect) {
    return CompositeGlyph(bitmap, character, x, y, clipRect, alpha_);
}

bool PIXO_CachedFont::CompositeGlyph(PIXO_IBitmap* bitmap, uint16_t character, int32_t x, int32_t y,
                                     const PIXO_Rect& clipRect, float alpha) {
    const GlyphRecord* record = FindGlyph(character);
    if (!record)
        return false;
    int64_t left = x, top = y, right = int64_t(x) + record->width, bottom = int64_t(y) + record->height;
    if (right <= clipRect.left || left >= clipRect.right || bottom <= clipRect.top || top >= clipRect.bottom)
        return false;
    const uint8_t* image = GlyphPixels(*record);
    GlyphArea a;
    if (!image || !a.rows.open(bitmap))
        return true;
    // The clip is also held to the bitmap, whatever rectangle the caller passed.
    int64_t clipLeft = std::max<int64_t>(clipRect.left, 0), clipTop = std::max<int64_t>(clipRect.top, 0);
    int64_t clipRight = std::min<int64_t>(clipRect.right, a.rows.width);
    int64_t clipBottom = std::min<int64_t>(clipRect.bottom, a.rows.height);
    int64_t skipX = left < clipLeft ? clipLeft - left : 0, skipY = top < clipTop ? clipTop - top : 0;
    left += skipX;
    top += skipY;
    right = std::min(right, clipRight);
    bottom = std::min(bottom, clipBottom);
    if (left >= right || top >= bottom)
        return true;
    a.coverage = image + skipY * record->width + skipX;
    a.coverageSpan = record->width;
    a.x = int32_t(left);
    a.y = int32_t(top);
    a.w = int32_t(right - left);
    a.h = int32_t(bottom - top);

    if (backgroundMode_ == PIXO_BACKGROUND_OPAQUE)
        PIXO_PaintRect(bitmap, a.x, a.y, a.w, a.h, backgroundColour_, alpha, blendMode_ & ~PIXO_BLEND_SOURCE_ALPHA);

    int mode = blendMode_ & 0xFF;
    if (mode > PIXO_BLEND_HSV_ADJUST)
        return true;
    int w = PIXO_Weight(alpha);
    if (fontFlags_ & (GLYPH_DROP_SHADOW | GLYPH_HALO)) {
        if (alpha == 1.0f && mode == PIXO_BLEND_COPY)
            storeWords(a, textColour_, outlineColour_);
        else if (w != 0)
            compositeMode(a, mode, OutlinedGlyph{w, textColour_, outlineColour_});
    } else if (fontFlags_ & GLYPH_HARD_EDGE) {
        if (alpha == 1.0f && mode == PIXO_BLEND_COPY)
            storeWords(a, textColour_, textColour_);
        else if (w != 0)
            compositeMode(a, mode, HardEdgeGlyph{w, textColour_});
    } else if (w != 0) {
        compositeMode(a, mode, OrdinaryGlyph{w, textColour_});
    }
    return true;
}
