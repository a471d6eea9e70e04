// Pixo: the raster library the editor draws with. 32-bit bitmaps (0xAARRGGBB words, straight
// alpha, blue byte first in memory), fills and blits in six integer blend modes, lines, circles
// and polygon fills, and UTF-8 text composited from a cache of system-rasterised glyphs.
// Every routine clips to its bitmap and silently does nothing on null or empty input; the
// integer formulas, truncations and fast paths of each routine are part of its contract.
#pragma once

#include <cstdint>

#include "support/heap_buffer.h"

#ifdef _WIN32
#include "support/windows_prelude.h"
#endif

class PIXO_GlyphRasterizer;

#ifdef _WIN32
using PIXO_DeviceContext = HDC;
using PIXO_SystemFont = HFONT;
using PIXO_Rect = RECT;
#else
using PIXO_DeviceContext = void*;
// Natively the "system font" is a glyph rasterizer (FreeType, or a synthetic one in tests).
using PIXO_SystemFont = PIXO_GlyphRasterizer*;
struct PIXO_Rect {
    int32_t left, top, right, bottom;
};
// The text-layout flag bits of the system's DrawText, with the system's values.
constexpr int32_t DT_TOP = 0x0;
constexpr int32_t DT_LEFT = 0x0;
constexpr int32_t DT_CENTER = 0x1;
constexpr int32_t DT_RIGHT = 0x2;
constexpr int32_t DT_VCENTER = 0x4;
constexpr int32_t DT_BOTTOM = 0x8;
constexpr int32_t DT_SINGLELINE = 0x20;
constexpr int32_t DT_NOCLIP = 0x100;
constexpr int32_t DT_CALCRECT = 0x400;
constexpr int32_t DT_NOPREFIX = 0x800;
#endif

// ---------------------------------------------------------------------------------------------
// Bitmaps

class PIXO_IBitmap {
public:
    virtual ~PIXO_IBitmap() {}
    // Word of pixel (0, 0) in storage order, or null when there is no storage.
    virtual uint32_t* pixels() = 0;
    virtual int32_t width() = 0;
    virtual int32_t height() = 0;
    // Distance in pixels (not bytes) between consecutive storage rows.
    virtual int32_t rowSpan() = 0;
    virtual bool bottomUp() { return false; }
    // True when the bitmap was reconfigured; pixel contents are then unspecified.
    virtual bool setSize(int32_t width, int32_t height) = 0;
    virtual PIXO_DeviceContext deviceContext() { return nullptr; }
    virtual int32_t extension() { return 0; }
};

// Plain heap pixels. Pixel (0, 0) is 64-byte aligned, rows hold
// (width + rowAlignMask) & ~rowAlignMask pixels, and the block only grows (by a quarter extra).
class PIXO_MemBitmap : public PIXO_IBitmap {
public:
    explicit PIXO_MemBitmap(int32_t rowAlignMask = 3) : rowAlignMask_(rowAlignMask) {}
    ~PIXO_MemBitmap() override;
    PIXO_MemBitmap(const PIXO_MemBitmap&) = delete;
    PIXO_MemBitmap& operator=(const PIXO_MemBitmap&) = delete;

    uint32_t* pixels() override;
    int32_t width() override { return width_; }
    int32_t height() override { return height_; }
    int32_t rowSpan() override { return (width_ + rowAlignMask_) & ~rowAlignMask_; }
    bool setSize(int32_t width, int32_t height) override;
    // Bytes of pixel data the block can hold without growing.
    int32_t capacity() const { return capacity_; }

private:
    void* storage_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t capacity_ = 0;
    int32_t rowAlignMask_;
};

#ifdef _WIN32
// A top-down 32-bit DIB section selected into a memory DC, so system text drawing and BitBlt
// work on the same pixels. The section only grows: a smaller size keeps the larger section and
// its row span.
class PIXO_SysBitmap : public PIXO_IBitmap {
public:
    PIXO_SysBitmap(int32_t width = 0, int32_t height = 0);
    ~PIXO_SysBitmap() override;
    PIXO_SysBitmap(const PIXO_SysBitmap&) = delete;
    PIXO_SysBitmap& operator=(const PIXO_SysBitmap&) = delete;

