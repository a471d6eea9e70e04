#include "editor/x11/x11_widgets.h"

#include "editor/core/editor_fonts.h"
#include "editor/core/ui_scale.h"
#include "raster/pixo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace widget_colour;

namespace {

// The dialog font's character cell at 96 dpi: Liberation Sans standing in for "MS Shell Dlg" 8 pt.
constexpr int32_t kFontCellPixels = 12;
constexpr int32_t kCheckBoxSide = 13;
constexpr int32_t kCheckTextGap = 4;
// The tab strip as the system draws it: tabs at least 54 pixels wide from 2 pixels in, 19
// pixels tall down to the body's top line; the selected one 2 pixels larger each way but down.
constexpr int32_t kTabMinWidth = 54;
constexpr int32_t kTabIndent = 2;
constexpr int32_t kTabRowHeight = 19;
constexpr int32_t kTabLift = 2;
constexpr int32_t kEditMargin = 2;

void fill(PIXO_IBitmap& bitmap, const PixelRect& r, uint32_t colour) {
    if (r.width > 0 && r.height > 0)
        PIXO_PaintRect(&bitmap, r.x, r.y, r.width, r.height, colour, 1.0f, PIXO_BLEND_COPY);
}

void hLine(PIXO_IBitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t thickness, uint32_t colour) {
    fill(bitmap, {x, y, width, thickness}, colour);
}

void vLine(PIXO_IBitmap& bitmap, int32_t x, int32_t y, int32_t height, int32_t thickness, uint32_t colour) {
    fill(bitmap, {x, y, thickness, height}, colour);
}

void paintSunkenEdge(PIXO_IBitmap& bitmap, const PixelRect& r, double scale) {
    paintEdge(bitmap, r, kShadow, kDarkShadow, kLight, kWindow, scale);
}

PixelRect inset(const PixelRect& r, int32_t by) {
    return {r.x + by, r.y + by, r.width - 2 * by, r.height - 2 * by};
}

} // namespace

WidgetText::WidgetText(double scale) : font_(createEditorFont(scaledPixels(kFontCellPixels, scale), false)) {
    lineHeight_ = scaledPixels(kFontCellPixels, scale);
}

WidgetText::~WidgetText() = default;

