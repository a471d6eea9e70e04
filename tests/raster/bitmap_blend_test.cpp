#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "raster/pixo.h"
#include "raster_test_support.h"

using namespace rastertest;

namespace {

// ---------------------------------------------------------------------------------------------
// PIXO_MemBitmap

TEST(MemBitmap, SizesCapacityAndAlignment) {
    PIXO_MemBitmap bitmap(3);
    EXPECT_EQ(bitmap.pixels(), nullptr);
    ASSERT_TRUE(bitmap.setSize(24, 12));
    EXPECT_EQ(bitmap.capacity(), 1152);
    EXPECT_EQ(bitmap.rowSpan(), 24);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap.pixels()) % 64, 0u);
    EXPECT_FALSE(bitmap.setSize(24, 12));

    ASSERT_TRUE(bitmap.setSize(30, 12));
    EXPECT_EQ(bitmap.rowSpan(), 32);
    EXPECT_EQ(bitmap.capacity(), 1920);  // 1536 grown by a quarter
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap.pixels()) % 64, 0u);

    // Shrinking keeps the block.
    ASSERT_TRUE(bitmap.setSize(8, 8));
    EXPECT_EQ(bitmap.capacity(), 1920);
    EXPECT_EQ(bitmap.width(), 8);

    ASSERT_TRUE(bitmap.setSize(0, 10));
    EXPECT_EQ(bitmap.pixels(), nullptr);
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_EQ(bitmap.height(), 0);
}

TEST(MemBitmap, SizesThatDoNotFit31BitsFailCleanly) {
    PIXO_MemBitmap bitmap(3);
    ASSERT_TRUE(bitmap.setSize(16, 16));
    // 40000 x 40000 x 4 wraps to a small positive number in 32 bits.
    EXPECT_TRUE(bitmap.setSize(40000, 40000));
    EXPECT_EQ(bitmap.pixels(), nullptr);
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_EQ(bitmap.height(), 0);
    EXPECT_TRUE(bitmap.setSize(-8, -8));
    EXPECT_EQ(bitmap.pixels(), nullptr);
    // Drawing on the failed bitmap is a no-op.
    PIXO_PaintRect(&bitmap, 0, 0, 100, 100, 0xFFFFFFFF, 1.0f, PIXO_BLEND_COPY);
    ASSERT_TRUE(bitmap.setSize(4, 4));
    EXPECT_NE(bitmap.pixels(), nullptr);
}

TEST(MemBitmap, ColourWordByteOrder) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(1, 1);
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0xFFC08000, 1.0f, PIXO_BLEND_COPY);
    const uint8_t expected[4] = {0x00, 0x80, 0xC0, 0xFF};
    EXPECT_EQ(std::memcmp(bitmap.pixels(), expected, 4), 0);
}

// ---------------------------------------------------------------------------------------------
// PIXO_PaintRect

// The weight of an opacity is trunc(alpha x 256), held within +-16 x 256 so that no blend
// formula can overflow, and 0 for NaN (which would otherwise turn into any integer).
TEST(Weight, TruncatesTowardZeroAndHoldsOutOfRangeAlphas) {
    EXPECT_EQ(PIXO_Weight(1.0f), 256);
    EXPECT_EQ(PIXO_Weight(0.5f), 128);
    EXPECT_EQ(PIXO_Weight(0.999f), 255); // 255.74
    EXPECT_EQ(PIXO_Weight(1.0f / 512), 0);
    EXPECT_EQ(PIXO_Weight(-0.999f), -255); // toward zero, not down
    EXPECT_EQ(PIXO_Weight(16.0f), 4096);
    EXPECT_EQ(PIXO_Weight(20.0f), 4096);
    EXPECT_EQ(PIXO_Weight(-1e30f), -4096);
    EXPECT_EQ(PIXO_Weight(std::numeric_limits<float>::infinity()), 4096);
    EXPECT_EQ(PIXO_Weight(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(PaintRect, CopyFastPathsOnWholeWords) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(4, 1);
    fill(bitmap, 0);
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0xFF0080FF, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, 1, 0, 1, 1, 0xFF0080FF, 0.5f, PIXO_BLEND_COPY);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFF0080FFu);
    EXPECT_EQ(pixelAt(bitmap, 1, 0), 0x7F00407Fu);

    // 64 and 192 on pixel 0xFFFFFFFF with colour 0: (p>>1)+(p>>2) and (p>>2), per byte.
    fill(bitmap, 0xFFFFFFFF);
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00000000, 0.25f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, 1, 0, 1, 1, 0x00000000, 0.75f, PIXO_BLEND_COPY);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xBEBEBEBEu);
    EXPECT_EQ(pixelAt(bitmap, 1, 0), 0x3F3F3F3Fu);
}

