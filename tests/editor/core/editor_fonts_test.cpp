// The editor's face as the Linux editor finds it: fontconfig's Liberation Sans, regular and
// bold, drawing real text at the heights the editor asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "editor/core/editor_fonts.h"
#include "editor/core/font_file.h"
#include "raster/pixo.h"

namespace {

// The summed coverage (0..255 a pixel) of a white-on-black rendering, and its rightmost
// column brighter than half.
struct Ink {
    int32_t coverage = 0;
    int32_t right = -1;
};

Ink render(PIXO_CachedFont& font, const char* text) {
    PIXO_MemBitmap bitmap;
    EXPECT_TRUE(bitmap.setSize(160, 32));
    PIXO_ClearBitmap(&bitmap);
    font.SetForeground(0xFFFFFFFF);
    PIXO_Rect rect = {0, 0, 160, 32};
    font.RenderText(&bitmap, text, -1, &rect, DT_LEFT | DT_TOP | DT_SINGLELINE);
    Ink ink;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 160; ++x)
        {
            const int32_t value = int32_t(bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFF);
            ink.coverage += value;
            if (value > 128)
                ink.right = std::max(ink.right, x);
        }
    return ink;
}

TEST(EditorFonts, FontconfigFindsLiberationSansInBothWeights) {
    const std::string regular = findSansFontFile(false), bold = findSansFontFile(true);
    // The test machines have fonts-liberation.
    EXPECT_NE(regular.find("LiberationSans-Regular"), std::string::npos) << regular;
    EXPECT_NE(bold.find("LiberationSans-Bold"), std::string::npos) << bold;
}

TEST(EditorFonts, BoldDrawsHeavierThanRegularAndHeightsGrowTheText) {
    std::unique_ptr<PIXO_CachedFont> regular(createEditorFont(12, false)), bold(createEditorFont(12, true)),
        large(createEditorFont(24, false));
    ASSERT_TRUE(regular && bold && large);
    const Ink r = render(*regular, "Tarnwell"), b = render(*bold, "Tarnwell"), l = render(*large, "Tarnwell");
    EXPECT_GT(r.coverage, 30 * 255);
    EXPECT_GT(b.coverage, r.coverage * 5 / 4);
    // Twice the height draws the word about twice as wide.
    EXPECT_GT(l.right, r.right * 17 / 10);
    EXPECT_LT(l.right, r.right * 23 / 10);
    EXPECT_EQ(createEditorFont(0, false), nullptr);
}

} // namespace