int32_t WidgetText::width(const char* text, int32_t length) {
    if (!font_ || !text)
        return 0;
    PIXO_Rect rect = {0, 0, 0, 0};
    font_->RenderText(nullptr, text, length, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return rect.right - rect.left;
}

void WidgetText::draw(PIXO_IBitmap& bitmap, const char* text, const PixelRect& r, int32_t flags, uint32_t colour,
                      int32_t length) {
    if (!font_ || !text || !*text || length == 0)
        return;
    font_->SetForeground(colour);
    PIXO_Rect rect = {r.x, r.y, r.right(), r.bottom()};
    font_->RenderText(&bitmap, text, length, &rect, flags | DT_SINGLELINE | DT_NOPREFIX);
}

int32_t TabStripGeometry::tabAt(int32_t x, int32_t y) const {
    for (int32_t i = 0; i < count; ++i)
        if (tabs[i].contains(x, y))
            return i;
    return -1;
}

TabStripGeometry tabStripGeometry(const PixelRect& strip, int32_t tabCount, double scale) {
    TabStripGeometry geometry;
    const int32_t width = scaledPixels(kTabMinWidth, scale);
    // Only the tabs that fit the strip are shown (the others' bands are reached from the graph).
    const int32_t room = (strip.width - 2 * scaledPixels(kTabIndent, scale)) / std::max(width, 1);
    geometry.count = std::min({std::max(tabCount, 0), room, TabStripGeometry::kMaxTabs});
    const int32_t lift = scaledPixels(kTabLift, scale);
    const int32_t row = scaledPixels(kTabRowHeight, scale);
    for (int32_t i = 0; i < geometry.count; ++i)
        geometry.tabs[i] = {strip.x + scaledPixels(kTabIndent, scale) + i * width, strip.y + lift, width, row - lift};
    geometry.body = {strip.x, strip.y + row, strip.width, strip.height - row};
    return geometry;
}

PixelRect checkBoxSquare(const PixelRect& control, double scale) {
    const int32_t side = scaledPixels(kCheckBoxSide, scale);
    return {control.x, control.y + (control.height - side) / 2, side, side};
}

void paintEdge(PIXO_IBitmap& bitmap, const PixelRect& r, uint32_t outerTopLeft, uint32_t innerTopLeft,
               uint32_t innerBottomRight, uint32_t outerBottomRight, double scale) {
    const int32_t t = scaledStroke(1, scale);
    hLine(bitmap, r.x, r.y, r.width, t, outerTopLeft);
    vLine(bitmap, r.x, r.y, r.height, t, outerTopLeft);
    hLine(bitmap, r.x + t, r.y + t, r.width - 2 * t, t, innerTopLeft);
    vLine(bitmap, r.x + t, r.y + t, r.height - 2 * t, t, innerTopLeft);
    hLine(bitmap, r.x + t, r.bottom() - 2 * t, r.width - 2 * t, t, innerBottomRight);
    vLine(bitmap, r.right() - 2 * t, r.y + t, r.height - 2 * t, t, innerBottomRight);
    hLine(bitmap, r.x, r.bottom() - t, r.width, t, outerBottomRight);
    vLine(bitmap, r.right() - t, r.y, r.height, t, outerBottomRight);
}

void paintCheckMark(PIXO_IBitmap& bitmap, int32_t x, int32_t y, uint32_t colour, double scale) {
    static const int32_t kDown[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int32_t column = 0; column < 7; ++column) {
        const int32_t left = x + scaledPixels(column, scale);
        fill(bitmap,
             {left, y + scaledPixels(kDown[column], scale), x + scaledPixels(column + 1, scale) - left,
              scaledPixels(3, scale)},
             colour);
    }
}

void paintFace(PIXO_IBitmap& bitmap, const PixelRect& rect) {
    fill(bitmap, rect, kFace);
}

void paintGroupBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption,
                   double scale) {
    // The etched frame runs through the middle of the caption's line.
    const int32_t t = scaledStroke(1, scale);
    const PixelRect frame = {rect.x, rect.y + text.lineHeight() / 2 - t, rect.width, rect.height - text.lineHeight() / 2 + t};
    PixelRect inner = {frame.x + t, frame.y + t, frame.width - t, frame.height - t};
    PIXO_StrokeRect(&bitmap, inner.x, inner.y, inner.width - 1, inner.height - 1, kWindow, 1.0f);
    PIXO_StrokeRect(&bitmap, frame.x, frame.y, frame.width - 1 - t, frame.height - 1 - t, kShadow, 1.0f);
    if (!caption || !*caption)
        return;
    const int32_t captionX = rect.x + scaledPixels(7, scale);
    const int32_t width = text.width(caption);
    fill(bitmap, {captionX - scaledPixels(1, scale), rect.y, width + scaledPixels(2, scale), text.lineHeight()}, kFace);
    text.draw(bitmap, caption, {captionX, rect.y, width + 1, text.lineHeight()}, DT_LEFT | DT_TOP, kText);
}

void paintPushButton(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, bool pressed,
                     double scale) {
    fill(bitmap, rect, kFace);
    if (pressed)
        paintEdge(bitmap, rect, kDarkShadow, kShadow, kLight, kWindow, scale);
    else
        paintEdge(bitmap, rect, kWindow, kLight, kShadow, kDarkShadow, scale);
    const int32_t shift = pressed ? scaledPixels(1, scale) : 0;
    text.draw(bitmap, caption, {rect.x + shift, rect.y + shift, rect.width, rect.height}, DT_CENTER | DT_VCENTER,
              kText);
}

void paintCheckBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, bool checked,
                   bool pressed, double scale) {
    fill(bitmap, rect, kFace);
    const PixelRect box = checkBoxSquare(rect, scale);
    paintSunkenEdge(bitmap, box, scale);
    fill(bitmap, inset(box, 2 * scaledStroke(1, scale)), pressed ? kFace : kWindow);
    if (checked)
        paintCheckMark(bitmap, box.x + scaledPixels(3, scale), box.y + scaledPixels(3, scale), kText, scale);
    const int32_t textX = box.right() + scaledPixels(kCheckTextGap, scale);
    text.draw(bitmap, caption, {textX, rect.y, rect.right() - textX + text.width(caption), rect.height},
              DT_LEFT | DT_VCENTER, kText);
}

