// The X11 view on private Xvfb servers, driven as a user would: pixels read back from the
// server, real pointer and key input through xdotool, timers running with nobody lending the
// view a thread, a popup, and opening where there is no display or no parent.
// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>

#include "recording_events.h"
#include "x11_test_display.h"

using namespace x11test;

namespace {

XvfbServer sharedMemoryServer;
XvfbServer plainServer;

constexpr int kHostX = 40, kHostY = 30, kViewWidth = 300, kViewHeight = 200;

std::string at(int value) { return std::to_string(value); }

// A host window on the shared-memory server with a view open in it.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.ok());
        setHooks();
        view.reset(open(host, events));
        ASSERT_NE(view, nullptr);
        openedView = view.get();
        ASSERT_TRUE(waitUntil([&] { return viewPixel(150, 100) == (events.colour & 0xFFFFFF); }));
        // A pointer left anywhere by an earlier test must not start this one inside the view.
        ASSERT_TRUE(xdotool(display(), {"mousemove", "700", "550"}));
        events.clear();
    }

    static X11View* open(HostWindow& parent, X11WindowEvents& events, const std::string& displayName = "",
                         bool allowSharedMemory = true) {
        std::string name = displayName.empty() ? sharedMemoryServer.name() : displayName;
        X11ViewOptions options;
        options.parentWindow = parent.window();
        options.width = kViewWidth;
        options.height = kViewHeight;
        options.displayName = name.c_str();
        options.allowSharedMemory = allowSharedMemory;
        return X11View::open(options, &events);
    }
    const std::string& display() { return sharedMemoryServer.name(); }
    int64_t viewPixel(int x, int y) { return host.pixel(view->window(), x, y); }
    // xdotool with the pointer first moved to a point of the view.
    bool inputAt(int x, int y, std::vector<std::string> then) {
        then.insert(then.begin(), {"mousemove", at(kHostX + x), at(kHostY + y)});
        return xdotool(display(), then);
    }
    // Waits for n events of a kind and returns the first n.
    std::vector<Recorded> waitFor(RecordingEvents& from, EventKind kind, size_t n) {
        waitUntil([&] { return from.count(kind) >= n; });
        std::vector<Recorded> found = from.eventsOf(kind);
        EXPECT_EQ(found.size(), n);
        found.resize(std::min(found.size(), n));
        return found;
    }
    std::vector<EventKind> buttonKinds() {
        std::vector<EventKind> kinds;
        for (const Recorded& event : events.events())
            if (event.kind == EventKind::Down || event.kind == EventKind::Up || event.kind == EventKind::DoubleClick)
                kinds.push_back(event.kind);
        return kinds;
    }

    // Hooks of the events, set before the view's thread may call them.
    virtual void setHooks() {}

    HostWindow host{sharedMemoryServer.name(), kHostX, kHostY, 400, 260};
    RecordingEvents events;
    std::unique_ptr<X11View> view;
    // The view for the hooks, which run on its thread.
    std::atomic<X11View*> openedView{nullptr};
};

TEST_F(ViewTest, ShowsItsPaintingsWithSharedMemoryOrPlainUploads) {
    EXPECT_TRUE(view->usesSharedMemory());
    // The accent square proves the rows line up: its corners, and just beside them.
    EXPECT_EQ(viewPixel(10, 10), 0xFFFFFF);
    EXPECT_EQ(viewPixel(19, 19), 0xFFFFFF);
    EXPECT_EQ(viewPixel(20, 19), 0x203040);
    EXPECT_EQ(viewPixel(9, 10), 0x203040);
    EXPECT_EQ(viewPixel(kViewWidth - 1, kViewHeight - 1), 0x203040);
    // The host window around the view keeps its own background.
    EXPECT_EQ(host.pixel(host.window(), kViewWidth + 5, 10), 0x404040);

    for (bool sharedServer : {true, false}) {
        const XvfbServer& server = sharedServer ? sharedMemoryServer : plainServer;
        // A view told not to use shared memory on a server that has it uploads plainly too.
        for (bool allowShared : {true, false}) {
            HostWindow otherHost(server.name(), 100, 100, 320, 220);
            RecordingEvents painted(0xFF00C080);
            painted.accent = 0xFF102030;
            std::unique_ptr<X11View> other(open(otherHost, painted, server.name(), allowShared));
            ASSERT_NE(other, nullptr);
            EXPECT_EQ(other->usesSharedMemory(), sharedServer && allowShared);
            EXPECT_TRUE(waitUntil([&] { return otherHost.pixel(other->window(), 200, 150) == 0x00C080; }));
            EXPECT_EQ(otherHost.pixel(other->window(), 15, 15), 0x102030);
            EXPECT_EQ(otherHost.pixel(other->window(), 20, 15), 0x00C080);
        }
    }
}

