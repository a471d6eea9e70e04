// The Linux editor's load in a host: the processor share of the editor's own threads while it
// is open and audio runs, over a stretch of seconds, against 2% of one core; once in a host
// that never calls effEditIdle and once in one that calls it every 20 ms (its thread's share is
// shown too, since the idle calls spend their time there).
// tarnwell-editor-x11-bench PLUGIN [--seconds N]   (needs $DISPLAY; make bench runs it in Xvfb)
#include "editor_thread_load.h"
#include "host/audio_thread.h"
#include "host/plugin_host.h"
#include "host/plugin_session.h"
#include "host/x11_editor_host.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kShareGoalPercent = 2.0;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Opens the editor, lets it settle, then measures its threads (those that appeared with it)
// over the stretch. False when the editor did not open.
bool measureShare(X11EditorHost& host, bool callsIdle, int seconds) {
    host.setCallsIdle(callsIdle);
    std::string error;
    const std::vector<ThreadTime> before = processThreadTimes();
    if (!host.openEditor(error)) {
        std::fprintf(stderr, "tarnwell-editor-x11-bench: %s\n", error.c_str());
        return false;
    }
    host.serve(500);
    const std::vector<int> editorThreads = newThreads(before, processThreadTimes());
    const std::vector<int> hostThread = {int(syscall(SYS_gettid))};
    const double editorStart = threadSeconds(editorThreads), hostStart = threadSeconds(hostThread);
    const long idleStart = host.idleCalls();
    const double start = now();
    host.serve(seconds * 1000);
    const double wall = now() - start;
    const double editorShare = 100.0 * (threadSeconds(editorThreads) - editorStart) / wall;
    const double hostShare = 100.0 * (threadSeconds(hostThread) - hostStart) / wall;
    std::string names;
    for (const ThreadTime& thread : processThreadTimes())
        for (int tid : editorThreads)
            if (thread.tid == tid)
                names += (names.empty() ? "" : ", ") + thread.name;
    host.closeEditor();
    std::printf("%-24s editor threads %5.2f %% of one core over %.1f s (goal below %.0f %%: %s); "
                "%zu thread(s) [%s]; host thread %.2f %% (%ld idle calls)\n",
                callsIdle ? "host calls effEditIdle" : "host never calls idle", editorShare, wall,
                kShareGoalPercent, editorShare < kShareGoalPercent ? "met" : "MISSED", editorThreads.size(),
                names.c_str(), hostShare, host.idleCalls() - idleStart);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarnwell-editor-x11-bench PLUGIN [--seconds N]\n");
        return 1;
    }
    int seconds = 10;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc && std::atoi(argv[i + 1]) > 0)
            seconds = std::atoi(argv[++i]);
    }
    PluginSession session;
    std::string error;
    if (!session.open(argv[1], error)) {
        std::fprintf(stderr, "tarnwell-editor-x11-bench: %s\n", error.c_str());
        return 3;
    }
    const double rate = 44100.0;
    std::vector<float> left, right;
    generateTestSignal(left, right, int(rate) * 8, rate);
    session.start(rate);
    AudioThread audio(session.effect(), left, right, rate);
    audio.start();

    std::printf("Editor on X11, audio running (%s):\n", argv[1]);
    // One connection for the whole run: a server that resets when its last client leaves would
    // refuse a new one for a moment.
    X11EditorHost host(session, false);
    bool ok = host.connect(error) && measureShare(host, false, seconds) && measureShare(host, true, seconds);
    if (!error.empty())
        std::fprintf(stderr, "tarnwell-editor-x11-bench: %s\n", error.c_str());
    audio.stop();
    session.stop();
    return ok ? 0 : 5;
}
