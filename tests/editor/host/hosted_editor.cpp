// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include "hosted_editor.h"

#include "host/plugin_host.h"
#include "x11_test_display.h"

#include <X11/extensions/XRes.h>
#include <malloc.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace hostedtest {

namespace {

x11test::XvfbServer server;

} // namespace

const std::string& displayName() { return server.name(); }

HostedEditor::HostedEditor(bool callsIdle) : host(session, callsIdle, displayName().c_str(), kHostX, kHostY) {
    std::string error;
    if (!session.open(TARNWELL_PLUGIN_PATH, error, recordingHostCallback)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    session.start(44100.0);
    clearHostCalls();
}

HostedEditor::~HostedEditor() { close(); }

bool HostedEditor::open() {
    std::string error;
    if (!host.openEditor(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return host.serveUntil([this] { return host.editorWindow() != 0 && X11EditorHost::showsEditor(host.readBack()); });
}

void HostedEditor::close() { host.closeEditor(); }

bool HostedEditor::input(const std::vector<std::string>& arguments) {
    pid_t pid = x11test::xdotoolInBackground(displayName(), arguments);
    if (pid <= 0)
        return false;
    int status = 0;
    pid_t ended = 0;
    host.serveUntil([&] { return (ended = waitpid(pid, &status, WNOHANG)) != 0; }, 30000);
    if (ended == 0)
        ended = waitpid(pid, &status, 0);
    // The last events are on their way to the editor; its thread may not have them yet.
    host.serve(30);
    return ended == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int32_t HostedEditor::bandCount() const { return session.parameterCount() / 12; }

Picture HostedEditor::screenArea(int x, int y, int width, int height) {
    return host.readScreen(kHostX + x, kHostY + y, width, height);
}

long serverResourceCount(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase))
        return -1;
    int clientCount = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(display, &clientCount, &clients))
        return -1;
    long total = 0;
    for (int c = 0; c < clientCount; ++c) {
        int typeCount = 0;
        XResType* types = nullptr;
        if (!XResQueryClientResources(display, clients[c].resource_base, &typeCount, &types))
            continue;
        for (int t = 0; t < typeCount; ++t)
            total += long(types[t].count);
        XFree(types);
    }
    XFree(clients);
    return total;
}

size_t heapBytesInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

PlayingAudio::PlayingAudio(HostedEditor& editor) : thread_(editor.session.effect(), left_, right_, 44100.0) {
    // The thread holds the signal by reference and starts only once it is made.
    generateTestSignal(left_, right_, 44100, 44100.0);
    thread_.start();
}

} // namespace hostedtest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A sanitizer may start a thread of its own with the first thread: before any count.
    std::thread([] {}).join();
    if (!hostedtest::server.start()) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    // The editor connects to the display the host runs on, as $DISPLAY names it.
    setenv("DISPLAY", hostedtest::server.name().c_str(), 1);
    int result = RUN_ALL_TESTS();
    hostedtest::server.stop();
    return result;
}
