#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "raster/pixo.h"
#include "raster_test_support.h"

using namespace rastertest;

namespace {

// ---------------------------------------------------------------------------------------------
// UTF-8

TEST(DecodeUtf8Char, EveryCase) {
    struct Case {
        const char* bytes;
        uint16_t character;
        int32_t used;
    };
    const Case cases[] = {
        {"A", 'A', 1},
        {"\x80", 0x80, 1},                  // stray continuation
        {"\xC0\x80", 0xC0, 1},              // overlong lead below 0xC2
        {"\xC1\xBF", 0xC1, 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xDF\xBF", 0x7FF, 2},
        {"\xC3" "A", 0xC3, 1},              // missing continuation
        {"\xC3", 0xC3, 1},                  // cut short by the terminator
        {"\xE2\x82\xAC", 0x20AC, 3},
        {"\xEF\xBF\xBF", 0xFFFF, 3},
        {"\xE2\x82", 0xE2, 1},
        {"\xE2" "A\xAC", 0xE2, 1},
        {"\xF0\x9F\x98\x80", 32, 4},        // beyond 16 bits: a space
        {"\xF4\x8F\xBF\xBF", 32, 4},
        {"\xF0\x9F\x98" "A", 0xF0, 1},
        {"\xF5\x80\x80\x80", 0xF5, 1},
        {"\xFF", 0xFF, 1},
    };
    for (const Case& c : cases) {
        int32_t used = 0;
        EXPECT_EQ(DecodeUtf8Char(reinterpret_cast<const uint8_t*>(c.bytes), &used), c.character) << c.bytes;
        EXPECT_EQ(used, c.used) << c.bytes;
    }
}

// ---------------------------------------------------------------------------------------------
// Fixture: a cached font over a synthetic face with line height 10

struct TextFixture : ::testing::Test {
    SyntheticFace* face = new SyntheticFace(10);
    PIXO_CachedFont font;
    PIXO_MemBitmap bitmap;

    void SetUp() override { bitmap.setSize(40, 30); fill(bitmap, 0); }
    void attach(uint32_t flags) { font.AttachRasterizer(face, flags | FONT_HANDLE_OWNED); }
    void glyph(uint16_t c, int32_t advance, int32_t width, int32_t height, std::vector<uint8_t> coverage) {
        face->glyphs[c] = SyntheticFace::Glyph{advance, width, height, std::move(coverage)};
    }
    PIXO_Rect measure(const char* text, int32_t length = -1, int32_t flags = 0, int32_t* result = nullptr) {
        PIXO_Rect rect = {3, 4, 3, 4};
        int32_t extent = font.RenderText(nullptr, text, length, &rect, flags | DT_CALCRECT);
        if (result)
            *result = extent;
        rect.right -= rect.left;
        rect.bottom -= rect.top;
        return rect;
    }
    int32_t draw(const char* text, PIXO_Rect rect, int32_t flags = 0) {
        return font.RenderText(&bitmap, text, -1, &rect, flags);
    }
    const uint8_t* image(uint16_t c) {
        const GlyphRecord* record = font.FindGlyph(c);
        return record ? font.GlyphPixels(*record) : nullptr;
    }
};

// ---------------------------------------------------------------------------------------------
// Compositing weights and glyph kinds

TEST_F(TextFixture, OrdinaryGlyphWeights) {
    attach(0);
    glyph('a', 3, 3, 1, {255, 0x80, 0});
    font.SetForeground(0x00102030);
    EXPECT_EQ(draw("a", {0, 0, 40, 30}), 1);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFF102030u);  // weight 256: the colour, alpha 255
    EXPECT_EQ(pixelAt(bitmap, 1, 0), 0x81091119u);  // weight 129
    EXPECT_EQ(pixelAt(bitmap, 2, 0), 0u);

    fill(bitmap, 0);
    font.SetBlend(PIXO_BLEND_COPY, 0.5f);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x7F081018u);  // weight 128 * 255 / 256 = 127

