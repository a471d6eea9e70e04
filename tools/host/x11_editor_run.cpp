#include "host/x11_editor_run.h"

#include "host/audio_thread.h"
#include "host/host_calls.h"
#include "host/x11_editor_host.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>

namespace {

int entriesOf(const char* directory) {
    DIR* dir = opendir(directory);
    if (!dir)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count;
}

long residentKilobytes() {
    FILE* file = std::fopen("/proc/self/status", "r");
    if (!file)
        return -1;
    long kilobytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1)
            break;
    std::fclose(file);
    return kilobytes;
}

struct Holdings {
    long residentKb;
    int threads;
    int descriptors;
};

Holdings holdings() { return {residentKilobytes(), entriesOf("/proc/self/task"), entriesOf("/proc/self/fd") - 1}; }

// The window shows the editor once some pixel differs from the host window's black.
bool showsSomething(const Picture& picture) {
    for (uint32_t word : picture.pixels)
        if (word != 0)
            return true;
    return false;
}

void printHostCalls() {
    const std::vector<HostCall> calls = HostCallLog::shared().calls();
    std::printf("host calls   %zu automate, %zu begin edit, %zu end edit, %zu parameter-list notices\n",
                callsOf(calls, audioMasterAutomate).size(), callsOf(calls, audioMasterBeginEdit).size(),
                callsOf(calls, audioMasterEndEdit).size(),
                callsOf(calls, audioMasterVendorSpecific, kParameterListChangedIndex).size());
}

} // namespace

int runEditorOnX11(PluginSession& session, const std::vector<float>& left, const std::vector<float>& right,
                   double sampleRate, const X11EditorRunOptions& options) {
    X11EditorHost host(session, options.callsIdle);
    std::string error;
    if (!host.connect(error)) {
        std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
        return 5;
    }
    session.start(sampleRate);
    AudioThread audio(session.effect(), left, right, sampleRate);
    audio.start();
    int status = 0;
    const char* idleText = options.callsIdle ? "effEditIdle every 20 ms" : "no effEditIdle calls";

    if (!options.picturePath.empty()) {
        if (!host.openEditor(error)) {
            std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
            status = 5;
        } else {
            host.serve(options.settleMs);
            Picture picture = host.readBack();
            if (!showsSomething(picture)) {
                std::fprintf(stderr, "tarnwell-host: the editor window shows nothing\n");
                status = 5;
            } else if (!picture.savePng(options.picturePath)) {
                std::fprintf(stderr, "tarnwell-host: cannot write %s\n", options.picturePath.c_str());
                status = 5;
            } else {
                std::printf("\neditor       %s (%d x %d, after %d ms of the test signal, %s)\n",
                            options.picturePath.c_str(), picture.width, picture.height, options.settleMs,
                            idleText);
            }
            host.closeEditor();
        }
    }

    if (status == 0 && options.openCloseCount > 0) {
        // One round first, so that what a first open loads for good (fonts, the X extensions'
        // tables) is counted before the measurement.
        if (!host.openEditor(error)) {
            std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
            status = 5;
        } else {
            host.serve(50);
            host.closeEditor();
            const Holdings before = holdings();
            for (int i = 0; i < options.openCloseCount && status == 0; ++i) {
                if (!host.openEditor(error)) {
                    std::fprintf(stderr, "tarnwell-host: open %d: %s\n", i + 1, error.c_str());
                    status = 5;
                    break;
                }
                host.serve(2);
                host.closeEditor();
            }
            const Holdings after = holdings();
            std::printf("\nopen-close   %d times (%s): resident %ld -> %ld kB, threads %d -> %d, descriptors "
                        "%d -> %d\n",
                        options.openCloseCount, idleText, before.residentKb, after.residentKb, before.threads,
                        after.threads, before.descriptors, after.descriptors);
        }
    }
    audio.stop();
    session.stop();
    printHostCalls();
    return status;
}
