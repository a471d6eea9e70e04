// tarnwell-speed: processing cost through the effect record, 512-frame blocks at 44100 Hz,
// for every processing path this processor offers, in one run (so the speed-ups are measured
// side by side). Builds natively and for Windows, so the DLL's code is timed under Wine too.
// Prints ns per stereo frame and the multiple of real time on one core; the best of several
// repetitions counts, which keeps other load on the machine out of the figures.
//
//     tarnwell-speed [--seconds S] [--path NAME] [--case NAME]
#include "engine/compressor.h"
#include "shell/compressor_effect.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kBlock = 512;
constexpr double kSampleRate = 44100;
constexpr double kPi = 3.141592653589793;

struct Signal {
    std::vector<float> left, right;
};

// A second of music-like material: low sines, mids, a noise layer, loud or quiet.
Signal makeSignal(double amplitude) {
    const int n = int(kSampleRate);
    Signal s{std::vector<float>(size_t(n)), std::vector<float>(size_t(n))};
    unsigned noise = 99;
    for (int i = 0; i < n; ++i) {
        double t = i / kSampleRate;
        noise = noise * 1664525u + 1013904223u;
        double white = double(noise >> 8) / double(1u << 24) - 0.5;
        double beat = std::fmod(t, 0.25);
        double v = 0.6 * std::exp(-beat * 20) * std::sin(2 * kPi * 55 * t) +
                   0.3 * std::sin(2 * kPi * 440 * t) + 0.2 * std::sin(2 * kPi * 2750 * t) + 0.3 * white;
        s.left[size_t(i)] = float(amplitude * v);
        s.right[size_t(i)] = float(amplitude * (0.8 * v + 0.1 * white));
    }
    return s;
}

struct Case {
    const char* name;
    int bands;
    bool compressing;
    bool automated; // one host parameter change per block: every block glides
};

const Case kCases[] = {
    {"4 bands quiet", 4, false, false},      {"4 bands compressing", 4, true, false},
    {"8 bands compressing", 8, true, false}, {"16 bands compressing", 16, true, false},
    {"4 bands glide", 4, true, true},
};

AEffect* makeEffect(const Case& c, ProcessingPath path) {
    AEffect* effect = VSTPluginMain(nullptr);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    fx->processingPath = path;
    while (fx->bandCount() < c.bands) {
        fx->currentBand = fx->bandCount() - 1;
        fx->addBand();
    }
    LockHolder hold(fx->lock);
    for (int i = 0; i < fx->bandCount(); ++i) {
        Band& b = *fx->band(i);
        if (c.bands > 4) // spread the bands over the spectrum, log-spaced
            setBandFrequency(b, 40 * std::pow(600.0, double(i) / (c.bands - 1)), true);
        if (c.compressing) { // -30 dB, 4:1, RMS 5 ms
            b.settings.threshold = std::pow(10.0, -30.0 / 20);
            b.settings.ratio = 4;
            b.settings.rmsSizeMs = 5;
        }
        updateBandCoefficients(b, true);
    }
    return effect;
}

// What an editor asks of the audio thread while a case runs.
enum class EditorLoad { None, Open, OpenWithAnalyzer };

// ns per frame: the best of several runs of about seconds / 5 each.
double measure(const Case& c, ProcessingPath path, double seconds, EditorLoad editor = EditorLoad::None) {
    static const Signal quiet = makeSignal(0.01), loud = makeSignal(0.9);
    const Signal& signal = c.compressing ? loud : quiet;
    AEffect* effect = makeEffect(c, path);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    fx->meteringWanted = editor != EditorLoad::None;
    fx->showAnalyzer = editor == EditorLoad::OpenWithAnalyzer;
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    float* out[2] = {outLeft.data(), outRight.data()};
    size_t at = 0;
    int block = 0;
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        int64_t frames = 0;
        const auto start = std::chrono::steady_clock::now();
        double elapsed = 0;
        while (elapsed < seconds / 5) {
            for (int repeat = 0; repeat < 16; ++repeat) {
                if (at + kBlock > signal.left.size())
                    at = 0;
                float* in[2] = {const_cast<float*>(signal.left.data() + at),
                                const_cast<float*>(signal.right.data() + at)};
                if (c.automated)
                    effect->setParameter(effect, 2, (block++ & 1) ? 0.2f : 0.25f);
                effect->processReplacing(effect, in, out, kBlock);
                at += kBlock;
                frames += kBlock;
            }
            // The editor's reader keeps up (it takes everything every 33 ms).
            fx->analyzerFeed.discard();
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        const double nsPerFrame = elapsed * 1e9 / double(frames);
        if (nsPerFrame < best)
            best = nsPerFrame;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 1.0;
    std::string only, onlyCase;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--path"))
            only = argv[i + 1];
        else if (!std::strcmp(argv[i], "--case"))
            onlyCase = argv[i + 1];
    }
    std::vector<ProcessingPath> paths;
    for (ProcessingPath p :
         {ProcessingPath::Reference, ProcessingPath::Sse2Kernel, ProcessingPath::Avx2Kernel,
          ProcessingPath::Avx512Kernel, ProcessingPath::Automatic})
        if (processingPathAvailable(p) && (only.empty() || only == processingPathName(p)))
            paths.push_back(p);

    std::printf("%-22s %-10s %12s %12s %10s\n", "case", "path", "ns/frame", "x realtime", "speed-up");
    for (const Case& c : kCases) {
        if (!onlyCase.empty() && onlyCase != c.name)
            continue;
        double reference = 0;
        for (ProcessingPath path : paths) {
            const double ns = measure(c, path, seconds);
            if (path == ProcessingPath::Reference)
                reference = ns;
            std::printf("%-22s %-10s %12.1f %12.0f", c.name, processingPathName(path), ns,
                        1e9 / ns / kSampleRate);
            if (reference > 0)
                std::printf(" %9.2fx", reference / ns);
            std::printf("\n");
        }
    }
    std::printf("(automatic: what the plug-in runs; speed-up: against the reference in this run)\n");

    // What the spectrum analyzer's feed costs the audio thread: an open editor with the analyzer
    // on against one with it off, alternately, the best of each.
    if (onlyCase.empty() || onlyCase == kCases[1].name) {
        double off = 1e300, on = 1e300;
        for (int round = 0; round < 4; ++round) {
            off = std::min(off, measure(kCases[1], ProcessingPath::Automatic, seconds, EditorLoad::Open));
            on = std::min(on, measure(kCases[1], ProcessingPath::Automatic, seconds, EditorLoad::OpenWithAnalyzer));
        }
        std::printf("\nanalyzer feed, %s, automatic, editor open: off %.2f ns/frame, on %.2f ns/frame: %+.2f%% "
                    "(goal: under 2%%)\n",
                    kCases[1].name, off, on, 100.0 * (on - off) / off);
    }
    return 0;
}
