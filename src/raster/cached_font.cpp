// The portable part of PIXO_CachedFont: the glyph cache, rasterising through the attached
// rasterizer, and the cached text path (measuring, alignment, line breaks, vertical text).
#include <algorithm>
#include <cstring>
#include <new>

#include "raster/font_internal.h"
#include "raster/pixo.h"

namespace {

constexpr int32_t kAlignmentFlags = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
constexpr uint32_t kGlyphShapingFlags = GLYPH_TURN | GLYPH_TURN_UPWARD | GLYPH_ASCII_ONLY | GLYPH_SOFTEN |
                                        GLYPH_NEGATE | GLYPH_HARD_EDGE | GLYPH_DROP_SHADOW | GLYPH_HALO;

inline bool isContinuation(uint8_t byte) { return byte >= 0x80 && byte <= 0xBF; }

// Walks UTF-8 text character by character: stops at a zero byte or when the byte count is used
// up. A negative length means "up to the terminating zero". A counted text is never read past
// its count: a character cut off by the count decodes as a stray lead byte.
class TextWalker {
public:
    TextWalker(const char* text, int32_t length)
        : next_(reinterpret_cast<const uint8_t*>(text)), remaining_(length < 0 ? -1 : length) {}
    bool next(uint16_t& character) {
        if (remaining_ == 0 || *next_ == 0)
            return false;
        int32_t used = 1;
        if (remaining_ > 0 && remaining_ < 4) {
            // Near the end of a counted text, decode a zero-padded copy: a character cut off
            // by the count then reads as a missing continuation, and nothing past it is read.
            uint8_t tail[4] = {0, 0, 0, 0};
            std::memcpy(tail, next_, size_t(remaining_));
            character = DecodeUtf8Char(tail, &used);
        } else {
            character = DecodeUtf8Char(next_, &used);
        }
        next_ += used;
        if (remaining_ > 0)
            remaining_ = remaining_ > used ? remaining_ - used : 0;
        return true;
    }

private:
    const uint8_t* next_;
    int32_t remaining_;
};

// Where the next character goes, and where its lines start.
struct Pen {
    int32_t x, y;
    int32_t startX, startY;
};

// Lays text out as both text paths (measuring and drawing) read it: carriage returns are
// skipped, and a line feed is a space on a single line and otherwise moves the pen to the next
// line (one line height across for vertical text). Every other character goes to place(c),
// which advances the pen.
template <class Place>
void layOutText(const char* text, int32_t length, int32_t flags, bool vertical, int32_t lineHeight, Pen& pen,
                Place place) {
    TextWalker walker(text, length);
    uint16_t character;
    while (walker.next(character)) {
        if (character == '\r')
            continue;
        if (character == '\n') {
            if (!(flags & DT_SINGLELINE)) {
                if (vertical) {
                    pen.x += lineHeight;
                    pen.y = pen.startY;
                } else {
                    pen.x = pen.startX;
                    pen.y += lineHeight;
                }
                continue;
            }
            character = ' ';
        }
        place(character);
    }
}

} // namespace

uint16_t DecodeUtf8Char(const uint8_t* b, int32_t* used) {
    uint8_t b0 = b[0];
    *used = 1;
    if (b0 < 0xC2)
        return b0;
    if (b0 <= 0xDF) {
        if (isContinuation(b[1])) {
            *used = 2;
            return uint16_t(((b0 & 0x1F) << 6) | (b[1] & 0x3F));
        }
    } else if (b0 <= 0xEF) {
        if (isContinuation(b[1]) && isContinuation(b[2])) {
            *used = 3;
            return uint16_t(((b0 & 0x0F) << 12) | ((b[1] & 0x3F) << 6) | (b[2] & 0x3F));
        }
    } else if (b0 <= 0xF4) {
        // Characters beyond 16 bits are drawn as spaces.
        if (isContinuation(b[1]) && isContinuation(b[2]) && isContinuation(b[3])) {
            *used = 4;
            return 32;
        }
    }
    return b0;
}

// ---------------------------------------------------------------------------------------------
// Construction, attaching and the setters

