// An editor's window on X11: a child of the host's window on a display connection of its own,
// served by a thread of its own that waits on the connection and on timers, so it paints and
// answers input whether or not the host ever lends it a thread. Events reach X11WindowEvents on
// that thread; paints go into a 32-bit back buffer (0xAARRGGBB, the raster library's order)
// that is then shown with MIT-SHM when the server offers it, else with a plain image upload.
// Every X call of a view, its popup's included, is made on the view's thread (or before it
// starts and after it has ended). A view must never be closed from its own callbacks.
#pragma once

#include <cstdint>
#include <functional>

#include "editor/x11/x11_input.h"

class PIXO_IBitmap;

struct X11MouseEvent {
    // In pixels of the window receiving the event; outside it during a drag (the pointer is
    // captured from a press to the release of every button).
    int32_t x, y;
    // The button pressed or released (0 for moves and the wheel).
    int32_t button;
    uint32_t modifiers;
    // X11_HELD_ bits of the buttons down before this event.
    uint32_t heldButtons;
};

struct X11KeyEvent {
    // The X keysym after Shift, Caps Lock and Num Lock (XK_Return, XK_a, XK_A, XK_KP_1...).
    uint32_t keysym;
    uint32_t modifiers;
    // The character the key types, in UTF-8 with a terminating zero; empty for keys that type
    // nothing (Return, Tab, Escape, Backspace, arrows) and while Control or Alt is held.
    char text[8];
};

// What a view or a popup tells its owner, always on the view's thread. A second press of the
// same button within the double-click time and distance arrives as onDoubleClick in place of
// onMouseDown (then its release as usual), as the system's double-click messages do.
class X11WindowEvents {
public:
    virtual ~X11WindowEvents() {}
    // Draws the whole window into the back buffer (its size is the window's).
    virtual void onPaint(PIXO_IBitmap& backBuffer) = 0;
    virtual void onMouseDown(const X11MouseEvent&) {}
    virtual void onMouseUp(const X11MouseEvent&) {}
    virtual void onDoubleClick(const X11MouseEvent&) {}
    virtual void onMouseMove(const X11MouseEvent&) {}
    // The pointer left the window (not while a button holds it captured).
    virtual void onMouseLeave() {}
    // steps: +1 a notch away from the user, -1 towards.
    virtual void onWheel(const X11MouseEvent&, int32_t /*steps*/) {}
    virtual void onKeyDown(const X11KeyEvent&) {}
    virtual void onFocus(bool /*gained*/) {}
    // A timer of the view fired (views only).
    virtual void onTimer(int32_t /*timerId*/) {}
    // The popup closed: by a press outside it, by Escape, by closePopup or by a new popup
    // (popups only; not when the view itself closes).
    virtual void onPopupClosed() {}
};

// The pointer's shapes over a view.
enum class X11Cursor : int32_t { Arrow, Hand, ResizeHorizontal };

struct X11ViewOptions {
    // The host's window (an XID) the view becomes a child of, at (0, 0).
    unsigned long parentWindow = 0;
    int32_t width = 0;
    int32_t height = 0;
    // The display to connect to; null for $DISPLAY.
    const char* displayName = nullptr;
    // Whether MIT-SHM may be used when the server offers it.
    bool allowSharedMemory = true;
};

class X11View {
public:
    // At most this many timers run at once.
    static constexpr int32_t kMaxTimers = 8;

    // Opens a view and starts its thread; null when there is no display (no $DISPLAY, no
    // connection), the parent does not exist, the size is not positive or the display has no
    // 24-bit true-colour visual. The window is mapped and painted once soon after. events
    // must outlive the view.
    static X11View* open(const X11ViewOptions& options, X11WindowEvents* events);
    // Closes from any thread but the view's own: stops and joins the thread, which destroys the
    // popup, the window, the image, the shared segment and the connection.
    ~X11View();
    X11View(const X11View&) = delete;
    X11View& operator=(const X11View&) = delete;

    // From any thread.
    // Paints and shows the view (and the popup, if one is open) as soon as the thread can.
    void requestRepaint();
    // Starts or restarts timer id (any value) with a period in milliseconds (1 or more); false
    // when kMaxTimers others run or the period is not positive.
    bool setTimer(int32_t timerId, int32_t periodMs);
    void killTimer(int32_t timerId);
    // Asks the X server for the keyboard focus. Embedded windows do not always get it from the
    // host; when the server refuses (the view is not visible), nothing happens.
    void requestKeyboardFocus();
    unsigned long window() const { return window_; }
    // The Xft.dpi scale of the display when the view opened (1.0 without the resource).
    double scale() const { return scale_; }
    // Whether images go through MIT-SHM.
    bool usesSharedMemory() const { return sharedMemory_; }

    // From the view's thread (its callbacks) only.
    // Opens a popup at screen coordinates above everything, with the pointer and keyboard
    // grabbed while it is open; a press outside it or Escape closes it (after which
    // onPopupClosed is called). One popup at a time: an open popup is closed first. False when
    // the window cannot be made. events must stay alive until onPopupClosed.
    bool openPopup(int32_t screenX, int32_t screenY, int32_t width, int32_t height, X11WindowEvents* events);
    void closePopup();
    bool popupOpen() const;
    // Serves the view's events, timers and paints from inside a callback until done() holds
    // (true), or until the view is being closed (false: the caller gives up at once and returns,
    // and the loop then ends). done() is asked after every round.
    bool runModal(const std::function<bool()>& done);
    // The size of the view's screen in pixels; false when the server cannot tell.
    bool screenSize(int32_t& width, int32_t& height) const;
    // The pointer's shape over the view (the parent's, for Arrow).
    void setCursor(X11Cursor shape);
    // The screen position of a point of the view; false when the server cannot tell.
    bool toScreen(int32_t x, int32_t y, int32_t& screenX, int32_t& screenY);

    struct Loop;

private:
    X11View(Loop* loop, double scale) : loop_(loop), scale_(scale) {}
    Loop* loop_;
    double scale_;
    unsigned long window_ = 0;
    bool sharedMemory_ = false;
};
