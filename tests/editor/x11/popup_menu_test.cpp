// The popup menu without a display: which item a point or a key picks, that greyed items and
// separators are never chosen, that the release of the press that opened it chooses nothing,
// what its paint shows (the highlight, greyed text, check marks, shortcuts at the right), and
// how a list taller than its room scrolls.
#include "editor/x11/x11_popup_menu.h"

#include "raster/pixo.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

class RecordingOwner : public PopupMenuOwner {
public:
    void onMenuCommand(int32_t command) override { commands.push_back(command); }
    void onMenuClosed() override { ++closed; }
    std::vector<int32_t> commands;
    int closed = 0;
};

std::vector<PopupMenuItem> sampleItems() {
    return {{"Add new band", 1, false, true, ""},
            {"Delete band", 2, false, false, ""},
            {"", 0, false, true, ""},
            {"Show grid", 3, true, true, ""}};
}

X11MouseEvent at(int32_t x, int32_t y) {
    X11MouseEvent event = {};
    event.x = x;
    event.y = y;
    event.button = 1;
    return event;
}

X11KeyEvent key(uint32_t keysym) {
    X11KeyEvent event = {};
    event.keysym = keysym;
    return event;
}

class PopupMenuTest : public ::testing::Test {
protected:
    WidgetText text{1.0};
    RecordingOwner owner;
    X11PopupMenu menu{text, 1.0, owner};
    void SetUp() override {
        ASSERT_TRUE(text.ok());
        menu.setItems(sampleItems());
    }
};

TEST_F(PopupMenuTest, ItemsStackBelowTheFrameWithSeparatorsBetween) {
    // 3-pixel frame, items of 19 pixels, separators of 9.
    EXPECT_EQ(menu.height(), 3 + 19 + 19 + 9 + 19 + 3);
    EXPECT_EQ(menu.itemAt(10, 3), 0);
    EXPECT_EQ(menu.itemAt(10, 21), 0);
    EXPECT_EQ(menu.itemAt(10, 22), 1);
    EXPECT_EQ(menu.itemAt(10, 45), -1); // the separator
    EXPECT_EQ(menu.itemAt(10, 50), 3);
    EXPECT_EQ(menu.itemAt(10, 1), -1);
    EXPECT_GT(menu.width(), text.width("Add new band") + 26);
}

TEST_F(PopupMenuTest, OnlyEnabledItemsAreChosenAndOnlyAfterThePointerArrived) {
    // The release of the press that opened the menu, over an item, chooses nothing.
    menu.onMouseUp(at(10, 10));
    EXPECT_TRUE(owner.commands.empty());
    menu.onMouseMove(at(10, 30)); // the greyed "Delete band"
    menu.onMouseUp(at(10, 30));
    EXPECT_TRUE(owner.commands.empty());
    menu.onMouseMove(at(10, 55));
    EXPECT_EQ(menu.highlighted(), 3);
    menu.onMouseUp(at(10, 55));
    EXPECT_EQ(owner.commands, std::vector<int32_t>{3});
}

TEST_F(PopupMenuTest, ArrowKeysSkipSeparatorsAndEnterChooses) {
    menu.onKeyDown(key(XK_Down));
    EXPECT_EQ(menu.highlighted(), 0);
    menu.onKeyDown(key(XK_Down));
    menu.onKeyDown(key(XK_Down));
    EXPECT_EQ(menu.highlighted(), 3);
    menu.onKeyDown(key(XK_Down)); // round to the top
    EXPECT_EQ(menu.highlighted(), 0);
    menu.onKeyDown(key(XK_Up));
    EXPECT_EQ(menu.highlighted(), 3);
    menu.onKeyDown(key(XK_Return));
    menu.onKeyDown(key(XK_Up)); // over the separator to "Delete band", greyed
    EXPECT_EQ(menu.highlighted(), 1);
    menu.onKeyDown(key(XK_Return));
    EXPECT_EQ(owner.commands, std::vector<int32_t>{3});
    menu.onPopupClosed();
    EXPECT_EQ(owner.closed, 1);
    EXPECT_EQ(menu.highlighted(), -1);
}

TEST_F(PopupMenuTest, PaintsTheHighlightGreyedTextAndCheckMarks) {
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(menu.width(), menu.height()));
    menu.onMouseMove(at(10, 10));
    menu.onPaint(bitmap);
    auto count = [&](int32_t top, int32_t bottom, uint32_t colour) {
        int n = 0;
        for (int32_t y = top; y < bottom; ++y)
            for (int32_t x = 0; x < bitmap.width(); ++x)
                n += (bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF) == (colour & 0xFFFFFF);
        return n;
    };
    // The lit first item is mostly highlight; the others have none.
    EXPECT_GT(count(3, 22, widget_colour::kHighlight), (bitmap.width() - 6) * 19 / 2);
    EXPECT_EQ(count(22, bitmap.height(), widget_colour::kHighlight), 0);
    // The greyed item's text is grey, not black; the checked item has black in its mark column.
    EXPECT_GT(count(22, 41, widget_colour::kGreyText), 5);
    EXPECT_EQ(count(22, 41, widget_colour::kText), 0);
    int markPixels = 0;
    for (int32_t y = 50; y < 69; ++y)
        for (int32_t x = 3; x < 20; ++x)
            markPixels += (bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF) == 0;
    EXPECT_GT(markPixels, 10);
}

