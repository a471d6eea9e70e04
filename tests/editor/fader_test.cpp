// The faders through their messages, as the editor's dialogs use them: window words, the
// position and range rules, every message's result, what reaches the parent, and what the
// window shows (read back from the screen).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "editor/control_classes.h"
#include "editor/core/fader_drawing.h"
#include "editor/core/ui_scale.h"
#include "editor/fader.h"
#include "editor/fader_cap.h"
#include "editor/resource.h"
#include "editor_test_support.h"

using namespace editortest;

namespace {

LONG word(HWND window, int index) {
    return GetWindowLongA(window, index);
}

LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(window, message, wParam, lParam);
}

LPARAM point(int32_t x, int32_t y) {
    return MAKELPARAM(x, y);
}

bool needsPaint(HWND window) {
    return GetUpdateRect(window, nullptr, FALSE) != 0;
}

// A vertical fader 30 x 226 (travel 200 for the 26-pixel thumb) and a horizontal one 223 x 30
// (travel 200 for the 23-pixel thumb), so that 1000 positions cover 200 pixels.
class FaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeSkinFiles();
        registerControlClasses(GetModuleHandleA(nullptr));
        vertical = parent.create(kVerticalFaderClass, 10, 10, 30, 226, 21);
        horizontal = parent.create(kHorizontalFaderClass, 60, 10, 223, 30, 22);
        ASSERT_NE(vertical, nullptr);
        ASSERT_NE(horizontal, nullptr);
    }
    void TearDown() override {
        DestroyWindow(vertical);
        DestroyWindow(horizontal);
        unregisterControlClasses(GetModuleHandleA(nullptr));
    }
    TestParent parent;
    HWND vertical = nullptr;
    HWND horizontal = nullptr;
};

TEST_F(FaderTest, WindowWordsAfterCreation) {
    for (HWND fader : {vertical, horizontal}) {
        EXPECT_EQ(word(fader, FADER_WORD_FLAGS), 0);
        EXPECT_EQ(word(fader, FADER_WORD_STORED_POSITION), 0);
        EXPECT_EQ(word(fader, FADER_WORD_DEFAULT_POSITION), -1);
        EXPECT_EQ(word(fader, FADER_WORD_LEVEL_OVERLAY), 0);
        EXPECT_EQ(uint32_t(word(fader, FADER_WORD_RANGE)), 1000u << 16);
        // All 48 bytes exist: the last word can be written and read.
        SetLastError(0);
        SetWindowLongA(fader, 44, 0x1234);
        EXPECT_EQ(word(fader, 44), 0x1234);
        EXPECT_EQ(GetLastError(), 0u);
    }
    // A fresh vertical fader (stored 0) sits at the top: it reports max; a horizontal one min.
    EXPECT_EQ(send(vertical, FADER_GETPOS), 1000);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 0);
}

TEST_F(FaderTest, PositionsAreClampedAndStoredUpsideDownWhenVertical) {
    send(vertical, FADER_SETPOS, 0, 300);
    send(horizontal, FADER_SETPOS, 0, 300);
    EXPECT_EQ(word(vertical, FADER_WORD_STORED_POSITION), 700);
    EXPECT_EQ(word(horizontal, FADER_WORD_STORED_POSITION), 300);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 300);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 300);

    send(vertical, FADER_SETPOS, 0, 5000);
    send(horizontal, FADER_SETPOS, 0, -5);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 1000);
    EXPECT_EQ(word(vertical, FADER_WORD_STORED_POSITION), 0);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 0);
    // Setting a position notifies nobody.
    EXPECT_TRUE(parent.notifications.empty());
}

TEST_F(FaderTest, RangeIsStoredWithoutTouchingThePosition) {
    send(horizontal, FADER_SETPOS, 0, 900);
    EXPECT_EQ(send(horizontal, FADER_SETRANGE, 0, MAKELPARAM(100, 400)), 0);
    EXPECT_EQ(uint32_t(word(horizontal, FADER_WORD_RANGE)), (400u << 16) | 100u);
    EXPECT_EQ(word(horizontal, FADER_WORD_STORED_POSITION), 900);
    // Reported inside the new range all the same.
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 400);
    send(horizontal, FADER_SETPOS, 0, 250);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 250);

    // Vertical over 100..400: 150 is stored as 100 + 400 - 150.
    send(vertical, FADER_SETRANGE, 0, MAKELPARAM(100, 400));
    send(vertical, FADER_SETPOS, 0, 150);
    EXPECT_EQ(word(vertical, FADER_WORD_STORED_POSITION), 350);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 150);
}