TEST_F(ViewTest, RepaintRequestedFromAnotherThreadIsShown) {
    int32_t paintsBefore = events.paints;
    std::thread other([&] {
        events.colour = 0xFF11AA22;
        view->requestRepaint();
    });
    other.join();
    EXPECT_TRUE(waitUntil([&] { return viewPixel(150, 100) == 0x11AA22; }));
    EXPECT_EQ(viewPixel(15, 15), 0xFFFFFF);
    EXPECT_GT(events.paints, paintsBefore);
}

TEST_F(ViewTest, ButtonsArriveWithTheirPositions) {
    ASSERT_TRUE(inputAt(50, 60, {"click", "1", "mousemove", at(kHostX + 120), at(kHostY + 70), "click", "3",
                                 "mousemove", at(kHostX + 200), at(kHostY + 150), "click", "2"}));
    std::vector<Recorded> downs = waitFor(events, EventKind::Down, 3);
    std::vector<Recorded> ups = waitFor(events, EventKind::Up, 3);
    ASSERT_EQ(downs.size(), 3u);
    ASSERT_EQ(ups.size(), 3u);
    const int expected[3][3] = {{X11_BUTTON_LEFT, 50, 60}, {X11_BUTTON_RIGHT, 120, 70}, {X11_BUTTON_MIDDLE, 200, 150}};
    for (int i = 0; i < 3; ++i) {
        for (const Recorded* event : {&downs[size_t(i)], &ups[size_t(i)]}) {
            EXPECT_EQ(event->mouse.button, expected[i][0]);
            EXPECT_EQ(event->mouse.x, expected[i][1]);
            EXPECT_EQ(event->mouse.y, expected[i][2]);
            EXPECT_EQ(event->mouse.modifiers, 0u);
        }
        EXPECT_EQ(downs[size_t(i)].mouse.heldButtons, 0u);
    }
    // While a button is down, the release sees it held.
    EXPECT_EQ(ups[0].mouse.heldButtons, X11_HELD_LEFT);
    EXPECT_EQ(ups[1].mouse.heldButtons, X11_HELD_RIGHT);
    EXPECT_EQ(ups[2].mouse.heldButtons, X11_HELD_MIDDLE);
    // A move lands where the pointer went.
    std::vector<Recorded> moves = events.eventsOf(EventKind::Move);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().mouse.x, 200);
    EXPECT_EQ(moves.back().mouse.y, 150);
}

