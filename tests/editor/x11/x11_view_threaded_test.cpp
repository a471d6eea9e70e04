// Closing the X11 view from a host's thread while its own thread is busy: input pouring in
// from xdotool with a paint for every move, timers and repaint requests from other threads,
// a popup holding the pointer, and a server that goes away under an open view.
// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "recording_events.h"
#include "x11_test_display.h"

using namespace x11test;

namespace {

XvfbServer server;

constexpr int kHostX = 20, kHostY = 20, kViewWidth = 360, kViewHeight = 240;

X11View* openView(HostWindow& host, X11WindowEvents& events, const std::string& display) {
    X11ViewOptions options;
    options.parentWindow = host.window();
    options.width = kViewWidth;
    options.height = kViewHeight;
    options.displayName = display.c_str();
    return X11View::open(options, &events);
}

// A zigzag over the whole view for about a second, as one xdotool run. (The view hears only
// the latest of the moves queued at once, so a burst without pauses would be over at once.)
std::vector<std::string> zigzag(int moves) {
    std::vector<std::string> input;
    for (int i = 0; i < moves; ++i) {
        input.insert(input.end(), {"mousemove", std::to_string(kHostX + 5 + (i * 37) % (kViewWidth - 10)),
                                   std::to_string(kHostY + 5 + (i * 23) % (kViewHeight - 10)), "sleep", "0.005"});
    }
    return input;
}

TEST(X11ViewThreaded, CloseFromAnotherThreadWhileInputPoursIn) {
    HostWindow host(server.name(), kHostX, kHostY, kViewWidth + 40, kViewHeight + 40);
    ASSERT_TRUE(host.ok());
    int descriptors = openDescriptorCount(), threads = threadCount();
    for (int round = 0; round < 8; ++round) {
        RecordingEvents events;
        // Every move asks for a paint, so the close lands among paints as well as events.
        std::atomic<X11View*> opened{nullptr};
        events.onMove = [&opened](const X11MouseEvent&) {
            if (X11View* view = opened.load())
                view->requestRepaint();
        };
        X11View* view = openView(host, events, server.name());
        ASSERT_NE(view, nullptr);
        opened = view;
        ASSERT_TRUE(view->setTimer(1, 1));
        std::atomic<bool> hammering{true};
        std::thread other([&] {
            for (int32_t i = 0; hammering; ++i) {
                view->requestRepaint();
                view->setTimer(2 + i % 3, 1 + i % 7);
                view->killTimer(2 + (i + 1) % 3);
            }
        });
        pid_t input = xdotoolInBackground(server.name(), zigzag(200));
        bool moved = waitUntil([&] { return events.count(EventKind::Move) >= size_t(5 + round * 3); });
        hammering = false;
        other.join();
        EXPECT_TRUE(moved) << events.count(EventKind::Move) << " moves, " << events.paints << " paints";
        // The host's thread closes the editor while the view's thread is still busy.
        std::thread closer([&] { delete view; });
        closer.join();
        size_t heard = events.events().size();
        int32_t paints = events.paints;
        EXPECT_GT(paints, 1);
        EXPECT_TRUE(waitForProcess(input));
        EXPECT_EQ(events.events().size(), heard);
        EXPECT_EQ(events.paints, paints);
    }
    EXPECT_EQ(host.childCount(), 0);
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(sharedSegmentCount(), 0);
}

TEST(X11ViewThreaded, ClosingWithAPopupOpenLetsGoOfThePointer) {
    HostWindow host(server.name(), kHostX, kHostY, kViewWidth + 40, kViewHeight + 40);
    ASSERT_TRUE(host.ok());
    RecordingEvents events, popupEvents(0xFF0000FF);
    std::atomic<bool> popupOpened{false};
    std::atomic<X11View*> opened{nullptr};
    events.onPress = [&](const X11MouseEvent&) {
        if (X11View* view = opened.load())
            popupOpened = view->openPopup(300, 300, 100, 100, &popupEvents);
    };
    X11View* view = openView(host, events, server.name());
    ASSERT_NE(view, nullptr);
    opened = view;
    ASSERT_TRUE(xdotool(server.name(), {"mousemove", "100", "100", "click", "1"}));
    ASSERT_TRUE(waitUntil([&] { return popupOpened && host.screenPixel(350, 350) == 0x0000FF; }));
    std::thread closer([&] { delete view; });
    closer.join();
    EXPECT_TRUE(waitUntil([&] { return host.screenPixel(350, 350) != 0x0000FF; }));

    // Were the pointer still grabbed, this view would hear nothing.
    RecordingEvents next;
    std::unique_ptr<X11View> again(openView(host, next, server.name()));
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(waitUntil([&] { return next.paints > 0; }));
    ASSERT_TRUE(xdotool(server.name(), {"mousemove", "120", "110", "click", "1"}));
    EXPECT_TRUE(waitUntil([&] { return next.count(EventKind::Down) == 1; }));
}

TEST(X11ViewThreaded, AServerThatGoesAwayDoesNotTakeTheProcessWithIt) {
    XvfbServer doomed;
    ASSERT_TRUE(doomed.start());
    int threads = threadCount(), descriptors = openDescriptorCount();
    RecordingEvents events;
    std::unique_ptr<X11View> view;
    {
        HostWindow host(doomed.name(), 0, 0, 200, 200);
        ASSERT_TRUE(host.ok());
        view.reset(openView(host, events, doomed.name()));
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->setTimer(1, 2));
        ASSERT_TRUE(waitUntil([&] { return events.paints > 0; }));
    }
    doomed.stop();
    // The thread keeps running without its connection; requests and the close still work.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    view->requestRepaint();
    view->requestKeyboardFocus();
    std::thread closer([&] { view.reset(); });
    closer.join();
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

} // namespace

// libX11 1.8.4 unlocks a connection's lock once more than it locked it when a call that talks
// to the server (XPending, XFlush) meets a lost connection and the connection's exit handler
// returns (the path the last test takes); which call meets it first depends on timing.
extern "C" const char* __tsan_default_suppressions() { return "mutex:XPending\nmutex:XFlush\n"; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A sanitizer may start a thread of its own with the first thread: before any count.
    std::thread([] {}).join();
    if (!server.start()) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    int result = RUN_ALL_TESTS();
    server.stop();
    return result;
}
