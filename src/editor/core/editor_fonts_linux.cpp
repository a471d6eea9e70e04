#include "editor/core/editor_fonts.h"

#include "editor/core/font_file.h"
#include "raster/pixo.h"

#include <mutex>
#include <string>

namespace {

// Looked up once per process and weight: fontconfig takes milliseconds, and every editor of
// every instance draws with the same face.
const std::string& fontFile(bool bold) {
    static std::once_flag found[2];
    static std::string paths[2];
    std::call_once(found[bold], [bold] { paths[bold] = findSansFontFile(bold); });
    return paths[bold];
}

} // namespace

PIXO_CachedFont* createEditorFont(int32_t pixelHeight, bool bold) {
    const std::string& path = fontFile(bold);
    if (path.empty() || pixelHeight <= 0)
        return nullptr;
    PIXO_CachedFont* cached = PIXO_CreateCachedFont(path.c_str(), pixelHeight);
    if (cached)
        cached->SetBackgroundMode(PIXO_BACKGROUND_TRANSPARENT);
    return cached;
}