TEST_F(FaderTest, EmptyOrInvertedRangeSpansOneUnit) {
    for (LPARAM range : {LPARAM(MAKELPARAM(500, 500)), LPARAM(MAKELPARAM(500, 20))}) {
        for (HWND fader : {vertical, horizontal}) {
            send(fader, FADER_SETRANGE, 0, range);
            send(fader, FADER_SETPOS, 0, 700);
            EXPECT_EQ(send(fader, FADER_GETPOS), 501);
            send(fader, FADER_SETPOS, 0, 0);
            EXPECT_EQ(send(fader, FADER_GETPOS), 500);
        }
    }
    // A wheel step over a one-unit span still moves by one.
    send(vertical, WM_MOUSEWHEEL, WPARAM(120) << 16, 0);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 501);
}

TEST_F(FaderTest, SetPosInvalidatesOnlyWhenTheValueChanges) {
    send(vertical, FADER_SETPOS, 0, 400);
    UpdateWindow(vertical);
    ASSERT_FALSE(needsPaint(vertical));
    send(vertical, FADER_SETPOS, 0, 400);
    EXPECT_FALSE(needsPaint(vertical));
    send(vertical, FADER_SETPOS, 0, 5000);
    send(vertical, FADER_SETPOS, 0, 1000);
    UpdateWindow(vertical);
    send(vertical, FADER_SETPOS, 0, 1200);  // clamps to the current 1000
    EXPECT_FALSE(needsPaint(vertical));
    send(vertical, FADER_SETPOS, 0, 401);
    EXPECT_TRUE(needsPaint(vertical));

    // The default position is stored without a redraw.
    UpdateWindow(vertical);
    EXPECT_EQ(send(vertical, FADER_SETDEFAULT, 0, 250), 0);
    EXPECT_EQ(word(vertical, FADER_WORD_DEFAULT_POSITION), 250);
    EXPECT_FALSE(needsPaint(vertical));
}

TEST_F(FaderTest, SetPosIsIgnoredDuringADrag) {
    send(vertical, FADER_SETPOS, 0, 500);
    // Press on the thumb (its top is at 500 * 200 / 1000 = 100).
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(15, 110));
    ASSERT_EQ(GetCapture(), vertical);
    send(vertical, FADER_SETPOS, 0, 900);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 500);
    send(vertical, WM_LBUTTONUP, 0, point(15, 110));
    EXPECT_EQ(GetCapture(), nullptr);
    send(vertical, FADER_SETPOS, 0, 900);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 900);
}

TEST_F(FaderTest, LevelOverlayOnlyOnTheVerticalFader) {
    UpdateWindow(vertical);
    EXPECT_EQ(send(vertical, FADER_SETLEVELS, 0, MAKELPARAM(600, 300)), 0);
    EXPECT_EQ(uint32_t(word(vertical, FADER_WORD_LEVEL_OVERLAY)), (300u << 16) | 600u);
    EXPECT_TRUE(needsPaint(vertical));
    send(horizontal, FADER_SETLEVELS, 0, MAKELPARAM(600, 300));
    EXPECT_EQ(word(horizontal, FADER_WORD_LEVEL_OVERLAY), 0);
}

TEST_F(FaderTest, DialogCodeRightClickAndKeys) {
    EXPECT_EQ(send(vertical, WM_GETDLGCODE), DLGC_WANTARROWS);
    EXPECT_EQ(send(vertical, WM_RBUTTONUP, 0, point(5, 5)), 0);
    ASSERT_EQ(parent.notifications.size(), 1u);
    EXPECT_EQ(parent.notifications[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(parent.notifications[0].wParam, WPARAM(21));
    EXPECT_EQ(parent.notifications[0].lParam, 0);
    parent.notifications.clear();

    // Up and Down are wheel notches: 16 units each over 0..1000, upwards for both kinds.
    send(vertical, FADER_SETPOS, 0, 500);
    send(horizontal, FADER_SETPOS, 0, 500);
    EXPECT_EQ(send(vertical, WM_KEYDOWN, VK_UP), 0);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 516);
    EXPECT_EQ(send(horizontal, WM_KEYDOWN, VK_DOWN), 0);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 484);
    ASSERT_EQ(parent.scrolls(SB_THUMBTRACK).size(), 2u);
    EXPECT_EQ(parent.notifications[0].message, UINT(WM_VSCROLL));
    EXPECT_EQ(parent.notifications[0].lParam, LPARAM(vertical));
    EXPECT_EQ(parent.notifications[0].position, 516);
    EXPECT_EQ(parent.notifications[1].message, UINT(WM_HSCROLL));
    EXPECT_EQ(parent.notifications[1].lParam, LPARAM(horizontal));
    // Any other key does nothing.
    send(vertical, WM_KEYDOWN, VK_LEFT);
    send(vertical, WM_KEYDOWN, 'A');
    EXPECT_EQ(parent.notifications.size(), 2u);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 516);
}

