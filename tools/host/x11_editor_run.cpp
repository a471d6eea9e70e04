#include "host/x11_editor_run.h"

#include "host/audio_thread.h"
#include "host/host_calls.h"
#include "host/process_holdings.h"
#include "host/x11_editor_host.h"

#include <cstdio>

namespace {

struct Holdings {
    long residentKb;
    int threads;
    int descriptors;
};

Holdings holdings() { return {residentKilobytes(), threadCount(), openDescriptorCount()}; }

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
            if (!X11EditorHost::showsEditor(picture)) {
                std::fprintf(stderr, "tarnwell-host: the editor window shows nothing\n");
                status = 5;
            } else if (!picture.savePng(options.picturePath)) {
                std::fprintf(stderr, "tarnwell-host: cannot write %s\n", options.picturePath.c_str());
                status = 5;
            } else {
                std::printf("\neditor       %s (%d x %d, after %d ms of the signal, %s)\n",
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