TEST_F(ViewTest, ModifiersHeldOnTheServerComeWithTheClick) {
    struct Chord {
        std::vector<std::string> keys;
        uint32_t modifiers;
    };
    const Chord chords[] = {{{"ctrl"}, X11_MODIFIER_CONTROL},
                            {{"shift"}, X11_MODIFIER_SHIFT},
                            {{"alt"}, X11_MODIFIER_ALT},
                            {{"ctrl", "shift"}, X11_MODIFIER_CONTROL | X11_MODIFIER_SHIFT}};
    size_t n = 0;
    for (const Chord& chord : chords) {
        std::vector<std::string> input;
        for (const std::string& key : chord.keys)
            input.insert(input.end(), {"keydown", key});
        input.insert(input.end(), {"click", "1"});
        for (const std::string& key : chord.keys)
            input.insert(input.end(), {"keyup", key});
        ASSERT_TRUE(inputAt(80 + int(n) * 10, 90, input));
        std::vector<Recorded> downs = waitFor(events, EventKind::Down, ++n);
        ASSERT_EQ(downs.size(), n);
        EXPECT_EQ(downs.back().mouse.modifiers, chord.modifiers) << chord.keys[0];
        EXPECT_EQ(downs.back().mouse.x, 80 + int(n - 1) * 10);
    }
    // Released on the server: the next click has none.
    ASSERT_TRUE(inputAt(60, 60, {"click", "1"}));
    EXPECT_EQ(waitFor(events, EventKind::Down, n + 1).back().mouse.modifiers, 0u);
}

TEST_F(ViewTest, DragKeepsThePointerCapturedOutsideTheView) {
    // Right of the view inside the host, then off the host altogether, then released there.
    // (Pauses between moves: of moves queued together the view hears only the latest.)
    ASSERT_TRUE(inputAt(50, 50, {"mousedown", "1", "mousemove", at(kHostX + 350), at(kHostY + 60), "sleep", "0.1",
                                 "mousemove", "700", "500", "sleep", "0.1", "mouseup", "1"}));
    std::vector<Recorded> ups = waitFor(events, EventKind::Up, 1);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].mouse.x, 700 - kHostX);
    EXPECT_EQ(ups[0].mouse.y, 500 - kHostY);
    std::vector<Recorded> moves = events.eventsOf(EventKind::Move);
    bool sawBesideTheView = false;
    for (const Recorded& move : moves) {
        if (move.mouse.x == 350 && move.mouse.y == 60) {
            sawBesideTheView = true;
            EXPECT_EQ(move.mouse.heldButtons, X11_HELD_LEFT);
        }
    }
    EXPECT_TRUE(sawBesideTheView);
    EXPECT_EQ(moves.back().mouse.x, 700 - kHostX);
    // Captured, the pointer never left.
    EXPECT_EQ(events.count(EventKind::Leave), 0u);

    // Without a button the view hears that the pointer left.
    events.clear();
    ASSERT_TRUE(inputAt(100, 100, {"mousemove", "700", "500"}));
    EXPECT_EQ(waitFor(events, EventKind::Leave, 1).size(), 1u);
}

TEST_F(ViewTest, WheelNotchesAreStepsAndNotClicks) {
    ASSERT_TRUE(inputAt(100, 70, {"click", "4", "click", "5", "click", "5"}));
    std::vector<Recorded> wheel = waitFor(events, EventKind::Wheel, 3);
    ASSERT_EQ(wheel.size(), 3u);
    EXPECT_EQ(wheel[0].steps, 1);
    EXPECT_EQ(wheel[1].steps, -1);
    EXPECT_EQ(wheel[2].steps, -1);
    EXPECT_EQ(wheel[2].mouse.x, 100);
    EXPECT_EQ(wheel[2].mouse.y, 70);
    ASSERT_TRUE(inputAt(100, 70, {"keydown", "ctrl", "click", "4", "keyup", "ctrl"}));
    wheel = waitFor(events, EventKind::Wheel, 4);
    ASSERT_EQ(wheel.size(), 4u);
    EXPECT_EQ(wheel[3].mouse.modifiers, X11_MODIFIER_CONTROL);
    EXPECT_TRUE(buttonKinds().empty());
}

