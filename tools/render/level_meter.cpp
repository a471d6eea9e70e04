#include "render/level_meter.h"

#include "render/peak_scan.h"

#include <algorithm>
#include <cmath>

LevelMeter::LevelMeter(double sampleRate, double windowSeconds, MeterDetail detail)
    : detail_(detail),
      windowFrames_(std::max<int64_t>(1, int64_t(std::lround(sampleRate * windowSeconds)))) {}

void LevelMeter::addPeaks(const float* left, const float* right, int64_t frames) {
    const float* channels[2] = {left, right};
    for (int channel = 0; channel < 2; ++channel) {
        PeakScan scan{float(peak_[channel]), 0};
        scanPeaks(channels[channel], frames, scan);
        peak_[channel] = scan.peak;
        overFullScale_ += scan.overFullScale;
    }
    frames_ += frames;
}

void LevelMeter::add(const float* left, const float* right, int64_t frames) {
    if (detail_ == MeterDetail::kPeaks) {
        addPeaks(left, right, frames);
        return;
    }
    // One pass: each stretch that falls into one window adds to that window and to the
    // per-channel totals.
    float peakLeft = float(peak_[0]), peakRight = float(peak_[1]);
    int64_t done = 0;
    while (done < frames) {
        const int64_t take = std::min(frames - done, windowFrames_ - windowFill_);
        double sumLeft = 0, sumRight = 0;
        int64_t over = 0;
        for (int64_t i = done; i < done + take; ++i) {
            const float l = left[i], r = right[i];
            sumLeft += double(l) * l;
            sumRight += double(r) * r;
            peakLeft = std::max(peakLeft, std::fabs(l));
            peakRight = std::max(peakRight, std::fabs(r));
            over += int64_t(std::fabs(l) > 1.0f) + int64_t(std::fabs(r) > 1.0f);
        }
        overFullScale_ += over;
        sumSquares_[0] += sumLeft;
        sumSquares_[1] += sumRight;
        windowSum_ += sumLeft + sumRight;
        windowFill_ += take;
        done += take;
        if (windowFill_ == windowFrames_) {
            windowRms_.push_back(float(std::sqrt(windowSum_ / double(2 * windowFrames_))));
            windowSum_ = 0;
            windowFill_ = 0;
        }
    }
    peak_[0] = peakLeft;
    peak_[1] = peakRight;
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