    fill(bitmap, 0x10101010);
    font.SetBlend(PIXO_BLEND_ADD, 1.0f);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFF203040u);

    fill(bitmap, 0x00FF0000);
    font.SetForeground(0x00808080);
    font.SetBlend(PIXO_BLEND_HSV_ADJUST, 1.0f);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(bitmap, 2, 0), 0x00FF0000u);

    fill(bitmap, 0);
    font.SetBlend(PIXO_BLEND_COPY, 0.0f);
    EXPECT_EQ(draw("a", {0, 0, 40, 30}), 0);
    font.SetBlend(PIXO_BLEND_COPY, 1.0f);
    font.SetForeground(0x00FFFFFF);
    EXPECT_EQ(draw("a", {0, 0, 40, 30}, TEXT_FOREGROUND_ALPHA), 0);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0u);
}

TEST_F(TextFixture, HardEdgeGlyphsStoreTheColourWord) {
    attach(GLYPH_HARD_EDGE);
    glyph('a', 3, 3, 1, {255, 130, 131});
    font.SetForeground(0x00102030);
    fill(bitmap, 0xAAAAAAAA);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x00102030u);  // its own alpha byte 0
    EXPECT_EQ(pixelAt(bitmap, 1, 0), 0xAAAAAAAAu);  // 130 is not above 130
    EXPECT_EQ(pixelAt(bitmap, 2, 0), 0x00102030u);

    fill(bitmap, 0);
    font.SetBlend(PIXO_BLEND_COPY, 0.5f);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0x80081018u);  // weight 128, source alpha 255
}

TEST_F(TextFixture, DropShadowAndHaloTakeTheOutlineColour) {
    const std::vector<uint8_t> dot = {0, 0, 0, 0, 200, 0, 0, 0, 0};
    attach(GLYPH_DROP_SHADOW);
    glyph('a', 3, 3, 3, dot);
    ASSERT_TRUE(font.RenderGlyph('a'));
    const uint8_t* shadow = image('a');
    ASSERT_NE(shadow, nullptr);
    const uint8_t expectedShadow[9] = {0, 0, 0, 0, 255, 128, 0, 128, 128};
    EXPECT_EQ(std::memcmp(shadow, expectedShadow, 9), 0);

    font.SetForeground(0xFF112233);
    font.SetOutlineColor(0x80445566);
    draw("a", {0, 0, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 1, 1), 0xFF112233u);
    EXPECT_EQ(pixelAt(bitmap, 2, 1), 0x80445566u);
    EXPECT_EQ(pixelAt(bitmap, 2, 2), 0x80445566u);
    EXPECT_EQ(pixelAt(bitmap, 0, 1), 0u);

    SyntheticFace* haloFace = new SyntheticFace(10);
    haloFace->glyphs['a'] = SyntheticFace::Glyph{3, 3, 3, dot};
    font.AttachRasterizer(haloFace, GLYPH_HALO | FONT_HANDLE_OWNED);
    face = haloFace;
    ASSERT_TRUE(font.RenderGlyph('a'));
    const uint8_t expectedHalo[9] = {0, 128, 0, 128, 255, 128, 0, 128, 0};
    EXPECT_EQ(std::memcmp(image('a'), expectedHalo, 9), 0);
}

TEST_F(TextFixture, OpaqueBackgroundAndRejectedBoxes) {
    attach(0);
    glyph('a', 3, 3, 1, {255, 0, 0});
    font.SetForeground(0xFF000000);
    font.SetBackground(0xFF00FF00);
    font.SetBackgroundMode(PIXO_BACKGROUND_OPAQUE);
    draw("a", {5, 5, 40, 30});
    EXPECT_EQ(pixelAt(bitmap, 5, 5), 0xFF000000u);
    EXPECT_EQ(pixelAt(bitmap, 6, 5), 0xFF00FF00u);
    EXPECT_EQ(pixelAt(bitmap, 7, 5), 0xFF00FF00u);
    EXPECT_EQ(pixelAt(bitmap, 8, 5), 0u);
    EXPECT_EQ(pixelAt(bitmap, 5, 6), 0u);

    // A glyph left of the clip rectangle draws nothing, not even its background.
    fill(bitmap, 0);
    PIXO_Rect clip = {10, 0, 20, 10};
    EXPECT_FALSE(font.CompositeGlyph(&bitmap, 'a', 7, 0, clip));
    EXPECT_TRUE(font.CompositeGlyph(&bitmap, 'a', 8, 0, clip));  // its last column is inside
    EXPECT_EQ(pixelAt(bitmap, 8, 0), 0u);
    EXPECT_EQ(pixelAt(bitmap, 9, 0), 0u);
    EXPECT_EQ(pixelAt(bitmap, 10, 0), 0xFF00FF00u);
    EXPECT_FALSE(font.CompositeGlyph(&bitmap, 0x4E00, 10, 0, clip));  // never cached
}

