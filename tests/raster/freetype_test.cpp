// The native glyph source: a real font file through FreeType.
#include <gtest/gtest.h>

#include <memory>

#include "raster/pixo.h"
#include "raster_test_support.h"

using namespace rastertest;

namespace {

const char* kSans = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

TEST(FreeTypeFont, MetricsCapitalsAndDrawing) {
    std::unique_ptr<PIXO_CachedFont> font(PIXO_CreateCachedFont(kSans, 14));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->lineHeight(), 14);
    EXPECT_NE(font->GetSystemFont(), nullptr);

    ASSERT_TRUE(font->RenderGlyph('W'));
    ASSERT_TRUE(font->RenderGlyph('w'));
    const GlyphRecord* capital = font->FindGlyph('W');
    const GlyphRecord* small = font->FindGlyph('w');
    EXPECT_GT(capital->advance, 8);
    EXPECT_EQ(capital->width, capital->advance + 2);
    EXPECT_EQ(small->width, small->advance);
    EXPECT_EQ(capital->height, 14);

    PIXO_MemBitmap bitmap;
    bitmap.setSize(120, 20);
    fill(bitmap, 0xFF000000);
    font->SetForeground(0xFFFFFFFF);
    PIXO_Rect measured = {0, 0, 0, 0};
    EXPECT_EQ(font->RenderText(nullptr, "Hello", -1, &measured, DT_CALCRECT), 14);
    EXPECT_GT(measured.right, 25);
    EXPECT_LT(measured.right, 45);
    PIXO_Rect rect = {0, 0, 120, 20};
    EXPECT_EQ(font->RenderText(&bitmap, "Hello", -1, &rect, 0), 14);
    // Ink lies within the measured width, and the 'H' stem is fully covered somewhere.
    int inked = 0, full = 0;
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 120; ++x) {
            int red = byteOf(pixelAt(bitmap, x, y), 2);
            if (red > 0) {
                ++inked;
                EXPECT_LT(x, measured.right + 1);
                EXPECT_LT(y, 14);
            }
            full += red == 255;
        }
    EXPECT_GT(inked, 40);
    EXPECT_GT(full, 10);
}

TEST(FreeTypeFont, MissingFilesFail) {
    EXPECT_EQ(PIXO_CreateCachedFont("/nonexistent/font.ttf", 14), nullptr);
    EXPECT_EQ(PIXO_CreateCachedFont(kSans, 0), nullptr);
    EXPECT_EQ(PIXO_OpenFontFile(nullptr, 14), nullptr);
    EXPECT_FALSE(PIXO_RunningUnderWine());
}

}  // namespace