TEST_F(FaderTest, WheelStepsAndTheRegisteredWheelMessage) {
    send(vertical, FADER_SETPOS, 0, 500);
    send(horizontal, FADER_SETPOS, 0, 500);
    EXPECT_EQ(send(vertical, WM_MOUSEWHEEL, WPARAM(120) << 16), -1);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 516);
    EXPECT_EQ(send(horizontal, WM_MOUSEWHEEL, WPARAM(uint16_t(int16_t(-240))) << 16), -1);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 468);
    // A delta too small for a unit still moves one; a zero delta moves nothing.
    send(vertical, WM_MOUSEWHEEL, WPARAM(1) << 16);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 517);
    send(vertical, WM_MOUSEWHEEL, WPARAM(uint16_t(int16_t(-1))) << 16);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 516);
    send(vertical, WM_MOUSEWHEEL, 0);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 516);
    // The registered message carries the delta in wParam itself.
    UINT roll = wheelRollMessage();
    ASSERT_NE(roll, 0u);
    EXPECT_EQ(send(vertical, roll, WPARAM(120)), -1);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 532);
    EXPECT_EQ(send(horizontal, roll, WPARAM(-120)), -1);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 452);
    // Over 0..100 a notch is 100 * 1920 / 120000 = 1.6, one unit; steps stop at the ends.
    send(horizontal, FADER_SETRANGE, 0, MAKELPARAM(0, 100));
    send(horizontal, FADER_SETPOS, 0, 99);
    send(horizontal, WM_MOUSEWHEEL, WPARAM(120) << 16);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 100);
    send(horizontal, WM_MOUSEWHEEL, WPARAM(120) << 16);
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 100);
    EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).size(), 9u);
}

TEST_F(FaderTest, SettleTimerEndsAWheelBurstOnce) {
    send(vertical, WM_MOUSEWHEEL, WPARAM(120) << 16);
    // Another timer id is not the settle timer.
    EXPECT_EQ(send(vertical, WM_TIMER, 7), 0);
    EXPECT_TRUE(parent.scrolls(SB_ENDSCROLL).empty());
    EXPECT_EQ(send(vertical, WM_TIMER, WheelSettleTimer), 0);
    ASSERT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
    // It killed the timer: nothing more arrives.
    pumpFor(900);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
}

TEST_F(FaderTest, ButtonDownOnTheThumbGrabsItWithoutNotifying) {
    send(vertical, FADER_SETPOS, 0, 500);  // stored 500: thumb rows 100..125
    EXPECT_EQ(send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(3, 120)), 0);
    EXPECT_EQ(GetCapture(), vertical);
    EXPECT_EQ(GetFocus(), vertical);
    EXPECT_TRUE(parent.notifications.empty());
    // Grabbed 20 pixels below its top: at y = 170 the top is at 150, stored 750.
    send(vertical, WM_MOUSEMOVE, MK_LBUTTON, point(3, 170));
    ASSERT_EQ(parent.scrolls(SB_THUMBTRACK).size(), 1u);
    EXPECT_EQ(parent.notifications[0].position, 250);
    EXPECT_EQ(parent.notifications[0].lParam, LPARAM(vertical));
    // Moves without a change of position notify nothing; the release always does.
    send(vertical, WM_MOUSEMOVE, MK_LBUTTON, point(20, 170));
    EXPECT_EQ(parent.notifications.size(), 1u);
    send(vertical, WM_LBUTTONUP, 0, point(3, 171));
    ASSERT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 245);
    EXPECT_EQ(GetCapture(), nullptr);
    // Without the capture, moves and releases are ignored.
    send(vertical, WM_MOUSEMOVE, MK_LBUTTON, point(3, 10));
    send(vertical, WM_LBUTTONUP, 0, point(3, 10));
    EXPECT_EQ(parent.notifications.size(), 2u);
}

