// PIXO_SysBitmap: a 32-bit DIB section in a memory DC; and the process-wide glyph scratch.
#include <algorithm>

#include "raster/font_internal.h"
#include "raster/pixo.h"

PIXO_SysBitmap& GlyphScratchBitmap() {
    static PIXO_SysBitmap scratch(0, 0);
    return scratch;
}

PIXO_SysBitmap::PIXO_SysBitmap(int32_t width, int32_t height) {
    dc_ = CreateCompatibleDC(nullptr);
    setSize(width, height);
}

PIXO_SysBitmap::~PIXO_SysBitmap() {
    if (dc_ && previousObject_)
        SelectObject(dc_, previousObject_);
    if (section_)
        DeleteObject(section_);
    if (dc_)
        DeleteDC(dc_);
}

bool PIXO_SysBitmap::setSize(int32_t w, int32_t h) {
    if (!dc_) {
        width_ = height_ = 0;
        bits_ = nullptr;
        return false;
    }
    if (w == width_ && h == height_)
        return false;
    width_ = w;
    height_ = h;
    if (w != 0 && h != 0 && w <= allocWidth_ && h <= allocHeight_ && bits_)
        return true;

    // Sizes are worked out in 64 bits; negative sizes and sections beyond 31 bits of bytes fail.
    int64_t rounded = (int64_t(w) + 3) & ~int64_t(3);
    bool fits = w > 0 && h > 0 && rounded * h * 4 <= INT32_MAX;
    allocWidth_ = fits ? int32_t(rounded) : 0;
    allocHeight_ = fits ? h : 0;
    if (previousObject_) {
        SelectObject(dc_, previousObject_);
        previousObject_ = nullptr;
    }
    if (section_)
        DeleteObject(section_);
    section_ = nullptr;
    bits_ = nullptr;
    if (!fits && w > 0 && h > 0) {
        // Treated as a section that could not be created.
        width_ = height_ = 0;
        return true;
    }
    if (allocWidth_ == 0 || allocHeight_ == 0)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = allocWidth_;
    info.bmiHeader.biHeight = bottomUp() ? h : -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    section_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section_) {
        bits_ = static_cast<uint32_t*>(bits);
        previousObject_ = SelectObject(dc_, section_);
    } else {
        width_ = height_ = 0;
        allocWidth_ = allocHeight_ = 0;
        bits_ = nullptr;
    }
    return true;
}

namespace pixo {

PIXO_IBitmap* glyphScratch(int32_t minWidth, int32_t minHeight) {
    PIXO_SysBitmap& scratch = GlyphScratchBitmap();
    if (scratch.width() < minWidth || scratch.height() < minHeight || !scratch.pixels()) {
        scratch.setSize(std::max(scratch.width(), minWidth), std::max(scratch.height(), minHeight));
        HDC dc = scratch.deviceContext();
        if (dc) {
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, RGB(0, 0, 0));
        }
    }
    return scratch.pixels() ? &scratch : nullptr;
}

}  // namespace pixo
