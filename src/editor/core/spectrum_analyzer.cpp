#include "editor/core/spectrum_analyzer.h"

#include "editor/core/graph_geometry.h"
#include "shell/analyzer_feed.h"

#include <unsupported/Eigen/FFT>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
// A sixth of an octave as the Gaussian weighting's width at half height, and the narrowest
// weighting in bins: wide enough to take in the Hann window's main lobe (two bins each side).
const double kSixthOctaveFwhm = std::pow(2.0, 1.0 / 12) - std::pow(2.0, -1.0 / 12);
constexpr double kFwhmPerSigma = 2.3548200450309493;
constexpr double kNarrowestSigmaBins = 2.0;
// Weights beyond this many sigmas are left out.
constexpr double kReachSigmas = 3.0;

} // namespace

// The library's real-to-complex FFT, kept apart so that only this file sees its headers.
class SpectrumAnalyzer::Transform {
public:
    Transform() { fft.SetFlag(Eigen::FFT<float>::HalfSpectrum); }
    void forward(const std::vector<float>& input, std::vector<std::complex<float>>& output) {
        fft.fwd(output, input);
    }

private:
    Eigen::FFT<float> fft;
};

SpectrumAnalyzer::SpectrumAnalyzer() : transform_(new Transform()) {}
SpectrumAnalyzer::~SpectrumAnalyzer() = default;

void SpectrumAnalyzer::reset() {
    std::fill(inputHistory_.begin(), inputHistory_.end(), 0.0f);
    std::fill(outputHistory_.begin(), outputHistory_.end(), 0.0f);
    std::fill(inputDb_.begin(), inputDb_.end(), kSilenceDb);
    std::fill(outputDb_.begin(), outputDb_.end(), kSilenceDb);
    updated_ = false;
}

void SpectrumAnalyzer::plan(double sampleRate, const GraphGeometry& geometry) {
    const int32_t length = windowLength(sampleRate);
    if (length != length_) {
        length_ = length;
        window_.resize(size_t(length));
        double squares = 0;
        for (int32_t i = 0; i < length; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / length);
            window_[size_t(i)] = float(w);
            squares += w * w;
        }
        windowPowerScale_ = float(4.0 / (length * squares));
        inputHistory_.assign(size_t(length), 0.0f);
        outputHistory_.assign(size_t(length), 0.0f);
        windowed_.resize(size_t(length));
        power_.resize(size_t(length / 2 + 1));
    }
    if (sampleRate == plannedRate_ && geometry.width == plannedWidth_)
        return;
    plannedRate_ = sampleRate;
    plannedWidth_ = geometry.width;
    const double binHz = sampleRate / length;
    const int32_t lastBin = length / 2;
    plan_.clear();
    weights_.clear();
    for (int32_t x = 0; x < std::max(geometry.width, 0); ++x) {
        const double centre = geometry.frequencyOfX(x);
        const double sigma = std::max(centre * kSixthOctaveFwhm / kFwhmPerSigma, kNarrowestSigmaBins * binHz);
        const int32_t first = std::clamp(int32_t(std::ceil((centre - kReachSigmas * sigma) / binHz)), 1, lastBin);
        const int32_t last = std::clamp(int32_t(std::floor((centre + kReachSigmas * sigma) / binHz)), 0, lastBin);
        Column column = {first, int32_t(weights_.size()), std::max(last - first + 1, 0)};
        for (int32_t k = first; k <= last; ++k) {
            const double d = (k * binHz - centre) / sigma;
            weights_.push_back(float(std::exp(-0.5 * d * d)));
        }
        plan_.push_back(column);
    }
    inputDb_.assign(size_t(plan_.size()), kSilenceDb);
    outputDb_.assign(size_t(plan_.size()), kSilenceDb);
}

void SpectrumAnalyzer::take(const float* input, const float* output, int32_t frames) {
    const int32_t length = int32_t(inputHistory_.size());
    if (length == 0 || frames <= 0)
        return;
    auto push = [length, frames](std::vector<float>& history, const float* fresh) {
        if (frames >= length) {
            std::copy(fresh + (frames - length), fresh + frames, history.begin());
            return;
        }
        std::copy(history.begin() + frames, history.end(), history.begin());
        std::copy(fresh, fresh + frames, history.end() - frames);
    };
    push(inputHistory_, input);
    push(outputHistory_, output);
}

void SpectrumAnalyzer::update(AnalyzerFeed& feed, double sampleRate, const GraphGeometry& geometry,
                              uint32_t now) {
    // Tick counts wrap: the difference of two is right as an unsigned number. The first update,
    // and one after a long pause (the editor was closed), start afresh from what arrives now.
    const uint32_t elapsed = now - lastUpdate_;
    if (!updated_ || elapsed > kFreshStartMs) {
        reset();
        feed.discard();
    }
    const double seconds = updated_ ? elapsed / 1000.0 : 0.0;
    updated_ = true;
    lastUpdate_ = now;
    plan(sampleRate, geometry);
    readInput_.resize(size_t(AnalyzerFeed::kCapacity));
    readOutput_.resize(size_t(AnalyzerFeed::kCapacity));
    const int32_t frames = feed.read(readInput_.data(), readOutput_.data(), AnalyzerFeed::kCapacity);
    take(readInput_.data(), readOutput_.data(), frames);
    analyse(sampleRate, geometry, seconds);
}

void SpectrumAnalyzer::analyse(double sampleRate, const GraphGeometry& geometry, double seconds) {
    plan(sampleRate, geometry);
    levelsOf(inputHistory_, inputDb_, seconds);
    levelsOf(outputHistory_, outputDb_, seconds);
}

void SpectrumAnalyzer::levelsOf(const std::vector<float>& history, std::vector<float>& held, double seconds) {
    const float fall = float(kFallDbPerSecond * std::max(seconds, 0.0));
    // A stopped transport feeds zeros: every column reads silence, so the held levels only fall,
    // and the editor spends nothing on transforms while nothing plays.
    if (std::all_of(history.begin(), history.end(), [](float v) { return v == 0.0f; })) {
        for (float& level : held)
            level = std::max(level - fall, kSilenceDb);
        return;
    }
    for (size_t i = 0; i < history.size(); ++i)
        windowed_[i] = history[i] * window_[i];
    transform_->forward(windowed_, spectrum_);
    const size_t bins = std::min(power_.size(), spectrum_.size());
    for (size_t k = 0; k < bins; ++k)
        power_[k] = std::norm(spectrum_[k]);
    for (size_t x = 0; x < plan_.size(); ++x) {
        const Column& column = plan_[x];
        double sum = 0;
        const float* weight = weights_.data() + column.weightOffset;
        const float* power = power_.data() + column.firstBin;
        for (int32_t i = 0; i < column.weightCount; ++i)
            sum += double(weight[i]) * power[i];
        const double scaled = sum * windowPowerScale_;
        const float level = scaled > 1e-20 ? float(10.0 * std::log10(scaled)) : kSilenceDb;
        // Fast rise, slow fall.
        held[x] = std::max({level, held[x] - fall, kSilenceDb});
    }
}
