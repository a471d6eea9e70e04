#include "editor/core/preset_control.h"

#include "editor/core/editor_fonts.h"
#include "editor/core/ui_scale.h"

namespace {

constexpr int32_t kFontHeight = 13; // the dialogs' 8-point face at 96 dpi
constexpr uint32_t kFace = 0xFFF0F0F0;
constexpr uint32_t kPressedFace = 0xFFD8E6F2;
constexpr uint32_t kEdge = 0xFF8C8C8C;
constexpr uint32_t kText = 0xFF000000;

bool continuationByte(char c) { return (uint8_t(c) & 0xC0) == 0x80; }

} // namespace

PresetControlPainter::PresetControlPainter() { setScale(1.0); }
PresetControlPainter::~PresetControlPainter() = default;

void PresetControlPainter::setScale(double scale) {
    if (font_ && scale == scale_)
        return;
    scale_ = scale;
    font_.reset(createEditorFont(scaledPixels(kFontHeight, scale), false));
}

int32_t PresetControlPainter::textWidth(const std::string& text) {
    if (!font_ || text.empty())
        return 0;
    PIXO_Rect measured = {0, 0, 0, 0};
    font_->RenderText(nullptr, text.c_str(), int32_t(text.size()), &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return measured.right - measured.left;
}

std::string PresetControlPainter::fitted(const std::string& label, int32_t width) {
    if (textWidth(label) <= width)
        return label;
    std::string cut = label;
    while (!cut.empty()) {
        // Drop one whole character (its continuation bytes with it), then any trailing space.
        do
            cut.pop_back();
        while (!cut.empty() && continuationByte(cut.back()));
        while (!cut.empty() && cut.back() == ' ')
            cut.pop_back();
        if (textWidth(cut + "...") <= width)
            return cut + "...";
    }
    return textWidth("...") <= width ? "..." : "";
}

void PresetControlPainter::draw(PIXO_IBitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height,
                                const std::string& label, bool pressed) {
    if (width <= 0 || height <= 0)
        return;
    const int32_t one = scaledStroke(1, scale_);
    PIXO_PaintRect(&bitmap, x, y, width, height, pressed ? kPressedFace : kFace, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, x, y, width, one, kEdge, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, x, y + height - one, width, one, kEdge, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, x, y, one, height, kEdge, 1.0f, PIXO_BLEND_COPY);
    PIXO_PaintRect(&bitmap, x + width - one, y, one, height, kEdge, 1.0f, PIXO_BLEND_COPY);

    // The arrow: a triangle pointing down, 7 pixels across at 96 dpi, centred in a square at the
    // right end.
    const int32_t half = scaledPixels(3, scale_);
    const int32_t arrowBox = height;
    const int32_t cx = x + width - arrowBox / 2 - one;
    const int32_t top = y + (height - (half + 1)) / 2;
    PIXO_PaintTrapezoid(&bitmap, cx - half, cx + half, top, cx, cx, top + half, kText, 1.0f);

    if (!font_)
        return;
    const int32_t pad = scaledPixels(4, scale_);
    const int32_t textRight = x + width - arrowBox - one;
    const std::string shown = fitted(label, textRight - (x + pad));
    PIXO_Rect rect = {x + pad, y, textRight, y + height};
    font_->SetForeground(kText);
    font_->RenderText(&bitmap, shown.c_str(), -1, &rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}
