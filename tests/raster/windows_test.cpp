// The Windows pieces under Wine: DIB-section bitmaps, GDI-rasterised glyphs, the Wine probe
// and the system text path (forced on through the test switch, as Wine never takes it).
#include <gtest/gtest.h>

#include <memory>

#include "raster/pixo.h"
#include "raster_test_support.h"

using namespace rastertest;

namespace {

TEST(SysBitmap, SizesRowSpansAndSectionReuse) {
    PIXO_SysBitmap bitmap(0, 0);
    EXPECT_NE(bitmap.deviceContext(), nullptr);
    EXPECT_EQ(bitmap.pixels(), nullptr);
    ASSERT_TRUE(bitmap.setSize(101, 50));
    EXPECT_EQ(bitmap.rowSpan(), 104);
    uint32_t* first = bitmap.pixels();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(bitmap.setSize(101, 50));

    EXPECT_TRUE(bitmap.setSize(60, 20));
    EXPECT_EQ(bitmap.rowSpan(), 104);
    EXPECT_EQ(bitmap.pixels(), first);
    EXPECT_EQ(bitmap.width(), 60);

    EXPECT_TRUE(bitmap.setSize(60, 51));
    EXPECT_EQ(bitmap.rowSpan(), 60);
    ASSERT_NE(bitmap.pixels(), nullptr);
    // The section is top-down and the system draws into the same pixels.
    fill(bitmap, 0);
    HBRUSH brush = CreateSolidBrush(RGB(0xC0, 0x80, 0x00));
    RECT box = {2, 3, 4, 5};
    FillRect(bitmap.deviceContext(), &box, brush);
    DeleteObject(brush);
    GdiFlush();
    EXPECT_EQ(pixelAt(bitmap, 2, 3) & 0xFFFFFF, 0xC08000u);
    EXPECT_EQ(pixelAt(bitmap, 1, 3), 0u);

    EXPECT_FALSE(bitmap.setSize(0, 10));
    EXPECT_EQ(bitmap.pixels(), nullptr);
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_EQ(bitmap.height(), 10);
    EXPECT_TRUE(bitmap.setSize(40000, 40000));  // more than 31 bits of bytes
    EXPECT_EQ(bitmap.pixels(), nullptr);
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_TRUE(bitmap.setSize(8, 8));
    EXPECT_NE(bitmap.pixels(), nullptr);
}

HFONT arial(int height) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}

int countInk(PIXO_IBitmap& bitmap, uint32_t background) {
    int ink = 0;
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            ink += (pixelAt(bitmap, x, y) & 0xFFFFFF) != (background & 0xFFFFFF);
    return ink;
}

TEST(GdiFont, ArialGlyphsThroughTheCache) {
    HFONT font = arial(14);
    ASSERT_NE(font, nullptr);
    PIXO_CachedFont cached;
    cached.AttachSystemFont(font, FONT_HANDLE_OWNED);
    EXPECT_EQ(cached.GetSystemFont(), font);
    EXPECT_EQ(cached.lineHeight(), 14);

    ASSERT_TRUE(cached.RenderGlyph('W'));
    ASSERT_TRUE(cached.RenderGlyph('w'));
    const GlyphRecord* capital = cached.FindGlyph('W');
    const GlyphRecord* small = cached.FindGlyph('w');
    EXPECT_GT(capital->advance, 6);
    EXPECT_EQ(capital->width, capital->advance + 2);
    EXPECT_EQ(small->width, small->advance);

    PIXO_Rect measured = {0, 0, 0, 0};
    EXPECT_EQ(cached.RenderText(nullptr, "Hello World", -1, &measured, DT_CALCRECT), 14);
    EXPECT_GT(measured.right, 40);

    PIXO_SysBitmap bitmap(120, 20);
    fill(bitmap, 0xFF000000);
    cached.SetForeground(0xFFFFFFFF);
    PIXO_Rect rect = {0, 0, 120, 20};
    EXPECT_EQ(cached.RenderText(&bitmap, "Hello World", -1, &rect, 0), 14);
    int ink = countInk(bitmap, 0);
    EXPECT_GT(ink, 40);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = measured.right + 2; x < 120; ++x)
            ASSERT_EQ(pixelAt(bitmap, x, y) & 0xFFFFFF, 0u);

    // The second draw only composites: the records and their pixels stay where they were.
    const GlyphRecord* h = cached.FindGlyph('H');
    int32_t pixelRef = h->pixelRef;
    const uint8_t* pixels = cached.GlyphPixels(*h);
    fill(bitmap, 0xFF000000);
    cached.RenderText(&bitmap, "Hello World", -1, &rect, 0);
    EXPECT_EQ(cached.FindGlyph('H')->pixelRef, pixelRef);
    EXPECT_EQ(cached.GlyphPixels(*cached.FindGlyph('H')), pixels);
    EXPECT_EQ(countInk(bitmap, 0), ink);

    // Non-ASCII characters go through the wide-character path into the sorted list.
    EXPECT_GT(cached.RenderText(&bitmap, "\xC3\xA9\xE2\x82\xAC", -1, &rect, 0), 0);
    EXPECT_NE(cached.FindGlyph(0xE9), nullptr);
    EXPECT_NE(cached.FindGlyph(0x20AC), nullptr);

    // An owned handle attached again survives; replacing it deletes it.
    cached.AttachSystemFont(font, FONT_HANDLE_OWNED);
    EXPECT_NE(GetObjectType(font), 0u);
    HFONT other = arial(12);
    cached.AttachSystemFont(other, FONT_HANDLE_OWNED);
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(cached.lineHeight(), 12);
}

