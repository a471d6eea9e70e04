// The fader drawn into memory bitmaps: background, level bars, default line, track and the
// drawn cap at the pixels the fader's geometry gives (worked out by hand for a 30 x 226
// vertical and a 223 x 30 horizontal fader), at an offset, clipped, and at twice the scale.
#include <gtest/gtest.h>

#include <cstdint>

#include "editor/core/fader_drawing.h"

namespace {

constexpr uint32_t kBackground = 0xFFC8D2DC;
constexpr uint32_t kLine = 0xFFFA1478;
constexpr uint32_t kFill = 0xFF0000FF;
constexpr uint32_t kEdge = 0xFFFFFFFF;
constexpr uint32_t kGreen = 0xFF20C000;

FaderColours colours() {
    FaderColours c;
    c.background = kBackground;
    c.defaultLine = kLine;
    c.trackFill = kFill;
    c.trackEdge = kEdge;
    return c;
}

uint32_t at(PIXO_IBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.pixels()[y * bitmap.rowSpan() + x];
}

struct Drawn {
    FaderModel fader;
    PIXO_MemBitmap bitmap;
    Drawn(bool vertical, int32_t position, double scale = 1.0) {
        fader.vertical = vertical;
        fader.scale = scale;
        fader.setPosition(position);
    }
    PIXO_IBitmap& draw() {
        const int32_t w = fader.vertical ? 30 : 223, h = fader.vertical ? 226 : 30;
        bitmap.setSize(w, h);
        PIXO_ClearBitmap(&bitmap);
        drawFader(bitmap, 0, 0, fader, faderGeometry(fader, w, h), colours());
        return bitmap;
    }
};

// The cap's pixels at (left, top), the background where its corners are cut.
void expectCap(PIXO_IBitmap& bitmap, int32_t left, int32_t top, bool vertical, double scale) {
    for (int32_t y = 0; y < faderCapHeight(vertical, scale); ++y)
        for (int32_t x = 0; x < faderCapWidth(vertical, scale); ++x) {
            const uint32_t cap = faderCapPixel(vertical, x, y, scale);
            ASSERT_EQ(at(bitmap, left + x, top + y), cap == kFaderCapClear ? kBackground : cap) << x << "," << y;
        }
}

TEST(FaderCap, EdgesCornersAndTheWhiteCentreLine) {
    EXPECT_EQ(faderCapWidth(true, 1.0), 14);
    EXPECT_EQ(faderCapHeight(false, 1.5), 21);
    EXPECT_EQ(faderCapPixel(true, 0, 0, 1.0), kFaderCapClear);
    EXPECT_EQ(faderCapPixel(true, 13, 25, 1.0), kFaderCapClear);
    EXPECT_EQ(faderCapPixel(true, 0, 10, 1.0), 0xFF101010u);
    EXPECT_EQ(faderCapPixel(false, 10, 13, 1.0), 0xFF101010u);
    // Rows 12 and 13 of 26 are the centre line, bright; the rows beside it are dark.
    EXPECT_GE((faderCapPixel(true, 4, 12, 1.0) >> 16) & 0xFF, 230u);
    EXPECT_GE((faderCapPixel(true, 4, 13, 1.0) >> 16) & 0xFF, 230u);
    EXPECT_LT((faderCapPixel(true, 4, 11, 1.0) >> 16) & 0xFF, 140u);
    // At twice the scale the edges and cut corners are two pixels wide.
    EXPECT_EQ(faderCapPixel(true, 1, 1, 2.0), kFaderCapClear);
    EXPECT_EQ(faderCapPixel(true, 1, 10, 2.0), 0xFF101010u);
    EXPECT_NE(faderCapPixel(true, 2, 10, 2.0), 0xFF101010u);
    EXPECT_GE((faderCapPixel(true, 14, 25, 2.0) >> 16) & 0xFF, 230u);
}

TEST(FaderDrawing, VerticalThumbTrackAndDefaultLine) {
    Drawn d(true, 500);  // stored 500: thumb rows 100..125, columns 8..21
    PIXO_IBitmap& b = d.draw();
    EXPECT_EQ(at(b, 1, 60), kBackground);
    // The track: columns 13..17, rows 8..217, an edge around the fill, square at 96 dpi.
    EXPECT_EQ(at(b, 15, 60), kFill);
    EXPECT_EQ(at(b, 13, 60), kEdge);
    EXPECT_EQ(at(b, 17, 60), kEdge);
    EXPECT_EQ(at(b, 12, 60), kBackground);
    EXPECT_EQ(at(b, 18, 60), kBackground);
    EXPECT_EQ(at(b, 15, 8), kEdge);
    EXPECT_EQ(at(b, 15, 217), kEdge);
    EXPECT_EQ(at(b, 15, 7), kBackground);
    EXPECT_EQ(at(b, 15, 218), kBackground);
    EXPECT_EQ(at(b, 13, 8), kEdge);
    EXPECT_EQ(at(b, 17, 217), kEdge);
    expectCap(b, 8, 100, true, 1.0);
    // Default line at 0 dB: 200 * (1000 - 789) / 1000 + 13 - 1 = 54, columns 2..27, the track
    // over it.
    EXPECT_EQ(at(b, 2, 54), kLine);
    EXPECT_EQ(at(b, 27, 54), kLine);
    EXPECT_EQ(at(b, 15, 54), kFill);
    EXPECT_EQ(at(b, 1, 54), kBackground);
    EXPECT_EQ(at(b, 28, 54), kBackground);
    EXPECT_EQ(at(b, 5, 53), kBackground);
    EXPECT_EQ(at(b, 5, 55), kBackground);
    // Flag 2 leaves the line out.
    d.fader.flags = kFaderNoDefaultLine;
    EXPECT_EQ(at(d.draw(), 2, 54), kBackground);
}

TEST(FaderDrawing, HorizontalThumbTrackAndDefaultLine) {
    Drawn d(false, 250);  // thumb columns 50..72, rows 8..21
    d.fader.defaultPosition = 600;
    PIXO_IBitmap& b = d.draw();
    // The track: rows 13..17 from column 7 to 215.
    EXPECT_EQ(at(b, 150, 15), kFill);
    EXPECT_EQ(at(b, 150, 13), kEdge);
    EXPECT_EQ(at(b, 150, 12), kBackground);
    EXPECT_EQ(at(b, 7, 15), kEdge);
    EXPECT_EQ(at(b, 6, 15), kBackground);
    EXPECT_EQ(at(b, 215, 15), kEdge);
    EXPECT_EQ(at(b, 216, 15), kBackground);
    expectCap(b, 50, 8, false, 1.0);
    // Default line at 200 * 600 / 1000 + 11 = 131, rows 2..27.
    EXPECT_EQ(at(b, 131, 2), kLine);
    EXPECT_EQ(at(b, 131, 27), kLine);
    EXPECT_EQ(at(b, 131, 28), kBackground);
    EXPECT_EQ(at(b, 130, 5), kBackground);
}

TEST(FaderDrawing, LevelBarsBesideTheTrack) {
    Drawn d(true, 0);
    // Bars 8 wide ((30 - 14) / 2) from 13 + (1000 - level) * 200 / 1000 down to the bottom.
    d.fader.levelOverlay = 600u | (250u << 16);
    PIXO_IBitmap& b = d.draw();
    EXPECT_EQ(at(b, 0, 93), kGreen);
    EXPECT_EQ(at(b, 7, 225), kGreen);
    EXPECT_EQ(at(b, 0, 92), kBackground);
    EXPECT_EQ(at(b, 8, 150), kBackground);
    EXPECT_EQ(at(b, 22, 163), kGreen);
    EXPECT_EQ(at(b, 29, 200), kGreen);
    EXPECT_EQ(at(b, 29, 162), kBackground);
    d.fader.levelOverlay = 0;
    EXPECT_EQ(at(d.draw(), 0, 224), kBackground);
    // The horizontal fader has none.
    Drawn h(false, 0);
    h.fader.levelOverlay = 1000u | (1000u << 16);
    EXPECT_EQ(at(h.draw(), 0, 29), kBackground);
}

TEST(FaderDrawing, AtAnOffsetAndClippedTheSamePixels) {
    Drawn d(true, 300);
    PIXO_IBitmap& alone = d.draw();
    const FaderGeometry g = faderGeometry(d.fader, 30, 226);
    PIXO_MemBitmap big;
    ASSERT_TRUE(big.setSize(100, 300));
    PIXO_PaintRect(&big, 0, 0, 100, 300, 0xFF123456, 1.0f, PIXO_BLEND_COPY);
    drawFader(big, 40, 20, d.fader, g, colours());
    PIXO_MemBitmap cut;
    ASSERT_TRUE(cut.setSize(20, 200));
    drawFader(cut, -10, -26, d.fader, g, colours());
    for (int32_t y = 0; y < 300; ++y)
        for (int32_t x = 0; x < 100; ++x) {
            const bool inside = x >= 40 && x < 70 && y >= 20 && y < 246;
            ASSERT_EQ(at(big, x, y), inside ? at(alone, x - 40, y - 20) : 0xFF123456u) << x << "," << y;
        }
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(at(cut, x, y), at(alone, x + 10, y + 26)) << x << "," << y;
}

// At 192 dpi the thumb is 28 x 52 and the travel 226 - 52 = 174: position 500 at row 87. The
// track is ten pixels wide, its two-pixel edge centred on the outermost columns (one pixel
// outside), and the two-pixel line reaches a pixel further at both ends.
TEST(FaderDrawing, AtTwiceTheScaleTheCapAndTrackDouble) {
    Drawn d(true, 500, 2.0);
    PIXO_IBitmap& b = d.draw();
    expectCap(b, 1, 87, true, 2.0);
    // Track columns (30 - 9) / 2 = 10 .. 19, rows 17 .. 208: edges 9..10 and 18..19, rows
    // 16..17 and 207..208.
    EXPECT_EQ(at(b, 8, 40), kBackground);
    EXPECT_EQ(at(b, 9, 40), kEdge);
    EXPECT_EQ(at(b, 10, 40), kEdge);
    EXPECT_EQ(at(b, 11, 40), kFill);
    EXPECT_EQ(at(b, 17, 40), kFill);
    EXPECT_EQ(at(b, 18, 40), kEdge);
    EXPECT_EQ(at(b, 19, 40), kEdge);
    EXPECT_EQ(at(b, 20, 40), kBackground);
    EXPECT_EQ(at(b, 14, 15), kBackground);
    EXPECT_EQ(at(b, 14, 16), kEdge);
    EXPECT_EQ(at(b, 14, 18), kFill);
    EXPECT_EQ(at(b, 14, 208), kEdge);
    EXPECT_EQ(at(b, 14, 209), kBackground);
    // The line: 174 * 211 / 1000 + 26 - 1 = 61, rows 60..61, columns 1..28.
    EXPECT_EQ(at(b, 1, 60), kLine);
    EXPECT_EQ(at(b, 28, 61), kLine);
    EXPECT_EQ(at(b, 0, 61), kBackground);
    EXPECT_EQ(at(b, 29, 61), kBackground);
    EXPECT_EQ(at(b, 5, 62), kBackground);
    EXPECT_EQ(at(b, 5, 59), kBackground);
}

} // namespace
