#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <random>
#include <set>
#include <utility>

#include "raster/pixo.h"
#include "raster_test_support.h"

using namespace rastertest;

namespace {

using PixelSet = std::set<std::pair<int32_t, int32_t>>;

PixelSet painted(PIXO_IBitmap& bitmap) {
    PixelSet set;
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            if (pixelAt(bitmap, x, y) != 0)
                set.insert({x, y});
    return set;
}

PixelSet lineSet(PIXO_MemBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    fill(bitmap, 0);
    PIXO_StrokeLine(&bitmap, x1, y1, x2, y2, 0xFFFFFFFF, 1.0f);
    return painted(bitmap);
}

// ---------------------------------------------------------------------------------------------
// Lines

TEST(StrokeLine, BothDirectionsSetTheSamePixels) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(64, 48);
    PixelSet forward = lineSet(bitmap, 0, 0, 10, 3);
    EXPECT_EQ(forward.size(), 11u);
    EXPECT_EQ(forward, lineSet(bitmap, 10, 3, 0, 0));
    EXPECT_TRUE(forward.count({0, 0}) && forward.count({10, 3}));

    std::mt19937 random(42);
    for (int round = 0; round < 2000; ++round) {
        int32_t x1 = int32_t(random() % 64), y1 = int32_t(random() % 48);
        int32_t x2 = int32_t(random() % 64), y2 = int32_t(random() % 48);
        PixelSet a = lineSet(bitmap, x1, y1, x2, y2);
        PixelSet b = lineSet(bitmap, x2, y2, x1, y1);
        ASSERT_EQ(a, b) << x1 << "," << y1 << " - " << x2 << "," << y2;
        // One pixel per step of the major axis, end points included, and 8-connected.
        size_t major = size_t(std::max(std::abs(x2 - x1), std::abs(y2 - y1)));
        ASSERT_EQ(a.size(), major + 1);
        ASSERT_TRUE(a.count({x1, y1}) && a.count({x2, y2}));
    }
}

TEST(StrokeLine, ClippedAndDegenerateLines) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(20, 10);
    EXPECT_EQ(lineSet(bitmap, 3, 4, 3, 4), (PixelSet{{3, 4}}));
    EXPECT_TRUE(lineSet(bitmap, -10, 2, -1, 8).empty());
    EXPECT_TRUE(lineSet(bitmap, 0, 10, 19, 30).empty());
    PixelSet row;
    for (int32_t x = 0; x <= 5; ++x)
        row.insert({x, 5});
    EXPECT_EQ(lineSet(bitmap, -5, 5, 5, 5), row);

    // Lines through the whole bitmap stay inside it and keep one pixel per column.
    PixelSet through = lineSet(bitmap, -100, -10, 200, 30);  // crosses x = 0 at y 3.3
    for (const auto& p : through)
        EXPECT_TRUE(p.first >= 0 && p.first < 20 && p.second >= 0 && p.second < 10);
    EXPECT_FALSE(through.empty());
    PixelSet steep = lineSet(bitmap, 5, -1000000, 6, 1000000);
    EXPECT_EQ(steep.size(), 10u);
    lineSet(bitmap, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
}

TEST(StrokeLine, ExactHalfUsesMaskedShiftAndNearHalfAveragesBytes) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(4, 2);
    fill(bitmap, 0x01010101);
    PIXO_StrokeLine(&bitmap, 0, 0, 3, 0, 0x01010101, 0.5f);
    PIXO_StrokeLine(&bitmap, 0, 1, 3, 1, 0x01010101, 0.501f);
    EXPECT_EQ(pixelAt(bitmap, 2, 0), 0x00000000u);
    EXPECT_EQ(pixelAt(bitmap, 2, 1), 0x01010101u);
}

