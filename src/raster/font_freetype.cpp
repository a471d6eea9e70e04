// The native glyph source: FreeType faces rasterise characters white on black into a heap
// scratch bitmap at the face's cell height, as GDI does on Windows.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <new>

#include "raster/font_internal.h"
#include "raster/pixo.h"

namespace pixo {

// One per thread: every Linux editor window draws on a thread of its own, and two of them (two
// instances' editors) may meet a new character at the same time.
PIXO_IBitmap* glyphScratch(int32_t minWidth, int32_t minHeight) {
    static thread_local PIXO_MemBitmap scratch(3);
    int32_t width = std::max(scratch.width(), minWidth), height = std::max(scratch.height(), minHeight);
    scratch.setSize(width, height);
    return scratch.pixels() ? &scratch : nullptr;
}

} // namespace pixo

namespace {

int wineProbeOverride = -1;

class FreeTypeRasterizer : public PIXO_GlyphRasterizer {
public:
    ~FreeTypeRasterizer() override {
        if (face_)
            FT_Done_Face(face_);
        if (library_)
            FT_Done_FreeType(library_);
    }

    bool open(const char* path, int32_t pixelHeight) {
        if (!path || pixelHeight <= 0 || pixelHeight > 4096)
            return false;
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return false;
        }
        if (FT_New_Face(library_, path, 0, &face_) != 0) {
            face_ = nullptr;
            return false;
        }
        // Like a positive GDI font height, the pixel height is the whole cell (ascent + descent).
        FT_Size_RequestRec request = {FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(pixelHeight) * 64, 0, 0};
        if (FT_Request_Size(face_, &request) != 0)
            return false;
        lineHeight_ = pixelHeight;
        ascent_ = int32_t((face_->size->metrics.ascender + 32) >> 6);
        return true;
    }

    int32_t lineHeight() override { return lineHeight_; }

    bool measure(uint16_t character, int32_t& advance, int32_t& boxWidth, int32_t& boxHeight) override {
        if (FT_Load_Char(face_, character, FT_LOAD_DEFAULT) != 0) {
            advance = boxWidth = boxHeight = 0;
            return true;
        }
        advance = int32_t((face_->glyph->advance.x + 32) >> 6);
        // Capitals get two extra pixels of room for overhanging strokes, as on Windows.
        boxWidth = advance + (character >= 'A' && character <= 'Z' ? 2 : 0);
        boxHeight = advance > 0 ? lineHeight_ : 0;
        return true;
    }

    void draw(uint16_t character, PIXO_IBitmap& scratch, int32_t boxWidth, int32_t boxHeight) override {
        if (FT_Load_Char(face_, character, FT_LOAD_RENDER) != 0)
            return;
        const FT_Bitmap& glyph = face_->glyph->bitmap;
        if (glyph.pixel_mode != FT_PIXEL_MODE_GRAY)
            return;
        uint32_t* pixels = scratch.pixels();
        int32_t span = scratch.rowSpan();
        int32_t width = std::min(boxWidth, scratch.width()), height = std::min(boxHeight, scratch.height());
        int32_t originX = face_->glyph->bitmap_left, originY = ascent_ - face_->glyph->bitmap_top;
        for (int32_t row = 0; row < int32_t(glyph.rows); ++row) {
            int32_t y = originY + row;
            if (y < 0 || y >= height)
                continue;
            const uint8_t* source = glyph.buffer + intptr_t(row) * glyph.pitch;
            uint32_t* target = pixels + intptr_t(y) * span;
            for (int32_t column = 0; column < int32_t(glyph.width); ++column) {
                int32_t x = originX + column;
                if (x < 0 || x >= width)
                    continue;
                uint32_t c = source[column];
                target[x] = (c << 16) | (c << 8) | c;
            }
        }
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int32_t lineHeight_ = 0;
    int32_t ascent_ = 0;
};

} // namespace

PIXO_GlyphRasterizer* PIXO_OpenFontFile(const char* path, int32_t pixelHeight) {
    FreeTypeRasterizer* rasterizer = new (std::nothrow) FreeTypeRasterizer;
    if (rasterizer && !rasterizer->open(path, pixelHeight)) {
        delete rasterizer;
        rasterizer = nullptr;
    }
    return rasterizer;
}

bool PIXO_RunningUnderWine() { return wineProbeOverride == 1; }

void PIXO_OverrideWineProbeForTesting(int32_t answer) { wineProbeOverride = answer; }