TEST_F(FaderTest, LosingTheCaptureMidDragEndsTheGesture) {
    send(vertical, FADER_SETPOS, 0, 500);
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(15, 110));
    send(vertical, WM_MOUSEMOVE, MK_LBUTTON, point(15, 130));
    SetCapture(parent.window());
    ASSERT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 400);
    // The release that follows belongs to the other window.
    send(vertical, WM_LBUTTONUP, 0, point(15, 150));
    ReleaseCapture();
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 400);
    // An ordinary release ends its gesture once.
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(15, 130));
    send(vertical, WM_LBUTTONUP, 0, point(15, 130));
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 2u);
}

TEST_F(FaderTest, DestroyedDuringADragTellsNobody) {
    send(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, point(5, 15));
    ASSERT_EQ(GetCapture(), horizontal);
    DestroyWindow(horizontal);
    horizontal = nullptr;
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(parent.notifications.empty());
}

TEST_F(FaderTest, DragIsClampedToTheRange) {
    send(horizontal, FADER_SETPOS, 0, 0);
    send(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, point(5, 15));
    send(horizontal, WM_MOUSEMOVE, MK_LBUTTON, point(-400, 15));
    send(horizontal, WM_MOUSEMOVE, MK_LBUTTON, point(600, 15));
    EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).back().position, 1000);
    send(horizontal, WM_LBUTTONUP, 0, point(600, 15));
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 1000);
}

TEST_F(FaderTest, ReleaseWithoutMovementStillEndsTheGesture) {
    send(horizontal, FADER_SETPOS, 0, 400);  // thumb columns 80..102
    send(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, point(90, 15));
    send(horizontal, WM_LBUTTONUP, 0, point(90, 15));
    ASSERT_EQ(parent.notifications.size(), 1u);
    EXPECT_EQ(parent.notifications[0].message, UINT(WM_HSCROLL));
    EXPECT_EQ(parent.notifications[0].wParam, WPARAM(SB_ENDSCROLL));
    EXPECT_EQ(parent.notifications[0].position, 400);
}

TEST_F(FaderTest, ClickBesideTheTrackGoesToTheParent) {
    send(vertical, FADER_SETPOS, 0, 1000);  // thumb rows 0..25; the track's centre column is 15
    parent.buttonDownResult = 0x77;
    EXPECT_EQ(send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(18, 150)), 0x77);
    ASSERT_EQ(parent.notifications.size(), 1u);
    EXPECT_EQ(parent.notifications[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(parent.notifications[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(parent.notifications[0].lParam, point(18, 150));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(send(vertical, FADER_GETPOS), 1000);
    // Beyond the track's ends (thumb height / 3 = 8 from each edge) as well.
    send(vertical, FADER_SETPOS, 0, 0);  // thumb rows 200..225
    EXPECT_EQ(send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(15, 7)), 0x77);
    EXPECT_EQ(parent.notifications.size(), 2u);
}

TEST_F(FaderTest, ClickOnTheTrackLineJumpsQuietly) {
    send(vertical, FADER_SETPOS, 0, 1000);
    // Two pixels off the centre column still hits: the thumb centres at 150, its top at 137.
    EXPECT_EQ(send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(17, 150)), 0);
    EXPECT_EQ(GetCapture(), vertical);
    EXPECT_EQ(word(vertical, FADER_WORD_STORED_POSITION), 685);
    EXPECT_TRUE(parent.notifications.empty());
    // The grab is now the thumb's centre: moving to 160 puts its top at 147.
    send(vertical, WM_MOUSEMOVE, MK_LBUTTON, point(17, 160));
    ASSERT_EQ(parent.notifications.size(), 1u);
    EXPECT_EQ(parent.notifications[0].position, 1000 - 735);
    send(vertical, WM_LBUTTONUP, 0, point(17, 160));

    // The horizontal track's centre row is 15.
    send(horizontal, WM_LBUTTONDOWN, MK_LBUTTON, point(111, 13));
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 500);
    send(horizontal, WM_LBUTTONUP, 0, point(111, 13));
}

TEST_F(FaderTest, DoubleClickGoesToTheDefault) {
    send(vertical, WM_LBUTTONDBLCLK, MK_LBUTTON, point(15, 100));
    EXPECT_EQ(send(vertical, FADER_GETPOS), 789);
    EXPECT_EQ(word(vertical, FADER_WORD_STORED_POSITION), 211);
    send(horizontal, FADER_SETDEFAULT, 0, 250);
    send(horizontal, WM_LBUTTONDBLCLK, MK_LBUTTON, point(15, 15));
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 250);
    auto ends = parent.scrolls(SB_ENDSCROLL);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].message, UINT(WM_VSCROLL));
    EXPECT_EQ(ends[0].position, 789);
    EXPECT_EQ(ends[1].message, UINT(WM_HSCROLL));
    EXPECT_EQ(ends[1].position, 250);
    // Any negative default means the 0 dB position.
    send(horizontal, FADER_SETDEFAULT, 0, -40);
    send(horizontal, WM_LBUTTONDBLCLK, MK_LBUTTON, point(15, 15));
    EXPECT_EQ(send(horizontal, FADER_GETPOS), 789);
}