// Pixels of a colour in a rectangle of a bitmap.
int countColour(PIXO_MemBitmap& bitmap, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
    int n = 0;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            n += (bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

TEST_F(PopupMenuTest, ShortcutsWidenTheMenuAndStandAtItsRightEdge) {
    const int32_t plain = menu.width();
    std::vector<PopupMenuItem> items = sampleItems();
    items[0].shortcut = "Ctrl+Shift+Z";
    menu.setItems(items);
    // Room for the label, a gap of at least 24 pixels and the shortcut.
    EXPECT_GE(menu.width(), plain + 24 + text.width("Ctrl+Shift+Z"));
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(menu.width(), menu.height()));
    menu.onPaint(bitmap);
    // The first row has text in its right part (past the label), the second row none there.
    const int32_t shortcutLeft = 26 + text.width("Add new band") + 12;
    EXPECT_GT(countColour(bitmap, shortcutLeft, 3, bitmap.width() - 3, 22, widget_colour::kText), 10);
    EXPECT_EQ(countColour(bitmap, shortcutLeft, 22, bitmap.width() - 3, 41, widget_colour::kText), 0);
    EXPECT_EQ(countColour(bitmap, shortcutLeft, 22, bitmap.width() - 3, 41, widget_colour::kGreyText), 0);
}

// Forty items in a menu 106 pixels tall: frames of 3 and strips of 12 above and below, four
// whole items of 19 between them.
class ScrollingMenuTest : public PopupMenuTest {
protected:
    void SetUp() override {
        std::vector<PopupMenuItem> items;
        for (int32_t i = 0; i < 40; ++i)
            items.push_back({"Preset " + std::to_string(i), 100 + i, false, true, ""});
        menu.setItems(items);
        menu.setMaxHeight(106);
    }
    static constexpr int32_t kListTop = 3 + 12;
};

TEST_F(ScrollingMenuTest, ShowsWhatFitsBetweenItsStrips) {
    ASSERT_TRUE(menu.scrolls());
    EXPECT_EQ(menu.height(), 106);
    EXPECT_EQ(menu.itemAt(10, 5), -1); // the upper strip
    EXPECT_EQ(menu.itemAt(10, kListTop), 0);
    EXPECT_EQ(menu.itemAt(10, kListTop + 3 * 19 + 5), 3);
    // A fifth item would reach into the lower strip: it is not offered.
    EXPECT_EQ(menu.itemAt(10, kListTop + 4 * 19 + 2), -1);
    // The same items without the limit do not scroll.
    menu.setMaxHeight(0);
    EXPECT_FALSE(menu.scrolls());
    EXPECT_EQ(menu.height(), 3 + 40 * 19 + 3);
}

TEST_F(ScrollingMenuTest, TheWheelAndTheStripsScrollWithinTheList) {
    menu.onWheel(at(10, 50), -1); // towards the user: down the list
    EXPECT_EQ(menu.firstShown(), 3);
    EXPECT_EQ(menu.itemAt(10, kListTop), 3);
    EXPECT_EQ(menu.highlighted(), menu.itemAt(10, 50));
    menu.onWheel(at(10, 50), 2);
    EXPECT_EQ(menu.firstShown(), 0);
    // A press on the lower strip scrolls down, but never past the last four items.
    for (int i = 0; i < 20; ++i)
        menu.onMouseDown(at(10, 97));
    EXPECT_EQ(menu.firstShown(), 36);
    EXPECT_EQ(menu.itemAt(10, kListTop + 3 * 19 + 5), 39);
    menu.onMouseDown(at(10, 5));
    EXPECT_EQ(menu.firstShown(), 33);
    // A press on a strip chooses nothing.
    menu.onMouseUp(at(10, 5));
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(ScrollingMenuTest, ArrowKeysBringTheLitItemIntoSight) {
    for (int i = 0; i < 6; ++i)
        menu.onKeyDown(key(XK_Down));
    EXPECT_EQ(menu.highlighted(), 5);
    EXPECT_EQ(menu.firstShown(), 2); // items 2 to 5 shown
    menu.onKeyDown(key(XK_Up));
    menu.onKeyDown(key(XK_Up));
    menu.onKeyDown(key(XK_Up));
    EXPECT_EQ(menu.highlighted(), 2);
    EXPECT_EQ(menu.firstShown(), 2);
    menu.onKeyDown(key(XK_Up));
    EXPECT_EQ(menu.firstShown(), 1);
    // Round to the last item: the list's end shows.
    menu.onKeyDown(key(XK_Up));
    menu.onKeyDown(key(XK_Up));
    EXPECT_EQ(menu.highlighted(), 39);
    EXPECT_EQ(menu.firstShown(), 36);
    menu.onKeyDown(key(XK_Return));
    EXPECT_EQ(owner.commands, std::vector<int32_t>{139});
}

TEST_F(ScrollingMenuTest, PaintsOnlyTheShownItemsAndGreysTheStripAtTheEnd) {
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(menu.width(), menu.height()));
    menu.onKeyDown(key(XK_Down));
    menu.onPaint(bitmap);
    // At the top: the upper arrow grey, the lower black; the lit first item starts below the strip.
    const int32_t w = bitmap.width();
    EXPECT_GT(countColour(bitmap, 3, 3, w - 3, 15, widget_colour::kGreyText), 4);
    EXPECT_EQ(countColour(bitmap, 3, 3, w - 3, 15, widget_colour::kText), 0);
    EXPECT_GT(countColour(bitmap, 3, 91, w - 3, 103, widget_colour::kText), 4);
    EXPECT_EQ(countColour(bitmap, 3, 3, w - 3, 15, widget_colour::kHighlight), 0);
    EXPECT_GT(countColour(bitmap, 3, 15, w - 3, 34, widget_colour::kHighlight), (w - 6) * 19 / 2);
    // Nothing is drawn into the lower strip but its arrow.
    EXPECT_EQ(countColour(bitmap, 3, 91, w - 3, 103, widget_colour::kHighlight), 0);
}

} // namespace
