#include "editor/x11/x11_view.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <new>

#include "editor/x11/display_scale.h"
#include "editor/x11/x11_error_trap.h"
#include "editor/x11/x11_input.h"
#include "editor/x11/x11_surface.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kWindowEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                               LeaveWindowMask | KeyPressMask | FocusChangeMask | StructureNotifyMask;

struct Timer {
    bool active;
    int32_t id;
    int32_t periodMs;
    Clock::time_point due;
};

// A window's share of the loop: its surface, who hears of it, and what it still has to show.
struct Pane {
    X11Surface surface;
    X11WindowEvents* events = nullptr;
    X11DoubleClickRule clicks;
    bool exposed = false;
    bool paintWanted = false;
};

// The 24-bit true-colour visual whose pixels are the raster library's words minus alpha.
Visual* findVisual(Display* display) {
    XVisualInfo info = {};
    if (!XMatchVisualInfo(display, DefaultScreen(display), 24, TrueColor, &info))
        return nullptr;
    if (info.red_mask != 0xFF0000 || info.green_mask != 0xFF00 || info.blue_mask != 0xFF)
        return nullptr;
    return info.visual;
}

X11MouseEvent mouseEventOf(int x, int y, int32_t button, unsigned int state) {
    return {x, y, button, x11ModifiersOf(state), x11HeldButtonsOf(state)};
}

} // namespace

struct X11View::Loop {
    Display* display = nullptr;
    Visual* visual = nullptr;
    bool allowSharedMemory = true;
    int wakeFd = -1;
    pthread_t thread = {};
    Pane view;
    Pane popup;
    bool pointerGrabbed = false;
    bool keyboardGrabbed = false;
    // The font cursors made so far (by X11Cursor) and the one the view shows.
    Cursor cursors[3] = {};
    X11Cursor shownCursor = X11Cursor::Arrow;

    std::atomic<bool> quit{false};
    std::atomic<bool> repaintWanted{false};
    std::atomic<bool> focusWanted{false};
    std::mutex timerLock;
    Timer timers[kMaxTimers] = {};

    ~Loop() {
        if (wakeFd >= 0)
            close(wakeFd);
    }

    void wake() {
        uint64_t one = 1;
        // A full counter already wakes the thread: a failed write loses nothing.
        ssize_t written = write(wakeFd, &one, sizeof one);
        (void)written;
    }

    static void* threadMain(void* self) {
        static_cast<Loop*>(self)->run();
        return nullptr;
    }

    void run() {
        while (serveOnce(nullptr)) {
        }
        tearDown();
    }

    // One round of the loop: the events waiting, the timers due, the paints wanted, then a
    // wait for more (none once done() holds). False once the view is closing.
    bool serveOnce(const std::function<bool()>* done) {
        if (quit.load(std::memory_order_acquire))
            return false;
        if (x11ConnectionLost(display)) {
            waitForQuit();
            return false;
        }
        while (!quit.load(std::memory_order_acquire) && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            dispatch(event);
        }
        if (quit.load(std::memory_order_acquire))
            return false;
        int timeoutMs = fireTimers();
        applyRequests();
        show(view);
        show(popup);
        XFlush(display);
        // Replies read while serving may have queued events the descriptor will not announce.
        if (XEventsQueued(display, QueuedAlready) > 0 || (done && (*done)()))
            return true;
        pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        poll(waits, 2, timeoutMs);
        if (waits[1].revents & POLLIN)
            drainWake();
        return true;
    }

    void drainWake() {
        uint64_t count = 0;
        ssize_t got = read(wakeFd, &count, sizeof count);
        (void)got;
    }

    void waitForQuit() {
        while (!quit.load(std::memory_order_acquire)) {
            pollfd waitWake = {wakeFd, POLLIN, 0};
            poll(&waitWake, 1, -1);
            drainWake();
        }
    }

    void tearDown() {
        closePopupWindow(false);
        view.surface.destroy();
        for (Cursor& cursor : cursors)
            if (cursor && !x11ConnectionLost(display))
                XFreeCursor(display, cursor);
        if (!x11ConnectionLost(display))
            XSync(display, False);
        x11UntrapErrors(display);
        XCloseDisplay(display);
        display = nullptr;
    }

    // Timers -----------------------------------------------------------------------------

