// Test helpers for driving the multiband engine the way the effect instance sets it up.
#pragma once

#include "engine/multiband.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

constexpr double kPi = 3.141592653589793;
#include <vector>

// An engine with the default bands at the given sample rate.
inline void setUpDefaultEngine(MultibandEngine& engine, double sampleRate = 44100) {
    engine.sampleRate = sampleRate;
    engine.resetProcessingState();
    engine.loadDefaultBands();
    engine.resetProcessingState();
}

inline void setAllActive(MultibandEngine& engine, bool active) {
    for (int i = 0; i < engine.bandCount(); ++i)
        engine.band(i)->settings.active = active;
}

struct StereoSignal {
    std::vector<float> left, right;
    explicit StereoSignal(int n) : left(size_t(n)), right(size_t(n)) {}
    int frames() const { return int(left.size()); }
    float* const* channels() {
        pointers[0] = left.data();
        pointers[1] = right.data();
        return pointers;
    }
    float* pointers[2] = {nullptr, nullptr};
};

// Broadband, deterministic test material: a few sines and some noise.
inline StereoSignal musicLike(int n, double sampleRate, double amplitude = 0.5) {
    StereoSignal s(n);
    unsigned noise = 1;
    for (int i = 0; i < n; ++i) {
        double t = i / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        double white = double(noise >> 8) / double(1u << 24) - 0.5;
        double v = 0.5 * std::sin(2 * kPi * 60 * t) + 0.3 * std::sin(2 * kPi * 700 * t) +
                   0.2 * std::sin(2 * kPi * 3100 * t) + 0.1 * std::sin(2 * kPi * 9000 * t) + 0.2 * white;
        s.left[size_t(i)] = float(amplitude * v);
        s.right[size_t(i)] = float(amplitude * (0.7 * v - 0.1 * white));
    }
    return s;
}

// Equality of the bits, which tells 0 from -0.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The settings a glide moves, bit for bit: each band's frequency, gain, threshold and ratio,
// then the output gain.
inline std::vector<double> glidedSettings(const MultibandEngine& engine) {
    std::vector<double> values;
    for (int32_t i = 0; i < engine.bandCount(); ++i) {
        const Band& b = *engine.band(i);
        values.insert(values.end(), {b.frequency(), b.settings.gain, b.settings.threshold, b.settings.ratio});
    }
    values.push_back(engine.outputGain);
    return values;
}

inline void expectSameSettings(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(sameBits(a[i], b[i])) << what << " value " << i << ": " << a[i] << " against " << b[i];
}

inline void process(MultibandEngine& engine, StereoSignal& in, StereoSignal& out, int blockSize) {
    for (int start = 0; start < in.frames(); start += blockSize) {
        int n = in.frames() - start < blockSize ? in.frames() - start : blockSize;
        const float* inputs[2] = {in.left.data() + start, in.right.data() + start};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        engine.processWithGlide(inputs, outputs, n);
    }
}