TEST_F(ViewTest, DoubleClickNeedsTheSameSpotSoonEnough) {
    using K = EventKind;
    // Quick pair on one spot: the second press is the double-click.
    ASSERT_TRUE(inputAt(60, 60, {"click", "--repeat", "2", "--delay", "60", "1"}));
    waitFor(events, K::Up, 2);
    EXPECT_EQ(buttonKinds(), (std::vector<K>{K::Down, K::Up, K::DoubleClick, K::Up}));
    EXPECT_EQ(events.eventsOf(K::DoubleClick)[0].mouse.x, 60);

    // Four pixels apart: two clicks.
    events.clear();
    ASSERT_TRUE(inputAt(120, 60, {"click", "1", "mousemove", at(kHostX + 124), at(kHostY + 60), "click", "1"}));
    waitFor(events, K::Up, 2);
    EXPECT_EQ(buttonKinds(), (std::vector<K>{K::Down, K::Up, K::Down, K::Up}));

    // Two pixels apart: still a double-click.
    events.clear();
    ASSERT_TRUE(inputAt(160, 60, {"click", "1", "mousemove", at(kHostX + 162), at(kHostY + 58), "click", "1"}));
    waitFor(events, K::Up, 2);
    EXPECT_EQ(buttonKinds(), (std::vector<K>{K::Down, K::Up, K::DoubleClick, K::Up}));

    // Too slow: two clicks.
    events.clear();
    ASSERT_TRUE(inputAt(200, 60, {"click", "1", "sleep", "0.6", "click", "1"}));
    waitFor(events, K::Up, 2);
    EXPECT_EQ(buttonKinds(), (std::vector<K>{K::Down, K::Up, K::Down, K::Up}));

    // A third quick press starts a new pair.
    events.clear();
    ASSERT_TRUE(inputAt(240, 60, {"click", "--repeat", "3", "--delay", "60", "1"}));
    waitFor(events, K::Up, 3);
    EXPECT_EQ(buttonKinds(), (std::vector<K>{K::Down, K::Up, K::DoubleClick, K::Up, K::Down, K::Up}));
}

TEST_F(ViewTest, TypedTextReachesTheViewOnceItAskedForFocus) {
    // Another application's window holds the focus and the pointer rests on it.
    HostWindow other(display(), 600, 450, 100, 100);
    XSetInputFocus(other.display(), other.window(), RevertToParent, CurrentTime);
    XSync(other.display(), False);
    ASSERT_TRUE(xdotool(display(), {"mousemove", "650", "500", "type", "x"}));

    view->requestKeyboardFocus();
    ASSERT_EQ(waitFor(events, EventKind::FocusGained, 1).size(), 1u);
    // Characters of the keyboard map only: xdotool types others by mapping a spare key for a
    // moment, and the view may read the map after it has been put back (a race of the tool,
    // not of a keyboard). The text of such keysyms is the input unit's test.
    ASSERT_TRUE(xdotool(display(), {"type", "12.5-dB"}));
    EXPECT_TRUE(waitUntil([&] { return events.typedText().size() >= 7; }));
    // The x typed before went to the other window.
    EXPECT_EQ(events.typedText(), "12.5-dB");

    // Losing the focus is told too.
    XSetInputFocus(other.display(), other.window(), RevertToParent, CurrentTime);
    XSync(other.display(), False);
    EXPECT_EQ(waitFor(events, EventKind::FocusLost, 1).size(), 1u);
}

TEST_F(ViewTest, KeysCarryTheirKeysymsAndModifiers) {
    view->requestKeyboardFocus();
    ASSERT_EQ(waitFor(events, EventKind::FocusGained, 1).size(), 1u);
    ASSERT_TRUE(xdotool(display(), {"key", "Return", "key", "shift+a", "key", "ctrl+a", "key", "Tab", "key",
                                    "Escape", "key", "alt+5", "key", "KP_Subtract"}));
    // The modifier keys themselves arrive too (a Control press may change a cursor), typing nothing.
    std::vector<Recorded> all = waitFor(events, EventKind::Key, 10), keys;
    for (const Recorded& key : all) {
        if (key.key.keysym >= XK_Shift_L && key.key.keysym <= XK_Hyper_R)
            EXPECT_STREQ(key.key.text, "");
        else
            keys.push_back(key);
    }
    ASSERT_EQ(all.size() - keys.size(), 3u);
    ASSERT_EQ(keys.size(), 7u);
    struct Expected {
        uint32_t keysym, modifiers;
        const char* text;
    };
    const Expected expected[] = {{XK_Return, 0, ""},
                                 {XK_A, X11_MODIFIER_SHIFT, "A"},
                                 {XK_a, X11_MODIFIER_CONTROL, ""},
                                 {XK_Tab, 0, ""},
                                 {XK_Escape, 0, ""},
                                 {XK_5, X11_MODIFIER_ALT, ""},
                                 {XK_KP_Subtract, 0, "-"}};
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].key.keysym, expected[i].keysym) << i;
        EXPECT_EQ(keys[i].key.modifiers, expected[i].modifiers) << i;
        EXPECT_STREQ(keys[i].key.text, expected[i].text) << i;
    }
}

