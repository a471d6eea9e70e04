// X11EditorHost: what a Linux host does with a plug-in's editor. It opens a display connection
// of its own, makes a top-level window the size effEditGetRect gives, and hands the window's
// XID to effEditOpen; the editor makes its child window in it. Hosts differ in the thread they
// lend: this one either calls effEditIdle every 20 ms from the thread that opened the editor
// (callsIdle) or never calls it at all, so the editor has to live on its own. It reads the
// window back from the server as the screen shows it, editor included.
#pragma once

#include "host/picture.h"
#include "host/plugin_session.h"

#include <X11/Xlib.h>

#include <functional>
#include <string>

class X11EditorHost {
  public:
    static constexpr int kIdlePeriodMs = 20;

    // displayName null: $DISPLAY. The window is made at (x, y) of the screen.
    X11EditorHost(PluginSession& session, bool callsIdle, const char* displayName = nullptr, int x = 0, int y = 0);
    ~X11EditorHost();
    X11EditorHost(const X11EditorHost&) = delete;
    X11EditorHost& operator=(const X11EditorHost&) = delete;

    // Connects to the display; false, with error filled, when there is none.
    bool connect(std::string& error);
    // Makes and maps the window and opens the editor in it; false (and no window) when the
    // plug-in has no editor, gives no size or answers 0 to effEditOpen.
    bool openEditor(std::string& error);
    // effEditClose, then the window goes; the connection stays for the next open.
    void closeEditor();
    bool editorOpen() const { return window_ != 0; }

    // Lets time pass on the host's thread: effEditIdle every kIdlePeriodMs when the host calls
    // it, and the host window's own events handled either way.
    void serve(int milliseconds);
    // Serves until the condition holds (checked every pollMs); false when timeoutMs passed first.
    bool serveUntil(const std::function<bool()>& condition, int timeoutMs = 5000, int pollMs = 2);

    // The host window read back from the server (0 x 0 when it cannot be read).
    Picture readBack();
    // A rectangle of the screen (popups over the window included), in screen coordinates.
    Picture readScreen(int x, int y, int width, int height);
    // Whether a read-back shows the editor: some pixel differs from the host window's black.
    static bool showsEditor(const Picture& picture);
    Display* display() const { return display_; }
    Window window() const { return window_; }
    // The editor's window: the host window's first child (0 when it has none).
    Window editorWindow();
    int x() const { return x_; }
    int y() const { return y_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool callsIdle() const { return callsIdle_; }
    // A host may change its habit between opens (the benchmark measures both on one connection).
    void setCallsIdle(bool callsIdle) { callsIdle_ = callsIdle; }
    // effEditIdle calls made so far.
    long idleCalls() const { return idleCalls_; }

  private:
    void handlePendingEvents();
    // A rectangle of a window as 0xRRGGBB words (the 24-bit true-colour visual Xvfb offers).
    Picture read(Window window, int x, int y, int width, int height);

    PluginSession& session_;
    bool callsIdle_;
    std::string displayName_;
    bool hasDisplayName_;
    int x_, y_;
    int width_ = 0, height_ = 0;
    Display* display_ = nullptr;
    Window window_ = 0;
    long idleCalls_ = 0;
};