// ---------------------------------------------------------------------------------------------
// What the faders show

class FaderPaintTest : public FaderTest {
protected:
    void SetUp() override {
        parent.backgroundBrush = CreateSolidBrush(kBackground);
        parent.textColour = kLineColour;
        FaderTest::SetUp();
    }
    void TearDown() override {
        FaderTest::TearDown();
        DeleteObject(parent.backgroundBrush);
    }
    static constexpr COLORREF kBackground = RGB(200, 210, 220);
    static constexpr COLORREF kLineColour = RGB(250, 20, 120);
};

TEST_F(FaderPaintTest, VerticalThumbTrackAndDefaultLine) {
    send(vertical, FADER_SETPOS, 0, 500);  // stored 500: thumb rows 100..125, columns 8..21
    parent.overrideTrackColour = true;
    parent.trackColour = RGB(0, 0, 255);
    InvalidateRect(vertical, nullptr, FALSE);
    WindowPixels pixels = readWindow(vertical);
    EXPECT_GE(parent.colourQueries, 1);
    EXPECT_GE(parent.trackColourQueries, 1);

    EXPECT_EQ(pixels.at(1, 60), kBackground);
    // The track: columns 13..17, rows 8..217, a highlight outline around the queried colour.
    EXPECT_EQ(pixels.at(15, 60), RGB(0, 0, 255));
    EXPECT_EQ(pixels.at(13, 60), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixels.at(12, 60), kBackground);
    EXPECT_EQ(pixels.at(18, 60), kBackground);
    EXPECT_EQ(pixels.at(15, 4), kBackground);
    // The drawn thumb, as the cap's own pixels say, at (8, 100).
    for (int32_t y = 0; y < kVerticalThumbHeight; ++y)
        for (int32_t x = 1; x < kVerticalThumbWidth - 1; ++x)
            ASSERT_EQ(pixels.at(8 + x, 100 + y), faderCapColour(true, x, y)) << x << "," << y;
    EXPECT_EQ(pixels.at(8, 100), kBackground) << "corner key shows the background";
    EXPECT_EQ(pixels.at(7, 112), kBackground);
    EXPECT_EQ(pixels.at(22, 112), kBackground);
    // Default line at 0 dB: 200 * (1000 - 789) / 1000 + 13 - 1 = 54, columns 2..27.
    EXPECT_EQ(pixels.at(2, 54), kLineColour);
    EXPECT_EQ(pixels.at(27, 54), kLineColour);
    EXPECT_EQ(pixels.at(28, 54), kBackground);
    EXPECT_EQ(pixels.at(5, 53), kBackground);
    EXPECT_EQ(pixels.at(5, 55), kBackground);
}

TEST_F(FaderPaintTest, HorizontalThumbTrackAndDefaultLine) {
    send(horizontal, FADER_SETPOS, 0, 250);  // thumb columns 50..72, rows 8..21
    send(horizontal, FADER_SETDEFAULT, 0, 600);
    InvalidateRect(horizontal, nullptr, FALSE);
    WindowPixels pixels = readWindow(horizontal);
    // The track: rows 13..17 from column 7 to 215, the system's shadow colour inside.
    EXPECT_EQ(pixels.at(150, 15), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixels.at(150, 13), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixels.at(150, 11), kBackground);
    EXPECT_EQ(pixels.at(3, 15), kBackground);
    for (int32_t y = 1; y < kHorizontalThumbHeight - 1; ++y)
        for (int32_t x = 1; x < kHorizontalThumbWidth - 1; ++x)
            ASSERT_EQ(pixels.at(50 + x, 8 + y), faderCapColour(false, x, y)) << x << "," << y;
    // Default line at 200 * 600 / 1000 + 11 = 131, rows 2..27.
    EXPECT_EQ(pixels.at(131, 2), kLineColour);
    EXPECT_EQ(pixels.at(131, 27), kLineColour);
    EXPECT_EQ(pixels.at(131, 28), kBackground);
    EXPECT_EQ(pixels.at(130, 5), kBackground);
}

