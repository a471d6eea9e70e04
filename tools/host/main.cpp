// tarnwell-host PLUGIN [--seconds N] [--demo] [--editor-picture FILE.png] [--idle] [--open-close N]
// Loads a VST 2.4 plug-in, prints its effect record and its parameter list, round-trips its
// state block through a second instance, sets every band compressing, runs a generated test
// signal (with --demo the demo piece of tarnwell-demo-signal) through it and prints input and
// output peak and RMS per second. --editor-picture
// then opens the plug-in's editor in a host window while the signal plays and writes what the
// window shows. On Linux the window is an X window of the host's own connection; --idle makes
// the host call effEditIdle every 20 ms (else it never does), and --open-close N opens and
// closes the editor N times and prints what the process holds before and after.
#ifdef _WIN32
#include "host/editor_picture.h"
#else
#include "host/x11_editor_run.h"
#endif
#include "host/host_calls.h"
#include "host/parameter_values.h"
#include "host/plugin_host.h"
#include "host/plugin_session.h"
#include "render/demo_signal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string effectText(const PluginSession& session, int32_t opcode) {
    char text[256] = {};
    session.dispatch(opcode, 0, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

void printRecord(const PluginSession& session) {
    const AEffect* effect = session.effect();
    const int32_t id = effect->uniqueID;
    std::printf("plug-in      %s\n", session.path().c_str());
    std::printf("magic        0x%08X\n", unsigned(effect->magic));
    std::printf("unique id    0x%08X '%c%c%c%c'\n", unsigned(id), char(id >> 24), char(id >> 16), char(id >> 8),
                char(id));
    std::printf("version      %d\n", effect->version);
    std::printf("flags        %d\n", effect->flags);
    std::printf("channels     %d in, %d out\n", effect->numInputs, effect->numOutputs);
    std::printf("parameters   %d (programs %d)\n", effect->numParams, effect->numPrograms);
    std::printf("name         %s\n", effectText(session, effGetEffectName).c_str());
    std::printf("vendor       %s\n", effectText(session, effGetVendorString).c_str());
}

// Saves the state block, loads it into a second instance and saves that again: the blocks
// and every parameter must agree. Returns false (and says why) when they do not.
bool roundTripState(const PluginSession& session) {
    const std::vector<uint8_t> saved = session.stateChunk();
    PluginSession copy;
    std::string error;
    if (!copy.open(session.path(), error)) {
        std::fprintf(stderr, "tarnwell-host: no second instance for the state round trip: %s\n", error.c_str());
        return false;
    }
    copy.loadStateChunk(saved);
    bool same = !saved.empty() && copy.stateChunk() == saved && copy.parameterCount() == session.parameterCount();
    for (int32_t i = 0; same && i < session.parameterCount(); ++i)
        same = copy.parameterValue(i) == session.parameterValue(i) &&
               copy.parameterDisplay(i) == session.parameterDisplay(i);

    std::printf("\nstate block  %zu bytes:", saved.size());
    for (size_t i = 0; i < saved.size() && i < 16; ++i)
        std::printf(" %02x", saved[i]);
    std::printf("%s\n", saved.size() > 16 ? " ..." : "");
    std::printf("round trip   %s\n", same ? "identical block and parameters in a second instance"
                                          : "DIFFERS after loading into a second instance");
    return same;
}

// Every band compressing audibly: threshold -30 dB, ratio 4:1, no makeup.
bool setCompressingPreset(PluginSession& session) {
    for (int32_t band = 1; band * 12 <= session.parameterCount(); ++band) {
        for (const char* assignment : {"Thresh=-30", "Ratio=4", "MakeUp=off"}) {
            ParameterSetting setting;
            std::string error;
            if (!resolveParameterSetting(session, std::to_string(band) + "-" + assignment, setting, error)) {
                std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
                return false;
            }
            session.setParameterValue(setting.index, setting.value);
        }
    }
    std::printf("\npreset       every band: %s, %s, %s\n", describeParameter(session, 2).c_str(),
                describeParameter(session, 3).c_str(), describeParameter(session, 8).c_str());
    return true;
}

void printLevels(const std::vector<float>* in, const std::vector<float>* out, int seconds, int rate) {
    std::printf("\nsecond   in peak   in RMS  out peak  out RMS   (dBFS, left channel / right channel)\n");
    for (int s = 0; s < seconds; ++s) {
        for (int c = 0; c < 2; ++c) {
            LevelStats input = measureLevel(in[c].data() + size_t(s) * size_t(rate), rate);
            LevelStats output = measureLevel(out[c].data() + size_t(s) * size_t(rate), rate);
            std::printf("%4d %s  %7.2f  %7.2f  %7.2f  %7.2f\n", s, c ? "R" : "L", toDb(input.peak),
                        toDb(input.rms), toDb(output.peak), toDb(output.rms));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarnwell-host PLUGIN [--seconds N] [--demo] [--editor-picture FILE.png] [--idle] "
                             "[--open-close N]\n");
        return 1;
    }
    int seconds = 4;
    const char* editorPicture = nullptr;
    bool callsIdle = false;
    int openCloseCount = 0;
    bool demo = false; // the demo piece in place of the test signal
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            seconds = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--editor-picture") && i + 1 < argc) {
            editorPicture = argv[++i];
        } else if (!std::strcmp(argv[i], "--idle")) {
            callsIdle = true;
        } else if (!std::strcmp(argv[i], "--demo")) {
            demo = true;
        } else if (!std::strcmp(argv[i], "--open-close") && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            openCloseCount = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "tarnwell-host: unknown option %s\n", argv[i]);
            return 1;
        }
    }

    PluginSession session;
    std::string error;
    if (!session.open(argv[1], error, recordingHostCallback)) {
        std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
        return 3;
    }
    printRecord(session);
    std::printf("\n%s", formatParameterList(session).c_str());
    if (!roundTripState(session))
        return 4;
    if (!setCompressingPreset(session))
        return 3;

    const int rate = 44100;
    const int frames = seconds * rate;
    std::vector<float> in[2], out[2] = {std::vector<float>(size_t(frames)), std::vector<float>(size_t(frames))};
    if (demo)
        synthesizeDemo(in[0], in[1], seconds, rate);
    else
        generateTestSignal(in[0], in[1], frames, rate);
    session.start(rate);
    processStereo(session.effect(), in[0].data(), in[1].data(), out[0].data(), out[1].data(), frames, 512);
    session.stop();
    printLevels(in, out, seconds, rate);

    // What plays while the editor is open: the demo piece from its fourth second on, where the
    // kick, bass and hats have come in over the chords.
    const size_t skip = demo && frames > 6 * rate ? size_t(4 * rate) : 0;
    const std::vector<float> played[2] = {std::vector<float>(in[0].begin() + long(skip), in[0].end()),
                                          std::vector<float>(in[1].begin() + long(skip), in[1].end())};
#ifdef _WIN32
    if (callsIdle || openCloseCount > 0) {
        std::fprintf(stderr, "tarnwell-host: --idle and --open-close need the Linux build\n");
        return 1;
    }
    if (editorPicture) {
        // Long enough for the meters to rise and the 100 ms refresh to have run several times.
        const int settleMs = 1500;
        if (!writeEditorPicture(session, played[0], played[1], rate, settleMs, editorPicture, error)) {
            std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
            return 5;
        }
        std::printf("\neditor       %s (the editor after %d ms of the signal)\n", editorPicture, settleMs);
    }
#else
    if (editorPicture || openCloseCount > 0) {
        X11EditorRunOptions options;
        options.callsIdle = callsIdle;
        options.picturePath = editorPicture ? editorPicture : "";
        options.openCloseCount = openCloseCount;
        return runEditorOnX11(session, played[0], played[1], rate, options);
    }
#endif
    return 0;
}