PIXO_CachedFont::PIXO_CachedFont() { std::memset(asciiGlyphs_, 0, sizeof asciiGlyphs_); }

PIXO_CachedFont::~PIXO_CachedFont() { releaseSource(nullptr, nullptr); }

void PIXO_CachedFont::releaseSource(PIXO_SystemFont nextFont, PIXO_GlyphRasterizer* nextRasterizer) {
    bool owned = (fontFlags_ & FONT_HANDLE_OWNED) != 0;
#ifdef _WIN32
    if (owned && systemFont_ && systemFont_ != nextFont)
        DeleteObject(systemFont_);
#else
    (void)nextFont;
#endif
    if (rasterizerInternal_ || (owned && rasterizer_ && rasterizer_ != nextRasterizer))
        delete rasterizer_;
    rasterizer_ = nullptr;
    rasterizerInternal_ = false;
    systemFont_ = nullptr;
}

void PIXO_CachedFont::attachSource(PIXO_SystemFont font, PIXO_GlyphRasterizer* rasterizer, bool internal,
                                   uint32_t flags) {
    fontFlags_ = flags;
    systemFont_ = font;
    rasterizer_ = rasterizer;
    rasterizerInternal_ = internal;
    if (rasterizer_)
        lineHeight_ = rasterizer_->lineHeight();

    std::memset(asciiGlyphs_, 0, sizeof asciiGlyphs_);
    extendedGlyphs_.resize(0, false);
    glyphPixels_.resize(0, true);

    if (flags & GLYPH_ASCII_ONLY) {
        for (uint16_t c = 0; c < 128; ++c)
            RenderGlyph(c);
    }
}

void PIXO_CachedFont::AttachSystemFont(PIXO_SystemFont font, uint32_t flags) {
#ifdef _WIN32
    releaseSource(font, nullptr);
    attachSource(font, font ? pixo::createSystemFontRasterizer(font, lineHeight_) : nullptr, true, flags);
#else
    AttachRasterizer(font, flags);
#endif
}

void PIXO_CachedFont::AttachRasterizer(PIXO_GlyphRasterizer* rasterizer, uint32_t flags) {
    releaseSource(nullptr, rasterizer);
#ifdef _WIN32
    attachSource(nullptr, rasterizer, false, flags);
#else
    attachSource(rasterizer, rasterizer, false, flags);
#endif
}

uint32_t PIXO_CachedFont::SetForeground(uint32_t colour) {
    uint32_t previous = textColour_;
    textColour_ = colour;
    return previous;
}

uint32_t PIXO_CachedFont::SetBackground(uint32_t colour) {
    uint32_t previous = backgroundColour_;
    backgroundColour_ = colour;
    return previous;
}

uint32_t PIXO_CachedFont::SetOutlineColor(uint32_t colour) {
    uint32_t previous = outlineColour_;
    outlineColour_ = colour;
    return previous;
}

int32_t PIXO_CachedFont::SetBackgroundMode(int32_t mode) {
    int32_t previous = backgroundMode_;
    backgroundMode_ = mode;
    return previous;
}

void PIXO_CachedFont::SetBlend(int32_t mode, float alpha) {
    blendMode_ = mode;
    alpha_ = alpha;
}

// ---------------------------------------------------------------------------------------------
// The glyph cache

