// LevelMeter: streaming level statistics of a stereo signal: peak and RMS per channel over the
// whole run, and the RMS of both channels together in consecutive windows (10 ms by default)
// for the level plot, and how many samples lie beyond full scale (magnitude above 1), which an
// integer file cannot hold. The last, shorter window counts with its own length. A meter of
// peaks only (a batch's summary needs no more) keeps the peaks, the frames and the count beyond
// full scale at a fraction of the cost; its RMS figures stay 0 and it has no windows.
#pragma once

#include <cstdint>
#include <vector>

enum class MeterDetail { kFull, kPeaks };

class LevelMeter {
  public:
    explicit LevelMeter(double sampleRate, double windowSeconds = 0.010, MeterDetail detail = MeterDetail::kFull);

    void add(const float* left, const float* right, int64_t frames);
    // Closes the partial last window; call once after the last add.
    void finish();

    double peak(int channel) const { return peak_[channel]; }
    double rms(int channel) const;
    int64_t frames() const { return frames_; }
    // Samples of both channels whose magnitude is above 1.0.
    int64_t samplesOverFullScale() const { return overFullScale_; }
    int64_t windowFrames() const { return windowFrames_; }
    // RMS amplitude of each window, both channels' power averaged.
    const std::vector<float>& windowRms() const { return windowRms_; }

  private:
    void addPeaks(const float* left, const float* right, int64_t frames);

    MeterDetail detail_;
    double peak_[2] = {0, 0};
    double sumSquares_[2] = {0, 0};
    int64_t frames_ = 0;
    int64_t overFullScale_ = 0;
    int64_t windowFrames_;
    int64_t windowFill_ = 0;
    double windowSum_ = 0;
    std::vector<float> windowRms_;
};

// 20 log10(amplitude); -infinity for silence.
double amplitudeToDb(double amplitude);
