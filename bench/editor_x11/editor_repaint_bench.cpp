// The Linux editor's repaints: the time the editor takes to paint its entire back buffer
// (dialog face, every widget, the response graph and both meters) against the 2 ms goal, and
// for comparison the paint a meter tick asks for (the graph and the meters over the last
// picture), which is what it does 30 times a second. Audio runs between paints (outside the
// timing) and the meter timer fires, so the meters and the graph's band meters move as they
// would. No display is needed: the editor paints into a memory bitmap the size of its window.
#include "band_spread.h"
#include "editor/x11/x11_editor.h"
#include "engine/band_control.h"
#include "raster/pixo.h"
#include "shell/compressor_effect.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kGoalMs = 2.0;
constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

// One block of a drum-like signal through the effect, as the audio thread would run it.
void playBlock(CompressorEffect& fx, int64_t start) {
    static float left[kBlock], right[kBlock], outLeft[kBlock], outRight[kBlock];
    for (int32_t i = 0; i < kBlock; ++i) {
        const double t = double(start + i) / kRate;
        const double beat = std::fmod(t, 0.5);
        left[i] = float(0.8 * std::exp(-beat * 12) * std::sin(2 * M_PI * 60 * t) + 0.1 * std::sin(2 * M_PI * 3000 * t));
        right[i] = left[i] * 0.9f;
    }
    float* inputs[2] = {left, right};
    float* outputs[2] = {outLeft, outRight};
    fx.process(inputs, outputs, kBlock);
}

struct Timing {
    double median, mean, p99, worst; // milliseconds
};

// whole: every paint is of the whole window; else the paint each meter tick asks for.
Timing timeRepaints(CompressorEffect& fx, double scale, int32_t paints, bool whole) {
    X11Editor editor(fx, scale);
    PIXO_MemBitmap bitmap;
    if (!bitmap.setSize(editor.width(), editor.height()))
        return {0, 0, 0, 0};
    std::vector<double> times;
    times.reserve(size_t(paints));
    int64_t frame = 0;
    for (int32_t i = 0; i < paints; ++i) {
        // Between two meter ticks (33 ms) the audio thread runs about three blocks.
        for (int b = 0; b < 3; ++b, frame += kBlock)
            playBlock(fx, frame);
        editor.onTimer(X11Editor::kMeterTimer);
        const auto start = std::chrono::steady_clock::now();
        if (whole)
            editor.paintAll(bitmap);
        else
            editor.onPaint(bitmap);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    return {times[times.size() / 2], sum / double(times.size()), times[times.size() * 99 / 100], times.back()};
}

} // namespace

int main() {
    AEffect* effect = VSTPluginMain(nullptr);
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx)
        return 1;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    const int32_t paints = 1000;
    std::printf("Linux editor repaints of the back buffer, %d paints each, audio and meters moving\n", paints);
    std::printf("%-34s %8s %8s %8s %8s   (milliseconds; goal at 96 dpi: median below %.0f ms)\n", "", "median",
                "mean", "99th", "worst", kGoalMs);
    const struct {
        int32_t bands;
        double scale;
    } cases[] = {{4, 1.0}, {16, 1.0}, {16, 2.0}};
    for (const bool whole : {true, false}) {
        for (const auto& c : cases) {
            spreadBands(*fx, c.bands);
            fx->showGrid = 1;
            const Timing t = timeRepaints(*fx, c.scale, paints, whole);
            char label[64];
            std::snprintf(label, sizeof label, "%s, %2d bands, %.0f dpi", whole ? "whole" : "meter tick", c.bands,
                          96 * c.scale);
            // The median stands for the editor; the tail is mostly the machine's other work.
            std::printf("%-34s %8.3f %8.3f %8.3f %8.3f   %s\n", label, t.median, t.mean, t.p99, t.worst,
                        !whole || c.scale != 1.0 ? "(for comparison)"
                        : t.median < kGoalMs     ? "met"
                                                 : "MISSED");
        }
    }
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
