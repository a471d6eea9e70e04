// The faders under real input: the mouse through SendInput, modifier keys held on the X
// server, so that the system's message routing, double-click detection, capture and
// GetAsyncKeyState all take part.
#include <gtest/gtest.h>

#include "editor/control_classes.h"
#include "editor/resource.h"
#include "editor_test_support.h"

using namespace editortest;

namespace {

LRESULT position(HWND fader) {
    return SendMessageA(fader, FADER_GETPOS, 0, 0);
}

// Vertical fader 30 x 226 and horizontal 223 x 30: 200 pixels of travel for 1000 units.
class FaderInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        releaseAllModifiers();
        removeSkinFiles();
        registerControlClasses(GetModuleHandleA(nullptr));
        vertical = parent.create(kVerticalFaderClass, 20, 20, 30, 226, 31);
        horizontal = parent.create(kHorizontalFaderClass, 80, 20, 223, 30, 32);
        ASSERT_NE(vertical, nullptr);
        ASSERT_NE(horizontal, nullptr);
    }
    void TearDown() override {
        mouseLeftUp();
        DestroyWindow(vertical);
        DestroyWindow(horizontal);
        unregisterControlClasses(GetModuleHandleA(nullptr));
        releaseAllModifiers();
    }
    bool waitForScrolls(WPARAM code, size_t count) {
        return pumpUntil([&] { return parent.scrolls(code).size() >= count; });
    }
    // Presses on the vertical fader at (15, y) and waits until it holds the capture.
    bool pressVerticalAt(int32_t y) {
        mouseMoveTo(vertical, 15, y);
        mouseLeftDown();
        return pumpUntil([&] { return GetCapture() == vertical; });
    }
    TestParent parent;
    HWND vertical = nullptr;
    HWND horizontal = nullptr;
};

TEST_F(FaderInputTest, DragWithTheMouse) {
    SendMessageA(vertical, FADER_SETPOS, 0, 500);  // thumb top at 100
    ASSERT_TRUE(pressVerticalAt(110));
    EXPECT_EQ(GetFocus(), vertical);
    mouseMoveTo(vertical, 15, 130);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 1));
    EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).back().position, 400);
    // Capture keeps the drag going outside the window, clamped at the bottom.
    mouseMoveTo(vertical, 15, 380);
    ASSERT_TRUE(pumpUntil([&] { return parent.scrolls(SB_THUMBTRACK).back().position == 0; }));
    mouseMoveTo(vertical, 15, 60);
    ASSERT_TRUE(pumpUntil([&] { return parent.scrolls(SB_THUMBTRACK).back().position == 750; }));
    mouseLeftUp();
    ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 750);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].message, UINT(WM_VSCROLL));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(position(vertical), 750);
}

TEST_F(FaderInputTest, WheelNotchesEndWithOneSettleNotification) {
    SendMessageA(horizontal, FADER_SETPOS, 0, 500);
    SetFocus(horizontal);
    mouseMoveTo(horizontal, 150, 15);
    mouseWheel(WHEEL_DELTA);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 1));
    EXPECT_EQ(position(horizontal), 516);
    mouseWheel(WHEEL_DELTA);
    mouseWheel(-WHEEL_DELTA);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 3));
    DWORD lastNotch = GetTickCount();
    EXPECT_EQ(position(horizontal), 516);
    EXPECT_TRUE(parent.scrolls(SB_ENDSCROLL).empty());
    ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
    // The timer waits 500 ms after the last notch (measured from after it was handled).
    EXPECT_GE(GetTickCount() - lastNotch, 450u);
    pumpFor(1000);
    EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).size(), 3u);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).size(), 1u);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 516);
}

