// Real input on the shared Xvfb desktop for the editor tests: message pumping with generous
// deadlines, mouse input through SendInput, and modifier keys held through the X server
// (xdotool; Wine's SendInput key events do not reach GetAsyncKeyState).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/windows_prelude.h"

namespace editortest {

// Key events reach the window under the pointer; the keys helpers keep the pointer over this
// window (by default the screen's top-left 420 x 420 pixels).
void setKeyTargetWindow(HWND window);

// Processes pending messages (and the X events behind them).
void pumpMessages();
// Pumps until the condition holds; false when timeoutMs passed first.
bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Pumps for at least the given time.
void pumpFor(DWORD milliseconds);

// Real input at a point of a window's client area.
void mouseMoveTo(HWND window, int32_t x, int32_t y);
void mouseLeftDown();
void mouseLeftUp();
void mouseWheel(int32_t delta);
// A whole double-click in one SendInput call, so no scheduling delay can split it.
void mouseDoubleClickAt(HWND window, int32_t x, int32_t y);

// A modifier held down on the X server from construction to destruction (xdotool), waiting
// until the system's key state shows it (and, at the end, shows it released). name: "ctrl",
// "alt" or "shift". The cursor is first brought over the test window if it is elsewhere.
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
// A key pressed and released on the X server (xdotool key NAME, for example "z" or "Return"),
// with the cursor over the test window; the caller waits for its effect.
void tapKey(const char* name);
// Releases whichever of the modifiers the tests press is still down (for a clean start).
void releaseAllModifiers();
// A click at a point of the screen, sent without pumping (safe inside a modal loop).
void mouseLeftClickAtScreen(LONG x, LONG y);
// A right click at a point of a window, likewise sent without pumping.
void mouseRightClickAt(HWND window, int32_t x, int32_t y);

} // namespace editortest
