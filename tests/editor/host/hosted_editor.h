// What the tests of the editor in a Linux host stand on: one private Xvfb per test program
// (started by its main), the built Tarnwell.so loaded by the host program's own code with
// every call back recorded, its editor opened in a top-level X window of the host, real input
// through xdotool while the host keeps serving its thread (calling effEditIdle or not), and
// counts of what the process and the X server hold.
#pragma once

// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include "host/audio_thread.h"
#include "host/host_calls.h"
#include "host/plugin_session.h"
#include "host/process_holdings.h"
#include "host/x11_editor_host.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hostedtest {

// The name of a test run in a host that calls effEditIdle (true) or one that never does.
inline std::string hostKindName(const ::testing::TestParamInfo<bool>& callsIdle) {
    return callsIdle.param ? "CallingIdle" : "NeverCallingIdle";
}

// The program's server, started before the tests run.
const std::string& displayName();

// Where the host window sits on the screen.
constexpr int kHostX = 10, kHostY = 10;

class HostedEditor {
  public:
    explicit HostedEditor(bool callsIdle);
    ~HostedEditor();
    HostedEditor(const HostedEditor&) = delete;
    HostedEditor& operator=(const HostedEditor&) = delete;

    bool loaded() const { return session.effect() != nullptr; }
    // Opens the editor and waits until it has shown itself in the host window; false when it
    // opened nothing or showed nothing within the time.
    bool open();
    void close();

    // Runs xdotool against the server in the background while the host serves its thread;
    // true when it ran to the end with success.
    bool input(const std::vector<std::string>& arguments);
    // Serves the host's thread until the condition holds or the time is up.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
        return host.serveUntil(condition, timeoutMs);
    }

    float parameter(int32_t index) const { return session.parameterValue(index); }
    std::string display(int32_t index) const { return session.parameterDisplay(index); }
    int32_t bandCount() const;
    // A rectangle of the screen around the host window, in the window's pixels, as the server
    // shows it (a popup of the editor included).
    Picture screenArea(int x, int y, int width, int height);

    PluginSession session;
    X11EditorHost host;
};

// The calls the plug-in made since the log was last cleared.
inline std::vector<HostCall> hostCalls() { return HostCallLog::shared().calls(); }
inline void clearHostCalls() { HostCallLog::shared().clear(); }

// Everything every client of the server holds (windows, pixmaps, GCs, fonts, cursors...), as
// the X-Resource extension counts it; -1 when the server does not offer the extension.
long serverResourceCount(Display* display);
// The heap bytes this process has in use (the rest of what it holds: host/process_holdings.h).
size_t heapBytesInUse();

// The host's audio thread playing a second of the host program's test signal in a loop through
// an editor's instance, from construction until stop or destruction.
class PlayingAudio {
  public:
    explicit PlayingAudio(HostedEditor& editor);
    ~PlayingAudio() { stop(); }
    void stop() { thread_.stop(); }
    int64_t blocks() const { return thread_.blocks(); }

  private:
    std::vector<float> left_, right_;
    AudioThread thread_;
};

} // namespace hostedtest
