#include "shell/analyzer_feed.h"

#include <algorithm>
#include <cstring>

AnalyzerFeed::AnalyzerFeed() {
    const int32_t bytes = int32_t(2 * kCapacity * sizeof(float));
    auto* floats = static_cast<float*>(memory_.resize(bytes));
    if (floats && memory_.getSize() == bytes) {
        std::memset(floats, 0, size_t(bytes));
        in_ = floats;
        out_ = floats + kCapacity;
    }
}

int32_t AnalyzerFeed::begin(int32_t n) {
    if (!in_ || n <= 0)
        return 0;
    const int64_t held = written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return int32_t(std::min<int64_t>(n, kCapacity - held));
}

void AnalyzerFeed::writeMono(float* ring, const float* left, const float* right, int32_t frames) {
    const int64_t start = written_.load(std::memory_order_relaxed);
    int32_t slot = int32_t(start % kCapacity);
    for (int32_t done = 0; done < frames;) {
        const int32_t run = std::min(frames - done, kCapacity - slot);
        float* to = ring + slot;
        const float* l = left + done;
        const float* r = right + done;
        for (int32_t i = 0; i < run; ++i)
            to[i] = (l[i] + r[i]) * 0.5f;
        done += run;
        slot = 0;
    }
}

void AnalyzerFeed::input(const float* left, const float* right, int32_t frames) {
    writeMono(in_, left, right, frames);
}

void AnalyzerFeed::output(const float* left, const float* right, int32_t frames) {
    writeMono(out_, left, right, frames);
}

void AnalyzerFeed::publish(int32_t frames) {
    written_.store(written_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
}

int32_t AnalyzerFeed::read(float* in, float* out, int32_t max) {
    if (!in_ || max <= 0)
        return 0;
    const int64_t start = read_.load(std::memory_order_relaxed);
    const int32_t count = int32_t(std::min<int64_t>(max, written_.load(std::memory_order_acquire) - start));
    int32_t slot = int32_t(start % kCapacity);
    for (int32_t done = 0; done < count;) {
        const int32_t run = std::min(count - done, kCapacity - slot);
        std::memcpy(in + done, in_ + slot, size_t(run) * sizeof(float));
        std::memcpy(out + done, out_ + slot, size_t(run) * sizeof(float));
        done += run;
        slot = 0;
    }
    read_.store(start + count, std::memory_order_release);
    return count;
}

void AnalyzerFeed::discard() {
    read_.store(written_.load(std::memory_order_acquire), std::memory_order_release);
}