const GlyphRecord* PIXO_CachedFont::FindGlyph(uint16_t character) const {
    if (character < 128)
        return &asciiGlyphs_[character];
    const GlyphRecord* records = static_cast<const GlyphRecord*>(extendedGlyphs_.get());
    int32_t low = 0, high = extendedGlyphs_.getSize() / int32_t(sizeof(GlyphRecord)) - 1;
    while (low <= high) {
        int32_t middle = low + (high - low) / 2;
        if (records[middle].code == character)
            return &records[middle];
        if (records[middle].code < character)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return nullptr;
}

GlyphRecord* PIXO_CachedFont::findRecord(uint16_t character) {
    return const_cast<GlyphRecord*>(FindGlyph(character));
}

const uint8_t* PIXO_CachedFont::GlyphPixels(const GlyphRecord& record) const {
    if (record.pixelRef <= 0 || record.width <= 0 || record.height <= 0)
        return nullptr;
    int64_t start = int64_t(record.pixelRef) - 1;
    if (start + int64_t(record.width) * record.height > glyphPixels_.getSize())
        return nullptr;
    return static_cast<const uint8_t*>(glyphPixels_.get()) + start;
}

namespace {

// Quarter turn of a width x height image through a temporary copy.
void turnQuarter(uint8_t* image, uint8_t* temporary, int32_t width, int32_t height, bool upward) {
    std::memcpy(temporary, image, size_t(width) * size_t(height));
    // The turned image has `height` columns and `width` rows.
    for (int32_t j = 0; j < width; ++j) {
        for (int32_t k = 0; k < height; ++k) {
            uint8_t value = upward ? temporary[size_t(k) * width + (width - 1 - j)]
                                   : temporary[size_t(height - 1 - k) * width + j];
            image[size_t(j) * height + k] = value;
        }
    }
}

void hardenEdges(uint8_t* image, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        image[i] = image[i] > 130 ? 255 : 0;
}

// Empty pixels next to ink become 128: below and right of it for a drop shadow, around it for a
// halo. Only ink (255) spreads.
void addOutline(uint8_t* image, int32_t width, int32_t height, bool dropShadow) {
    auto ink = [&](int32_t x, int32_t y) {
        return x >= 0 && y >= 0 && x < width && y < height && image[size_t(y) * width + x] == 255;
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t& value = image[size_t(y) * width + x];
            if (value != 0)
                continue;
            bool touched = dropShadow ? (ink(x - 1, y) || ink(x - 1, y - 1) || ink(x, y - 1))
                                      : (ink(x, y - 1) || ink(x, y + 1) || ink(x - 1, y) || ink(x + 1, y));
            if (touched)
                value = 128;
        }
    }
}

} // namespace

bool PIXO_CachedFont::RenderGlyph(uint16_t character) {
    if (!rasterizer_)
        return false;
    if (character >= 128 && !findRecord(character) && (fontFlags_ & GLYPH_ASCII_ONLY))
        return false;

    bool appended = false;
    GlyphRecord* record = findRecord(character);
    if (!record) {
        int32_t count = extendedGlyphs_.getSize() / int32_t(sizeof(GlyphRecord));
        if (count >= (INT32_MAX / int32_t(sizeof(GlyphRecord))) - 1)
            return false;
        GlyphRecord* records =
            static_cast<GlyphRecord*>(extendedGlyphs_.resize((count + 1) * int32_t(sizeof(GlyphRecord))));
        if (!records)
            return false;
        record = &records[count];
        *record = GlyphRecord{0, 0, 0, 0, character};
        appended = true;
    }

    auto finish = [&](int32_t pixelRef, int32_t width, int32_t height, int32_t glyphAdvance) {
        record->pixelRef = pixelRef;
        record->width = width;
        record->height = height;
        record->advance = glyphAdvance;
        int32_t count = extendedGlyphs_.getSize() / int32_t(sizeof(GlyphRecord));
        if (appended && count > 1) {
            GlyphRecord* records = static_cast<GlyphRecord*>(extendedGlyphs_.get());
            std::sort(records, records + count,
                      [](const GlyphRecord& a, const GlyphRecord& b) { return a.code < b.code; });
        }
        return true;
    };

    // A character the face cannot draw is cached as empty, so it is measured only once.
    int32_t advance = 0, boxWidth = 0, boxHeight = 0;
    if (!rasterizer_->measure(character, advance, boxWidth, boxHeight) || boxWidth < 1 || boxHeight < 1)
        return finish(-1, 0, 0, 0);
    int64_t imageBytes = int64_t(boxWidth) * boxHeight;
    PIXO_IBitmap* scratch = pixo::glyphScratch(std::max(lineHeight_, boxWidth), std::max(lineHeight_, boxHeight));
    int64_t offset = glyphPixels_.getSize();
    // A glyph store that would outgrow 31 bits keeps the glyph as empty.
    if (!scratch || offset + imageBytes >= INT32_MAX)
        return finish(-1, 0, 0, 0);
    PIXO_ClearBitmap(scratch);
    rasterizer_->draw(character, *scratch, boxWidth, boxHeight);
    if (fontFlags_ & GLYPH_SOFTEN)
        PIXO_SoftenRegion(scratch, boxWidth, boxHeight);

    uint8_t* store = static_cast<uint8_t*>(glyphPixels_.resize(int32_t(offset + imageBytes)));
    if (!store)
        return finish(-1, 0, 0, 0);
    uint8_t* image = store + offset;
    bool negate = (fontFlags_ & GLYPH_NEGATE) != 0;
    uint32_t* pixels = scratch->pixels();
    int32_t span = scratch->rowSpan();
    for (int32_t y = 0; y < boxHeight; ++y) {
        int32_t storageRow = scratch->bottomUp() ? scratch->height() - 1 - y : y;
        const uint32_t* row = pixels + intptr_t(storageRow) * span;
        for (int32_t x = 0; x < boxWidth; ++x) {
            uint8_t red = uint8_t(row[x] >> 16);
            image[size_t(y) * boxWidth + x] = negate ? uint8_t(255 - red) : red;
        }
    }

    int32_t width = boxWidth, height = boxHeight;
    if (fontFlags_ & GLYPH_TURN) {
        // The scratch pixels (at least boxWidth x boxHeight words) hold the temporary copy.
        turnQuarter(image, reinterpret_cast<uint8_t*>(pixels), width, height, (fontFlags_ & GLYPH_TURN_UPWARD) != 0);
        std::swap(width, height);
    }
    if (fontFlags_ & (GLYPH_HARD_EDGE | GLYPH_DROP_SHADOW | GLYPH_HALO))
        hardenEdges(image, width * height);
    if (fontFlags_ & (GLYPH_DROP_SHADOW | GLYPH_HALO))
        addOutline(image, width, height, (fontFlags_ & GLYPH_DROP_SHADOW) != 0);
    return finish(int32_t(offset + 1), width, height, advance);
}

