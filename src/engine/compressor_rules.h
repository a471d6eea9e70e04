// The constants and per-sample rules that every compressor path shares, so that the reference
// loop and the wide ones read the same definitions. The bounds here are what keeps a band's
// output finite for any finite input and any setting; ordinary settings never reach them.
// Definitions have internal linkage: files built for wider instruction sets include this too.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace compressor_rules {
namespace {

constexpr double kLn2 = 0.6931471805599453;

// Time constants: a coefficient exp(-1 / samples), 0 below one sample (immediate response).
constexpr double kSecondsPerMillisecond = 0.001;

// The knee ratio 10^(knee / 20) is held between a hard knee and 24.08 dB.
constexpr double kHardKnee = 1;
constexpr double kWidestKneeRatio = 16;

// The program-dependent release decays its raised coefficient by releaseDecay per sample,
// pow(kReleaseDecayBase, kReleaseDecayExponent / sampleRate); the base is 2^-20.83.
constexpr double kReleaseDecayBase = 5.364696906513259e-7;
constexpr double kReleaseDecayExponent = 0.6666;
// ...and asks for at least 0.048 s of release per halving of the gain (20.83 halvings/s).
constexpr double kReleaseHalvingsPerSecond = 20.833333333333332;

// Thresholds below -160 dB act as -160 dB, and those above 1e100 as 1e100, which keeps the
// knee arithmetic finite (the detector never comes near either).
constexpr double kLowestThreshold = 1e-8;
constexpr double kHighestThreshold = 1e100;

// The detector takes nothing louder than +40 dBFS, a level no signal reaches in practice, so
// that after a burst from a broken source the envelope falls back from there at the release
// rate (under a second at 150 ms) instead of from wherever the burst went.
constexpr double kLoudestDetectorInput = 100;

// The curve gain, as a base-2 logarithm, is never below 2^-25 and never above +60 dB
// (log2 1000): the one upward bound, far beyond musical use, at which expanders and
// expanders driven by their own output saturate.
constexpr double kLowestGainLog2 = -25;
constexpr double kHighestGainLog2 = 9.965784284662087;
// A slope this steep already reaches either bound for any level off the threshold; ratios of
// 0 (an infinite slope) or tiny ones from a stored state are held at it.
constexpr double kSteepestSlope = 1e6;
// The band's own gain times its automatic makeup is held within +-120 dB, beyond anything a
// parameter, fader or the makeup itself can reach (+36 dB gain, +74 dB makeup); the output
// gain is held there too.
constexpr double kLargestGain = 1e6;

// A crossover section's impulse response sums to at most 2.66 in magnitude (any frequency and
// rate), so each band at most quadruples what reaches it, and a band's output is its signal
// times at most kLargestCurveGain * kLargestGain. While the input stays below the level where
// all of that times the output gain could pass the float range, nothing can overflow; after a
// louder input the filter states need up to two seconds to decay.
constexpr double kCrossoverGrowth = 4;
constexpr double kLargestCurveGain = 1000;
constexpr double kOverflowHoldSeconds = 2;

// The input peak below which a sub-block of this many bands cannot overflow a float.
inline double overflowFreeInputPeak(int32_t bands) {
    double bound = double(FLT_MAX) / (kLargestCurveGain * kLargestGain * kLargestGain * double(bands + 1));
    for (int32_t k = 0; k < bands && bound > 0; ++k)
        bound /= kCrossoverGrowth;
    return bound;
}

// The RMS window: fewer than four samples means peak detection.
constexpr int32_t kShortestRmsWindow = 4;
constexpr int32_t kLongestRmsRing = 4194304; // pairs (64 MiB), and never above ten seconds
constexpr double kLongestRmsSeconds = 10;

// The samples a compressor pass runs over at a time: the reference's curve pass takes the
// levels of this many samples at once, and the pass kernel runs a sub-block in chunks of it.
constexpr int32_t kChunk = 128;

// Running sums lose the low bits of small squares while a large one is in the window, and
// keep that deficit after it has left. When a sum falls below 1/kRescanDrop of the largest it
// has been since the window was last summed afresh (a level drop of 60 dB), the window is
// summed again in the order a fresh instance would; the running sums are replaced only when
// they have drifted by more than kRescanTolerance (relative), so ordinary signals keep them
// bit for bit. The peaks and the drop are checked where the ring position is a multiple of
// kRescanCheckInterval (every 16 samples, or once a window for shorter rings, so a large square
// is always seen while it is in the window); rescans are at least a quarter window of checks
// apart, so they cost at most a few additions per sample however the signal is made.
constexpr double kRescanDrop = 0x1p20;
constexpr double kRescanTolerance = 0x1p-23;
constexpr int32_t kRescanCheckInterval = 16;

// The RMS level of a window from its running sums: the louder channel's, and silence where
// rounding has left a sum at or below zero. Real is double or a GCC vector of doubles, and
// root its square root, so that the wide paths run the same operations lane by lane.
template <typename Real, typename Root>
inline Real rmsLevelOf(Real sumLeft, Real sumRight, double inverseRingLength, Root root) {
    const Real larger = sumLeft > sumRight ? sumLeft : sumRight;
    return root((larger > 0 ? larger : Real{}) * inverseRingLength);
}

// A detector input: NaN and infinities count as silence, finite values beyond the loudest
// input are held at it, so that levels, squares and running sums stay small and finite.
inline double detectorInput(double x) {
    if (std::isnan(x))
        return 0;
    if (std::fabs(x) > kLoudestDetectorInput)
        return std::isinf(x) ? 0 : std::copysign(kLoudestDetectorInput, x);
    return x;
}

inline double boundedGain(double gain) {
    if (std::isnan(gain))
        return 0;
    return gain > kLargestGain ? kLargestGain : (gain < -kLargestGain ? -kLargestGain : gain);
}

// A double rounded to float without overflowing to infinity; NaN stays NaN.
// (Written in the operand order of the min and max instructions, which return x for NaN, so
// that loops over arrays vectorise.)
inline float saturatedFloat(double x) {
    const double below = FLT_MAX < x ? FLT_MAX : x;
    return float(-FLT_MAX > below ? -FLT_MAX : below);
}

// saturatedFloat applied afterwards to floats that a loop rounded plainly: the same values
// (what overflowed to an infinity, or was one, becomes the largest float; NaN stays), for a
// loop that never reads its outputs back, at a fraction of the cost per sample.
inline void saturateInfinities(float* x, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const float below = FLT_MAX < x[i] ? FLT_MAX : x[i];
        x[i] = -FLT_MAX > below ? -FLT_MAX : below;
    }
}

} // namespace
} // namespace compressor_rules
