// Processing cost through the effect record, 512-frame blocks at 44100 Hz. Reports the time
// per stereo frame and the real-time factor for one core.
#include "engine/compressor.h"
#include "shell/compressor_effect.h"

#include <benchmark/benchmark.h>

#include <cmath>
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
        double v = 0.6 * std::exp(-beat * 20) * std::sin(2 * kPi * 55 * t) + 0.3 * std::sin(2 * kPi * 440 * t) +
                   0.2 * std::sin(2 * kPi * 2750 * t) + 0.3 * white;
        s.left[size_t(i)] = float(amplitude * v);
        s.right[size_t(i)] = float(amplitude * (0.8 * v + 0.1 * white));
    }
    return s;
}

AEffect* makeEffect(int bands, bool compressing) {
    AEffect* effect = VSTPluginMain(nullptr);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    while (fx->bandCount() < bands) {
        fx->currentBand = fx->bandCount() - 1;
        fx->addBand();
    }
    LockHolder hold(fx->lock);
    for (int i = 0; i < fx->bandCount(); ++i) {
        Band& b = *fx->band(i);
        if (bands > 4) // spread the bands over the spectrum, log-spaced
            setBandFrequency(b, 40 * std::pow(600.0, double(i) / (bands - 1)), true);
        if (compressing) {
            b.settings.threshold = std::pow(10.0, -30.0 / 20);
            b.settings.ratio = 4;
            b.settings.rmsSizeMs = 5;
        }
        updateBandCoefficients(b, true);
    }
    return effect;
}

void run(benchmark::State& state, AEffect* effect, const Signal& signal, bool automate) {
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    float* out[2] = {outLeft.data(), outRight.data()};
    size_t at = 0;
    int64_t frames = 0;
    int block = 0;
    for (auto _ : state) {
        if (at + kBlock > signal.left.size())
            at = 0;
        float* in[2] = {const_cast<float*>(signal.left.data() + at), const_cast<float*>(signal.right.data() + at)};
        if (automate) // one host parameter change per block: every block glides
            effect->setParameter(effect, 2, (block++ & 1) ? 0.2f : 0.25f);
        effect->processReplacing(effect, in, out, kBlock);
        benchmark::DoNotOptimize(outLeft.data());
        at += kBlock;
        frames += kBlock;
    }
    state.counters["ns_per_frame"] = benchmark::Counter(double(frames) * 1e-9, benchmark::Counter::kIsRate |
                                                                                  benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(double(frames) / kSampleRate, benchmark::Counter::kIsRate);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void BM_DefaultBandsQuiet(benchmark::State& state) {
    static const Signal quiet = makeSignal(0.01);
    run(state, makeEffect(4, false), quiet, false);
}

void BM_DefaultBandsCompressing(benchmark::State& state) {
    static const Signal loud = makeSignal(0.9);
    run(state, makeEffect(4, true), loud, false);
}

void BM_SixteenBandsCompressing(benchmark::State& state) {
    static const Signal loud = makeSignal(0.9);
    run(state, makeEffect(16, true), loud, false);
}

void BM_DefaultBandsCompressingAutomated(benchmark::State& state) {
    static const Signal loud = makeSignal(0.9);
    run(state, makeEffect(4, true), loud, true);
}

} // namespace

BENCHMARK(BM_DefaultBandsQuiet);
BENCHMARK(BM_DefaultBandsCompressing);
BENCHMARK(BM_SixteenBandsCompressing);
BENCHMARK(BM_DefaultBandsCompressingAutomated);
BENCHMARK_MAIN();
