// What the portable cached-font code needs from each platform: the glyph scratch
// surface (a DIB section on Windows, heap pixels natively) and, on Windows, the system font's
// rasterizer and the system text path. The platform files never name PIXO_CachedFont: the
// cached font calls them, not the other way round.
#pragma once

#include <cstdint>

#include "raster/pixo.h"

namespace pixo {

// The surface glyphs are rasterised on, grown (never shrunk) to at least minWidth x minHeight;
// null when it cannot be had. Process-wide on Windows (its editors share the host's window
// thread), one per thread natively.
PIXO_IBitmap* glyphScratch(int32_t minWidth, int32_t minHeight);

#ifdef _WIN32
// A rasterizer over a system font (not owned by it), its line height the font's text height
// (fallbackLineHeight when that cannot be measured); null when out of memory.
PIXO_GlyphRasterizer* createSystemFontRasterizer(PIXO_SystemFont font, int32_t fallbackLineHeight);

// How the system text path draws: the font and colours of the cached font that hands it a string.
struct SystemTextStyle {
    PIXO_SystemFont font;
    uint32_t textColour;
    uint32_t backgroundColour;
    int32_t backgroundMode;
    float alpha;
};

// Draws (or with DT_CALCRECT measures) a whole string with DrawText, straight into a bitmap
// with a device context, or through a scratch DIB composited at the style's alpha otherwise.
int32_t renderSystemText(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect, int32_t flags,
                         const SystemTextStyle& style);
#endif

} // namespace pixo
