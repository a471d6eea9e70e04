// SpectrumAnalyzer: the response graph's view of the music. It keeps the newest few thousand
// frames of the instance's input and output (what the analyzer feed delivers), and turns them
// into one level per graph column for each: a Hann-windowed FFT, the power around the column's
// frequency weighted over about a sixth of an octave (never narrower than the window's own
// main lobe, so a sine reads at its level wherever it falls between bins), then held against a
// fall of 20 dB a second. Levels are in dB where a full-scale sine reads 0 dB. Runs on the
// editor's thread; update allocates only when the sample rate or the graph's width changes.
#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

class AnalyzerFeed;
struct GraphGeometry;

class SpectrumAnalyzer {
public:
    // Levels at or below this are silence (nothing drawn).
    static constexpr float kSilenceDb = -200.0f;
    // How fast a level falls once the music gets quieter, dB per second.
    static constexpr double kFallDbPerSecond = 20.0;
    static constexpr uint32_t kFreshStartMs = 1000;

    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // Takes every frame that has arrived (a reader that fell behind keeps only the newest) and
    // works out the levels for the graph's columns at tick count now (milliseconds; the fall
    // runs for the time since the previous update). The first update, and one more than
    // kFreshStartMs after the previous, forget the past and what waits in the feed.
    void update(AnalyzerFeed& feed, double sampleRate, const GraphGeometry& geometry, uint32_t now);
    // The same from frames the caller hands over (tests, a host without a feed).
    void take(const float* input, const float* output, int32_t frames);
    void analyse(double sampleRate, const GraphGeometry& geometry, double seconds);
    // Forgets the history, the held levels and the last update's time (an editor that opens
    // again starts afresh).
    void reset();

    // One level per graph column, kSilenceDb where nothing is heard.
    int32_t columns() const { return int32_t(inputDb_.size()); }
    const float* inputDb() const { return inputDb_.data(); }
    const float* outputDb() const { return outputDb_.data(); }
    // Frames in one analysis, for the sample rate.
    static int32_t windowLength(double sampleRate) { return sampleRate > 50000 ? 8192 : 4096; }

private:
    struct Column {
        int32_t firstBin;
        int32_t weightOffset; // into weights_
        int32_t weightCount;
    };
    class Transform;

    void plan(double sampleRate, const GraphGeometry& geometry);
    void levelsOf(const std::vector<float>& history, std::vector<float>& held, double seconds);

    std::unique_ptr<Transform> transform_;
    int32_t length_ = 0;
    double plannedRate_ = 0;
    int32_t plannedWidth_ = -1;
    bool updated_ = false;
    uint32_t lastUpdate_ = 0;
    std::vector<float> window_;
    float windowPowerScale_ = 0; // 4 / (N * sum of the window's squares)
    std::vector<Column> plan_;
    std::vector<float> weights_;
    // The newest length_ frames, oldest first, and the frames read from the feed.
    std::vector<float> inputHistory_, outputHistory_;
    std::vector<float> readInput_, readOutput_;
    std::vector<float> windowed_;
    std::vector<std::complex<float>> spectrum_;
    std::vector<float> power_;
    std::vector<float> inputDb_, outputDb_;
};
