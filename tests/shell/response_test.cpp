// The bank's response as the editor's gain curve draws it, against what the plug-in does to
// sines: static settings with several bands compressing by different amounts, a sine rendered
// until the compressor settles, and the curve worked out from the bands as they then stand.
#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// The amplitude of the component at f in a stretch of a signal (a single-bin DFT over whole
// periods as near as the stretch allows, so neighbouring harmonics of the gain's ripple fall
// outside it).
double amplitudeAt(const std::vector<float>& x, int32_t from, int32_t count, double f, double sampleRate) {
    double re = 0, im = 0;
    for (int32_t i = 0; i < count; ++i) {
        const double phase = 2 * kPi * f * i / sampleRate;
        re += x[size_t(from + i)] * std::cos(phase);
        im -= x[size_t(from + i)] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / count;
}

// The instance's bands as the response needs them, sorted by frequency.
std::vector<ResponseBand> sortedResponses(CompressorEffect& fx) {
    HeapBuffer views;
    const int32_t count = fx.viewBands(views);
    const auto* bands = static_cast<const BandView*>(views.get());
    std::vector<ResponseBand> sorted;
    for (int32_t i = 0; i < count; ++i)
        sorted.push_back(bands[i].response);
    std::sort(sorted.begin(), sorted.end(),
              [](const ResponseBand& a, const ResponseBand& b) { return a.frequency < b.frequency; });
    return sorted;
}

struct Rendered {
    double measuredDb;
    double curveDb;
};

// One fresh instance at the rate with the test's settings, a sine at f rendered for two
// seconds; the measured gain over the last half second, and the curve at f after it.
Rendered renderSine(double sampleRate, double f, double level) {
    AEffect* effect = VSTPluginMain(nullptr);
    auto* fx = CompressorEffect::fromEffect(effect);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(sampleRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    // Four bands (100, 1000, 5000 Hz and the top), each compressing by its own amount; long
    // RMS windows keep the gain's ripple small at low frequencies.
    const double thresholds[] = {-30, -24, -36, -20};
    const double ratios[] = {4, 2, 8, 3};
    const double gains[] = {0, -3, 2, 0};
    for (int32_t b = 0; b < fx->viewBandCount(); ++b) {
        fx->changeSetting(b, kSettingThreshold, dbToAmp(thresholds[b]));
        fx->changeSetting(b, kSettingRatio, ratios[b]);
        fx->changeSetting(b, kSettingGain, dbToAmp(gains[b]));
        fx->changeSetting(b, kSettingRmsWindow, 50);
        fx->changeSetting(b, kSettingAutoMakeup, 0);
    }
    fx->setOutputGain(dbToAmp(-2));

    const int32_t total = int32_t(2 * sampleRate), block = 512;
    std::vector<float> in(size_t(total) * 2), out(size_t(total) * 2);
    for (int32_t i = 0; i < total; ++i)
        in[size_t(i)] = in[size_t(total + i)] = float(level * std::sin(2 * kPi * f * i / sampleRate));
    for (int32_t at = 0; at < total; at += block) {
        const int32_t n = std::min(block, total - at);
        float* inputs[2] = {&in[size_t(at)], &in[size_t(total + at)]};
        float* outputs[2] = {&out[size_t(at)], &out[size_t(total + at)]};
        effect->processReplacing(effect, inputs, outputs, n);
    }
    const int32_t tail = int32_t(sampleRate / 2);
    std::vector<float> left(out.begin(), out.begin() + total);
    const double measured = amplitudeAt(left, total - tail, tail, f, sampleRate) / level;

    const std::vector<ResponseBand> sorted = sortedResponses(*fx);
    const ResponseContext context = fx->viewResponseContext();
    const double curve =
        bankGainAt(sorted.data(), int32_t(sorted.size()), context.sampleRate, false, f) * context.outputGain;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    return {ampToDb(measured), ampToDb(curve)};
}

TEST(GainCurve, AgreesWithRenderedSinesWhereBandsCompressByDifferentAmounts) {
    const double frequencies[] = {60, 90, 150, 300, 700, 1000, 1500, 3000, 5000, 7000, 10000, 16000};
    for (double sampleRate : {44100.0, 96000.0}) {
        double lowest = 0, highest = -100;
        for (double f : frequencies) {
            const Rendered r = renderSine(sampleRate, f, dbToAmp(-6));
            EXPECT_NEAR(r.curveDb, r.measuredDb, 0.5) << f << " Hz at " << sampleRate;
            lowest = std::min(lowest, r.measuredDb);
            highest = std::max(highest, r.measuredDb);
        }
        // The bands really do compress by different amounts: the curve is not flat.
        EXPECT_GT(highest - lowest, 6.0) << sampleRate;
    }
}

TEST(GainCurve, FlatAtUnityWhenNothingCompresses) {
    AEffect* effect = VSTPluginMain(nullptr);
    auto* fx = CompressorEffect::fromEffect(effect);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    std::vector<ResponseBand> sorted = sortedResponses(*fx);
    const int32_t count = int32_t(sorted.size());
    for (double f = 20; f < 22000; f *= 1.1)
        EXPECT_NEAR(bankGainAt(sorted.data(), count, 44100, false, f), 1.0, 1e-9) << f;
    // Solo on the lowest band: only its low-pass part is heard.
    sorted[1].summed = sorted[2].summed = sorted[3].summed = false;
    EXPECT_NEAR(bankGainAt(sorted.data(), count, 44100, true, 20), 1.0, 0.01);
    EXPECT_LT(bankGainAt(sorted.data(), count, 44100, true, 10000), 0.01);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
}

} // namespace
