// The Windows side of the cached font: glyphs rasterised through GDI with a system font, the
// Wine probe, and the system text path that hands whole strings to DrawText.
#include <algorithm>
#include <new>

#include "raster/font_internal.h"
#include "raster/pixo.h"

namespace {

int wineProbeOverride = -1;

// GetVersion's high bit marks the old platforms without wide-character text.
bool hasWideText() {
    static const bool wide = (GetVersion() & 0x80000000u) == 0;
    return wide;
}

COLORREF toColorRef(uint32_t colour) {
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

class GdiRasterizer : public PIXO_GlyphRasterizer {
public:
    GdiRasterizer(HFONT font, int32_t lineHeight) : font_(font), lineHeight_(lineHeight) {}

    int32_t lineHeight() override { return lineHeight_; }

    bool measure(uint16_t character, int32_t& advance, int32_t& boxWidth, int32_t& boxHeight) override {
        if (character >= 128) {
            if (!hasWideText())
                return false;
            wideEstablished_ = true;
        }
        HDC dc = GlyphScratchBitmap().deviceContext();
        if (!dc)
            return false;
        HGDIOBJ previous = SelectObject(dc, font_);
        RECT box = {0, 0, 0, 0};
        drawCharacter(dc, character, &box, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, previous);
        advance = box.right - box.left;
        // Capitals get two extra pixels for strokes that overhang their advance.
        boxWidth = advance + (character >= 'A' && character <= 'Z' ? 2 : 0);
        boxHeight = box.bottom - box.top;
        return true;
    }

    void draw(uint16_t character, PIXO_IBitmap& scratch, int32_t boxWidth, int32_t boxHeight) override {
        HDC dc = scratch.deviceContext();
        if (!dc)
            return;
        HGDIOBJ previous = SelectObject(dc, font_);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(0, 0, 0));
        RECT box = {0, 0, boxWidth, boxHeight};
        drawCharacter(dc, character, &box, DT_NOPREFIX | DT_SINGLELINE);
        GdiFlush();
        SelectObject(dc, previous);
    }

private:
    void drawCharacter(HDC dc, uint16_t character, RECT* box, UINT format) {
        if (character < 128 && !wideEstablished_) {
            char narrow = char(character);
            DrawTextA(dc, &narrow, 1, box, format);
        } else {
            wchar_t wide = wchar_t(character);
            DrawTextW(dc, &wide, 1, box, format);
        }
    }

    HFONT font_;
    int32_t lineHeight_;
    static bool wideEstablished_;
};

bool GdiRasterizer::wideEstablished_ = false;

// Whether the text holds a well-formed multi-byte sequence worth converting.
bool hasMultiByteSequence(const uint8_t* text, int32_t length) {
    auto continuation = [](uint8_t b) { return b >= 0x80 && b <= 0xBF; };
    for (int32_t i = 0; i < length; ++i) {
        uint8_t b = text[i];
        if (b >= 0xC2 && b <= 0xDF && i + 1 < length && continuation(text[i + 1]))
            return true;
        if (b >= 0xE0 && b <= 0xF4 && i + 2 < length && continuation(text[i + 1]) && continuation(text[i + 2]))
            return true;
    }
    return false;
}

// Text converted for DrawTextW when it holds UTF-8 sequences, else the bytes for DrawTextA.
class SystemText {
public:
    SystemText(const char* text, int32_t length) : bytes_(text), length_(length) {
        if (length_ < 0)
            length_ = int32_t(strlen(text));
        if (!hasWideText() || !hasMultiByteSequence(reinterpret_cast<const uint8_t*>(text), length_))
            return;
        int converted = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length_, nullptr, 0);
        if (converted <= 0)
            return;
        wchar_t* target = local_;
        if (converted > 999) {
            heap_ = new (std::nothrow) wchar_t[size_t(converted) + 32];
            target = heap_;
        }
        if (!target)
            return;
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length_, target, converted) == converted) {
            wide_ = target;
            wideLength_ = converted;
        }
    }
    ~SystemText() { delete[] heap_; }
    SystemText(const SystemText&) = delete;
    SystemText& operator=(const SystemText&) = delete;

    int draw(HDC dc, RECT* rect, UINT format) const {
        return wide_ ? DrawTextW(dc, wide_, wideLength_, rect, format) : DrawTextA(dc, bytes_, length_, rect, format);
    }

private:
    const char* bytes_;
    int32_t length_;
    wchar_t local_[1024];
    wchar_t* heap_ = nullptr;
    const wchar_t* wide_ = nullptr;
    int wideLength_ = 0;
};

PIXO_SysBitmap& textScratch() {
    static PIXO_SysBitmap scratch(0, 0);
    return scratch;
}

}  // namespace