TEST_F(FaderPaintTest, FlagsThreeDrawNoLineAndAskNoColour) {
    SetWindowLongA(vertical, FADER_WORD_FLAGS, FADER_NO_TRACK_COLOR_QUERY | FADER_NO_DEFAULT_LINE);
    parent.overrideTrackColour = true;
    parent.trackColour = RGB(0, 0, 255);
    parent.trackColourQueries = 0;
    InvalidateRect(vertical, nullptr, FALSE);
    WindowPixels pixels = readWindow(vertical);
    EXPECT_EQ(parent.trackColourQueries, 0);
    EXPECT_EQ(pixels.at(2, 54), kBackground);
    EXPECT_EQ(pixels.at(15, 54), GetSysColor(COLOR_BTNSHADOW));
    // Flag 1 alone still draws the line.
    SetWindowLongA(vertical, FADER_WORD_FLAGS, FADER_NO_TRACK_COLOR_QUERY);
    InvalidateRect(vertical, nullptr, FALSE);
    EXPECT_EQ(readWindow(vertical).at(2, 54), kLineColour);
    EXPECT_EQ(parent.trackColourQueries, 0);
}

TEST_F(FaderPaintTest, LevelOverlayBars) {
    // Bars 8 wide ((30 - 14) / 2) from 13 + (1000 - level) * 200 / 1000 down to the bottom.
    send(vertical, FADER_SETLEVELS, 0, MAKELPARAM(600, 250));
    WindowPixels pixels = readWindow(vertical);
    const COLORREF green = RGB(32, 192, 0);
    EXPECT_EQ(pixels.at(0, 93), green);
    EXPECT_EQ(pixels.at(7, 225), green);
    EXPECT_EQ(pixels.at(0, 92), kBackground);
    EXPECT_EQ(pixels.at(8, 150), kBackground);
    EXPECT_EQ(pixels.at(22, 163), green);
    EXPECT_EQ(pixels.at(29, 200), green);
    EXPECT_EQ(pixels.at(29, 162), kBackground);
    EXPECT_EQ(pixels.at(21, 200), kBackground);
    // A zero word draws no bars at all.
    send(vertical, FADER_SETLEVELS, 0, 0);
    EXPECT_EQ(readWindow(vertical).at(0, 224), kBackground);
}

TEST_F(FaderPaintTest, WithoutABrushThePaintUsesTheFaceColour) {
    // The shared back buffer still holds the last paint's background when no brush comes.
    ASSERT_EQ(readWindow(horizontal).at(150, 3), kBackground);
    parent.answerNoBrush = true;
    parent.colourQueries = 0;
    InvalidateRect(horizontal, nullptr, FALSE);
    WindowPixels pixels = readWindow(horizontal);
    EXPECT_GE(parent.colourQueries, 1);
    EXPECT_EQ(parent.lastColourQueryWindow, LPARAM(parent.window()));
    EXPECT_EQ(pixels.at(150, 3), GetSysColor(COLOR_BTNFACE));
}

// At 192 dpi (FADER_SETSCALE 192) the cap is drawn at twice its size, and the grab, the track
// line's reach and the travel follow the larger thumb.
TEST_F(FaderPaintTest, AtTwiceTheScaleTheDrawnThumbAndItsGrabDouble) {
    send(vertical, FADER_SETSCALE, 192);
    send(vertical, FADER_SETPOS, 0, 500); // travel 226 - 52 = 174: thumb rows 87..138, columns 1..28
    const WindowPixels pixels = readWindow(vertical);
    const int32_t width = faderCapWidth(true, 2.0), height = faderCapHeight(true, 2.0);
    ASSERT_EQ(width, 28);
    ASSERT_EQ(height, 52);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const COLORREF cap = faderCapColour(true, x, y, 2.0);
            ASSERT_EQ(pixels.at(1 + x, 87 + y), cap == kThumbKeyColour ? kBackground : cap) << x << "," << y;
        }
    // Two-pixel edges and a corner of four keyed pixels; the grip's centre line is white.
    EXPECT_EQ(faderCapColour(true, 1, 1, 2.0), kThumbKeyColour);
    EXPECT_EQ(faderCapColour(true, 1, 10, 2.0), RGB(16, 16, 16));
    EXPECT_NE(faderCapColour(true, 2, 10, 2.0), RGB(16, 16, 16));
    EXPECT_GE(GetRValue(faderCapColour(true, 14, 25, 2.0)), 230);
    // The track (ten pixels wide) above the thumb.
    EXPECT_EQ(pixels.at(15, 40), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixels.at(7, 40), kBackground);
    EXPECT_EQ(pixels.at(22, 40), kBackground);

    // The thumb's last row grabs it; the row below it, beside the track line's reach, does not.
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(20, 138));
    EXPECT_EQ(GetCapture(), vertical);
    send(vertical, WM_LBUTTONUP, 0, point(20, 138));
    EXPECT_EQ(send(vertical, FADER_GETPOS), 500);
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(20, 139));
    EXPECT_EQ(GetCapture(), nullptr);
    // Within four pixels of the track's centre a press centres the thumb under the pointer.
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(19, 150));
    EXPECT_EQ(GetCapture(), vertical);
    send(vertical, WM_LBUTTONUP, 0, point(19, 150));
    EXPECT_EQ(send(vertical, FADER_GETPOS), 1000 - (150 - 26) * 1000 / 174);
}