TEST_F(ViewTest, TimersFireAtTheirOwnPeriodsWithNobodyCallingIn) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(view->setTimer(1, 33));
    ASSERT_TRUE(view->setTimer(2, 100));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    view->killTimer(1);
    view->killTimer(2);
    auto killed = std::chrono::steady_clock::now();
    std::vector<double> times[3];
    for (const Recorded& timer : events.eventsOf(EventKind::Timer))
        if (timer.when <= killed)
            times[timer.timerId].push_back(std::chrono::duration<double, std::milli>(timer.when - start).count());
    double window = std::chrono::duration<double, std::milli>(killed - start).count();
    // Never ahead of their periods; behind only by what a busy machine delays the thread.
    EXPECT_LE(times[1].size(), size_t(window / 33));
    EXPECT_GE(times[1].size(), size_t(window / 33 * 0.7));
    EXPECT_LE(times[2].size(), size_t(window / 100));
    EXPECT_GE(times[2].size(), size_t(window / 100 * 0.7));
    for (int id : {1, 2}) {
        std::vector<double> gaps;
        for (size_t i = 1; i < times[id].size(); ++i)
            gaps.push_back(times[id][i] - times[id][i - 1]);
        ASSERT_FALSE(gaps.empty());
        std::nth_element(gaps.begin(), gaps.begin() + long(gaps.size() / 2), gaps.end());
        double period = id == 1 ? 33.0 : 100.0;
        EXPECT_NEAR(gaps[gaps.size() / 2], period, 5.0) << "timer " << id;
        EXPECT_GE(times[id].front(), period - 1.0);
    }
    // Killed timers stay quiet.
    size_t fired = events.count(EventKind::Timer);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(events.count(EventKind::Timer), fired);
    // No more than the view's number of timers run at once; a killed one frees its place.
    for (int32_t id = 0; id < X11View::kMaxTimers; ++id)
        EXPECT_TRUE(view->setTimer(100 + id, 1000));
    EXPECT_FALSE(view->setTimer(99, 1000));
    EXPECT_TRUE(view->setTimer(100, 500));
    view->killTimer(101);
    EXPECT_TRUE(view->setTimer(99, 1000));
    EXPECT_FALSE(view->setTimer(98, 0));
}

class PopupTest : public ViewTest {
protected:
    void setHooks() override {
        popupEvents.colour = 0xFF0000FF;
        // A right press opens the popup at the pointer, as a context menu does.
        events.onPress = [this](const X11MouseEvent& mouse) {
            X11View* opened = openedView.load();
            int32_t x = 0, y = 0;
            if (opened && mouse.button == X11_BUTTON_RIGHT && opened->toScreen(mouse.x, mouse.y, x, y))
                popupOpened = opened->openPopup(x, y, 120, 90, &popupEvents);
        };
    }
    void openAt(int x, int y) {
        ASSERT_TRUE(inputAt(x, y, {"click", "3"}));
        ASSERT_TRUE(waitUntil([&] { return popupOpened.load(); }));
        popupX = kHostX + x;
        popupY = kHostY + y;
        ASSERT_TRUE(waitUntil([&] { return host.screenPixel(popupX + 60, popupY + 45) == 0x0000FF; }));
        popupEvents.clear();
    }