void paintLabel(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, TextAlign align) {
    const int32_t width = text.width(caption);
    int32_t flags = DT_LEFT;
    PixelRect place = rect;
    if (width > rect.width) {
        place.x = rect.right() - width;
        place.width = width;
    } else if (align == TextAlign::Right) {
        flags = DT_RIGHT;
    } else if (align == TextAlign::Center) {
        flags = DT_CENTER;
    }
    place.height = std::max(place.height, text.lineHeight());
    text.draw(bitmap, caption, place, flags | DT_TOP, kText);
}

int32_t editTextLeft(WidgetText& text, const PixelRect& rect, const char* content, TextAlign align, double scale) {
    const int32_t margin = scaledPixels(2 + kEditMargin, scale);
    if (align != TextAlign::Center)
        return rect.x + margin;
    return rect.x + std::max(margin, (rect.width - text.width(content)) / 2);
}

int32_t editCaretAt(WidgetText& text, const PixelRect& rect, const char* content, TextAlign align, double scale,
                    int32_t x) {
    const int32_t left = editTextLeft(text, rect, content, align, scale);
    const int32_t length = int32_t(std::strlen(content));
    int32_t best = 0, bestDistance = -1;
    for (int32_t i = 0; i <= length; ++i) {
        const int32_t distance = std::abs(left + text.width(content, i) - x);
        if (bestDistance < 0 || distance < bestDistance)
            best = i, bestDistance = distance;
    }
    return best;
}

void paintEditBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* content, TextAlign align,
                  bool focused, int32_t caret, double scale) {
    paintSunkenEdge(bitmap, rect, scale);
    const PixelRect inside = inset(rect, 2 * scaledStroke(1, scale));
    fill(bitmap, inside, kWindow);
    const int32_t left = editTextLeft(text, rect, content, align, scale);
    // The system's edit text sits a pixel above the box's middle.
    const PixelRect line = {left, rect.y - scaledPixels(1, scale), inside.right() - left, rect.height};
    text.draw(bitmap, content, line, DT_LEFT | DT_VCENTER, kText);
    if (!focused)
        return;
    const int32_t caretX = left + text.width(content, caret);
    const int32_t top = rect.y + (rect.height - text.lineHeight()) / 2;
    if (caretX < inside.right())
        vLine(bitmap, caretX, top, text.lineHeight(), scaledStroke(1, scale), kText);
}

void paintTabStrip(PIXO_IBitmap& bitmap, WidgetText& text, const TabStripGeometry& geometry, int32_t selected,
                   double scale) {
    const int32_t t = scaledStroke(1, scale);
    const PixelRect& body = geometry.body;
    fill(bitmap, body, kWindow);
    PIXO_StrokeRect(&bitmap, body.x, body.y, body.width - 1, body.height - 1, kTabFrame, 1.0f);
    char label[16];
    for (int32_t i = 0; i < geometry.count; ++i) {
        if (i == selected)
            continue;
        const PixelRect& tab = geometry.tabs[i];
        fill(bitmap, {tab.x, tab.y, tab.width, tab.height}, kFace);
        fill(bitmap, {tab.x + t, tab.y + t, tab.width - 2 * t, t}, kTabIdle);
        hLine(bitmap, tab.x, tab.y, tab.width, t, kTabOutline);
        vLine(bitmap, tab.x, tab.y, tab.height, t, kTabOutline);
        vLine(bitmap, tab.right() - t, tab.y, tab.height, t, kTabOutline);
        std::snprintf(label, sizeof(label), "%d", i + 1);
        text.draw(bitmap, label, {tab.x, tab.y + t, tab.width, tab.height}, DT_CENTER | DT_VCENTER, kText);
    }
    if (selected < 0 || selected >= geometry.count)
        return;
    // The selected tab stands out by two pixels on three sides and opens into the body.
    const int32_t grow = scaledPixels(kTabLift, scale);
    const PixelRect& tab = geometry.tabs[selected];
    const PixelRect raised = {tab.x - grow, tab.y - grow, tab.width + 2 * grow, tab.height + grow + t};
    fill(bitmap, raised, kWindow);
    hLine(bitmap, raised.x, raised.y, raised.width, t, kTabOutline);
    vLine(bitmap, raised.x, raised.y, raised.height, t, kTabFrame);
    vLine(bitmap, raised.right() - t, raised.y, raised.height, t, kTabFrame);
    std::snprintf(label, sizeof(label), "%d", selected + 1);
    text.draw(bitmap, label, {raised.x, raised.y + t, raised.width, tab.height}, DT_CENTER | DT_VCENTER, kText);
}