uint32_t rasterWord(COLORREF colour) {
    return 0xFF000000u | (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}

// The pixels where the window differs from the editor core's drawing of the same fader (its
// words, size and colours).
std::vector<POINT> differencesFromCore(HWND fader, bool vertical, COLORREF background, COLORREF line) {
    const WindowPixels window = readWindow(fader);
    const FaderModel model = faderModelOf(fader, vertical);
    FaderColours colours;
    colours.background = rasterWord(background);
    colours.defaultLine = rasterWord(line);
    colours.trackFill = rasterWord(GetSysColor(COLOR_BTNSHADOW));
    colours.trackEdge = rasterWord(GetSysColor(COLOR_BTNHIGHLIGHT));
    PIXO_MemBitmap core;
    EXPECT_TRUE(core.setSize(window.width, window.height));
    drawFader(core, 0, 0, model, faderGeometry(model, window.width, window.height), colours);
    std::vector<POINT> differences;
    for (int32_t y = 0; y < window.height; ++y)
        for (int32_t x = 0; x < window.width; ++x)
            if ((core.pixels()[y * core.rowSpan() + x] & 0xFFFFFF) != window.words[size_t(y) * window.width + x])
                differences.push_back({x, y});
    return differences;
}

// The editor core draws the same faders as the windows: every pixel at 96 dpi; above it all but
// the four pixels with which the system rounds two corners of the track.
TEST_F(FaderPaintTest, TheCoreDrawsTheSamePixels) {
    for (double scale : {1.0, 1.5, 2.0}) {
        send(vertical, FADER_SETSCALE, dpiOfScale(scale));
        send(horizontal, FADER_SETSCALE, dpiOfScale(scale));
        send(vertical, FADER_SETPOS, 0, 420);
        send(vertical, FADER_SETLEVELS, 0, MAKELPARAM(600, 250));
        send(horizontal, FADER_SETPOS, 0, 250);
        send(horizontal, FADER_SETDEFAULT, 0, 600);
        for (bool isVertical : {true, false}) {
            HWND fader = isVertical ? vertical : horizontal;
            const std::vector<POINT> differences = differencesFromCore(fader, isVertical, kBackground, kLineColour);
            if (scale == 1.0) {
                EXPECT_TRUE(differences.empty()) << differences.size() << " pixels, first at "
                                                 << differences[0].x << "," << differences[0].y;
                continue;
            }
            EXPECT_LE(differences.size(), 4u) << scale;
            // The track's ends lie a third of the thumb in from either end: only pixels within three
            // of one of them.
            const int32_t thumbAlong = isVertical ? faderCapHeight(true, scale) : faderCapWidth(false, scale);
            const int32_t clientAlong = isVertical ? 226 : 223;
            for (const POINT& p : differences) {
                const int32_t along = isVertical ? p.y : p.x;
                const int32_t fromStart = std::abs(along - thumbAlong / 3);
                const int32_t fromEnd = std::abs(along - (clientAlong - thumbAlong / 3));
                EXPECT_LE(std::min(fromStart, fromEnd), 3) << scale << ": " << p.x << "," << p.y;
            }
        }
    }
}

// Skins next to this program replace the drawn thumbs and their sizes.
class SkinnedFaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = programFolder();
        ASSERT_TRUE(writeBitmapFile(folder + "\\vantor_vslider.bmp", 16, 8, skinPixel));
        ASSERT_TRUE(writeBitmapFile(folder + "\\vantor_hslider.bmp", 9, 18, skinPixel));
        registerControlClasses(GetModuleHandleA(nullptr));
        parent.backgroundBrush = CreateSolidBrush(RGB(240, 240, 240));
        vertical = parent.create(kVerticalFaderClass, 10, 10, 30, 208, 1);   // travel 200
        horizontal = parent.create(kHorizontalFaderClass, 60, 10, 209, 30, 2);  // travel 200
    }
    void TearDown() override {
        DestroyWindow(vertical);
        DestroyWindow(horizontal);
        unregisterControlClasses(GetModuleHandleA(nullptr));
        DeleteObject(parent.backgroundBrush);
        removeSkinFiles();
    }
    // Orange with a magenta left column.
    static COLORREF skinPixel(int32_t x, int32_t) { return x == 0 ? RGB(255, 0, 255) : RGB(250, 140, 0); }
    std::string folder;
    TestParent parent;
    HWND vertical = nullptr;
    HWND horizontal = nullptr;
};

