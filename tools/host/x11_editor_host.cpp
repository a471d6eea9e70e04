#include "host/x11_editor_host.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

X11EditorHost::X11EditorHost(PluginSession& session, bool callsIdle, const char* displayName, int x, int y)
    : session_(session), callsIdle_(callsIdle), displayName_(displayName ? displayName : ""),
      hasDisplayName_(displayName != nullptr), x_(x), y_(y) {}

X11EditorHost::~X11EditorHost() {
    closeEditor();
    if (display_)
        XCloseDisplay(display_);
}

bool X11EditorHost::connect(std::string& error) {
    if (display_)
        return true;
    display_ = XOpenDisplay(hasDisplayName_ ? displayName_.c_str() : nullptr);
    if (!display_) {
        error = "cannot open the X display";
        return false;
    }
    return true;
}

bool X11EditorHost::openEditor(std::string& error) {
    if (window_)
        return true;
    if (!display_ && !connect(error))
        return false;
    if (!(session_.effect()->flags & effFlagsHasEditor)) {
        error = "the plug-in has no editor";
        return false;
    }
    ERect* rect = nullptr;
    session_.dispatch(effEditGetRect, 0, 0, &rect, 0.0f);
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) {
        error = "the plug-in gives no editor size";
        return false;
    }
    width_ = rect->right - rect->left;
    height_ = rect->bottom - rect->top;

    XSetWindowAttributes attributes = {};
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    attributes.event_mask = StructureNotifyMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), x_, y_, unsigned(width_), unsigned(height_), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display_, window_, "Tarnwell");
    XMapWindow(display_, window_);
    // Without a window manager the window is viewable as soon as the server has mapped it; a
    // window manager may take a moment longer.
    XEvent event;
    do
        XNextEvent(display_, &event);
    while (!(event.type == MapNotify && event.xmap.window == window_));

    if (!session_.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window_), 0.0f)) {
        error = "the plug-in opened no editor";
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        window_ = 0;
        return false;
    }
    return true;
}

void X11EditorHost::closeEditor() {
    if (!window_)
        return;
    session_.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    handlePendingEvents();
    window_ = 0;
}

void X11EditorHost::handlePendingEvents() {
    // The host window asks for structure events only; nothing in them needs an answer.
    while (display_ && XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
    }
}

void X11EditorHost::serve(int milliseconds) {
    // Nothing to check: the thread wakes only for the idle calls and the window's events.
    serveUntil([] { return false; }, milliseconds, 10);
}

bool X11EditorHost::serveUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextIdle = Clock::now();
    for (;;) {
        handlePendingEvents();
        if (callsIdle_ && window_ && Clock::now() >= nextIdle) {
            session_.dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
            ++idleCalls_;
            nextIdle += std::chrono::milliseconds(kIdlePeriodMs);
        }
        if (condition())
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        auto wake = std::min(deadline, now + std::chrono::milliseconds(pollMs));
        if (callsIdle_ && window_)
            wake = std::min(wake, nextIdle);
        std::this_thread::sleep_until(wake);
    }
}

Window X11EditorHost::editorWindow() {
    if (!window_)
        return 0;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, window_, &root, &parent, &children, &count))
        return 0;
    Window first = count > 0 ? children[0] : 0;
    if (children)
        XFree(children);
    return first;
}

Picture X11EditorHost::readBack() {
    XWindowAttributes attributes;
    if (!window_ || !XGetWindowAttributes(display_, window_, &attributes) || attributes.map_state != IsViewable)
        return Picture();
    // The window's contents as the screen shows them, its children (the editor) included.
    return read(window_, 0, 0, attributes.width, attributes.height);
}

Picture X11EditorHost::readScreen(int x, int y, int width, int height) {
    return display_ ? read(DefaultRootWindow(display_), x, y, width, height) : Picture();
}

Picture X11EditorHost::read(Window window, int x, int y, int width, int height) {
    Picture picture;
    XImage* image = XGetImage(display_, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return picture;
    picture = Picture(width, height);
    for (int32_t row = 0; row < height; ++row)
        for (int32_t column = 0; column < width; ++column)
            picture.at(column, row) = uint32_t(XGetPixel(image, column, row) & 0xFFFFFF);
    XDestroyImage(image);
    return picture;
}

bool X11EditorHost::showsEditor(const Picture& picture) {
    for (uint32_t word : picture.pixels)
        if (word != 0)
            return true;
    return false;
}
