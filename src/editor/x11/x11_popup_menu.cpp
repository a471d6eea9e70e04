#include "editor/x11/x11_popup_menu.h"

#include "editor/core/ui_scale.h"
#include "raster/pixo.h"

#include <X11/keysym.h>

#include <algorithm>

using namespace widget_colour;

namespace {

// The system's menu metrics at 96 dpi: items 19 pixels tall, separators 9, a 3-pixel frame,
// the label 26 pixels in (after the check mark's column) and 30 pixels of room after it; a
// shortcut at least 24 pixels right of the longest label; scroll strips 12 pixels tall.
constexpr int32_t kItemHeight = 19;
constexpr int32_t kSeparatorHeight = 9;
constexpr int32_t kFrame = 3;
constexpr int32_t kLabelLeft = 26;
constexpr int32_t kLabelRight = 30;
constexpr int32_t kShortcutGap = 24;
constexpr int32_t kStripHeight = 12;
// Items a notch of the wheel or a press on a strip moves.
constexpr int32_t kScrollItems = 3;

} // namespace

void X11PopupMenu::setItems(std::vector<PopupMenuItem> items) {
    items_ = std::move(items);
    highlighted_ = -1;
    armed_ = false;
    first_ = 0;
}

int32_t X11PopupMenu::itemHeight(int32_t index) const {
    return scaledPixels(items_[size_t(index)].separator() ? kSeparatorHeight : kItemHeight, scale_);
}

int32_t X11PopupMenu::contentHeight() const {
    int32_t height = 2 * scaledPixels(kFrame, scale_);
    for (int32_t i = 0; i < int32_t(items_.size()); ++i)
        height += itemHeight(i);
    return height;
}

bool X11PopupMenu::scrolls() const {
    return maxHeight_ > 0 && contentHeight() > maxHeight_;
}

int32_t X11PopupMenu::stripHeight() const {
    return scrolls() ? scaledPixels(kStripHeight, scale_) : 0;
}

int32_t X11PopupMenu::listTop() const {
    return scaledPixels(kFrame, scale_) + stripHeight();
}

int32_t X11PopupMenu::listBottom() const {
    return height() - scaledPixels(kFrame, scale_) - stripHeight();
}

// Items above the first shown have no place; the others follow it down.
int32_t X11PopupMenu::itemTop(int32_t index) const {
    int32_t top = listTop();
    for (int32_t i = first_; i < index; ++i)
        top += itemHeight(i);
    return top;
}

bool X11PopupMenu::shown(int32_t index) const {
    return index >= first_ && itemTop(index) + itemHeight(index) <= listBottom();
}

// The first item that still fills the list to its last item.
int32_t X11PopupMenu::lastFirst() const {
    int32_t room = listBottom() - listTop();
    int32_t first = int32_t(items_.size());
    while (first > 0 && room >= itemHeight(first - 1)) {
        room -= itemHeight(first - 1);
        --first;
    }
    return first;
}

void X11PopupMenu::scrollBy(int32_t items) {
    first_ = std::clamp(first_ + items, 0, std::max(lastFirst(), 0));
}

// Scrolls the least that shows an item.
void X11PopupMenu::scrollTo(int32_t index) {
    if (index < first_)
        first_ = index;
    while (first_ < index && !shown(index))
        ++first_;
}

int32_t X11PopupMenu::width() {
    int32_t widest = 0, widestShortcut = 0;
    for (const PopupMenuItem& item : items_) {
        widest = std::max(widest, text_.width(item.label.c_str()));
        if (!item.shortcut.empty())
            widestShortcut = std::max(widestShortcut, text_.width(item.shortcut.c_str()));
    }
    if (widestShortcut > 0)
        widest += scaledPixels(kShortcutGap, scale_) + widestShortcut;
    return widest + scaledPixels(kLabelLeft + kLabelRight + 2 * kFrame, scale_);
}

int32_t X11PopupMenu::height() const {
    return scrolls() ? maxHeight_ : contentHeight();
}

int32_t X11PopupMenu::itemAt(int32_t x, int32_t y) const {
    const int32_t frame = scaledPixels(kFrame, scale_);
    if (x < frame || y < listTop() || y >= listBottom())
        return -1;
    for (int32_t i = first_; i < int32_t(items_.size()) && shown(i); ++i) {
        const int32_t top = itemTop(i);
        if (y >= top && y < top + itemHeight(i))
            return items_[size_t(i)].separator() ? -1 : i;
    }
    return -1;
}

