// What the editor tests share: a visible parent window that records what its controls send
// it, message pumping with generous deadlines, reading a window's pixels back, real mouse
// input through SendInput, modifier keys held through the X server, and skin files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/windows_prelude.h"

namespace editortest {

// One message a control sent to the parent, with the fader's position at that moment for
// scroll notifications.
struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int32_t position;
};

// A 420 x 420 top-level window at the screen's corner, above everything, that controls are
// created in; whatever they send it is recorded here while this object lives.
class TestParent {
public:
    TestParent();
    ~TestParent();
    TestParent(const TestParent&) = delete;
    TestParent& operator=(const TestParent&) = delete;

    HWND window() const { return window_; }
    // A child control of a registered class, made with this program's module handle.
    HWND create(const char* className, int32_t x, int32_t y, int32_t width, int32_t height, int32_t id = 100);

    // Scroll notifications, WM_COMMAND and forwarded WM_LBUTTONDOWN, in order.
    std::vector<Notification> notifications;
    int32_t colourQueries = 0;  // WM_CTLCOLORDLG
    int32_t trackColourQueries = 0;
    // WM_CTLCOLORDLG: when brush is set, the answer (with textColour set in the DC).
    HBRUSH backgroundBrush = nullptr;
    COLORREF textColour = RGB(0, 0, 0);
    // FADER_QUERYTRACKCOLOR: when set, written into the fader's colour.
    bool overrideTrackColour = false;
    COLORREF trackColour = RGB(0, 0, 0);
    // What the parent answers to a forwarded WM_LBUTTONDOWN.
    LRESULT buttonDownResult = 0x5150;

    std::vector<Notification> scrolls(WPARAM code) const;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};

// Processes pending messages (and the X events behind them).
void pumpMessages();
// Pumps until the condition holds; false when timeoutMs passed first.
bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Pumps for at least the given time.
void pumpFor(DWORD milliseconds);

// A window's client area as the screen shows it, read through its DC.
struct WindowPixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> words;  // 0x00RRGGBB, top row first
    COLORREF at(int32_t x, int32_t y) const;
};
WindowPixels readWindow(HWND window);

// Real input at a point of a window's client area.
void mouseMoveTo(HWND window, int32_t x, int32_t y);
void mouseLeftDown();
void mouseLeftUp();
void mouseWheel(int32_t delta);
// A whole double-click in one SendInput call, so no scheduling delay can split it.
void mouseDoubleClickAt(HWND window, int32_t x, int32_t y);

// A modifier held down on the X server from construction to destruction (xdotool), waiting
// until the system's key state shows it. name: "ctrl", "alt" or "shift".
class HeldKey {
public:
    HeldKey(const char* name, int virtualKey);
    ~HeldKey();
    HeldKey(const HeldKey&) = delete;
    HeldKey& operator=(const HeldKey&) = delete;
    bool held() const { return held_; }

private:
    std::string name_;
    int virtualKey_;
    bool held_ = false;
};
// Releases every modifier the tests may press (for a clean start).
void releaseAllModifiers();

// The folder of this program, without a trailing backslash.
std::string programFolder();
// Writes a 24-bit BMP file; pixel(x, y) gives each pixel's COLORREF.
bool writeBitmapFile(const std::string& path, int32_t width, int32_t height,
                     const std::function<COLORREF(int32_t, int32_t)>& pixel);

} // namespace editortest