// ---------------------------------------------------------------------------------------------
// Text

namespace {

// A cached record with a coverage image (rasterising on first use), or null for characters
// that are refused or empty.
const GlyphRecord* usableGlyph(PIXO_CachedFont& font, uint16_t character) {
    const GlyphRecord* record = font.FindGlyph(character);
    if (!record || record->pixelRef == 0) {
        font.RenderGlyph(character);
        record = font.FindGlyph(character);
    }
    return record && record->pixelRef > 0 ? record : nullptr;
}

} // namespace

int32_t PIXO_CachedFont::RenderText(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect,
                                    int32_t flags) {
    if (!text || !rect)
        return 0;
    if (!bitmap && !(flags & DT_CALCRECT))
        return 0;
#ifdef _WIN32
    if (prefersSystemText(flags)) {
        const pixo::SystemTextStyle style = {systemFont_, textColour_, backgroundColour_, backgroundMode_, alpha_};
        return pixo::renderSystemText(bitmap, text, length, rect, flags & ~TEXT_NO_SYSTEM_PATH, style);
    }
#endif
    if (flags & DT_CALCRECT)
        return measureCached(text, length, rect, flags);
    return drawCached(bitmap, text, length, rect, flags);
}

int32_t PIXO_CachedFont::measureCached(const char* text, int32_t length, PIXO_Rect* rect, int32_t flags) {
    bool vertical = (fontFlags_ & GLYPH_TURN) != 0;
    int32_t extentX = 0, extentY = 0;
    Pen pen = {0, 0, 0, 0};
    layOutText(text, length, flags, vertical, lineHeight_, pen, [&](uint16_t character) {
        const GlyphRecord* record = usableGlyph(*this, character);
        if (!record)
            return;
        if (vertical) {
            pen.y += record->advance;
            extentX = std::max(extentX, pen.x + record->width);
            extentY = std::max(extentY, pen.y);
        } else {
            pen.x += record->advance;
            extentX = std::max(extentX, pen.x);
            extentY = std::max(extentY, pen.y + record->height);
        }
    });
    rect->right = rect->left + extentX;
    rect->bottom = rect->top + extentY;
    return vertical ? extentX : extentY;
}

