// tarnwell-host PLUGIN [--seconds N] [--raw FILE]
// Loads a VST 2.4 plug-in, prints its effect record and its parameter list, round-trips its
// state block through a second instance, runs a generated test signal through it and prints
// input and output peak and RMS per second. --raw writes the output samples (left then
// right, 32-bit floats) for comparing two builds.
#include "host/plugin_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string askText(AEffect* effect, int32_t opcode, int32_t index) {
    char text[256] = {};
    effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

// Sets a parameter to the normalised value whose display text reads target, found by
// bisection; for parameters whose displayed number rises with the normalised value.
void setByDisplay(AEffect* effect, int32_t index, double target) {
    float low = 0, high = 1;
    for (int step = 0; step < 40; ++step) {
        const float middle = (low + high) / 2;
        effect->setParameter(effect, index, middle);
        if (std::atof(askText(effect, effGetParamDisplay, index).c_str()) < target)
            low = middle;
        else
            high = middle;
    }
    effect->setParameter(effect, index, high);
}

void printParameters(AEffect* effect) {
    std::printf("\nindex  name      unit  display   value\n");
    for (int32_t i = 0; i < effect->numParams; ++i)
        std::printf("%5d  %-8s  %-4s  %-8s  %.6f\n", i, askText(effect, effGetParamName, i).c_str(),
                    askText(effect, effGetParamLabel, i).c_str(), askText(effect, effGetParamDisplay, i).c_str(),
                    double(effect->getParameter(effect, i)));
}

std::vector<unsigned char> stateBlock(AEffect* effect) {
    void* block = nullptr;
    intptr_t size = effect->dispatcher(effect, effGetChunk, 0, 0, &block, 0.0f);
    if (size <= 0 || !block)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(block);
    return std::vector<unsigned char>(bytes, bytes + size);
}

// Saves the state block, loads it into a second instance and saves that again: the two
// blocks must be identical. Returns false (and says why) when they are not.
bool roundTripState(AEffect* effect, const PluginLibrary& library) {
    std::vector<unsigned char> saved = stateBlock(effect);
    AEffect* copy = library.entry(quietHostCallback);
    if (!copy) {
        std::fprintf(stderr, "tarnwell-host: no second instance for the state round trip\n");
        return false;
    }
    copy->dispatcher(copy, effSetChunk, 0, intptr_t(saved.size()), saved.data(), 0.0f);
    std::vector<unsigned char> reloaded = stateBlock(copy);
    bool sameParameters = copy->numParams == effect->numParams;
    for (int32_t i = 0; sameParameters && i < effect->numParams; ++i)
        sameParameters = copy->getParameter(copy, i) == effect->getParameter(effect, i) &&
                         askText(copy, effGetParamDisplay, i) == askText(effect, effGetParamDisplay, i);
    copy->dispatcher(copy, effClose, 0, 0, nullptr, 0.0f);

    std::printf("\nstate block  %zu bytes:", saved.size());
    for (size_t i = 0; i < saved.size() && i < 16; ++i)
        std::printf(" %02x", saved[i]);
    std::printf("%s\n", saved.size() > 16 ? " ..." : "");
    const bool same = !saved.empty() && saved == reloaded && sameParameters;
    std::printf("round trip   %s\n", same ? "identical block and parameters in a second instance"
                                          : "DIFFERS after loading into a second instance");
    return same;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarnwell-host PLUGIN [--seconds N] [--raw FILE]\n");
        return 1;
    }
    const char* path = argv[1];
    int seconds = 4;
    const char* rawPath = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--raw") && i + 1 < argc)
            rawPath = argv[++i];
        else {
            std::fprintf(stderr, "tarnwell-host: unknown option %s\n", argv[i]);
            return 1;
        }
    }

    PluginLibrary library;
    std::string error;
    if (!loadPluginLibrary(path, library, error)) {
        std::fprintf(stderr, "tarnwell-host: %s\n", error.c_str());
        return 3;
    }
    AEffect* effect = library.entry(quietHostCallback);
    if (!effect || effect->magic != kEffectMagic) {
        std::fprintf(stderr, "tarnwell-host: %s: VSTPluginMain gave no valid effect record\n", path);
        unloadPluginLibrary(library);
        return 3;
    }

    const int32_t id = effect->uniqueID;
    std::printf("plug-in      %s\n", path);
    std::printf("magic        0x%08X\n", unsigned(effect->magic));
    std::printf("unique id    0x%08X '%c%c%c%c'\n", unsigned(id), char(id >> 24), char(id >> 16), char(id >> 8),
                char(id));
    std::printf("version      %d\n", effect->version);
    std::printf("flags        %d\n", effect->flags);
    std::printf("channels     %d in, %d out\n", effect->numInputs, effect->numOutputs);
    std::printf("parameters   %d (programs %d)\n", effect->numParams, effect->numPrograms);
    std::printf("name         %s\n", askText(effect, effGetEffectName, 0).c_str());
    std::printf("vendor       %s\n", askText(effect, effGetVendorString, 0).c_str());
    printParameters(effect);
    if (!roundTripState(effect, library)) {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        unloadPluginLibrary(library);
        return 4;
    }

    // Every band compressing audibly: threshold -30 dB, ratio 4:1, no makeup (Thresh, Ratio and
    // MakeUp are kinds 2, 3 and 8 of each band's twelve parameters).
    for (int32_t first = 0; first + 12 <= effect->numParams; first += 12) {
        setByDisplay(effect, first + 2, -30.0);
        setByDisplay(effect, first + 3, 4.0);
        effect->setParameter(effect, first + 8, 0.0f);
    }
    std::printf("\npreset       every band: threshold %s dB, ratio %s:1, makeup %s\n",
                askText(effect, effGetParamDisplay, 2).c_str(), askText(effect, effGetParamDisplay, 3).c_str(),
                askText(effect, effGetParamDisplay, 8).c_str());

    const double sampleRate = 44100;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(sampleRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    const int frames = seconds * int(sampleRate);
    std::vector<float> inLeft, inRight;
    generateTestSignal(inLeft, inRight, frames, sampleRate);
    std::vector<float> outLeft(static_cast<size_t>(frames)), outRight(static_cast<size_t>(frames));
    processStereo(effect, inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), frames, 512);

    std::printf("\nsecond   in peak   in RMS  out peak  out RMS   (dBFS, left channel / right channel)\n");
    for (int s = 0; s < seconds; ++s) {
        const size_t at = size_t(s) * size_t(sampleRate);
        const int n = int(sampleRate);
        for (int c = 0; c < 2; ++c) {
            LevelStats in = measureLevel((c ? inRight : inLeft).data() + at, n);
            LevelStats out = measureLevel((c ? outRight : outLeft).data() + at, n);
            std::printf("%4d %s  %7.2f  %7.2f  %7.2f  %7.2f\n", s, c ? "R" : "L", toDb(in.peak), toDb(in.rms),
                        toDb(out.peak), toDb(out.rms));
        }
    }

    if (rawPath) {
        FILE* file = std::fopen(rawPath, "wb");
        if (!file || std::fwrite(outLeft.data(), sizeof(float), outLeft.size(), file) != outLeft.size() ||
            std::fwrite(outRight.data(), sizeof(float), outRight.size(), file) != outRight.size()) {
            std::fprintf(stderr, "tarnwell-host: cannot write %s\n", rawPath);
            if (file)
                std::fclose(file);
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
            unloadPluginLibrary(library);
            return 2;
        }
        std::fclose(file);
    }

    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    unloadPluginLibrary(library);
    return 0;
}