    uint32_t* pixels() override { return bits_; }
    int32_t width() override { return width_; }
    int32_t height() override { return height_; }
    int32_t rowSpan() override { return allocWidth_; }
    bool setSize(int32_t width, int32_t height) override;
    PIXO_DeviceContext deviceContext() override { return dc_; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    HDC dc_ = nullptr;
    uint32_t* bits_ = nullptr;
    int32_t allocWidth_ = 0;
    int32_t allocHeight_ = 0;
    HBITMAP section_ = nullptr;
    HGDIOBJ previousObject_ = nullptr;
};

// The process-wide surface glyphs are rasterised on. Created (0 x 0) on first use, never by
// a static initialiser: those run under the loader lock, where no device context may be made.
PIXO_SysBitmap& GlyphScratchBitmap();
#endif

// ---------------------------------------------------------------------------------------------
// Blend modes, fills and blits

// Low byte of the blend-mode word.
constexpr int32_t PIXO_BLEND_COPY = 0;
constexpr int32_t PIXO_BLEND_ADD = 1;
constexpr int32_t PIXO_BLEND_DODGE = 2;
constexpr int32_t PIXO_BLEND_MULTIPLY = 3;
constexpr int32_t PIXO_BLEND_OVERLAY = 4;
constexpr int32_t PIXO_BLEND_HSV_ADJUST = 5;
// Channel copy for blits: source byte position in bits 0-1, destination in bits 2-3
// (0 blue, 1 green, 2 red, 3 alpha).
constexpr int32_t PIXO_BLEND_CHANNEL_COPY = 0xF0;
constexpr int32_t PIXO_ChannelCopy(int32_t sourceByte, int32_t destinationByte) {
    return PIXO_BLEND_CHANNEL_COPY + (destinationByte << 2) + sourceByte;
}
// Blits: each source pixel's alpha scales the weight. Fills: alpha is scaled by the colour's alpha.
constexpr int32_t PIXO_BLEND_SOURCE_ALPHA = 0x10000;

// The integer weight of an opacity: trunc(alpha * 256). Alphas beyond +-16 count as +-16 (and
// NaN as 0) so that no formula can overflow.
int32_t PIXO_Weight(float alpha);

void PIXO_PaintRect(PIXO_IBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                    float alpha, int32_t mode);
// srcRect (left, top, right, bottom; right and bottom exclusive) may be null for the whole source.
void PIXO_ComposeBitmap(PIXO_IBitmap* dest, PIXO_IBitmap* src, int32_t x, int32_t y, const PIXO_Rect* srcRect,
                        float alpha, int32_t mode);
void PIXO_ClearBitmap(PIXO_IBitmap* bitmap);
// Softens the top-left w x h area in place (a 5-point kernel of shifted bytes).
void PIXO_SoftenRegion(PIXO_IBitmap* bitmap, int32_t w, int32_t h);

// The hue-saturation-value adjust of one pixel: destination red, green, blue adjusted by the
// signed amounts adjustRed/Green/Blue - 128 at weight w. Returns 0x00RRGGBB.
uint32_t PIXO_AdjustHsv(int32_t red, int32_t green, int32_t blue, int32_t adjustRed, int32_t adjustGreen,
                        int32_t adjustBlue, int32_t w);

// ---------------------------------------------------------------------------------------------
// Lines, circles and shapes (all blend with the copy formula, the colour's alpha byte included)

void PIXO_StrokeLine(PIXO_IBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                     float alpha);
// Outline of columns x ... x + w and rows y ... y + h (corners blend twice).
void PIXO_StrokeRect(PIXO_IBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                     float alpha);
void PIXO_StrokeCircle(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha);
// Draws a hand-made mask for r = 1.5, 2, 2.5, 3, 3.5 or 4 and returns true; false otherwise.
bool PIXO_StrokeSmallCircle(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha);
void PIXO_PaintDisc(PIXO_IBitmap* bitmap, float cx, float cy, float r, uint32_t colour, float alpha);
// Mask rows are maskWidth bytes apart; 0 = no coverage, 255 = full.
void PIXO_PaintCoverage(PIXO_IBitmap* bitmap, int32_t x, int32_t y, const uint8_t* mask, int32_t maskWidth,
                        int32_t maskHeight, uint32_t colour, float alpha);
// Horizontal spans x1a..x1b on row y1 and x2a..x2b on row y2 (storage rows, inclusive ends).
void PIXO_PaintTrapezoid(PIXO_IBitmap* bitmap, int32_t x1a, int32_t x1b, int32_t y1, int32_t x2a, int32_t x2b,
                         int32_t y2, uint32_t colour, float alpha);
void PIXO_PaintConvexPolygon(PIXO_IBitmap* bitmap, const int32_t xs[5], const int32_t ys[5], uint32_t colour,
                             float alpha);

// ---------------------------------------------------------------------------------------------
// Fonts

// Font flags (AttachSystemFont).
constexpr uint32_t GLYPH_TURN = 0x1;
constexpr uint32_t GLYPH_TURN_UPWARD = 0x2;
constexpr uint32_t GLYPH_ASCII_ONLY = 0x4;
constexpr uint32_t GLYPH_SOFTEN = 0x10;
constexpr uint32_t GLYPH_NEGATE = 0x20;
constexpr uint32_t GLYPH_HARD_EDGE = 0x40;
constexpr uint32_t GLYPH_DROP_SHADOW = 0x80;
constexpr uint32_t GLYPH_HALO = 0x100;
constexpr uint32_t FONT_HANDLE_OWNED = 0x200;
constexpr uint32_t SYSTEM_TEXT_PREFERRED = 0x400;

// Text flags of the library's own, next to the DT_ bits (RenderText).
constexpr int32_t TEXT_NO_SYSTEM_PATH = int32_t(0x80000000u);
constexpr int32_t TEXT_FOREGROUND_ALPHA = 0x40000000;

// Background modes.
constexpr int32_t PIXO_BACKGROUND_TRANSPARENT = 1;
constexpr int32_t PIXO_BACKGROUND_OPAQUE = 2;

class PIXO_IFont {
public:
    virtual ~PIXO_IFont() {}
    virtual void AttachSystemFont(PIXO_SystemFont font, uint32_t flags) = 0;
    virtual uint32_t SetForeground(uint32_t colour) = 0;
    virtual uint32_t SetBackground(uint32_t colour) = 0;
    virtual uint32_t SetOutlineColor(uint32_t colour) = 0;
    virtual int32_t SetBackgroundMode(int32_t mode) = 0;
    virtual void SetBlend(int32_t mode, float alpha) = 0;
    // Draws (or with DT_CALCRECT measures) UTF-8 text; length -1 runs to the terminating zero.
    // Returns the extent of the text (its height, or its width for vertical text).
    virtual int32_t RenderText(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect,
                               int32_t flags) = 0;
    virtual uint32_t GetForeground() = 0;
    virtual PIXO_SystemFont GetSystemFont() = 0;
};

// One cached character. pixelRef: 0 not rasterised yet, -1 rasterised to nothing, otherwise
// 1 + byte offset of its coverage image (width x height bytes) in the glyph pixels.
struct GlyphRecord {
    int32_t pixelRef;
    int32_t width;
    int32_t height;
    int32_t advance;
    int32_t code;
};

// What rasterises characters for a cached font: GDI with a system font on Windows, FreeType
// natively, or a synthetic face in tests. It draws white on black into a 32-bit scratch bitmap.
class PIXO_GlyphRasterizer {
public:
    virtual ~PIXO_GlyphRasterizer() {}
    virtual int32_t lineHeight() = 0;
    // The pen advance and the size of the box the character is drawn in; false when the
    // character cannot be drawn at all.
    virtual bool measure(uint16_t character, int32_t& advance, int32_t& boxWidth, int32_t& boxHeight) = 0;
    // Draws the character white on black with its box at (0, 0) of scratch, which is cleared to
    // black and at least boxWidth x boxHeight.
    virtual void draw(uint16_t character, PIXO_IBitmap& scratch, int32_t boxWidth, int32_t boxHeight) = 0;
};


class PIXO_CachedFont : public PIXO_IFont {
public:
    PIXO_CachedFont();
    ~PIXO_CachedFont() override;
    PIXO_CachedFont(const PIXO_CachedFont&) = delete;
    PIXO_CachedFont& operator=(const PIXO_CachedFont&) = delete;