bool PIXO_RunningUnderWine() {
    if (wineProbeOverride >= 0)
        return wineProbeOverride == 1;
    static const bool underWine = [] {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Wine", &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }();
    return underWine;
}

void PIXO_OverrideWineProbeForTesting(int32_t answer) { wineProbeOverride = answer; }

PIXO_GlyphRasterizer* pixo::createSystemFontRasterizer(PIXO_SystemFont font, int32_t fallbackLineHeight) {
    int32_t height = fallbackLineHeight;
    glyphScratch(256, 256);
    HDC dc = GlyphScratchBitmap().deviceContext();
    if (dc) {
        HGDIOBJ previous = SelectObject(dc, font);
        TEXTMETRICA metrics = {};
        if (GetTextMetricsA(dc, &metrics))
            height = metrics.tmHeight;
        SelectObject(dc, previous);
    }
    return new (std::nothrow) GdiRasterizer(font, height);
}

int32_t pixo::renderSystemText(PIXO_IBitmap* bitmap, const char* text, int32_t length, PIXO_Rect* rect,
                               int32_t flags, const SystemTextStyle& style) {
    SystemText converted(text, length);
    auto prepare = [&](HDC dc) {
        SetTextColor(dc, toColorRef(style.textColour));
        SetBkMode(dc, style.backgroundMode);
        if (style.backgroundMode == PIXO_BACKGROUND_OPAQUE)
            SetBkColor(dc, toColorRef(style.backgroundColour));
    };

    HDC dc = bitmap ? bitmap->deviceContext() : nullptr;
    if (dc) {
        HGDIOBJ previous = SelectObject(dc, style.font);
        prepare(dc);
        int result = converted.draw(dc, rect, UINT(flags | DT_NOPREFIX));
        GdiFlush();
        SelectObject(dc, previous);
        return result;
    }

    PIXO_SysBitmap& scratch = textScratch();
    int32_t wantWidth = std::max<int32_t>(1, rect->right - rect->left);
    int32_t wantHeight = std::max<int32_t>(1, rect->bottom - rect->top);
    scratch.setSize(std::max(scratch.width(), wantWidth), std::max(scratch.height(), wantHeight));
    HDC scratchDc = scratch.deviceContext();
    if (!scratchDc || !scratch.pixels())
        return 0;
    const int32_t alignment = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
    HGDIOBJ previous = SelectObject(scratchDc, style.font);
    RECT measured = {0, 0, wantWidth, wantHeight};
    int result = converted.draw(scratchDc, &measured, UINT((flags & ~alignment) | DT_CALCRECT | DT_NOPREFIX));
    if (flags & DT_CALCRECT) {
        SelectObject(scratchDc, previous);
        rect->right = rect->left + (measured.right - measured.left);
        rect->bottom = rect->top + (measured.bottom - measured.top);
        return result;
    }
    if (!bitmap) {
        SelectObject(scratchDc, previous);
        return 0;
    }
    int32_t textWidth = measured.right - measured.left, textHeight = measured.bottom - measured.top;
    int32_t boxWidth = (flags & DT_NOCLIP) ? textWidth : rect->right - rect->left;
    int32_t boxHeight = (flags & DT_NOCLIP) ? textHeight : rect->bottom - rect->top;
    int32_t offsetX = 0, offsetY = 0;
    if (textWidth < boxWidth) {
        if (flags & DT_RIGHT)
            offsetX = boxWidth - textWidth;
        else if (flags & DT_CENTER)
            offsetX = (boxWidth - textWidth) / 2;
        boxWidth = textWidth;
    }
    if (textHeight < boxHeight) {
        if (flags & DT_BOTTOM)
            offsetY = boxHeight - textHeight;
        else if (flags & DT_VCENTER)
            offsetY = (boxHeight - textHeight) / 2;
        boxHeight = textHeight;
    }
    if (boxWidth <= 0 || boxHeight <= 0) {
        SelectObject(scratchDc, previous);
        return result;
    }
    scratch.setSize(std::max(scratch.width(), boxWidth), std::max(scratch.height(), boxHeight));
    if (!scratch.pixels()) {
        SelectObject(scratchDc, previous);
        return 0;
    }
    int32_t destX = rect->left + offsetX, destY = rect->top + offsetY;
    // The scratch takes the destination's pixels first, so the system draws over the real backdrop.
    PIXO_Rect under = {destX, destY, destX + boxWidth, destY + boxHeight};
    PIXO_ClearBitmap(&scratch);
    PIXO_ComposeBitmap(&scratch, bitmap, 0, 0, &under, 1.0f, PIXO_BLEND_COPY);
    prepare(scratchDc);
    RECT box = {0, 0, boxWidth, boxHeight};
    result = converted.draw(scratchDc, &box, UINT((flags & ~alignment) | DT_NOPREFIX));
    GdiFlush();
    SelectObject(scratchDc, previous);
    PIXO_Rect back = {0, 0, boxWidth, boxHeight};
    PIXO_ComposeBitmap(bitmap, &scratch, destX, destY, &back, style.alpha, PIXO_BLEND_COPY);
    return result;
}
