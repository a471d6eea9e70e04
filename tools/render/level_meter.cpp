#include "render/level_meter.h"

#include <algorithm>
#include <cmath>

LevelMeter::LevelMeter(double sampleRate, double windowSeconds)
    : windowFrames_(std::max<int64_t>(1, int64_t(std::lround(sampleRate * windowSeconds)))) {}

void LevelMeter::add(const float* left, const float* right, int64_t frames) {
    const float* channels[2] = {left, right};
    // Whole-run statistics per channel.
    for (int c = 0; c < 2; ++c) {
        const float* samples = channels[c];
        double peak = peak_[c], sum = 0;
        for (int64_t i = 0; i < frames; ++i) {
            const double a = std::fabs(double(samples[i]));
            peak = a > peak ? a : peak;
            sum += a * a;
        }
        peak_[c] = peak;
        sumSquares_[c] += sum;
    }
    // Windowed RMS of both channels.
    int64_t done = 0;
    while (done < frames) {
        const int64_t take = std::min(frames - done, windowFrames_ - windowFill_);
        double sum = 0;
        for (int64_t i = done; i < done + take; ++i)
            sum += double(left[i]) * left[i] + double(right[i]) * right[i];
        windowSum_ += sum;
        windowFill_ += take;
        done += take;
        if (windowFill_ == windowFrames_) {
            windowRms_.push_back(float(std::sqrt(windowSum_ / double(2 * windowFrames_))));
            windowSum_ = 0;
            windowFill_ = 0;
        }
    }
    frames_ += frames;
}

void LevelMeter::finish() {
    if (windowFill_ > 0)
        windowRms_.push_back(float(std::sqrt(windowSum_ / double(2 * windowFill_))));
    windowSum_ = 0;
    windowFill_ = 0;
}

double LevelMeter::rms(int channel) const {
    return frames_ > 0 ? std::sqrt(sumSquares_[channel] / double(frames_)) : 0.0;
}

double amplitudeToDb(double amplitude) {
    return amplitude > 0 ? 20.0 * std::log10(amplitude) : -HUGE_VAL;
}