TEST(SystemTextPath, WineProbeAndForcedSystemDrawing) {
    EXPECT_TRUE(PIXO_RunningUnderWine());

    PIXO_CachedFont cached;
    cached.AttachSystemFont(arial(14), FONT_HANDLE_OWNED | SYSTEM_TEXT_PREFERRED);
    cached.SetForeground(0xFFFFFFFF);
    PIXO_Rect measured = {0, 0, 0, 0};
    cached.RenderText(nullptr, "Hello", -1, &measured, DT_CALCRECT);
    // Under Wine the cached path measured it and rasterised glyphs.
    EXPECT_GT(cached.FindGlyph('H')->pixelRef, 0);

    PIXO_OverrideWineProbeForTesting(0);
    PIXO_CachedFont system;
    system.AttachSystemFont(arial(14), FONT_HANDLE_OWNED | SYSTEM_TEXT_PREFERRED);
    system.SetForeground(0xFFFFFFFF);
    PIXO_Rect systemMeasured = {0, 0, 0, 0};
    int height = system.RenderText(nullptr, "Hello", -1, &systemMeasured, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_GT(height, 0);
    EXPECT_GT(systemMeasured.right, 20);
    EXPECT_EQ(system.FindGlyph('H')->pixelRef, 0);  // nothing went through the cache

    // A bitmap with a DC is drawn on directly.
    PIXO_SysBitmap withDc(100, 20);
    fill(withDc, 0);
    PIXO_Rect rect = {0, 0, 100, 20};
    EXPECT_GT(system.RenderText(&withDc, "Hello", -1, &rect, DT_SINGLELINE), 0);
    EXPECT_GT(countInk(withDc, 0), 30);

    // A bitmap without one goes through the text scratch, right-aligned into the rectangle.
    PIXO_MemBitmap noDc;
    noDc.setSize(100, 20);
    fill(noDc, 0xFF000000);
    PIXO_Rect right = {0, 0, 100, 20};
    EXPECT_GT(system.RenderText(&noDc, "Hello", -1, &right, DT_SINGLELINE | DT_RIGHT), 0);
    EXPECT_GT(countInk(noDc, 0xFF000000), 30);
    int32_t textWidth = systemMeasured.right;
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 100 - textWidth - 1; ++x)
            ASSERT_EQ(pixelAt(noDc, x, y), 0xFF000000u) << x << "," << y;

    // The cached path is still taken when the caller forbids the system one.
    PIXO_Rect cachedRect = {0, 0, 100, 20};
    fill(noDc, 0xFF000000);
    system.RenderText(&noDc, "Hi", -1, &cachedRect, TEXT_NO_SYSTEM_PATH);
    EXPECT_GT(system.FindGlyph('H')->pixelRef, 0);
    PIXO_OverrideWineProbeForTesting(-1);
    EXPECT_TRUE(PIXO_RunningUnderWine());
}

}  // namespace
