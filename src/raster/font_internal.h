// What the portable cached-font code needs from each platform: the shared glyph scratch
// surface (a DIB section on Windows, heap pixels natively).
#pragma once

#include <cstdint>

#include "raster/pixo.h"

namespace pixo {

// The process-wide surface glyphs are rasterised on, grown (never shrunk) to at least
// minWidth x minHeight; null when it cannot be had.
PIXO_IBitmap* glyphScratch(int32_t minWidth, int32_t minHeight);

} // namespace pixo