TEST(StrokeRect, ElevenBySixOutlineWithCornersBlendedTwice) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(20, 12);
    fill(bitmap, 0);
    PIXO_StrokeRect(&bitmap, 2, 3, 10, 5, 0xFFFFFFFF, 0.5f);
    PixelSet set = painted(bitmap);
    EXPECT_EQ(set.size(), 30u);  // 2 x 11 + 2 x 4
    for (const auto& p : set) {
        bool onColumn = p.first == 2 || p.first == 12, onRow = p.second == 3 || p.second == 8;
        EXPECT_TRUE((onColumn && p.second >= 3 && p.second <= 8) || (onRow && p.first >= 2 && p.first <= 12));
    }
    EXPECT_EQ(pixelAt(bitmap, 5, 3), 0x7F7F7F7Fu);
    EXPECT_EQ(pixelAt(bitmap, 2, 3), 0xBEBEBEBEu);  // 0x7F then 0x7F + 0x3F
    EXPECT_EQ(pixelAt(bitmap, 12, 8), 0xBEBEBEBEu);
}

// ---------------------------------------------------------------------------------------------
// Circles and coverage

TEST(SmallCircle, MasksAtTheSupportedRadii) {
    for (float r : {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f})
        EXPECT_TRUE(PIXO_StrokeSmallCircle(nullptr, 5.0f, 5.0f, r, 0, 1.0f)) << r;
    EXPECT_FALSE(PIXO_StrokeSmallCircle(nullptr, 5.0f, 5.0f, 2.25f, 0, 1.0f));

    // r = 2: the 5 x 5 mask at (cx - 2, cy - 2); coverage m at alpha 1 gives weight m.
    const uint8_t mask[5][5] = {{0x0F, 0xBF, 0xFF, 0xBF, 0x0F},
                                {0xBF, 0xD1, 0x4F, 0xD1, 0xBF},
                                {0xFF, 0x4F, 0x00, 0x4F, 0xFF},
                                {0xBF, 0xD1, 0x4F, 0xD1, 0xBF},
                                {0x0F, 0xBF, 0xFF, 0xBF, 0x0F}};
    PIXO_MemBitmap bitmap;
    bitmap.setSize(12, 12);
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 6.7f, 5.2f, 2.0f, 0xFFFFFFFF, 1.0f);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 12; ++x) {
            int32_t mx = x - 4, my = y - 3;
            int m = (mx >= 0 && mx < 5 && my >= 0 && my < 5) ? mask[my][mx] : 0;
            int expected = m ? 255 - 255 * (256 - m) / 256 : 0;
            EXPECT_EQ(pixelAt(bitmap, x, y), uint32_t(expected) * 0x01010101u) << x << "," << y;
        }

    // Near an edge the mask is cut, not wrapped.
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 0.0f, 0.0f, 2.0f, 0xFFFFFFFF, 1.0f);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0u);           // mask centre
    EXPECT_EQ(pixelAt(bitmap, 2, 0), 0xFFFFFFFFu);  // mask (4, 2) = 0xFF
    EXPECT_EQ(pixelAt(bitmap, 11, 11), 0u);

    // r = 2.25 goes through the rasteriser instead.
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 6.0f, 6.0f, 2.25f, 0xFFFFFFFF, 1.0f);
    EXPECT_NE(pixelAt(bitmap, 6, 9), 0u);  // outer pixel of the first step at cy + 1 + R
}

TEST(Circle, IntegerRadiusFullWeightAndFractionalSplit) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(24, 24);
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 10.0f, 10.0f, 5.0f, 0xFFFFFFFF, 1.0f);
    for (auto p : {std::pair<int, int>{10, 15}, {10, 5}, {15, 10}, {5, 10}})
        EXPECT_EQ(pixelAt(bitmap, p.first, p.second), 0xFFFFFFFFu);
    // Step i = 1: R = sqrt(24), wo = trunc(256 * 0.899) = 230 outside, wi = 26 inside.
    EXPECT_EQ(pixelAt(bitmap, 11, 15), 0xE6E6E6E6u);
    EXPECT_EQ(pixelAt(bitmap, 11, 14), 0x1A1A1A1Au);
    EXPECT_EQ(pixelAt(bitmap, 10, 10), 0u);

    // r = 5.5: wo = wi = 128; at i = 0 columns cx + i and cx - i coincide, so blend twice.
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 10.0f, 10.0f, 5.5f, 0xFFFFFFFF, 1.0f);
    EXPECT_EQ(pixelAt(bitmap, 10, 16), 0xC0C0C0C0u);  // 128, then 255 + (128 - 255) * 128 / 256
    EXPECT_EQ(pixelAt(bitmap, 10, 15), 0xC0C0C0C0u);
    // r = 5.25 tells outer (64) from inner (192) weights.
    fill(bitmap, 0);
    PIXO_StrokeCircle(&bitmap, 10.0f, 10.0f, 5.25f, 0xFFFFFFFF, 1.0f);
    EXPECT_EQ(pixelAt(bitmap, 10, 16), 0x70707070u);  // 64 twice: 64, then 112
    EXPECT_EQ(pixelAt(bitmap, 10, 15), 0xF0F0F0F0u);  // 192 twice: 192, then 240
}

