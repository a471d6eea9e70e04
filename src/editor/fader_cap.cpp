#include "editor/fader_cap.h"

#include <cstdlib>

namespace {

struct PlainCap {
    HBITMAP bitmap = nullptr;
    double scale = 0;
};
PlainCap plainCaps[2];

int clampByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// Distance along the cap from its centre line (one row, or two when the length is even).
int distanceFromCentre(int along, int length) {
    int upper = length / 2;
    int lower = (length % 2 == 0) ? upper - 1 : upper;
    if (along >= lower && along <= upper)
        return 0;
    return along < lower ? lower - along : along - upper;
}

} // namespace

int32_t faderCapWidth(bool vertical, double scale) {
    return scaledPixels(vertical ? kVerticalThumbWidth : kHorizontalThumbWidth, scale);
}

int32_t faderCapHeight(bool vertical, double scale) {
    return scaledPixels(vertical ? kVerticalThumbHeight : kHorizontalThumbHeight, scale);
}

COLORREF faderCapPixel(bool vertical, int32_t x, int32_t y, double scale) {
    // "Along" runs in the direction of travel, "across" over the cap's short side; light falls
    // from the left and the top. Edges are one scaled pixel wide; distances from the centre
    // line count in 96-dpi pixels, so the grip's grooves keep their rhythm.
    int length = vertical ? faderCapHeight(true, scale) : faderCapWidth(false, scale);
    int breadth = vertical ? faderCapWidth(true, scale) : faderCapHeight(false, scale);
    int edge = scaledStroke(1, scale);
    int along = vertical ? y : x;
    int across = vertical ? x : y;
    bool alongEdge = along < edge || along >= length - edge;
    bool acrossEdge = across < edge || across >= breadth - edge;
    if (alongEdge && acrossEdge)
        return kThumbKeyColour;
    if (alongEdge || acrossEdge)
        return RGB(16, 16, 16);

    // A rounded body: brightest a quarter of the way across, darker towards the far side.
    int position = (across - edge) * 100 / (breadth - 2 * edge - 1);
    int shade = 46 - 90 * std::abs(position - 25) / 100;
    int grey = 84 + shade;
    int distance = int(distanceFromCentre(along, length) / scale);
    if (distance == 0)
        return RGB(clampByte(236 + shade / 8), clampByte(236 + shade / 8), clampByte(232 + shade / 8));
    if (distance == 1)
        grey -= 34;
    else if (distance >= 3 && distance % 3 == 0)
        grey -= 24;  // a groove of the grip
    else if (distance >= 3 && distance % 3 == 1)
        grey += 18;  // the lit ridge below it
    if (along < 2 * edge)
        grey += 26;
    else if (along >= length - 2 * edge)
        grey -= 20;
    grey = clampByte(grey);
    return RGB(grey, grey, clampByte(grey + 3));
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
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF c = faderCapPixel(vertical, x, y, scale);
            pixels[y * width + x] = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
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
