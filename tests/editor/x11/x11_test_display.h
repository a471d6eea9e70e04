// What the X11 view tests stand on: a private Xvfb server on a free display number (started
// and stopped by process id, and ended with the test program if that dies first), real input through xdotool against that server, a host window
// on a connection of the test's own, pixels read back from the server, and waiting with a
// deadline.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace x11test {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts an 800 x 600 x 24 server; sharedMemory false leaves out MIT-SHM.
    bool start(bool sharedMemory = true);
    void stop();
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// Runs xdotool with the arguments against the display (a chain of commands is one run);
// true when it exits with status 0. background: returns at once with its pid in *pid.
bool xdotool(const std::string& display, const std::vector<std::string>& arguments);
pid_t xdotoolInBackground(const std::string& display, const std::vector<std::string>& arguments);
bool waitForProcess(pid_t pid);

// Polls the condition every 2 ms until it holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// A top-level window standing in for a host's editor window, on its own connection. Protocol
// errors of the test's connections are ignored (as far as the view lets them reach the
// handler installed before it).
class HostWindow {
public:
    HostWindow(const std::string& display, int x, int y, int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool ok() const { return window_ != 0; }
    Display* display() const { return display_; }
    Window window() const { return window_; }
    int x() const { return x_; }
    int y() const { return y_; }
    // The pixel (0xRRGGBB) of a window at a point, read from the server; -1 when unreadable.
    int64_t pixel(Window window, int x, int y);
    int64_t screenPixel(int x, int y) { return pixel(DefaultRootWindow(display_), x, y); }
    // The number of child windows of the host window.
    int childCount();

private:
    Display* display_ = nullptr;
    Window window_ = 0;
    int x_, y_;
};

// Counts of what this process holds: open descriptors, threads, System V shared segments it
// created (still attached somewhere).
int openDescriptorCount();
int threadCount();
int sharedSegmentCount();

} // namespace x11test
