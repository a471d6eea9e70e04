// An X11WindowEvents that paints the window in a colour the test chooses and writes down every
// event it is given, for the test thread to wait on and inspect.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "editor/x11/x11_view.h"
#include "raster/pixo.h"

namespace x11test {

enum class EventKind { Down, Up, DoubleClick, Move, Leave, Wheel, Key, FocusGained, FocusLost, Timer, PopupClosed };

struct Recorded {
    EventKind kind;
    X11MouseEvent mouse;
    int32_t steps;
    X11KeyEvent key;
    int32_t timerId;
    std::chrono::steady_clock::time_point when;
};

class RecordingEvents : public X11WindowEvents {
public:
    explicit RecordingEvents(uint32_t background = 0xFF203040) : colour(background) {}

    // The window is painted in this colour, with a 10 x 10 square of accent at (10, 10).
    std::atomic<uint32_t> colour;
    std::atomic<uint32_t> accent{0xFFFFFFFF};
    std::atomic<int32_t> paints{0};
    // Called on the view's thread after a press has been written down.
    std::function<void(const X11MouseEvent&)> onPress;
    std::function<void(const X11MouseEvent&)> onMove;

    void onPaint(PIXO_IBitmap& backBuffer) override {
        uint32_t* pixels = backBuffer.pixels();
        for (int32_t y = 0; y < backBuffer.height(); ++y)
            for (int32_t x = 0; x < backBuffer.width(); ++x)
                pixels[y * backBuffer.rowSpan() + x] =
                    (x >= 10 && x < 20 && y >= 10 && y < 20) ? accent.load() : colour.load();
        paints.fetch_add(1);
    }
    void onMouseDown(const X11MouseEvent& mouse) override {
        add({EventKind::Down, mouse, 0, {}, 0, {}});
        if (onPress)
            onPress(mouse);
    }
    void onMouseUp(const X11MouseEvent& mouse) override { add({EventKind::Up, mouse, 0, {}, 0, {}}); }
    void onDoubleClick(const X11MouseEvent& mouse) override { add({EventKind::DoubleClick, mouse, 0, {}, 0, {}}); }
    void onMouseMove(const X11MouseEvent& mouse) override {
        add({EventKind::Move, mouse, 0, {}, 0, {}});
        if (onMove)
            onMove(mouse);
    }
    void onMouseLeave() override { add({EventKind::Leave, {}, 0, {}, 0, {}}); }
    void onWheel(const X11MouseEvent& mouse, int32_t steps) override {
        add({EventKind::Wheel, mouse, steps, {}, 0, {}});
    }
    void onKeyDown(const X11KeyEvent& key) override { add({EventKind::Key, {}, 0, key, 0, {}}); }
    void onFocus(bool gained) override { add({gained ? EventKind::FocusGained : EventKind::FocusLost, {}, 0, {}, 0, {}}); }
    void onTimer(int32_t timerId) override { add({EventKind::Timer, {}, 0, {}, timerId, {}}); }
    void onPopupClosed() override { add({EventKind::PopupClosed, {}, 0, {}, 0, {}}); }

    std::vector<Recorded> events() {
        std::lock_guard<std::mutex> hold(lock_);
        return events_;
    }
    std::vector<Recorded> eventsOf(EventKind kind) {
        std::vector<Recorded> chosen;
        for (const Recorded& event : events())
            if (event.kind == kind)
                chosen.push_back(event);
        return chosen;
    }
    size_t count(EventKind kind) { return eventsOf(kind).size(); }
    void clear() {
        std::lock_guard<std::mutex> hold(lock_);
        events_.clear();
    }
    // The text of every key event so far, in order.
    std::string typedText() {
        std::string text;
        for (const Recorded& event : eventsOf(EventKind::Key))
            text += event.key.text;
        return text;
    }

private:
    void add(Recorded event) {
        event.when = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(event);
    }

    std::mutex lock_;
    std::vector<Recorded> events_;
};

} // namespace x11test