TEST(Circle, DiscFillsAndClipsAtTheEdges) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(30, 30);
    fill(bitmap, 0);
    PIXO_PaintDisc(&bitmap, 15.0f, 15.0f, 7.0f, 0xFF204060, 1.0f);
    EXPECT_EQ(pixelAt(bitmap, 15, 15), 0xFF204060u);
    EXPECT_EQ(pixelAt(bitmap, 18, 12), 0xFF204060u);
    EXPECT_EQ(pixelAt(bitmap, 15, 22), 0xFF204060u);
    EXPECT_EQ(pixelAt(bitmap, 15, 24), 0u);
    EXPECT_EQ(pixelAt(bitmap, 21, 21), 0u);
    // Every painted pixel lies within r + 1 of the centre.
    for (const auto& p : painted(bitmap))
        EXPECT_LE(std::hypot(p.first - 15.0, p.second - 15.0), 8.5);

    // Discs hanging over every edge, and nonsense geometry, stay inside the bitmap.
    for (float c : {-3.0f, 0.0f, 29.5f, 33.0f})
        PIXO_PaintDisc(&bitmap, c, 31.0f - c, 9.0f, 0xFFFFFFFF, 0.7f);
    PIXO_PaintDisc(&bitmap, NAN, 5.0f, 3.0f, 0xFFFFFFFF, 1.0f);
    PIXO_PaintDisc(&bitmap, 5.0f, 5.0f, -3.0f, 0xFFFFFFFF, 1.0f);
    PIXO_StrokeCircle(&bitmap, 1e30f, 5.0f, 3.0f, 0xFFFFFFFF, 1.0f);
    EXPECT_NE(pixelAt(bitmap, 29, 1), 0u);  // from the disc centred at (29.5, 1.5)
    EXPECT_NE(pixelAt(bitmap, 0, 29), 0u);  // from the disc centred at (0, 31)
}

TEST(Circle, BottomUpBitmapsFlipTheCentreAndDrawInStorageRows) {
    // Flipping the centre and then rasterising in storage rows gives, in storage, exactly the
    // top-down picture of the centre H - 1 - cy; with a fractional cy that is not the top-down
    // picture turned over.
    BottomUpBitmap flipped;
    PIXO_MemBitmap upright;
    flipped.setSize(12, 12);
    upright.setSize(12, 12);
    fill(flipped, 0);
    PIXO_PaintDisc(&flipped, 6.0f, 5.5f, 3.0f, 0xFFFFFFFF, 1.0f);
    EXPECT_EQ(pixelAt(flipped, 6, 12 - 1 - 2), 0u);  // visual row 2
    EXPECT_NE(pixelAt(flipped, 6, 12 - 1 - 3), 0u);  // visual row 3
    EXPECT_NE(pixelAt(flipped, 6, 12 - 1 - 8), 0u);

    struct Case {
        float cx, cy, r;
        bool fill;
    };
    const Case cases[] = {{6, 5.5f, 3, true},   {6, 5.5f, 3.3f, false}, {5.25f, 4.75f, 4.6f, true},
                          {2, 1.5f, 5, false}, {11.5f, 10.5f, 6, true}, {6, 6, 2.5f, true}};
    for (const Case& c : cases) {
        fill(flipped, 0);
        fill(upright, 0);
        auto draw = c.fill ? PIXO_PaintDisc : PIXO_StrokeCircle;
        draw(&flipped, c.cx, c.cy, c.r, 0xFF808080, 0.7f);
        draw(&upright, c.cx, 12 - 1 - c.cy, c.r, 0xFF808080, 0.7f);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 12; ++x)
                EXPECT_EQ(pixelAt(flipped, x, y), pixelAt(upright, x, y)) << c.cx << "," << c.cy << " at " << x
                                                                          << "," << y;
    }
}