TEST(PaintRect, FastPathsStayWithinTruncationOfTheFormula) {
    std::mt19937 random(7);
    PIXO_MemBitmap bitmap;
    bitmap.setSize(1, 1);
    for (int round = 0; round < 500; ++round) {
        uint32_t colour = random(), pixel = random();
        for (int w : {64, 128, 192}) {
            pixelAt(bitmap, 0, 0) = pixel;
            PIXO_PaintRect(&bitmap, 0, 0, 1, 1, colour, float(w) / 256.0f, PIXO_BLEND_COPY);
            // The word paths drop the low bits of each shifted term: at most two steps off
            // the copy formula, and the alpha byte follows the colour's alpha, not the weight.
            for (int i = 0; i < 4; ++i) {
                int s = byteOf(colour, i), d = byteOf(pixel, i);
                int formula = s + (d - s) * (256 - w) / 256;
                EXPECT_NEAR(byteOf(pixelAt(bitmap, 0, 0), i), formula, 2)
                    << std::hex << colour << " " << pixel << std::dec << " w " << w;
            }
        }
    }
}

TEST(PaintRect, FormulaModesOnHandComputedBytes) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(1, 1);
    // Copy at w = 100: alpha byte 100 + (0 - 100) * 156 / 256 = 40, red 192 - 117 = 75.
    pixelAt(bitmap, 0, 0) = 0;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00C00000, 100.0f / 256.0f, PIXO_BLEND_COPY);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x284B0000u);

    // Add at alpha 1: red 100 + 200 clamps, alpha 0 + 256 clamps.
    pixelAt(bitmap, 0, 0) = 0x00640A00;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00C81400, 1.0f, PIXO_BLEND_ADD);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFFFF1E00u);

    // Dodge with s = 255 at w = 256: t = 255, non-zero bytes saturate, zero stays.
    pixelAt(bitmap, 0, 0) = 0x00010000;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00FFFFFF, 1.0f, PIXO_BLEND_DODGE);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x00FF0000u);

    // Multiply 128 on 128 at w = 256 gives 64; the alpha byte (s = 256) is kept.
    pixelAt(bitmap, 0, 0) = 0x80808080;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00808080, 1.0f, PIXO_BLEND_MULTIPLY);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x80404040u);
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00000000, 1.0f / 512.0f, PIXO_BLEND_MULTIPLY);  // w = 0
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x80404040u);

    // Overlay: d 100 under s 200 at w 256 gives 134; d 200 under s 50 at w 128 gives 186.
    pixelAt(bitmap, 0, 0) = 0x00006400;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x0000C800, 1.0f, PIXO_BLEND_OVERLAY);
    EXPECT_EQ(byteOf(pixelAt(bitmap, 0, 0), 1), 134);
    pixelAt(bitmap, 0, 0) = 0x000000C8;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00000032, 0.5f, PIXO_BLEND_OVERLAY);
    EXPECT_EQ(byteOf(pixelAt(bitmap, 0, 0), 0), 186);

    // Unknown modes draw nothing.
    pixelAt(bitmap, 0, 0) = 0x12345678;
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0xFFFFFFFF, 1.0f, 6);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x12345678u);
}

TEST(PaintRect, SourceAlphaFlagScalesByColourAlpha) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(1, 1);
    pixelAt(bitmap, 0, 0) = 0;
    // Colour alpha 0x7F: 1.0 * 127/255 = 0.498 -> w = 127, copy formula.
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x7FFF0000, 1.0f, PIXO_BLEND_COPY | PIXO_BLEND_SOURCE_ALPHA);
    // red: 255 - 255 * 129 / 256 = 127; alpha byte (s = w = 127): 127 - 127 * 129 / 256 = 64.
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x407F0000u);
    PIXO_PaintRect(&bitmap, 0, 0, 1, 1, 0x00FFFFFF, 1.0f, PIXO_BLEND_COPY | PIXO_BLEND_SOURCE_ALPHA);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x407F0000u);
}

