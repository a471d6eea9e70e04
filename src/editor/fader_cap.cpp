#include "editor/fader_cap.h"

#include <cstdlib>

namespace {

HBITMAP plainCaps[2] = {nullptr, nullptr};

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

COLORREF faderCapPixel(bool vertical, int32_t x, int32_t y) {
    // "Along" runs in the direction of travel, "across" over the cap's short side; light falls
    // from the left and the top.
    int length = vertical ? kVerticalThumbHeight : kHorizontalThumbWidth;
    int breadth = vertical ? kVerticalThumbWidth : kHorizontalThumbHeight;
    int along = vertical ? y : x;
    int across = vertical ? x : y;
    bool alongEdge = along == 0 || along == length - 1;
    bool acrossEdge = across == 0 || across == breadth - 1;
    if (alongEdge && acrossEdge)
        return kThumbKeyColour;
    if (alongEdge || acrossEdge)
        return RGB(16, 16, 16);

    // A rounded body: brightest a quarter of the way across, darker towards the far side.
    int position = (across - 1) * 100 / (breadth - 3);
    int shade = 46 - 90 * std::abs(position - 25) / 100;
    int grey = 84 + shade;
    int distance = distanceFromCentre(along, length);
    if (distance == 0)
        return RGB(clampByte(236 + shade / 8), clampByte(236 + shade / 8), clampByte(232 + shade / 8));
    if (distance == 1)
        grey -= 34;
    else if (distance >= 3 && distance % 3 == 0)
        grey -= 24;  // a groove of the grip
    else if (distance >= 3 && distance % 3 == 1)
        grey += 18;  // the lit ridge below it
    if (along == 1)
        grey += 26;
    else if (along == length - 2)
        grey -= 20;
    grey = clampByte(grey);
    return RGB(grey, grey, clampByte(grey + 3));
}

HBITMAP PlainFaderCap(bool vertical) {
    HBITMAP& cap = plainCaps[vertical ? 0 : 1];
    if (cap)
        return cap;
    int width = vertical ? kVerticalThumbWidth : kHorizontalThumbWidth;
    int height = vertical ? kVerticalThumbHeight : kHorizontalThumbHeight;
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
            COLORREF c = faderCapPixel(vertical, x, y);
            pixels[y * width + x] = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        }
    return cap;
}

void ReleasePlainFaderCaps() {
    for (HBITMAP& cap : plainCaps) {
        if (cap)
            DeleteObject(cap);
        cap = nullptr;
    }
}