TEST(PaintCoverage, WeightsByMaskAndClips) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(3, 3);
    fill(bitmap, 0);
    const uint8_t mask[4] = {0xFF, 0x80, 0x00, 0x40};
    PIXO_PaintCoverage(&bitmap, -1, 1, mask, 2, 2, 0xFFFFFFFF, 0.5f);
    // Only the mask's right column lands (at x = 0): 0x80 at w = 128 -> weight 64; 0x40 -> 32.
    EXPECT_EQ(pixelAt(bitmap, 0, 1), 0x40404040u);  // 255 - 255 * 192 / 256
    EXPECT_EQ(pixelAt(bitmap, 0, 2), 0x20202020u);  // 255 - 255 * 224 / 256
    EXPECT_EQ(pixelAt(bitmap, 1, 1), 0u);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0u);
}

TEST(PaintCoverage, MaskHangingOffTheBottomRightLandsOnlyWhereItOverlaps) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(3, 3);
    fill(bitmap, 0);
    const uint8_t mask[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    PIXO_PaintCoverage(&bitmap, 2, 2, mask, 2, 2, 0xFFFFFFFF, 1.0f);
    // Full coverage at full weight is weight 255: 255 + (0 - 255) * 1 / 256 truncates to 255.
    EXPECT_EQ(pixelAt(bitmap, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(painted(bitmap).size(), 1u);
    // Entirely outside, or at no weight: nothing.
    PIXO_PaintCoverage(&bitmap, 3, 0, mask, 2, 2, 0xFFFFFFFF, 1.0f);
    PIXO_PaintCoverage(&bitmap, 0, 0, mask, 2, 2, 0xFFFFFFFF, 1.0f / 512);
    EXPECT_EQ(painted(bitmap).size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Trapezoids and polygons

TEST(PaintTrapezoid, SpanSwapAndRejection) {
    PIXO_MemBitmap a, b;
    a.setSize(32, 20);
    b.setSize(32, 20);
    fill(a, 0xFFFFFFFF);
    fill(b, 0xFFFFFFFF);
    PIXO_PaintTrapezoid(&a, 3, 10, 2, 15, -4, 17, 0, 1.0f);
    PIXO_PaintTrapezoid(&b, -4, 15, 17, 10, 3, 2, 0, 1.0f);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 32; ++x)
            ASSERT_EQ(pixelAt(a, x, y), pixelAt(b, x, y)) << x << "," << y;
    // Top row 3..10, bottom row from 0 (clipped at the left) to 14 (the 16.16 right edge
    // truncates 15 x 5/15 to 4), rows outside untouched.
    EXPECT_EQ(pixelAt(a, 3, 2), 0u);
    EXPECT_EQ(pixelAt(a, 10, 2), 0u);
    EXPECT_EQ(pixelAt(a, 11, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(a, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(a, 0, 17), 0u);
    EXPECT_EQ(pixelAt(a, 14, 17), 0u);
    EXPECT_EQ(pixelAt(a, 15, 17), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(a, 5, 1), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(a, 5, 18), 0xFFFFFFFFu);

    fill(a, 0xFFFFFFFF);
    PIXO_PaintTrapezoid(&a, 0, 10, -9, 0, 10, -1, 0, 1.0f);
    PIXO_PaintTrapezoid(&a, 40, 50, 0, 40, 50, 5, 0, 1.0f);
    EXPECT_EQ(painted(a).size(), 32u * 20u);

    // Transparent-black rules: 128 halves, 64 keeps 3/4 by word shifts, 192 keeps a quarter.
    PIXO_PaintTrapezoid(&a, 0, 0, 0, 0, 0, 0, 0, 0.5f);
    PIXO_PaintTrapezoid(&a, 1, 1, 0, 1, 1, 0, 0, 0.25f);
    PIXO_PaintTrapezoid(&a, 2, 2, 0, 2, 2, 0, 0, 0.75f);
    PIXO_PaintTrapezoid(&a, 3, 3, 0, 3, 3, 0, 0, 100.0f / 256.0f);
    EXPECT_EQ(pixelAt(a, 0, 0), 0x7F7F7F7Fu);
    EXPECT_EQ(pixelAt(a, 1, 0), 0xBEBEBEBEu);
    EXPECT_EQ(pixelAt(a, 2, 0), 0x3F3F3F3Fu);
    EXPECT_EQ(pixelAt(a, 3, 0), 0x9B9B9B9Bu);  // 255 * 156 / 256 = 155
}

// The polygon's real width on a row, from its edges in hull order.
double hullWidthAt(const int32_t xs[5], const int32_t ys[5], double y) {
    double low = 1e9, high = -1e9;
    for (int k = 0; k < 5; ++k) {
        double x1 = xs[k], y1 = ys[k], x2 = xs[(k + 1) % 5], y2 = ys[(k + 1) % 5];
        if (y < std::min(y1, y2) || y > std::max(y1, y2))
            continue;
        double x = y1 == y2 ? std::min(x1, x2) : x1 + (x2 - x1) * (y - y1) / (y2 - y1);
        low = std::min({low, x, y1 == y2 ? std::min(x1, x2) : x});
        high = std::max({high, x, y1 == y2 ? std::max(x1, x2) : x});
    }
    return high - low;
}

TEST(PaintConvexPolygon, EveryRowBetweenTopAndBottomPaintedOnce) {
    std::mt19937 random(5);
    PIXO_MemBitmap bitmap;
    bitmap.setSize(80, 60);
    for (int round = 0; round < 300; ++round) {
        // Five points on an ellipse, in angle order, make a convex pentagon.
        double angles[5];
        for (double& a : angles)
            a = std::uniform_real_distribution<double>(0, 6.283185307179586)(random);
        std::sort(angles, angles + 5);
        int32_t xs[5], ys[5];
        double cx = 40 + int(random() % 11) - 5, cy = 30 + int(random() % 7) - 3;
        double rx = 3 + random() % 26, ry = 3 + random() % 22;
        int32_t top = INT32_MAX, bottom = INT32_MIN;
        for (int k = 0; k < 5; ++k) {
            xs[k] = int32_t(std::lround(cx + rx * std::cos(angles[k])));
            ys[k] = int32_t(std::lround(cy + ry * std::sin(angles[k])));
            top = std::min(top, ys[k]);
            bottom = std::max(bottom, ys[k]);
        }
        fill(bitmap, 0xFFFFFFFF);
        PIXO_PaintConvexPolygon(&bitmap, xs, ys, 0, 0.5f);
        for (int32_t y = 0; y < 60; ++y) {
            int halved = 0;
            for (int32_t x = 0; x < 80; ++x) {
                uint32_t p = pixelAt(bitmap, x, y);
                ASSERT_TRUE(p == 0xFFFFFFFF || p == 0x7F7F7F7F) << "row " << y << " painted twice, round " << round;
                halved += p == 0x7F7F7F7F;
            }
            bool inside = y >= top && y <= bottom;
            // The 16.16 edges may lose the last pixel of a tip where the polygon is a pixel
            // or two wide; every wider row is painted.
            if (!inside) {
                ASSERT_EQ(halved, 0) << "row " << y << " round " << round;
            } else if (hullWidthAt(xs, ys, y) >= 2.0) {
                ASSERT_GT(halved, 0) << "row " << y << " round " << round;
            }
        }
    }
}

TEST(PaintConvexPolygon, SingleRowAndSquare) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(10, 10);
    fill(bitmap, 0xFFFFFFFF);
    const int32_t flatX[5] = {2, 7, 4, 3, 5}, flatY[5] = {4, 4, 4, 4, 4};
    PIXO_PaintConvexPolygon(&bitmap, flatX, flatY, 0, 1.0f);
    EXPECT_EQ(painted(bitmap).size(), 100u - 6u);

    fill(bitmap, 0xFFFFFFFF);
    const int32_t squareX[5] = {1, 6, 6, 1, 1}, squareY[5] = {2, 2, 7, 7, 2};
    PIXO_PaintConvexPolygon(&bitmap, squareX, squareY, 0, 1.0f);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(pixelAt(bitmap, x, y), (x >= 1 && x <= 6 && y >= 2 && y <= 7) ? 0u : 0xFFFFFFFFu)
                << x << "," << y;
}

}  // namespace