// A double-size skin beside the skin is what a fader above 96 dpi stretches to its thumb.
class LargeSkinFaderTest : public SkinnedFaderTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeBitmapFile(programFolder() + "\\vantor_vslider@2x.bmp", 32, 16, largePixel));
        SkinnedFaderTest::SetUp();
    }
    // Blue with two magenta columns at the left.
    static COLORREF largePixel(int32_t x, int32_t) { return x < 2 ? RGB(255, 0, 255) : RGB(0, 0, 250); }
};

TEST_F(LargeSkinFaderTest, AboveNinetySixDpiTheDoubleSizeSkinIsUsed) {
    ASSERT_NE(largeVerticalFaderSkin(), nullptr);
    const COLORREF blue = RGB(0, 0, 250), orange = RGB(250, 140, 0);
    send(vertical, FADER_SETPOS, 0, 500);
    // 96 dpi: the 16 x 8 skin, rows 100..107.
    EXPECT_EQ(readWindow(vertical).at(8, 100), orange);
    // 192 dpi: 32 x 16 from the large skin; travel 208 - 16 = 192, rows 96..111.
    send(vertical, FADER_SETSCALE, 192);
    WindowPixels v = readWindow(vertical);
    EXPECT_EQ(v.at(5, 96), blue);
    EXPECT_EQ(v.at(28, 111), blue);
    EXPECT_NE(v.at(5, 112), blue);
    EXPECT_NE(v.at(5, 95), blue);
    // 144 dpi: the large skin brought to 24 x 12; travel 196, rows 98..109.
    send(vertical, FADER_SETSCALE, 144);
    v = readWindow(vertical);
    EXPECT_EQ(v.at(10, 98), blue);
    EXPECT_EQ(v.at(10, 109), blue);
    EXPECT_NE(v.at(10, 110), blue);
}

TEST_F(SkinnedFaderTest, ThumbsComeFromTheSkins) {
    ASSERT_NE(verticalFaderSkin(), nullptr);
    ASSERT_NE(horizontalFaderSkin(), nullptr);
    send(vertical, FADER_SETPOS, 0, 500);    // thumb 16 x 8 at ((30 - 16) / 2, 100)
    send(horizontal, FADER_SETPOS, 0, 500);  // thumb 9 x 18 at (100, (30 - 18) / 2)
    WindowPixels v = readWindow(vertical);
    EXPECT_EQ(v.at(7, 104), RGB(240, 240, 240)) << "magenta column keyed out";
    EXPECT_EQ(v.at(8, 100), RGB(250, 140, 0));
    EXPECT_EQ(v.at(22, 107), RGB(250, 140, 0));
    EXPECT_NE(v.at(22, 108), RGB(250, 140, 0));
    EXPECT_NE(v.at(8, 99), RGB(250, 140, 0));
    WindowPixels h = readWindow(horizontal);
    EXPECT_EQ(h.at(100, 10), RGB(240, 240, 240));
    EXPECT_EQ(h.at(101, 6), RGB(250, 140, 0));
    EXPECT_EQ(h.at(108, 23), RGB(250, 140, 0));
    EXPECT_NE(h.at(109, 15), RGB(250, 140, 0));
    // The skin's height sets the grab: a press 7 rows below the thumb's top is on it.
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(3, 107));
    EXPECT_EQ(GetCapture(), vertical);
    send(vertical, WM_LBUTTONUP, 0, point(3, 107));
    EXPECT_EQ(send(vertical, FADER_GETPOS), 500);
    send(vertical, WM_LBUTTONDOWN, MK_LBUTTON, point(3, 108));
    EXPECT_EQ(GetCapture(), nullptr) << "one row below the 8-row skin misses the thumb";
}

} // namespace
