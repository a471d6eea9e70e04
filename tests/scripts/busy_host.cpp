// A host that keeps a plug-in busy until its standard input closes: it processes audio in
// 512-frame blocks and calls the dispatcher and the parameter entries between blocks, as a
// host with an open session does. Prints "ready" after the first block and, after closing the
// effect and unloading the library, "blocks N". Exit code 0 when all went well.
#include "host/plugin_host.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool inputClosed() {
    pollfd input = {STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0)
        return false;
    char byte;
    return read(STDIN_FILENO, &byte, 1) <= 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: busy_host PLUGIN\n");
        return 2;
    }
    PluginLibrary library;
    std::string error;
    if (!loadPluginLibrary(argv[1], library, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 3;
    }
    AEffect* effect = library.entry(quietHostCallback);
    if (!effect) {
        std::fprintf(stderr, "VSTPluginMain returned no effect\n");
        return 3;
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);

    const int frames = 512;
    std::vector<float> inLeft, inRight, outLeft(frames), outRight(frames);
    generateTestSignal(inLeft, inRight, frames * 64, 44100);
    long blocks = 0;
    do {
        const size_t offset = size_t(blocks % 64) * frames;
        processStereo(effect, &inLeft[offset], &inRight[offset], outLeft.data(), outRight.data(), frames, frames);
        char text[64] = {};
        const int32_t index = int32_t(blocks % effect->numParams);
        effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0);
        effect->dispatcher(effect, effGetEffectName, 0, 0, text, 0);
        effect->setParameter(effect, index, effect->getParameter(effect, index));
        if (++blocks == 1) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
        usleep(2000);
    } while (!inputClosed());

    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    unloadPluginLibrary(library);
    std::printf("blocks %ld\n", blocks);
    return 0;
}
