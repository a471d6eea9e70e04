// pixo-testcard OUTPUT.png [FONT.ttf]: draws every primitive, blend mode and a line of text
// into a 640 x 480 bitmap and writes it as PNG.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "raster/pixo.h"

namespace {

const char* kDefaultFont = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

// A horizontal colour ramp with a vertical alpha ramp, the backdrop for blends and blits.
void paintRamp(PIXO_MemBitmap& bitmap, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t red = uint32_t(255 * x / (w - 1)), green = uint32_t(255 * y / (h - 1));
            uint32_t blue = 255 - red;
            bitmap.pixels()[(y0 + y) * bitmap.rowSpan() + x0 + x] = 0xFF000000u | (red << 16) | (green << 8) | blue;
        }
}

void label(PIXO_CachedFont* font, PIXO_MemBitmap& bitmap, int32_t x, int32_t y, const char* text) {
    if (!font)
        return;
    PIXO_Rect rect = {x, y, x + 400, y + 20};
    font->RenderText(&bitmap, text, -1, &rect, DT_SINGLELINE);
}

bool writePng(PIXO_MemBitmap& bitmap, const char* path) {
    int32_t w = bitmap.width(), h = bitmap.height();
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t p = bitmap.pixels()[y * bitmap.rowSpan() + x];
            uint8_t* o = &rgba[(size_t(y) * w + x) * 4];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p), o[3] = 255;
        }
    return stbi_write_png(path, w, h, 4, rgba.data(), w * 4) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pixo-testcard OUTPUT.png [FONT.ttf]\n");
        return 2;
    }
    PIXO_MemBitmap card(3);
    if (!card.setSize(640, 480) || !card.pixels())
        return 1;
    PIXO_PaintRect(&card, 0, 0, 640, 480, 0xFF202428, 1.0f, PIXO_BLEND_COPY);
    std::unique_ptr<PIXO_CachedFont> font(PIXO_CreateCachedFont(argc > 2 ? argv[2] : kDefaultFont, 13));
    if (font)
        font->SetForeground(0xFFE0E0E0);

    // Row 1: the six blend modes as fills of one colour at alpha 0.75 over the ramp.
    const char* modeNames[6] = {"copy", "add", "dodge", "multiply", "overlay", "hsv"};
    for (int32_t m = 0; m < 6; ++m) {
        int32_t x = 10 + m * 105;
        paintRamp(card, x, 24, 95, 60);
        PIXO_PaintRect(&card, x + 10, 34, 75, 40, m == 5 ? 0xFFC08060 : 0xFF3080C0, 0.75f, m);
        label(font.get(), card, x, 6, modeNames[m]);
    }

    // Row 2: blits of a soft-edged sprite with source alpha in each mode, and a channel copy.
    PIXO_MemBitmap sprite(3);
    sprite.setSize(60, 60);
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 60; ++x) {
            double d = std::hypot(x - 29.5, y - 29.5) / 30.0;
            uint32_t a = d >= 1.0 ? 0 : uint32_t(255 * (1.0 - d));
            sprite.pixels()[y * sprite.rowSpan() + x] = (a << 24) | 0x00FFC040u;
        }
    for (int32_t m = 0; m < 6; ++m) {
        int32_t x = 10 + m * 105;
        paintRamp(card, x, 100, 95, 70);
        PIXO_ComposeBitmap(&card, &sprite, x + 18, 105, nullptr, 1.0f, m | PIXO_BLEND_SOURCE_ALPHA);
    }
    label(font.get(), card, 10, 172, "source-alpha blits; channel copy red -> blue:");
    paintRamp(card, 330, 190, 95, 40);
    PIXO_Rect ramp = {330, 190, 425, 230};
    PIXO_ComposeBitmap(&card, &card, 440, 190, &ramp, 1.0f, PIXO_ChannelCopy(2, 0));

    // Row 3: lines in every direction, outlines, circles and discs.
    for (int32_t k = 0; k < 24; ++k) {
        double angle = k * 3.14159265358979 / 12;
        PIXO_StrokeLine(&card, 70, 300, 70 + int32_t(std::lround(55 * std::cos(angle))),
                        300 + int32_t(std::lround(55 * std::sin(angle))), 0xFF80FF80, k % 2 ? 0.5f : 1.0f);
    }
    PIXO_StrokeRect(&card, 140, 250, 80, 50, 0xFFFFFFFF, 1.0f);
    PIXO_StrokeRect(&card, 150, 260, 80, 50, 0xFFFF8040, 0.5f);
    const float smallRadii[6] = {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f};
    for (int32_t k = 0; k < 6; ++k)
        PIXO_StrokeCircle(&card, 255.0f + k * 14.0f, 260.0f, smallRadii[k], 0xFFFFFFFF, 1.0f);
    for (int32_t k = 0; k < 5; ++k)
        PIXO_StrokeCircle(&card, 270.0f + k * 28.0f, 300.0f, 5.0f + k * 2.25f, 0xFF60C0FF, 1.0f);
    for (int32_t k = 0; k < 4; ++k)
        PIXO_PaintDisc(&card, 420.0f + k * 30.0f, 260.0f, 4.0f + k * 3.0f, 0xFFFFD040, 0.6f + 0.1f * k);
    PIXO_PaintDisc(&card, 560.0f, 310.0f, 7.0f, 0xFFFF4040, 1.0f);
    PIXO_StrokeCircle(&card, 560.0f, 310.0f, 7.0f, 0xFFFFFFFF, 1.0f);

    // Row 4: trapezoids and a convex polygon (darkening with transparent black over the ramp).
    paintRamp(card, 10, 370, 300, 90);
    PIXO_PaintTrapezoid(&card, 30, 80, 375, 15, 120, 455, 0, 0.5f);
    PIXO_PaintTrapezoid(&card, 140, 150, 375, 130, 220, 455, 0xFF4060FF, 0.75f);
    const int32_t xs[5] = {240, 300, 290, 250, 230}, ys[5] = {375, 400, 450, 455, 420};
    PIXO_PaintConvexPolygon(&card, xs, ys, 0, 1.0f);

    // Text: a measured, right-aligned and a vertical line.
    if (font) {
        PIXO_Rect rect = {330, 370, 630, 390};
        font->SetForeground(0xFFFFFFFF);
        font->RenderText(&card, "Tarnwell \xE2\x80\x93 0 dB, 1 kHz, \xC3\xA9t\xC3\xA9 42", -1, &rect, DT_SINGLELINE);
        PIXO_Rect right = {330, 395, 630, 415};
        font->SetForeground(0xFFFFC040);
        font->RenderText(&card, "right-aligned, alpha 0.6", -1, &right, DT_SINGLELINE | DT_RIGHT);
        font->SetBlend(PIXO_BLEND_COPY, 0.6f);
        PIXO_Rect faded = {330, 420, 630, 440};
        font->RenderText(&card, "faded text at alpha 0.6", -1, &faded, DT_SINGLELINE);
    }
    std::unique_ptr<PIXO_CachedFont> vertical(PIXO_CreateCachedFont(argc > 2 ? argv[2] : kDefaultFont, 13,
                                                                    GLYPH_TURN | GLYPH_TURN_UPWARD));
    if (vertical) {
        vertical->SetForeground(0xFF80FF80);
        PIXO_Rect up = {610, 200, 630, 360};
        vertical->RenderText(&card, "upward text", -1, &up, DT_BOTTOM);
    }

    if (!writePng(card, argv[1])) {
        std::fprintf(stderr, "pixo-testcard: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