// A scroll strip: the face with a small triangle pointing the way it scrolls, grey when the
// list is at that end already.
void X11PopupMenu::paintStrip(PIXO_IBitmap& bitmap, int32_t top, bool up, bool active) {
    const int32_t half = scaledPixels(4, scale_), tall = scaledPixels(4, scale_);
    const int32_t middle = bitmap.width() / 2;
    const int32_t y = top + (stripHeight() - tall) / 2;
    const uint32_t colour = active ? kText : kGreyText;
    if (up)
        PIXO_PaintTrapezoid(&bitmap, middle, middle, y, middle - half, middle + half, y + tall, colour, 1.0f);
    else
        PIXO_PaintTrapezoid(&bitmap, middle - half, middle + half, y, middle, middle, y + tall, colour, 1.0f);
}

void X11PopupMenu::onPaint(PIXO_IBitmap& bitmap) {
    const int32_t w = bitmap.width(), h = bitmap.height();
    const int32_t t = scaledStroke(1, scale_);
    PIXO_PaintRect(&bitmap, 0, 0, w, h, kFace, 1.0f, PIXO_BLEND_COPY);
    // A raised frame: light above and left, shadows below and right.
    paintEdge(bitmap, {0, 0, w, h}, kLight, kWindow, kShadow, kDarkShadow, scale_);
    const int32_t frame = scaledPixels(kFrame, scale_);
    if (scrolls()) {
        paintStrip(bitmap, frame, true, first_ > 0);
        paintStrip(bitmap, listBottom(), false, first_ < lastFirst());
    }
    for (int32_t i = first_; i < int32_t(items_.size()) && shown(i); ++i) {
        const PopupMenuItem& item = items_[size_t(i)];
        const int32_t top = itemTop(i), height = itemHeight(i);
        if (item.separator()) {
            const int32_t middle = top + height / 2 - t;
            PIXO_PaintRect(&bitmap, frame, middle, w - 2 * frame, t, kShadow, 1.0f, PIXO_BLEND_COPY);
            PIXO_PaintRect(&bitmap, frame, middle + t, w - 2 * frame, t, kWindow, 1.0f, PIXO_BLEND_COPY);
            continue;
        }
        const bool lit = i == highlighted_;
        if (lit)
            PIXO_PaintRect(&bitmap, frame, top, w - 2 * frame, height, kHighlight, 1.0f, PIXO_BLEND_COPY);
        const uint32_t colour = !item.enabled ? kGreyText : lit ? kHighlightText : kText;
        text_.draw(bitmap, item.label.c_str(), {scaledPixels(kLabelLeft, scale_), top, w, height},
                   DT_LEFT | DT_VCENTER, colour);
        if (!item.shortcut.empty()) {
            const int32_t right = w - frame - scaledPixels(kLabelRight, scale_);
            text_.draw(bitmap, item.shortcut.c_str(), {0, top, right, height}, DT_RIGHT | DT_VCENTER, colour);
        }
        if (item.checked) {
            // The check mark in the column before the label.
            paintCheckMark(bitmap, frame + scaledPixels(6, scale_), top + (height - scaledPixels(7, scale_)) / 2, colour,
                           scale_);
        }
    }
}

void X11PopupMenu::onMouseMove(const X11MouseEvent& event) {
    const int32_t index = itemAt(event.x, event.y);
    if (index >= 0)
        armed_ = true;
    highlighted_ = index;
}

void X11PopupMenu::onMouseDown(const X11MouseEvent& event) {
    armed_ = true;
    if (scrolls() && event.y < listTop())
        scrollBy(-kScrollItems);
    else if (scrolls() && event.y >= listBottom())
        scrollBy(kScrollItems);
    highlighted_ = itemAt(event.x, event.y);
}

void X11PopupMenu::onWheel(const X11MouseEvent& event, int32_t steps) {
    scrollBy(-steps * kScrollItems);
    highlighted_ = itemAt(event.x, event.y);
}

void X11PopupMenu::onMouseUp(const X11MouseEvent& event) {
    if (armed_)
        choose(itemAt(event.x, event.y));
}

void X11PopupMenu::step(int32_t direction) {
    const int32_t count = int32_t(items_.size());
    int32_t index = highlighted_;
    for (int32_t tries = 0; tries < count; ++tries) {
        index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
        if (!items_[size_t(index)].separator()) {
            highlighted_ = index;
            scrollTo(index);
            return;
        }
    }
}

void X11PopupMenu::onKeyDown(const X11KeyEvent& event) {
    switch (event.keysym) {
    case XK_Down:
    case XK_KP_Down:
        step(1);
        break;
    case XK_Up:
    case XK_KP_Up:
        step(-1);
        break;
    case XK_Return:
    case XK_KP_Enter:
        choose(highlighted_);
        break;
    default:
        break;
    }
}

void X11PopupMenu::choose(int32_t index) {
    if (index < 0 || index >= int32_t(items_.size()) || !items_[size_t(index)].enabled ||
        items_[size_t(index)].separator())
        return;
    owner_.onMenuCommand(items_[size_t(index)].command);
}

void X11PopupMenu::onPopupClosed() {
    highlighted_ = -1;
    armed_ = false;
    owner_.onMenuClosed();
}