// ---------------------------------------------------------------------------------------------
// Rasterising into the cache: turning, negating, softening

TEST_F(TextFixture, QuarterTurnsBothWays) {
    const std::vector<uint8_t> pattern = {10, 20, 30, 40, 50, 60};  // 3 wide, 2 high
    glyph('t', 3, 3, 2, pattern);
    attach(GLYPH_TURN);
    ASSERT_TRUE(font.RenderGlyph('t'));
    const GlyphRecord* record = font.FindGlyph('t');
    EXPECT_EQ(record->width, 2);
    EXPECT_EQ(record->height, 3);
    EXPECT_EQ(record->advance, 3);
    const uint8_t clockwise[6] = {40, 10, 50, 20, 60, 30};
    EXPECT_EQ(std::memcmp(image('t'), clockwise, 6), 0);

    SyntheticFace* upwardFace = new SyntheticFace(10);
    upwardFace->glyphs['t'] = SyntheticFace::Glyph{3, 3, 2, pattern};
    font.AttachRasterizer(upwardFace, GLYPH_TURN | GLYPH_TURN_UPWARD | FONT_HANDLE_OWNED);
    face = upwardFace;
    ASSERT_TRUE(font.RenderGlyph('t'));
    const uint8_t counterClockwise[6] = {30, 60, 20, 50, 10, 40};
    EXPECT_EQ(std::memcmp(image('t'), counterClockwise, 6), 0);
}