    RecordingEvents popupEvents;
    std::atomic<bool> popupOpened{false};
    int popupX = 0, popupY = 0;
};

TEST_F(PopupTest, OpensAtItsPlaceTakesClicksAndClosesOnAPressOutside) {
    openAt(50, 40);
    // Above the view, with its top-left corner at the press.
    EXPECT_EQ(host.screenPixel(popupX + 15, popupY + 15), 0xFFFFFF);
    EXPECT_EQ(host.screenPixel(popupX + 119, popupY + 89), 0x0000FF);
    EXPECT_EQ(host.screenPixel(popupX + 120, popupY + 45), 0x203040);

    ASSERT_TRUE(xdotool(display(), {"mousemove", at(popupX + 30), at(popupY + 20), "click", "1"}));
    std::vector<Recorded> downs = waitFor(popupEvents, EventKind::Down, 1);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].mouse.x, 30);
    EXPECT_EQ(downs[0].mouse.y, 20);
    EXPECT_EQ(waitFor(popupEvents, EventKind::Up, 1).size(), 1u);

    // A press on the view outside the popup closes it and is not a click on the view.
    size_t viewDowns = events.count(EventKind::Down);
    ASSERT_TRUE(inputAt(250, 180, {"click", "1"}));
    EXPECT_EQ(waitFor(popupEvents, EventKind::PopupClosed, 1).size(), 1u);
    EXPECT_TRUE(waitUntil([&] { return host.screenPixel(popupX + 60, popupY + 45) == 0x203040; }));
    EXPECT_EQ(events.count(EventKind::Down), viewDowns);

    // Then the view is clickable again.
    ASSERT_TRUE(inputAt(250, 180, {"click", "1"}));
    EXPECT_EQ(waitFor(events, EventKind::Down, viewDowns + 1).size(), viewDowns + 1);

    // A press off every window of ours closes it too (the popup holds the pointer).
    popupOpened = false;
    openAt(60, 50);
    ASSERT_TRUE(xdotool(display(), {"mousemove", "700", "550", "click", "1"}));
    EXPECT_EQ(waitFor(popupEvents, EventKind::PopupClosed, 1).size(), 1u);
}

TEST_F(PopupTest, TakesKeysAndEscapeClosesIt) {
    openAt(100, 60);
    ASSERT_TRUE(xdotool(display(), {"key", "Down", "key", "Escape"}));
    EXPECT_EQ(waitFor(popupEvents, EventKind::PopupClosed, 1).size(), 1u);
    std::vector<Recorded> keys = popupEvents.eventsOf(EventKind::Key);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key.keysym, uint32_t(XK_Down));
    EXPECT_EQ(events.count(EventKind::Key), 0u);
    EXPECT_TRUE(waitUntil([&] { return host.screenPixel(popupX + 60, popupY + 45) == 0x203040; }));
}

class OpenTest : public ::testing::Test {
protected:
    HostWindow host{sharedMemoryServer.name(), kHostX, kHostY, 400, 260};
    RecordingEvents events;
};

