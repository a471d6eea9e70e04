// The compressor's curve pass over a run of envelope levels: a logarithm and an exponential
// per level, nothing carried from one level to the next, so the loop vectorises (in the
// baseline instruction set: compressBlock is the plain definition and picks no wider build).
// Internal linkage throughout, so that a file built for a wider instruction set may include it.
#pragma once

#include "engine/compressor_rules.h"
#include "engine/gain_curve_math.h"

#include <cstdint>

struct CurveConstants {
    double kneeLow, kneeHigh, kneeScale, inverseThreshold, logKneeTop, slope;
};

namespace curve_pass {
namespace {

// The static curve at an envelope level above the knee's lower edge, as the base-2 logarithm
// of the gain. Branch-free, so that the pass vectorises. Real is double or a GCC vector of
// doubles (Bits the unsigned 64-bit integers of its shape), as in gain_curve_math; Levels is
// any record of the curve's constants (CurveConstants, or a glide step's GlidedLevels).
template <typename Real, typename Bits, typename Levels>
inline Real curveGainLog2Of(const Levels& c, Real level) {
    const auto above = level >= c.kneeHigh;
    // Above the knee level / threshold lies in [1, 1e108]: the detector holds levels below 1e100.
    const Real logLevel =
        gain_curve_math::logOf<Real, Bits>(above ? level * c.inverseThreshold : Real{} + 1.0);
    return (above ? logLevel : c.logKneeTop * ((level - c.kneeLow) * c.kneeScale)) * c.slope;
}

// The base-2 logarithm of the gain within the curve's bounds.
template <typename Real> inline Real boundedGainLog2Of(Real gainLog2) {
    using namespace compressor_rules;
    return gainLog2 > kLowestGainLog2 ? (gainLog2 < kHighestGainLog2 ? gainLog2 : kHighestGainLog2)
                                      : kLowestGainLog2;
}

// The curve gain of an envelope level from its bounded base-2 logarithm: 1 where the level is
// 0 (the envelope rests at or below the knee).
template <typename Real, typename Bits> inline Real levelGainOf(Real level, Real boundedGainLog2) {
    const Real gain = gain_curve_math::expOf<Real, Bits>(boundedGainLog2 * compressor_rules::kLn2);
    return level != 0 ? gain : Real{} + 1.0;
}

inline double curveGainLog2(const CurveConstants& c, double level) {
    return curveGainLog2Of<double, uint64_t>(c, level);
}

// 2^gainLog2 within the curve's bounds.
inline double gainOfLog2(double gainLog2) {
    return gain_curve_math::exp(boundedGainLog2Of(gainLog2) * compressor_rules::kLn2);
}

// The curve gain of each level; a level of 0 (resting at or below the knee) has gain 1. The
// logarithms and the exponentials run as two passes (the bounded log2 gains kept in gains
// between them): one chain through both is too long for the processor to overlap many levels.
inline void curveGains(const CurveConstants& c, const double* levels, double* gains, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        gains[i] = boundedGainLog2Of(curveGainLog2(c, levels[i]));
    for (int32_t i = 0; i < count; ++i)
        gains[i] = levelGainOf<double, uint64_t>(levels[i], gains[i]);
}

} // namespace
} // namespace curve_pass