TEST_F(FaderInputTest, DragKillsThePendingSettleTimer) {
    SendMessageA(vertical, FADER_SETPOS, 0, 500);
    ASSERT_TRUE(pressVerticalAt(110));
    DWORD wheelTime = GetTickCount();
    SendMessageA(vertical, WM_MOUSEWHEEL, WPARAM(WHEEL_DELTA) << 16, 0);
    mouseMoveTo(vertical, 15, 120);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 2));
    if (GetTickCount() - wheelTime > 400 || !parent.scrolls(SB_ENDSCROLL).empty())
        GTEST_SKIP() << "the machine took too long between the notch and the drag";
    pumpFor(900);
    EXPECT_TRUE(parent.scrolls(SB_ENDSCROLL).empty());
    mouseLeftUp();
    ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
}

TEST_F(FaderInputTest, DoubleClickRestoresTheDefault) {
    SendMessageA(vertical, FADER_SETPOS, 0, 100);  // thumb top at 180
    mouseDoubleClickAt(vertical, 15, 190);
    ASSERT_TRUE(pumpUntil([&] { return parent.scrolls(SB_ENDSCROLL).size() >= 2; }));
    EXPECT_EQ(position(vertical), 789);
    // The first click's release ended a gesture at the old position, the double-click one at 789.
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 100);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[1].position, 789);
    EXPECT_EQ(GetCapture(), nullptr);

    SendMessageA(horizontal, FADER_SETDEFAULT, 0, 250);
    SendMessageA(horizontal, FADER_SETPOS, 0, 900);  // thumb columns 180..202
    mouseDoubleClickAt(horizontal, 190, 15);
    ASSERT_TRUE(pumpUntil([&] { return position(horizontal) == 250; }));
    pumpFor(200);
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).back().message, UINT(WM_HSCROLL));
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL).back().position, 250);
}

TEST_F(FaderInputTest, ControlDragMovesOneUnitPerPixel) {
    SendMessageA(vertical, FADER_SETPOS, 0, 500);
    ASSERT_TRUE(pressVerticalAt(110));
    {
        HeldKey control("ctrl", VK_CONTROL);
        ASSERT_TRUE(control.held());
        mouseMoveTo(vertical, 15, 140);
        ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 1));
        EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).back().position, 470);
        mouseMoveTo(vertical, 15, 135);
        ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 2));
        EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).back().position, 475);
        mouseLeftUp();
        ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
    }
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 475);

    // Ctrl makes a wheel notch one unit.
    HeldKey control("ctrl", VK_CONTROL);
    ASSERT_TRUE(control.held());
    SendMessageA(vertical, WM_MOUSEWHEEL, WPARAM(WHEEL_DELTA) << 16, 0);
    EXPECT_EQ(position(vertical), 476);
}

TEST_F(FaderInputTest, AltAtTheReleaseCancelsTheDrag) {
    SendMessageA(vertical, FADER_SETPOS, 0, 500);
    ASSERT_TRUE(pressVerticalAt(110));
    mouseMoveTo(vertical, 15, 150);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 1));
    EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).back().position, 300);
    {
        HeldKey alt("alt", VK_MENU);
        ASSERT_TRUE(alt.held());
        mouseLeftUp();
        ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
    }
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 500);
    EXPECT_EQ(position(vertical), 500);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(FaderInputTest, ShiftChangesNothing) {
    SendMessageA(vertical, FADER_SETPOS, 0, 500);
    HeldKey shift("shift", VK_SHIFT);
    ASSERT_TRUE(shift.held());
    SendMessageA(vertical, WM_MOUSEWHEEL, WPARAM(WHEEL_DELTA) << 16, 0);
    EXPECT_EQ(position(vertical), 516);
    ASSERT_TRUE(pressVerticalAt(106));  // thumb top at 96.8 -> 96
    mouseMoveTo(vertical, 15, 116);
    ASSERT_TRUE(waitForScrolls(SB_THUMBTRACK, 2));
    mouseLeftUp();
    ASSERT_TRUE(waitForScrolls(SB_ENDSCROLL, 1));
    EXPECT_EQ(parent.scrolls(SB_ENDSCROLL)[0].position, 470);
}

} // namespace
