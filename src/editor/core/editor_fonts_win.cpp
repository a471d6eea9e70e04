#include "editor/core/editor_fonts.h"

#include "raster/pixo.h"
#include "support/windows_prelude.h"

#include <new>

PIXO_CachedFont* createEditorFont(int32_t pixelHeight, bool bold) {
    HFONT font = CreateFontA(pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             "Arial");
    if (!font)
        return nullptr;
    auto* cached = new (std::nothrow) PIXO_CachedFont();
    if (!cached) {
        DeleteObject(font);
        return nullptr;
    }
    cached->AttachSystemFont(font, FONT_HANDLE_OWNED);
    cached->SetBackgroundMode(PIXO_BACKGROUND_TRANSPARENT);
    return cached;
}
