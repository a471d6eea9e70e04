#include "editor/x11/x11_error_trap.h"

#include <X11/Xlib.h>

#include <mutex>

namespace {

constexpr int kMaxDisplays = 64;

struct TrappedDisplay {
    Display* display;
    uint32_t errors;
    bool lost;
};

std::mutex registryLock;
TrappedDisplay registry[kMaxDisplays];
int registered = 0;
XErrorHandler previousHandler = nullptr;
XIOErrorHandler previousIOHandler = nullptr;

TrappedDisplay* find(Display* display) {
    for (int i = 0; i < registered; ++i)
        if (registry[i].display == display)
            return &registry[i];
    return nullptr;
}

int onError(Display* display, XErrorEvent* error) {
    XErrorHandler chained = nullptr;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        if (TrappedDisplay* entry = find(display)) {
            ++entry->errors;
            return 0;
        }
        chained = previousHandler;
    }
    return chained ? chained(display, error) : 0;
}

// Xlib tells of a broken connection twice: through the process's handler (whose default
// prints and exits), then through the connection's exit handler (whose default exits). For
// our connections both just note it; Xlib then ignores further requests.
int onIOError(Display* display) {
    XIOErrorHandler chained = nullptr;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        if (TrappedDisplay* entry = find(display)) {
            entry->lost = true;
            return 0;
        }
        chained = previousIOHandler;
    }
    return chained ? chained(display) : 0;
}

void onConnectionLost(Display* display, void*) {
    std::lock_guard<std::mutex> hold(registryLock);
    if (TrappedDisplay* entry = find(display))
        entry->lost = true;
}

} // namespace

bool x11TrapErrors(Display* display) {
    std::lock_guard<std::mutex> hold(registryLock);
    if (!display || registered == kMaxDisplays)
        return false;
    if (registered == 0) {
        previousHandler = XSetErrorHandler(onError);
        previousIOHandler = XSetIOErrorHandler(onIOError);
    }
    registry[registered++] = {display, 0, false};
    XSetIOErrorExitHandler(display, onConnectionLost, nullptr);
    return true;
}

void x11UntrapErrors(Display* display) {
    std::lock_guard<std::mutex> hold(registryLock);
    TrappedDisplay* entry = find(display);
    if (!entry)
        return;
    *entry = registry[--registered];
    if (registered == 0) {
        XErrorHandler current = XSetErrorHandler(previousHandler);
        // Someone installed a handler after ours: it stays.
        if (current != onError)
            XSetErrorHandler(current);
        XIOErrorHandler currentIO = XSetIOErrorHandler(previousIOHandler);
        if (currentIO != onIOError)
            XSetIOErrorHandler(currentIO);
        previousHandler = nullptr;
        previousIOHandler = nullptr;
    }
}

uint32_t x11TakeTrappedErrors(Display* display) {
    std::lock_guard<std::mutex> hold(registryLock);
    TrappedDisplay* entry = find(display);
    if (!entry)
        return 0;
    uint32_t errors = entry->errors;
    entry->errors = 0;
    return errors;
}

bool x11ConnectionLost(Display* display) {
    std::lock_guard<std::mutex> hold(registryLock);
    TrappedDisplay* entry = find(display);
    return entry && entry->lost;
}