TEST_F(OpenTest, NoDisplayOrNoParentGivesNoView) {
    int descriptors = openDescriptorCount(), threads = threadCount();
    X11ViewOptions options;
    options.parentWindow = host.window();
    options.width = kViewWidth;
    options.height = kViewHeight;

    std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    EXPECT_EQ(X11View::open(options, &events), nullptr);
    if (!saved.empty())
        setenv("DISPLAY", saved.c_str(), 1);

    options.displayName = ":4093";
    EXPECT_EQ(X11View::open(options, &events), nullptr);

    // A parent that is gone: the server's refusal must not end the process.
    options.displayName = sharedMemoryServer.name().c_str();
    Window gone = XCreateSimpleWindow(host.display(), host.window(), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(host.display(), gone);
    XSync(host.display(), False);
    options.parentWindow = gone;
    EXPECT_EQ(X11View::open(options, &events), nullptr);

    options.parentWindow = host.window();
    options.width = 0;
    EXPECT_EQ(X11View::open(options, &events), nullptr);
    options.width = kViewWidth;
    EXPECT_EQ(X11View::open(options, nullptr), nullptr);

    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(events.paints, 0);
    EXPECT_EQ(host.childCount(), 0);
}

TEST_F(OpenTest, AParentDestroyedBeforeTheCloseTakesTheViewAlong) {
    // Hosts often destroy their window first and only then close the editor.
    Window parent = XCreateSimpleWindow(host.display(), host.window(), 10, 10, kViewWidth, kViewHeight, 0, 0, 0);
    XMapWindow(host.display(), parent);
    XSync(host.display(), False);
    X11ViewOptions options;
    options.parentWindow = parent;
    options.width = kViewWidth;
    options.height = kViewHeight;
    options.displayName = sharedMemoryServer.name().c_str();
    std::unique_ptr<X11View> view(X11View::open(options, &events));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->setTimer(1, 5));
    ASSERT_TRUE(waitUntil([&] { return host.pixel(view->window(), 5, 5) == 0x203040; }));
    XDestroyWindow(host.display(), parent);
    XSync(host.display(), False);
    // The view's thread goes on: its timers run, and repaints and focus requests find no window.
    size_t ticks = events.count(EventKind::Timer);
    EXPECT_TRUE(waitUntil([&] { return events.count(EventKind::Timer) > ticks + 3; }));
    int32_t paints = events.paints;
    view->requestRepaint();
    view->requestKeyboardFocus();
    EXPECT_TRUE(waitUntil([&] { return events.count(EventKind::Timer) > ticks + 6; }));
    EXPECT_EQ(events.paints, paints);
    view.reset();
    EXPECT_EQ(host.childCount(), 0);
}

TEST_F(OpenTest, ScaleComesFromXftDpi) {
    Display* display = host.display();
    Window root = DefaultRootWindow(display);
    auto openScale = [&] {
        X11ViewOptions options;
        options.parentWindow = host.window();
        options.width = 50;
        options.height = 50;
        options.displayName = sharedMemoryServer.name().c_str();
        std::unique_ptr<X11View> view(X11View::open(options, &events));
        return view ? view->scale() : -1.0;
    };
    const char resources[] = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), int(sizeof resources - 1));
    XSync(display, False);
    EXPECT_DOUBLE_EQ(openScale(), 1.5);
    XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
    XSync(display, False);
    EXPECT_DOUBLE_EQ(openScale(), 1.0);
}

TEST_F(OpenTest, OpeningAndClosingLeavesNothingBehind) {
    auto cycle = [&] {
        X11ViewOptions options;
        options.parentWindow = host.window();
        options.width = kViewWidth;
        options.height = kViewHeight;
        options.displayName = sharedMemoryServer.name().c_str();
        int32_t paints = events.paints;
        std::unique_ptr<X11View> view(X11View::open(options, &events));
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->usesSharedMemory());
        ASSERT_TRUE(view->setTimer(7, 5));
        ASSERT_TRUE(waitUntil([&] { return events.paints > paints && events.count(EventKind::Timer) > 0; }));
        EXPECT_EQ(host.childCount(), 1);
        EXPECT_GE(sharedSegmentCount(), 1);
        events.clear();
    };
    cycle();
    int descriptors = openDescriptorCount(), threads = threadCount(), segments = sharedSegmentCount();
    for (int i = 0; i < 100 && !HasFatalFailure(); ++i)
        cycle();
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(sharedSegmentCount(), segments);
    EXPECT_EQ(segments, 0);
    EXPECT_EQ(host.childCount(), 0);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A sanitizer may start a thread of its own with the first thread: before any count.
    std::thread([] {}).join();
    if (!sharedMemoryServer.start(true) || !plainServer.start(false)) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    int result = RUN_ALL_TESTS();
    sharedMemoryServer.stop();
    plainServer.stop();
    return result;
}