TEST(PaintRect, ClipsAtEveryEdge) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(6, 5);
    fill(bitmap, 0);
    PIXO_PaintRect(&bitmap, -3, -2, 5, 4, 0xFFFFFFFF, 1.0f, PIXO_BLEND_COPY);  // covers 0..1 x 0..1
    PIXO_PaintRect(&bitmap, 4, 3, 10, 10, 0xFF000001, 1.0f, PIXO_BLEND_COPY);  // covers 4..5 x 3..4
    PIXO_PaintRect(&bitmap, 2147483000, 0, 2000, 2, 0xFF000002, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, 0, 0, 0, 5, 0xFF000003, 1.0f, PIXO_BLEND_COPY);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            uint32_t expected = (x < 2 && y < 2) ? 0xFFFFFFFF : (x >= 4 && y >= 3) ? 0xFF000001 : 0;
            EXPECT_EQ(pixelAt(bitmap, x, y), expected) << x << "," << y;
        }
    PIXO_PaintRect(nullptr, 0, 0, 1, 1, 0, 1.0f, 0);
}

// ---------------------------------------------------------------------------------------------
// HSV adjust

TEST(HsvAdjust, NeutralAdjustmentKeepsColoursUpToTruncation) {
    EXPECT_EQ(PIXO_AdjustHsv(255, 0, 0, 128, 128, 128, 256), 0xFF0000u);
    EXPECT_EQ(PIXO_AdjustHsv(100, 100, 100, 128, 128, 128, 256), 0x646464u);
    // 200, 100, 50: hue 21, sat 191, val 200 -> 200, 99, 50.
    EXPECT_EQ(PIXO_AdjustHsv(200, 100, 50, 128, 128, 128, 256), 0xC86332u);
}

TEST(HsvAdjust, HueSaturationAndValueShifts) {
    // Red byte 255 turns the hue by 190 of 384: pure red becomes (0, 255, 247).
    EXPECT_EQ(PIXO_AdjustHsv(255, 0, 0, 255, 128, 128, 256), 0x00FFF7u);
    // Saturation down to 0 leaves grey at the value; value up saturates.
    EXPECT_EQ(PIXO_AdjustHsv(255, 0, 0, 128, 0, 128, 256), 0xFFFFFFu);
    EXPECT_EQ(PIXO_AdjustHsv(100, 100, 100, 128, 128, 255, 256), 0xFFFFFFu);
    // Blits carry the source alpha byte, fills the weight.
    PIXO_MemBitmap dest, src;
    dest.setSize(1, 1);
    src.setSize(1, 1);
    pixelAt(dest, 0, 0) = 0x00FF0000;
    pixelAt(src, 0, 0) = 0x33808080;
    PIXO_ComposeBitmap(&dest, &src, 0, 0, nullptr, 1.0f, PIXO_BLEND_HSV_ADJUST);
    EXPECT_EQ(pixelAt(dest, 0, 0), 0x33FF0000u);
    PIXO_PaintRect(&dest, 0, 0, 1, 1, 0x00808080, 100.0f / 256.0f, PIXO_BLEND_HSV_ADJUST);
    EXPECT_EQ(byteOf(pixelAt(dest, 0, 0), 3), 100);
}

// ---------------------------------------------------------------------------------------------
// PIXO_ComposeBitmap

struct BlitFixture : ::testing::Test {
    PIXO_MemBitmap dest, src;
    void SetUp() override {
        dest.setSize(1, 1);
        src.setSize(1, 1);
    }
    uint32_t blit(uint32_t d, uint32_t s, float alpha, int32_t mode) {
        pixelAt(dest, 0, 0) = d;
        pixelAt(src, 0, 0) = s;
        PIXO_ComposeBitmap(&dest, &src, 0, 0, nullptr, alpha, mode);
        return pixelAt(dest, 0, 0);
    }
};

TEST_F(BlitFixture, FormulaModesBlendAllFourBytes) {
    EXPECT_EQ(blit(0x11223344, 0x55667788, 1.0f, PIXO_BLEND_COPY), 0x55667788u);
    EXPECT_EQ(blit(0x01030507, 0x01010101, 0.5f, PIXO_BLEND_COPY), 0x00010203u);  // masked shifts
    // w = 100: 200 + (0 - 200) * 156 / 256 = 79.
    EXPECT_EQ(blit(0x00000000, 0xC8C8C8C8, 100.0f / 256.0f, PIXO_BLEND_COPY), 0x4F4F4F4Fu);
    EXPECT_EQ(blit(0x64646464, 0xC8C8C8C8, 1.0f, PIXO_BLEND_ADD), 0xFFFFFFFFu);
    EXPECT_EQ(blit(0x00010000, 0xFFFFFFFF, 1.0f, PIXO_BLEND_DODGE), 0x00FF0000u);
    EXPECT_EQ(blit(0x80808080, 0x80808080, 1.0f, PIXO_BLEND_MULTIPLY), 0x40404040u);
    EXPECT_EQ(blit(0x00006400, 0x0000C800, 1.0f, PIXO_BLEND_OVERLAY) & 0xFF00, 134u << 8);
    EXPECT_EQ(blit(0x12345678, 0xFFFFFFFF, -1.0f, PIXO_BLEND_COPY), 0x12345678u);
    EXPECT_EQ(blit(0x12345678, 0xFFFFFFFF, 1.0f, 9), 0x12345678u);
}