    void AttachSystemFont(PIXO_SystemFont font, uint32_t flags) override;
    uint32_t SetForeground(uint32_t colour) override;
    uint32_t SetBackground(uint32_t colour) override;
    uint32_t SetOutlineColor(uint32_t colour) override;
    int32_t SetBackgroundMode(int32_t mode) override;
    void SetBlend(int32_t mode, float alpha) override;
    int32_t RenderText(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect,
                       int32_t flags) override;
    uint32_t GetForeground() override { return textColour_; }
    PIXO_SystemFont GetSystemFont() override { return systemFont_; }

    // Attaches any rasterizer (on Windows in place of a system font; natively the same as
    // AttachSystemFont). Owned when flags has FONT_HANDLE_OWNED.
    void AttachRasterizer(PIXO_GlyphRasterizer* rasterizer, uint32_t flags);

    int32_t lineHeight() const { return lineHeight_; }
    // The cached record of a character, or null (characters below 128 always have one).
    const GlyphRecord* FindGlyph(uint16_t character) const;
    // Rasterises a character into the cache; true when a record now exists.
    bool RenderGlyph(uint16_t character);
    // Puts one character's coverage at (x, y), clipped to clipRect. False when the character has
    // no record or its box misses clipRect.
    bool CompositeGlyph(PIXO_IBitmap* bitmap, uint16_t character, int32_t x, int32_t y, const PIXO_Rect& clipRect);
    // The same at an alpha other than the font's (the text renderer's effective alpha).
    bool CompositeGlyph(PIXO_IBitmap* bitmap, uint16_t character, int32_t x, int32_t y, const PIXO_Rect& clipRect,
                        float alpha);
    // The coverage image of a cached record (null when it has none).
    const uint8_t* GlyphPixels(const GlyphRecord& record) const;

private:
    GlyphRecord* findRecord(uint16_t character);
    // Lets go of the current font and rasterizer (deleting what is owned and not reattached).
    void releaseSource(PIXO_SystemFont nextFont, PIXO_GlyphRasterizer* nextRasterizer);
    void attachSource(PIXO_SystemFont font, PIXO_GlyphRasterizer* rasterizer, bool internal, uint32_t flags);
    int32_t measureCached(const char* text, int32_t length, PIXO_Rect* rect, int32_t flags);
    int32_t drawCached(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect, int32_t flags);
    bool prefersSystemText(int32_t flags) const;

