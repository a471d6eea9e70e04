// One window of an X11 view and the back buffer shown in it: 32-bit pixels the owner paints,
// uploaded through a MIT-SHM segment when the server offers one on this connection (the
// server reports when it has read them; until then the pixels must not change) or else with a
// plain XPutImage from heap pixels. The segment is marked for removal as soon as both sides
// have attached it, so no segment outlives the process.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include "raster/pixo.h"

// A back buffer over pixels someone else owns (the shared segment).
class X11FixedBitmap : public PIXO_IBitmap {
public:
    void attach(uint32_t* pixels, int32_t width, int32_t height, int32_t rowSpan) {
        pixels_ = pixels;
        width_ = width;
        height_ = height;
        rowSpan_ = rowSpan;
    }
    uint32_t* pixels() override { return pixels_; }
    int32_t width() override { return width_; }
    int32_t height() override { return height_; }
    int32_t rowSpan() override { return rowSpan_; }
    // The pixels cannot move: only the size they already have is accepted.
    bool setSize(int32_t width, int32_t height) override { return width == width_ && height == height_; }

private:
    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t rowSpan_ = 0;
};

struct X11SurfaceShape {
    Window parent;
    int32_t x, y, width, height;
    // A popup: placed by us, above everything, never managed by a window manager.
    bool overrideRedirect;
    bool allowSharedMemory;
    long eventMask;
};

class X11Surface {
public:
    X11Surface() = default;
    ~X11Surface() { destroy(); }
    X11Surface(const X11Surface&) = delete;
    X11Surface& operator=(const X11Surface&) = delete;

    // Makes the window (unmapped) and its image; false, with nothing left behind, when the
    // server refuses. visual must be 24-bit true colour with the 0xRRGGBB masks.
    bool create(Display* display, Visual* visual, const X11SurfaceShape& shape);
    // Frees the image, the segment, the graphics context and the window (unless the window
    // was already destroyed by someone else, as a host destroying its parent does). With the
    // connection lost only this side's memory is freed; the server has let go of the rest.
    void destroy();

    bool exists() const { return window_ != 0; }
    Window window() const { return window_; }
    PIXO_IBitmap& backBuffer() { return sharedImage_ ? static_cast<PIXO_IBitmap&>(sharedPixels_) : heapPixels_; }
    bool usesSharedMemory() const { return sharedImage_; }
    // While the server has not yet read the last shared upload, the pixels must stay unchanged.
    bool uploadInFlight() const { return uploadInFlight_; }
    // Sends the back buffer to the window (it is not flushed). False when an upload is in flight.
    bool present();
    // Takes the event when it is the server's report that it read this surface's segment.
    bool takeCompletion(const XEvent& event);
    // The window was destroyed by someone else: nothing may be drawn into it or freed any more.
    void markWindowGone() { windowGone_ = true; }
    bool windowGone() const { return windowGone_; }
    bool painted = false;

private:
    bool createSharedImage(Visual* visual, int32_t width, int32_t height);
    bool createHeapImage(Visual* visual, int32_t width, int32_t height);

    Display* display_ = nullptr;
    Window window_ = 0;
    // Made for a visual other than the screen's default; freed with the window.
    Colormap colormap_ = 0;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    bool sharedImage_ = false;
    XShmSegmentInfo segment_ = {};
    int completionEvent_ = 0;
    bool uploadInFlight_ = false;
    bool windowGone_ = false;
    X11FixedBitmap sharedPixels_;
    PIXO_MemBitmap heapPixels_{3};
};