TEST_F(BlitFixture, SourceAlphaForEachMode) {
    const int32_t sa = PIXO_BLEND_SOURCE_ALPHA;
    const uint32_t d = 0x641E140A;  // alpha 100, red 30, green 20, blue 10
    const uint32_t s = 0x800064C8;  // alpha 128, red 0, green 100, blue 200
    // Copy at w = 256: alpha min(255, 128 + 100), colour s + (d - s) * 127 / 256.
    EXPECT_EQ(blit(d, s, 1.0f, PIXO_BLEND_COPY | sa), 0xE40E3D6Au);
    EXPECT_EQ(blit(d, 0x00FFFFFF, 1.0f, PIXO_BLEND_COPY | sa), d);
    EXPECT_EQ(blit(d, 0xFF010203, 1.0f, PIXO_BLEND_COPY | sa), 0xFF010203u);
    // Copy at w = 128: w' = 64; alpha 164, colour s + (d - s) * 192 / 256.
    EXPECT_EQ(blit(d, s, 0.5f, PIXO_BLEND_COPY | sa), 0xA416283Au);
    // Add, w' = 129: blue 110, green 70, red 30, alpha 100 + 128 * 129 / 256 = 164.
    EXPECT_EQ(blit(d, s, 1.0f, PIXO_BLEND_ADD | sa), 0xA41E466Eu);
    EXPECT_EQ(blit(d, 0x00FFFFFF, 1.0f, PIXO_BLEND_ADD | sa), d);
    // Dodge, w' = 129: blue 16, green 24, red 30, alpha 133.
    EXPECT_EQ(blit(d, s, 1.0f, PIXO_BLEND_DODGE | sa), 0x851E1810u);
    // Multiply, w' = 129: blue 8, green 13, red 14, alpha 74; sa = 0 leaves the pixel.
    EXPECT_EQ(blit(d, s, 1.0f, PIXO_BLEND_MULTIPLY | sa), 0x4A0E0D08u);
    EXPECT_EQ(blit(d, 0x00000000, 1.0f, PIXO_BLEND_MULTIPLY | sa), d);
    // Overlay touches every pixel, also sa = 0 (w' = 1): d 0 stays 0, d 255 with s 0 drops.
    EXPECT_EQ(blit(0xFF000000, 0x00000000, 1.0f, PIXO_BLEND_OVERLAY | sa) >> 24, 254u);
    // HSV: alpha byte becomes sa.
    EXPECT_EQ(blit(0x00FF0000, 0x40808080, 1.0f, PIXO_BLEND_HSV_ADJUST | sa), 0x40FF0000u);
}

TEST_F(BlitFixture, ChannelCopyMovesOneByte) {
    EXPECT_EQ(blit(0x11223344, 0xAABBCCDD, 1.0f, 0xF0 + (3 << 2) + 2), 0xBB223344u);
    EXPECT_EQ(blit(0x11223344, 0xAABBCCDD, 0.01f, PIXO_ChannelCopy(0, 1)), 0x1122DD44u);
    EXPECT_EQ(blit(0x11223344, 0xAABBCCDD, 0.0f, PIXO_ChannelCopy(0, 1)), 0x11223344u);
}