    uint32_t textColour_ = 0;
    uint32_t backgroundColour_ = 0xFFFFFFFFu;
    uint32_t outlineColour_ = 0xFFFFFFFFu;
    int32_t backgroundMode_ = PIXO_BACKGROUND_TRANSPARENT;
    int32_t blendMode_ = PIXO_BLEND_COPY;
    float alpha_ = 1.0f;
    uint32_t fontFlags_ = 0;
    int32_t lineHeight_ = 0;
    GlyphRecord asciiGlyphs_[128];
    HeapBuffer extendedGlyphs_{4096};
    HeapBuffer glyphPixels_{65536};
    PIXO_SystemFont systemFont_ = nullptr;
    PIXO_GlyphRasterizer* rasterizer_ = nullptr;
    // True when the rasterizer is the font's own wrapper of a system font.
    bool rasterizerInternal_ = false;
};

// One 16-bit character from UTF-8 bytes; *used receives the number of bytes taken (1 to 4).
// It reads up to three bytes after the lead but stops at a zero byte, which is no continuation.
// Counted text (RenderText with a length) never hands it bytes past the count: a character cut
// off by the count decodes as its lead byte alone, a stray character.
uint16_t DecodeUtf8Char(const uint8_t* bytes, int32_t* used);

#ifndef _WIN32
// A FreeType face at a pixel height (its line height), for the native build; null when the file
// cannot be opened as a font. Attach it with FONT_HANDLE_OWNED to hand it to the cached font.
PIXO_GlyphRasterizer* PIXO_OpenFontFile(const char* path, int32_t pixelHeight);
// A new cached font over a font file at a pixel height, owning its face; null on failure.
PIXO_CachedFont* PIXO_CreateCachedFont(const char* path, int32_t pixelHeight, uint32_t flags = 0);
#endif

// Whether the process runs under Wine (probed once through the registry key "Software\Wine";
// always false natively). Tests may force the answer: 0 no, 1 yes, -1 back to the probe.
bool PIXO_RunningUnderWine();
void PIXO_OverrideWineProbeForTesting(int32_t answer);