TEST_F(TextFixture, NegateAndSoften) {
    const std::vector<uint8_t> pattern = {0, 40, 200, 255, 90, 10, 128, 0, 77, 33, 250, 5};  // 4 x 3
    glyph('s', 4, 4, 3, pattern);
    attach(GLYPH_NEGATE);
    ASSERT_TRUE(font.RenderGlyph('s'));
    for (size_t i = 0; i < pattern.size(); ++i)
        EXPECT_EQ(image('s')[i], 255 - pattern[i]);

    // Softened glyphs equal the pattern softened as a bitmap of grey pixels.
    SyntheticFace* softFace = new SyntheticFace(10);
    softFace->glyphs['s'] = SyntheticFace::Glyph{4, 4, 3, pattern};
    font.AttachRasterizer(softFace, GLYPH_SOFTEN | FONT_HANDLE_OWNED);
    face = softFace;
    ASSERT_TRUE(font.RenderGlyph('s'));
    PIXO_MemBitmap grey;
    grey.setSize(4, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            pixelAt(grey, x, y) = uint32_t(pattern[size_t(y) * 4 + x]) * 0x010101u;
    PIXO_SoftenRegion(&grey, 4, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(image('s')[y * 4 + x], byteOf(pixelAt(grey, x, y), 2)) << x << "," << y;
}

TEST_F(TextFixture, CacheIsFilledOnceAndEmptiedByAttach) {
    attach(0);
    draw("aaa", {0, 0, 40, 30});
    draw("aaa", {0, 0, 40, 30});
    EXPECT_EQ(face->measured, 1);
    const GlyphRecord* record = font.FindGlyph('a');
    EXPECT_GT(record->pixelRef, 0);

    // Extended characters are kept sorted for the bisection search.
    draw("\xCF\x88\xC3\xA9\xCE\xB1\xE2\x82\xAC\xC3\xA0", {0, 0, 40, 30});
    for (uint16_t c : {0x3C8, 0xE9, 0x3B1, 0x20AC, 0xE0}) {
        const GlyphRecord* extended = font.FindGlyph(c);
        ASSERT_NE(extended, nullptr) << c;
        EXPECT_EQ(extended->code, c);
        EXPECT_GT(extended->pixelRef, 0);
    }
    EXPECT_EQ(font.FindGlyph(0xE1), nullptr);

    int destroyed = 0;
    SyntheticFace* other = new SyntheticFace(12, &destroyed);
    font.AttachRasterizer(other, FONT_HANDLE_OWNED);
    face = other;
    EXPECT_EQ(font.lineHeight(), 12);
    EXPECT_EQ(font.FindGlyph('a')->pixelRef, 0);
    EXPECT_EQ(font.FindGlyph(0xE9), nullptr);
    // Attaching the same owned face again keeps it; another one deletes it.
    font.AttachRasterizer(other, FONT_HANDLE_OWNED);
    EXPECT_EQ(destroyed, 0);
    face = new SyntheticFace(10);
    font.AttachRasterizer(face, FONT_HANDLE_OWNED);
    EXPECT_EQ(destroyed, 1);
}

TEST_F(TextFixture, CharactersTheFaceCannotDrawAreCachedEmpty) {
    face->refuseWide = true;
    attach(0);
    EXPECT_EQ(measure("\xC3\xA9" "a" "\xC3\xA9").right, 6);
    EXPECT_EQ(draw("\xC3\xA9\xC3\xA9", {0, 0, 40, 30}), 0);
    EXPECT_EQ(measure("\xC3\xA9").right, 0);
    const GlyphRecord* refused = font.FindGlyph(0xE9);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->pixelRef, -1);
    EXPECT_EQ(refused->advance, 0);
    EXPECT_EQ(face->measured, 2);  // once for the refused character, once for 'a'
}

TEST_F(TextFixture, AsciiOnlyRasterisesAtAttachAndRefusesTheRest) {
    attach(GLYPH_ASCII_ONLY);
    EXPECT_EQ(face->measured, 128);
    EXPECT_GT(font.FindGlyph('z')->pixelRef, 0);
    EXPECT_EQ(measure("\xC3\xA9").right, 0);
    EXPECT_EQ(measure("\xC3\xA9").bottom, 0);
    EXPECT_EQ(draw("\xC3\xA9", {0, 0, 40, 30}), 0);
    EXPECT_EQ(font.FindGlyph(0xE9), nullptr);
    EXPECT_EQ(face->measured, 128);
}

// ---------------------------------------------------------------------------------------------
// Measuring and layout

TEST_F(TextFixture, MeasuringLinesAndCharacters) {
    attach(0);
    glyph(' ', 4, 4, 10, std::vector<uint8_t>(40, 0));
    glyph(0x01, 5, 0, 0, {});  // rasterises to nothing
    int32_t extent = -1;
    PIXO_Rect r = measure("\r\r\r", -1, 0, &extent);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(extent, 0);

    r = measure("a\nb", -1, 0, &extent);
    EXPECT_EQ(r.right, 6);
    EXPECT_EQ(r.bottom, 20);  // line height plus the second glyph's height
    EXPECT_EQ(extent, 20);
    r = measure("a\nb", -1, DT_SINGLELINE);
    EXPECT_EQ(r.right, 16);  // the line feed is a space
    EXPECT_EQ(r.bottom, 10);
    r = measure("a\r\nb");
    EXPECT_EQ(r.bottom, 20);

    EXPECT_EQ(measure("abcdef", 3).right, 18);
    EXPECT_EQ(measure("abcdef", 0).right, 0);
    EXPECT_EQ(measure("a\xC3\xA9z", 3).right, 12);  // a whole character within the count
    EXPECT_EQ(font.FindGlyph(0xE9) != nullptr, true);
    {
        // A count that ends inside a character never reads past the count (ASan watches the
        // exact-size block): the cut lead byte stands for itself.
        std::unique_ptr<char[]> cut(new char[2]{'a', '\xC3'});
        EXPECT_EQ(measure(cut.get(), 2).right, 12);
        EXPECT_NE(font.FindGlyph(0xC3), nullptr);
    }
    EXPECT_EQ(measure("\xF0\x9F\x98\x80").right, 4);  // one space
    EXPECT_EQ(measure("a\x01" "b").right, 12);        // the empty glyph does not move the pen
    EXPECT_EQ(font.FindGlyph(0x01)->pixelRef, -1);
    EXPECT_EQ(measure("\x80").right, 6);
    EXPECT_NE(font.FindGlyph(0x80), nullptr);

    // Null text and a null bitmap without DT_CALCRECT do nothing.
    PIXO_Rect untouched = {1, 2, 3, 4};
    EXPECT_EQ(font.RenderText(&bitmap, nullptr, 5, &untouched, 0), 0);
    EXPECT_EQ(font.RenderText(nullptr, nullptr, -1, &untouched, DT_CALCRECT), 0);
    EXPECT_EQ(untouched.right, 3);
    EXPECT_EQ(font.RenderText(nullptr, "a", -1, &untouched, 0), 0);
}

TEST_F(TextFixture, AlignmentPlacesTheBlock) {
    attach(0);
    font.SetForeground(0xFFFFFFFF);
    // "ab" is 12 x 10; ink of a glyph lies in its columns 1..4, rows 2..7.
    auto inkLeftTop = [&]() {
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 40; ++x)
                if (pixelAt(bitmap, x, y))
                    return std::make_pair(x, y);
        return std::make_pair(-1, -1);
    };
    EXPECT_EQ(draw("ab", {0, 0, 40, 30}, DT_RIGHT | DT_BOTTOM), 10);
    EXPECT_EQ(inkLeftTop(), std::make_pair(29, 22));
    fill(bitmap, 0);
    draw("ab", {0, 0, 40, 30}, DT_CENTER | DT_VCENTER);
    EXPECT_EQ(inkLeftTop(), std::make_pair(15, 12));
    fill(bitmap, 0);
    draw("ab", {2, 3, 40, 30});
    EXPECT_EQ(inkLeftTop(), std::make_pair(3, 5));

    // Clipped to the rectangle unless DT_NOCLIP; an empty clip returns 0.
    fill(bitmap, 0);
    draw("ab", {0, 0, 3, 30});
    EXPECT_EQ(pixelAt(bitmap, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(bitmap, 3, 2), 0u);
    fill(bitmap, 0);
    draw("ab", {0, 0, 3, 30}, DT_NOCLIP);
    EXPECT_EQ(pixelAt(bitmap, 3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(draw("ab", {50, 0, 60, 10}), 0);
    // Two lines: the second starts back at the line's start x.
    fill(bitmap, 0);
    EXPECT_EQ(draw("ab\nc", {5, 0, 40, 30}), 20);
    EXPECT_EQ(pixelAt(bitmap, 6, 12), 0xFFFFFFFFu);
}

TEST_F(TextFixture, VerticalAndUpwardText) {
    glyph('a', 2, 2, 3, std::vector<uint8_t>(6, 255));
    glyph('b', 2, 2, 3, std::vector<uint8_t>(6, 0x80));
    attach(GLYPH_TURN);
    font.SetForeground(0xFFFFFFFF);
    int32_t extent = 0;
    PIXO_Rect r = measure("ab", -1, 0, &extent);
    EXPECT_EQ(r.right, 3);  // turned glyphs are 3 wide, 2 high
    EXPECT_EQ(r.bottom, 4);
    EXPECT_EQ(extent, 3);
    EXPECT_EQ(draw("ab", {0, 0, 40, 30}), 3);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 0xFFFFFFFFu);
    EXPECT_NE(pixelAt(bitmap, 0, 2), 0xFFFFFFFFu);
    EXPECT_NE(pixelAt(bitmap, 0, 2), 0u);
    // Lines of vertical text step right by the line height.
    EXPECT_EQ(measure("a\na").right, 13);

    SyntheticFace* upwardFace = new SyntheticFace(10);
    upwardFace->glyphs = face->glyphs;
    font.AttachRasterizer(upwardFace, GLYPH_TURN | GLYPH_TURN_UPWARD | FONT_HANDLE_OWNED);
    face = upwardFace;
    fill(bitmap, 0);
    EXPECT_EQ(draw("ab", {0, 0, 40, 30}), 3);
    // Upward text starts at the bottom of its block: 'a' below, 'b' above.
    EXPECT_EQ(pixelAt(bitmap, 0, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(bitmap, 0, 3), 0xFFFFFFFFu);
    EXPECT_NE(pixelAt(bitmap, 0, 0), 0xFFFFFFFFu);
    EXPECT_NE(pixelAt(bitmap, 0, 0), 0u);
    EXPECT_EQ(pixelAt(bitmap, 0, 4), 0u);
}

}  // namespace
