#include "editor/fader_cap.h"

namespace {

struct PlainCap {
    HBITMAP bitmap = nullptr;
    double scale = 0;
};
PlainCap plainCaps[2];

} // namespace

COLORREF faderCapColour(bool vertical, int32_t x, int32_t y, double scale) {
    const uint32_t pixel = faderCapPixel(vertical, x, y, scale);
    if (pixel == kFaderCapClear)
        return kThumbKeyColour;
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

HBITMAP plainFaderCap(bool vertical, double scale) {
    PlainCap& made = plainCaps[vertical ? 0 : 1];
    if (made.bitmap && made.scale == scale)
        return made.bitmap;
    if (made.bitmap)
        DeleteObject(made.bitmap);
    made.scale = scale;
    HBITMAP& cap = made.bitmap;
    int width = faderCapWidth(vertical, scale);
    int height = faderCapHeight(vertical, scale);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    cap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!cap || !bits)
        return cap;
    // The DIB's words are the raster words without alpha; the corners take the key colour.
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = faderCapPixel(vertical, x, y, scale);
            pixels[y * width + x] = pixel == kFaderCapClear ? 0x00FF00FFu : (pixel & 0x00FFFFFFu);
        }
    return cap;
}

void releasePlainFaderCaps() {
    for (PlainCap& cap : plainCaps) {
        if (cap.bitmap)
            DeleteObject(cap.bitmap);
        cap = PlainCap{};
    }
}
