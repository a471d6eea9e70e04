#include "render/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Bit patterns of floats as signed integers: with the sign bit cleared every pattern is
// non-negative, and the order of finite magnitudes and infinity is the order of the patterns.
constexpr int32_t kMagnitudeBits = 0x7fffffff;
constexpr int32_t kInfinityBits = 0x7f800000;
constexpr int32_t kFullScaleBits = 0x3f800000; // 1.0f

int32_t bitsOf(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float floatOf(int32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// The largest magnitude of `count` samples (at least `peak`) and how many lie beyond full
// scale, compared as integers so that the compiler compares many at a time (it does not
// vectorise this loop on floats). A NaN is passed over, as std::max passes it over in the
// full meter.
void peakAndOverOf(const float* samples, int64_t count, int32_t& peak, int64_t& over) {
    // Counted in 32 bits a stretch at a time, so the count never wraps.
    constexpr int64_t kStretch = int64_t(1) << 30;
    for (int64_t from = 0; from < count; from += kStretch) {
        const int64_t to = std::min(count, from + kStretch);
        int32_t stretchPeak = peak, stretchOver = 0;
        for (int64_t i = from; i < to; ++i) {
            const int32_t magnitude = bitsOf(samples[i]) & kMagnitudeBits;
            const int32_t counted = magnitude <= kInfinityBits ? magnitude : 0;
            stretchPeak = counted > stretchPeak ? counted : stretchPeak;
            stretchOver += (magnitude > kFullScaleBits) & (magnitude <= kInfinityBits);
        }
        peak = stretchPeak;
        over += stretchOver;
    }
}

} // namespace

LevelMeter::LevelMeter(double sampleRate, double windowSeconds, MeterDetail detail)
    : detail_(detail),
      windowFrames_(std::max<int64_t>(1, int64_t(std::lround(sampleRate * windowSeconds)))) {}

void LevelMeter::addPeaks(const float* left, const float* right, int64_t frames) {
    const float* channels[2] = {left, right};
    for (int channel = 0; channel < 2; ++channel) {
        int32_t peak = bitsOf(float(peak_[channel]));
        peakAndOverOf(channels[channel], frames, peak, overFullScale_);
        peak_[channel] = floatOf(peak);
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
