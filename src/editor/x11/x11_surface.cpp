#include "editor/x11/x11_surface.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "editor/x11/x11_error_trap.h"

bool X11Surface::create(Display* display, Visual* visual, const X11SurfaceShape& shape) {
    destroy();
    display_ = display;
    XSetWindowAttributes attributes = {};
    // No background: the window shows the last upload until the next, without a flash of grey.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    // A window of a visual other than its parent's needs a colormap of that visual.
    if (visual == DefaultVisual(display, DefaultScreen(display)))
        attributes.colormap = DefaultColormap(display, DefaultScreen(display));
    else
        attributes.colormap = colormap_ = XCreateColormap(display, DefaultRootWindow(display), visual, AllocNone);
    attributes.event_mask = shape.eventMask;
    attributes.override_redirect = shape.overrideRedirect ? True : False;
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask | CWOverrideRedirect;
    x11TakeTrappedErrors(display);
    window_ = XCreateWindow(display, shape.parent, shape.x, shape.y, unsigned(shape.width), unsigned(shape.height), 0,
                            24, InputOutput, visual, mask, &attributes);
    gc_ = XCreateGC(display, window_, 0, nullptr);
    XSync(display, False);
    // A parent that does not exist (or is gone) shows up here as an error.
    bool windowMade = x11TakeTrappedErrors(display) == 0 && !x11ConnectionLost(display);
    windowGone_ = !windowMade;
    bool made = windowMade && ((shape.allowSharedMemory && createSharedImage(visual, shape.width, shape.height)) ||
                               createHeapImage(visual, shape.width, shape.height));
    if (!made)
        destroy();
    return made;
}

bool X11Surface::createSharedImage(Visual* visual, int32_t width, int32_t height) {
    // The segment holds the pixels as this machine stores them; a server wanting the other
    // byte order gets converted plain uploads instead.
    if (!XShmQueryExtension(display_) || ImageByteOrder(display_) != LSBFirst)
        return false;
    image_ = XShmCreateImage(display_, visual, 24, ZPixmap, nullptr, &segment_, unsigned(width), unsigned(height));
    if (!image_)
        return false;
    if (image_->bits_per_pixel != 32 || image_->bytes_per_line % 4 != 0) {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    segment_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    void* address = shmat(segment_.shmid, nullptr, 0);
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1)) {
        segment_.shmaddr = image_->data = static_cast<char*>(address);
        segment_.readOnly = True;
        x11TakeTrappedErrors(display_);
        XShmAttach(display_, &segment_);
        XSync(display_, False);
        // A remote server (or one that may not read our memory) refuses the segment.
        attached = x11TakeTrappedErrors(display_) == 0;
    }
    // Removed now: it lives on only while attached, by us and by the server.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (address != reinterpret_cast<void*>(-1))
            shmdt(address);
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
        segment_ = {};
        return false;
    }
    sharedImage_ = true;
    completionEvent_ = XShmGetEventBase(display_) + ShmCompletion;
    sharedPixels_.attach(reinterpret_cast<uint32_t*>(image_->data), width, height, image_->bytes_per_line / 4);
    return true;
}

bool X11Surface::createHeapImage(Visual* visual, int32_t width, int32_t height) {
    heapPixels_.setSize(width, height);
    if (!heapPixels_.pixels() || heapPixels_.width() != width || heapPixels_.height() != height)
        return false;
    image_ = XCreateImage(display_, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(heapPixels_.pixels()),
                          unsigned(width), unsigned(height), 32, heapPixels_.rowSpan() * 4);
    if (!image_)
        return false;
    // The pixels are in this machine's order; Xlib converts them if the server wants the other.
    image_->byte_order = LSBFirst;
    return true;
}

bool X11Surface::present() {
    if (!image_ || windowGone_ || uploadInFlight_)
        return !uploadInFlight_;
    if (sharedImage_) {
        XShmPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, unsigned(image_->width), unsigned(image_->height),
                     True);
        uploadInFlight_ = true;
    } else {
        XPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, unsigned(image_->width), unsigned(image_->height));
    }
    return true;
}

bool X11Surface::takeCompletion(const XEvent& event) {
    if (!sharedImage_ || event.type != completionEvent_)
        return false;
    const XShmCompletionEvent& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
    if (completion.shmseg != segment_.shmseg)
        return false;
    uploadInFlight_ = false;
    return true;
}

void X11Surface::destroy() {
    if (!display_)
        return;
    bool connected = !x11ConnectionLost(display_);
    if (image_) {
        if (sharedImage_) {
            if (connected) {
                XShmDetach(display_, &segment_);
                // The server must let go before the memory goes.
                XSync(display_, False);
            }
            shmdt(segment_.shmaddr);
        }
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
    }
    // The graphics context has memory on this side too (a lost connection ignores the request).
    if (gc_)
        XFreeGC(display_, gc_);
    if (window_ && !windowGone_ && connected)
        XDestroyWindow(display_, window_);
    if (colormap_ && connected)
        XFreeColormap(display_, colormap_);
    colormap_ = 0;
    gc_ = nullptr;
    window_ = 0;
    sharedImage_ = false;
    segment_ = {};
    uploadInFlight_ = false;
    windowGone_ = false;
    painted = false;
    display_ = nullptr;
}
