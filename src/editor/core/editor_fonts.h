// The editor's text face: "Arial" on Windows (Liberation Sans under Wine), the same Liberation
// Sans through fontconfig on Linux, so both editors measure and draw their text alike.
#pragma once

#include <cstdint>

class PIXO_CachedFont;

// A cached raster font of the face at a pixel height (the height of a character cell, as the
// Windows editor has always asked for its fonts), regular or bold, drawing on a transparent
// background; null when no font can be made. The caller owns it.
PIXO_CachedFont* createEditorFont(int32_t pixelHeight, bool bold);