    // Calls the due timers and returns the milliseconds until the next one (-1: none runs).
    int fireTimers() {
        Clock::time_point now = Clock::now();
        int32_t dueIds[kMaxTimers];
        int32_t dueCount = 0;
        {
            std::lock_guard<std::mutex> hold(timerLock);
            for (Timer& timer : timers) {
                if (!timer.active || now < timer.due)
                    continue;
                dueIds[dueCount++] = timer.id;
                timer.due += std::chrono::milliseconds(timer.periodMs);
                // A late thread fires once, not once per period it missed.
                if (timer.due <= now)
                    timer.due = now + std::chrono::milliseconds(timer.periodMs);
            }
        }
        for (int32_t i = 0; i < dueCount && !quit.load(std::memory_order_acquire); ++i)
            view.events->onTimer(dueIds[i]);
        std::lock_guard<std::mutex> hold(timerLock);
        int timeoutMs = -1;
        now = Clock::now();
        for (const Timer& timer : timers) {
            if (!timer.active)
                continue;
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(timer.due - now).count();
            int waitMs = wait < 0 ? 0 : int(wait);
            if (timeoutMs < 0 || waitMs < timeoutMs)
                timeoutMs = waitMs;
        }
        return timeoutMs;
    }

    // Requests from other threads ----------------------------------------------------------

    void applyRequests() {
        if (repaintWanted.exchange(false, std::memory_order_acq_rel)) {
            view.paintWanted = true;
            popup.paintWanted = popup.surface.exists();
        }
        if (focusWanted.exchange(false, std::memory_order_acq_rel))
            takeFocus();
    }

    void takeFocus() {
        XWindowAttributes attributes;
        // The server refuses the focus to a window that is not visible; the trap counts a
        // refusal that races with the host hiding it.
        if (view.surface.windowGone() || !XGetWindowAttributes(display, view.surface.window(), &attributes) ||
            attributes.map_state != IsViewable)
            return;
        XSetInputFocus(display, view.surface.window(), RevertToParent, CurrentTime);
    }

    // Paints what was asked for, or shows again what was exposed, unless the server is still
    // reading the last upload (then its completion brings the loop back here).
    void show(Pane& pane) {
        X11Surface& surface = pane.surface;
        if (!surface.exists() || surface.windowGone() || surface.uploadInFlight())
            return;
        if (pane.paintWanted || (pane.exposed && !surface.painted)) {
            pane.paintWanted = false;
            pane.events->onPaint(surface.backBuffer());
            // The paint may have closed the popup it was drawing.
            if (!surface.exists())
                return;
            surface.painted = true;
            pane.exposed = false;
            surface.present();
        } else if (pane.exposed) {
            pane.exposed = false;
            surface.present();
        }
    }

    // Events ----------------------------------------------------------------------------

    Pane* paneOf(Window window) {
        if (view.surface.exists() && window == view.surface.window())
            return &view;
        if (popup.surface.exists() && window == popup.surface.window())
            return &popup;
        return nullptr;
    }

