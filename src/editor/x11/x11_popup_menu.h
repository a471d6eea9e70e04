// A popup menu drawn as the system draws menus: items with their labels, a check mark column,
// greyed items that cannot be chosen, separators, the keys that do the same at the right, the
// item under the pointer highlighted. A menu taller than the room it is given shows a strip
// with an arrow above and below its items; a press on one, the wheel or the arrow keys scroll
// it. It
// is the X11WindowEvents of the view's popup window: a release over an enabled item (after the
// pointer moved or pressed in the menu, so the release of the press that opened it chooses
// nothing), or Enter on the item picked with Up/Down, chooses it; the owner then hears the
// item's command and closes the popup.
#pragma once

#include "editor/x11/x11_view.h"
#include "editor/x11/x11_widgets.h"

#include <cstdint>
#include <string>
#include <vector>

struct PopupMenuItem {
    std::string label; // empty for a separator
    int32_t command = 0;
    bool checked = false;
    bool enabled = true;
    std::string shortcut; // shown right-aligned; may be empty
    bool separator() const { return label.empty(); }
};

class PopupMenuOwner {
public:
    virtual ~PopupMenuOwner() {}
    // An item was chosen (the popup is still open: the owner closes it).
    virtual void onMenuCommand(int32_t command) = 0;
    virtual void onMenuClosed() {}
};

class X11PopupMenu final : public X11WindowEvents {
public:
    X11PopupMenu(WidgetText& text, double scale, PopupMenuOwner& owner) : text_(text), scale_(scale), owner_(owner) {}

    // New items, shown from the first; the height limit stays.
    void setItems(std::vector<PopupMenuItem> items);
    const std::vector<PopupMenuItem>& items() const { return items_; }
    // The most pixels the menu may be tall (0: no limit); a longer list scrolls.
    void setMaxHeight(int32_t pixels) { maxHeight_ = pixels; }
    // The menu's size for its items.
    int32_t width();
    int32_t height() const;
    bool scrolls() const;
    // The item at a point of the menu, -1 for none (a separator, a scroll strip or an item
    // scrolled out of sight).
    int32_t itemAt(int32_t x, int32_t y) const;
    int32_t highlighted() const { return highlighted_; }
    // The first item shown.
    int32_t firstShown() const { return first_; }

    void onPaint(PIXO_IBitmap& bitmap) override;
    void onMouseMove(const X11MouseEvent& event) override;
    void onMouseDown(const X11MouseEvent& event) override;
    void onMouseUp(const X11MouseEvent& event) override;
    void onWheel(const X11MouseEvent& event, int32_t steps) override;
    void onKeyDown(const X11KeyEvent& event) override;
    void onPopupClosed() override;

private:
    int32_t contentHeight() const;
    int32_t stripHeight() const;
    int32_t listTop() const;
    int32_t listBottom() const;
    int32_t itemTop(int32_t index) const;
    int32_t itemHeight(int32_t index) const;
    bool shown(int32_t index) const;
    int32_t lastFirst() const;
    void scrollBy(int32_t items);
    void scrollTo(int32_t index);
    void step(int32_t direction);
    void choose(int32_t index);
    void paintStrip(PIXO_IBitmap& bitmap, int32_t top, bool up, bool active);

    WidgetText& text_;
    double scale_;
    PopupMenuOwner& owner_;
    std::vector<PopupMenuItem> items_;
    int32_t highlighted_ = -1;
    bool armed_ = false;
    int32_t maxHeight_ = 0;
    int32_t first_ = 0;
};
