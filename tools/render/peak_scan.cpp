#include "render/peak_scan.h"

#include <algorithm>
#include <cstring>

namespace {

// Bit patterns of floats as signed integers: with the sign bit cleared every pattern is
// non-negative, and the order of finite magnitudes and infinity is the order of the patterns.
// The compiler compares integers many at a time; it does not vectorise this loop on floats.
constexpr int32_t kMagnitudeBits = 0x7fffffff;
constexpr int32_t kInfinityBits = 0x7f800000;
constexpr int32_t kFullScaleBits = 0x3f800000; // 1.0f

inline int32_t bitsOf(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

inline float floatOf(int32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// Inlined into each version, which the compiler then builds for its own instruction set.
__attribute__((always_inline)) inline void scan(const float* samples, int64_t count, PeakScan& result) {
    int32_t peak = bitsOf(result.peak);
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
        result.overFullScale += stretchOver;
    }
    result.peak = floatOf(peak);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void scanAvx2(const float* samples, int64_t count, PeakScan& result) {
    scan(samples, count, result);
}

bool avx2Available() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
}
#endif

} // namespace

void scanPeaksGeneric(const float* samples, int64_t count, PeakScan& result) {
    scan(samples, count, result);
}

bool scanPeaksAvx2(const float* samples, int64_t count, PeakScan& result) {
#if defined(__x86_64__) || defined(__i386__)
    if (avx2Available()) {
        scanAvx2(samples, count, result);
        return true;
    }
#endif
    (void)samples;
    (void)count;
    (void)result;
    return false;
}

void scanPeaks(const float* samples, int64_t count, PeakScan& result) {
    if (!scanPeaksAvx2(samples, count, result))
        scanPeaksGeneric(samples, count, result);
}
