// What the control tests share: a visible parent window that records what its controls send
// it, reading a window's pixels back, and skin files (input and pumping: desktop_input.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop_input.h"
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
    int32_t colourQueries = 0; // WM_CTLCOLORDLG
    int32_t trackColourQueries = 0;
    // WM_CTLCOLORDLG: when brush is set, the answer (with textColour set in the DC).
    HBRUSH backgroundBrush = nullptr;
    COLORREF textColour = RGB(0, 0, 0);
    bool answerNoBrush = false;       // answer 0 instead of leaving the message to DefWindowProc
    LPARAM lastColourQueryWindow = 0; // the window handle the last WM_CTLCOLORDLG carried
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

// A window's client area as the screen shows it, read through its DC.
struct WindowPixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> words; // 0x00RRGGBB, top row first
    COLORREF at(int32_t x, int32_t y) const;
};
WindowPixels readWindow(HWND window);
// The number of rows in the topmost run of rows holding a white pixel (a meter's readout).
int32_t topWhiteRunHeight(const WindowPixels& pixels);

// The folder of this program, without a trailing backslash.
std::string programFolder();
// Deletes fader skins a failed run may have left beside this program (they would replace the
// drawn thumbs whose sizes the fader tests count on).
void removeSkinFiles();
// Writes a 24-bit BMP file; pixel(x, y) gives each pixel's COLORREF.
bool writeBitmapFile(const std::string& path, int32_t width, int32_t height,
                     const std::function<COLORREF(int32_t, int32_t)>& pixel);

} // namespace editortest