TEST(ComposeBitmap, SourceRectangleAndClipping) {
    PIXO_MemBitmap src, dest;
    src.setSize(4, 3);
    dest.setSize(6, 5);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            pixelAt(src, x, y) = 0xFF000000u | uint32_t(y << 8) | uint32_t(x + 1);

    // A left of -5 draws source column 0 five pixels right of x (-4 + 5 = 1).
    fill(dest, 0);
    PIXO_Rect rect = {-5, 1, 2, 3};
    PIXO_ComposeBitmap(&dest, &src, -4, 0, &rect, 1.0f, PIXO_BLEND_COPY);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            uint32_t expected = (x >= 1 && x < 3 && y < 2) ? (0xFF000000u | uint32_t((y + 1) << 8) | uint32_t(x)) : 0;
            EXPECT_EQ(pixelAt(dest, x, y), expected) << x << "," << y;
        }

    // Each edge: the part inside lands, with its source offset.
    struct Case { int32_t x, y; };
    for (Case c : {Case{-2, -1}, Case{4, -1}, Case{-2, 3}, Case{4, 3}}) {
        fill(dest, 0);
        PIXO_ComposeBitmap(&dest, &src, c.x, c.y, nullptr, 1.0f, PIXO_BLEND_COPY);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 6; ++x) {
                int32_t sx = x - c.x, sy = y - c.y;
                bool inside = sx >= 0 && sx < 4 && sy >= 0 && sy < 3;
                EXPECT_EQ(pixelAt(dest, x, y), inside ? pixelAt(src, sx, sy) : 0u) << c.x << "," << c.y;
            }
    }
    fill(dest, 0);
    PIXO_ComposeBitmap(&dest, &src, 6, 0, nullptr, 1.0f, PIXO_BLEND_COPY);
    PIXO_ComposeBitmap(&dest, &src, 2147483647, 2147483647, nullptr, 1.0f, PIXO_BLEND_COPY);
    PIXO_ComposeBitmap(&dest, &src, -2147483647, 0, nullptr, 1.0f, PIXO_BLEND_COPY);
    PIXO_ComposeBitmap(&dest, nullptr, 0, 0, nullptr, 1.0f, PIXO_BLEND_COPY);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x)
            EXPECT_EQ(pixelAt(dest, x, y), 0u);
}

// ---------------------------------------------------------------------------------------------
// PIXO_ClearBitmap, PIXO_SoftenRegion

TEST(ClearBitmap, ZeroesTheVisibleAreaOnly) {
    PIXO_MemBitmap bitmap(3);
    bitmap.setSize(5, 2);  // row span 8
    for (int32_t i = 0; i < 16; ++i)
        bitmap.pixels()[i] = 0xABABABAB;
    PIXO_ClearBitmap(&bitmap);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 8; ++x)
            EXPECT_EQ(pixelAt(bitmap, x, y), x < 5 ? 0u : 0xABABABABu);
}

TEST(SoftenRegion, HandWorkedThreeByThree) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(3, 3);
    fill(bitmap, 0);
    pixelAt(bitmap, 1, 1) = 128;
    PIXO_SoftenRegion(&bitmap, 3, 3);
    // The last row reads the row above as already softened.
    const uint32_t expected[3][3] = {{0, 32, 0}, {32, 64, 32}, {8, 16, 8}};
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 3; ++x)
            EXPECT_EQ(pixelAt(bitmap, x, y), expected[y][x]) << x << "," << y;
}

TEST(SoftenRegion, ThinAreasAreLeftAndWideAreasMatchNarrowOnes) {
    PIXO_MemBitmap bitmap;
    bitmap.setSize(4, 4);
    fill(bitmap, 0x80808080);
    pixelAt(bitmap, 0, 0) = 0;
    PIXO_SoftenRegion(&bitmap, 1, 4);
    PIXO_SoftenRegion(&bitmap, 4, 1);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0u);
    EXPECT_EQ(pixelAt(bitmap, 1, 0), 0x80808080u);

    // Rows of constant values: every column away from the ends softens alike, whether the
    // scratch rows live in the frame (12 wide) or on the heap (1100 wide).
    PIXO_MemBitmap narrow, wide;
    narrow.setSize(12, 5);
    wide.setSize(1100, 5);
    const uint32_t rowValues[5] = {0x10203040, 0xF0E0D0C0, 0x00FF00FF, 0x80808080, 0x01020304};
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 12; ++x)
            pixelAt(narrow, x, y) = rowValues[y];
        for (int32_t x = 0; x < 1100; ++x)
            pixelAt(wide, x, y) = rowValues[y];
    }
    PIXO_SoftenRegion(&narrow, 12, 5);
    PIXO_SoftenRegion(&wide, 1100, 5);
    for (int32_t y = 0; y < 5; ++y) {
        EXPECT_EQ(pixelAt(wide, 600, y), pixelAt(narrow, 5, y)) << y;
        EXPECT_EQ(pixelAt(wide, 0, y), pixelAt(narrow, 0, y)) << y;
        EXPECT_EQ(pixelAt(wide, 1099, y), pixelAt(narrow, 11, y)) << y;
    }
}

}  // namespace