int32_t PIXO_CachedFont::drawCached(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect,
                                    int32_t flags) {
    float alpha = alpha_;
    if (flags & TEXT_FOREGROUND_ALPHA)
        alpha = alpha * (float(textColour_ >> 24) / 255.0f);
    if (alpha == 0.0f)
        return 0;

    bool vertical = (fontFlags_ & GLYPH_TURN) != 0;
    bool upward = vertical && (fontFlags_ & GLYPH_TURN_UPWARD);
    int32_t penX = rect->left, penY = rect->top;
    bool measured = false;
    PIXO_Rect block = {0, 0, 0, 0};
    auto measure = [&]() {
        block = PIXO_Rect{0, 0, 0, 0};
        RenderText(bitmap, text, length, &block, DT_CALCRECT | (flags & (DT_SINGLELINE | TEXT_NO_SYSTEM_PATH)));
        measured = true;
    };
    if (flags & kAlignmentFlags) {
        measure();
        int32_t measuredWidth = block.right - block.left, measuredHeight = block.bottom - block.top;
        if (flags & DT_CENTER)
            penX = rect->left + (rect->right - rect->left - measuredWidth) / 2;
        else if (flags & DT_RIGHT)
            penX = rect->right - measuredWidth;
        if (flags & DT_VCENTER)
            penY = rect->top + (rect->bottom - rect->top - measuredHeight) / 2;
        else if (flags & DT_BOTTOM)
            penY = rect->bottom - measuredHeight;
    }
    if (upward) {
        if (!measured)
            measure();
        penY += block.bottom - block.top;
    }

    PIXO_Rect clip = {0, 0, bitmap->width(), bitmap->height()};
    if (!(flags & DT_NOCLIP)) {
        clip.left = std::max(clip.left, rect->left);
        clip.top = std::max(clip.top, rect->top);
        clip.right = std::min(clip.right, rect->right);
        clip.bottom = std::min(clip.bottom, rect->bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return 0;

    Pen pen = {penX, penY, penX, penY};
    int32_t extent = vertical ? pen.startX : pen.startY;
    layOutText(text, length, flags, vertical, lineHeight_, pen, [&](uint16_t character) {
        const GlyphRecord* found = usableGlyph(*this, character);
        if (!found || !GlyphPixels(*found))
            return;
        GlyphRecord record = *found;
        if (upward)
            pen.y -= record.height;
        bool visible = CompositeGlyph(bitmap, character, pen.x, pen.y, clip, alpha);
        if (vertical) {
            pen.y += upward ? record.height - record.advance : record.advance;
            if (visible)
                extent = std::max(extent, pen.x + record.width);
        } else {
            pen.x += record.advance;
            if (visible)
                extent = std::max(extent, pen.y + record.height);
        }
    });
    return extent - (vertical ? pen.startX : pen.startY);
}

// Whether RenderText hands the whole string to the system (only ever true on Windows).
bool PIXO_CachedFont::prefersSystemText(int32_t flags) const {
    return (fontFlags_ & SYSTEM_TEXT_PREFERRED) && systemFont_ && !(flags & TEXT_NO_SYSTEM_PATH) &&
           !(flags & TEXT_FOREGROUND_ALPHA) && !(fontFlags_ & kGlyphShapingFlags) && !PIXO_RunningUnderWine();
}

#ifndef _WIN32
PIXO_CachedFont* PIXO_CreateCachedFont(const char* path, int32_t pixelHeight, uint32_t flags) {
    PIXO_GlyphRasterizer* rasterizer = PIXO_OpenFontFile(path, pixelHeight);
    if (!rasterizer)
        return nullptr;
    PIXO_CachedFont* font = new (std::nothrow) PIXO_CachedFont;
    if (!font) {
        delete rasterizer;
        return nullptr;
    }
    font->AttachSystemFont(rasterizer, flags | FONT_HANDLE_OWNED);
    return font;
}
#endif