    void dispatch(XEvent& event) {
        if (view.surface.takeCompletion(event) || popup.surface.takeCompletion(event))
            return;
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            return;
        }
        Pane* pane = paneOf(event.xany.window);
        if (!pane)
            return;
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                pane->exposed = true;
            break;
        case MapNotify:
            if (pane == &popup)
                grabForPopup();
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == pane->surface.window())
                pane->surface.markWindowGone();
            break;
        case ButtonPress:
            onButtonPress(*pane, event.xbutton);
            break;
        case ButtonRelease:
            onButtonRelease(*pane, event.xbutton);
            break;
        case MotionNotify:
            onMotion(*pane, event);
            break;
        case LeaveNotify:
            // While a button is held the pointer is captured: it has not left.
            if (event.xcrossing.mode == NotifyNormal && x11HeldButtonsOf(event.xcrossing.state) == 0)
                pane->events->onMouseLeave();
            break;
        case KeyPress:
            onKeyPress(event.xkey);
            break;
        case FocusIn:
        case FocusOut:
            // Grabs (a popup's among them) move the focus only for their duration.
            if (pane == &view && event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyPointer)
                view.events->onFocus(event.type == FocusIn);
            break;
        default:
            break;
        }
    }

    // The pane that hears of a pointer event, or null: while a popup is open only the popup
    // does (a press anywhere else closes it and is swallowed).
    Pane* pointerTarget(Pane& pane, const XButtonEvent& button, bool press) {
        if (!popup.surface.exists())
            return &pane;
        bool inside = &pane == &popup && button.x >= 0 && button.y >= 0 && button.x < popupWidth() &&
                      button.y < popupHeight();
        if (inside)
            return &popup;
        if (press)
            closePopupWindow(true);
        return nullptr;
    }

    int popupWidth() { return popup.surface.backBuffer().width(); }
    int popupHeight() { return popup.surface.backBuffer().height(); }

    void onButtonPress(Pane& pane, const XButtonEvent& button) {
        Pane* target = pointerTarget(pane, button, true);
        if (!target)
            return;
        if (button.button == Button4 || button.button == Button5) {
            target->events->onWheel(mouseEventOf(button.x, button.y, 0, button.state),
                                    button.button == Button4 ? 1 : -1);
            return;
        }
        if (button.button < Button1 || button.button > Button3)
            return;
        int32_t index = int32_t(button.button);
        X11MouseEvent mouse = mouseEventOf(button.x, button.y, index, button.state);
        if (target->clicks.press(index, button.x, button.y, uint32_t(button.time)))
            target->events->onDoubleClick(mouse);
        else
            target->events->onMouseDown(mouse);
    }

    void onButtonRelease(Pane& pane, const XButtonEvent& button) {
        if (button.button < Button1 || button.button > Button3)
            return;
        if (Pane* target = pointerTarget(pane, button, false))
            target->events->onMouseUp(mouseEventOf(button.x, button.y, int32_t(button.button), button.state));
    }

    void onMotion(Pane& pane, const XEvent& event) {
        // Only the latest of a run of moves matters: a busy pointer does not queue up paints.
        if (XEventsQueued(display, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(display, &next);
            if (next.type == MotionNotify && next.xmotion.window == event.xmotion.window)
                return;
        }
        const XMotionEvent& motion = event.xmotion;
        if (popup.surface.exists() && &pane != &popup)
            return;
        pane.events->onMouseMove(mouseEventOf(motion.x, motion.y, 0, motion.state));
    }

    void onKeyPress(XKeyEvent& key) {
        KeySym keysym = NoSymbol;
        char latin1[16];
        XLookupString(&key, latin1, sizeof latin1, &keysym, nullptr);
        X11KeyEvent press = {uint32_t(keysym), x11ModifiersOf(key.state), {}};
        x11KeyText(press.keysym, press.modifiers, press.text);
        // An open popup takes every key (it holds the keyboard); Escape closes it.
        if (popup.surface.exists()) {
            if (keysym == XK_Escape)
                closePopupWindow(true);
            else
                popup.events->onKeyDown(press);
            return;
        }
        if (key.window == view.surface.window())
            view.events->onKeyDown(press);
    }

    // Popup -----------------------------------------------------------------------------

    // Only a visible window can hold a grab: called when the popup is mapped. Without the
    // grab (another client holds one) the popup still works, but only a press on the view or
    // Escape closes it.
    void grabForPopup() {
        if (pointerGrabbed || popup.surface.windowGone())
            return;
        Window window = popup.surface.window();
        pointerGrabbed = XGrabPointer(display, window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                      GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
        keyboardGrabbed = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
                          GrabSuccess;
    }

    bool openPopupWindow(int32_t x, int32_t y, int32_t width, int32_t height, X11WindowEvents* events) {
        closePopupWindow(true);
        if (!events || width <= 0 || height <= 0)
            return false;
        X11SurfaceShape shape = {DefaultRootWindow(display), x, y, width, height, true, allowSharedMemory,
                               kWindowEvents};
        if (!popup.surface.create(display, visual, shape))
            return false;
        popup.events = events;
        popup.clicks.reset();
        popup.exposed = false;
        popup.paintWanted = true;
        // The press that opened the popup must not pair with the next one on the view.
        view.clicks.reset();
        XMapRaised(display, popup.surface.window());
        return true;
    }

    void closePopupWindow(bool notify) {
        if (!popup.surface.exists())
            return;
        if (pointerGrabbed && !x11ConnectionLost(display))
            XUngrabPointer(display, CurrentTime);
        if (keyboardGrabbed && !x11ConnectionLost(display))
            XUngrabKeyboard(display, CurrentTime);
        pointerGrabbed = keyboardGrabbed = false;
        popup.surface.destroy();
        X11WindowEvents* events = popup.events;
        popup.events = nullptr;
        popup.paintWanted = popup.exposed = false;
        if (notify)
            events->onPopupClosed();
    }
};

X11View* X11View::open(const X11ViewOptions& options, X11WindowEvents* events) {
    if (!events || options.parentWindow == 0 || options.width <= 0 || options.height <= 0)
        return nullptr;
    Display* display = XOpenDisplay(options.displayName);
    if (!display)
        return nullptr;
    Loop* loop = new (std::nothrow) Loop;
    if (!loop || !x11TrapErrors(display)) {
        delete loop;
        XCloseDisplay(display);
        return nullptr;
    }
    loop->display = display;
    loop->allowSharedMemory = options.allowSharedMemory;
    loop->visual = findVisual(display);
    loop->view.events = events;
    loop->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    X11SurfaceShape shape = {options.parentWindow, 0, 0, options.width, options.height, false,
                           options.allowSharedMemory, kWindowEvents};
    bool ready = loop->visual && loop->wakeFd >= 0 && loop->view.surface.create(display, loop->visual, shape);
    double scale = x11DisplayScale(display);
    X11View* view = ready ? new (std::nothrow) X11View(loop, scale) : nullptr;
    if (view) {
        view->window_ = loop->view.surface.window();
        view->sharedMemory_ = loop->view.surface.usesSharedMemory();
        XMapWindow(display, loop->view.surface.window());
        XFlush(display);
        // Everything above happens before the thread's first step. The thread takes no
        // signals: the host's handlers expect them on threads of its own.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        int started = pthread_create(&loop->thread, nullptr, &Loop::threadMain, loop);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (started == 0)
            return view;
        view->loop_ = nullptr;
        delete view;
    }
    loop->tearDown();
    delete loop;
    return nullptr;
}

X11View::~X11View() {
    if (!loop_)
        return;
    loop_->quit.store(true, std::memory_order_release);
    loop_->wake();
    pthread_join(loop_->thread, nullptr);
    delete loop_;
}

void X11View::requestRepaint() {
    loop_->repaintWanted.store(true, std::memory_order_release);
    loop_->wake();
}

bool X11View::setTimer(int32_t timerId, int32_t periodMs) {
    if (periodMs <= 0)
        return false;
    {
        std::lock_guard<std::mutex> hold(loop_->timerLock);
        Timer* slot = nullptr;
        for (Timer& timer : loop_->timers) {
            if (timer.active && timer.id == timerId) {
                slot = &timer;
                break;
            }
            if (!timer.active && !slot)
                slot = &timer;
        }
        if (!slot)
            return false;
        *slot = {true, timerId, periodMs, Clock::now() + std::chrono::milliseconds(periodMs)};
    }
    loop_->wake();
    return true;
}

void X11View::killTimer(int32_t timerId) {
    std::lock_guard<std::mutex> hold(loop_->timerLock);
    for (Timer& timer : loop_->timers)
        if (timer.active && timer.id == timerId)
            timer.active = false;
}

void X11View::requestKeyboardFocus() {
    loop_->focusWanted.store(true, std::memory_order_release);
    loop_->wake();
}

bool X11View::openPopup(int32_t screenX, int32_t screenY, int32_t width, int32_t height, X11WindowEvents* events) {
    return loop_->openPopupWindow(screenX, screenY, width, height, events);
}

void X11View::closePopup() { loop_->closePopupWindow(true); }

bool X11View::runModal(const std::function<bool()>& done) {
    while (!done())
        if (!loop_->serveOnce(&done))
            return false;
    return true;
}

bool X11View::screenSize(int32_t& width, int32_t& height) const {
    Display* display = loop_->display;
    if (!display || x11ConnectionLost(display))
        return false;
    width = DisplayWidth(display, DefaultScreen(display));
    height = DisplayHeight(display, DefaultScreen(display));
    return true;
}

bool X11View::popupOpen() const { return loop_->popup.surface.exists(); }

void X11View::setCursor(X11Cursor shape) {
    Loop& loop = *loop_;
    if (shape == loop.shownCursor || loop.view.surface.windowGone())
        return;
    loop.shownCursor = shape;
    if (shape == X11Cursor::Arrow) {
        XUndefineCursor(loop.display, window_);
        return;
    }
    Cursor& cursor = loop.cursors[int32_t(shape)];
    if (!cursor)
        cursor = XCreateFontCursor(loop.display, shape == X11Cursor::Hand ? XC_hand2 : XC_sb_h_double_arrow);
    XDefineCursor(loop.display, window_, cursor);
}

bool X11View::toScreen(int32_t x, int32_t y, int32_t& screenX, int32_t& screenY) {
    Window child = 0;
    int rootX = 0, rootY = 0;
    if (loop_->view.surface.windowGone() ||
        !XTranslateCoordinates(loop_->display, window_, DefaultRootWindow(loop_->display), x, y, &rootX, &rootY,
                               &child))
        return false;
    screenX = rootX;
    screenY = rootY;
    return true;
}
