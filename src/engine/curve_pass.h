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
// of the gain. Branch-free, so that the pass vectorises.
inline double curveGainLog2(const CurveConstants& c, double level) {
    const bool above = level >= c.kneeHigh;
    // Above the knee level / threshold lies in [1, 1e108]: the detector holds levels below 1e100.
    const double logLevel = gain_curve_math::log(above ? level * c.inverseThreshold : 1.0);
    return (above ? logLevel : c.logKneeTop * ((level - c.kneeLow) * c.kneeScale)) * c.slope;
}

// The base-2 logarithm of the gain within the curve's bounds.
inline double boundedGainLog2(double gainLog2) {
    using namespace compressor_rules;
    return gainLog2 > kLowestGainLog2 ? (gainLog2 < kHighestGainLog2 ? gainLog2 : kHighestGainLog2)
                                      : kLowestGainLog2;
}

// 2^gainLog2 within the curve's bounds.
inline double gainOfLog2(double gainLog2) {
    return gain_curve_math::exp(boundedGainLog2(gainLog2) * compressor_rules::kLn2);
}

// The curve gain of each level; a level of 0 (resting at or below the knee) has gain 1. The
// logarithms and the exponentials run as two passes (the bounded log2 gains kept in gains
// between them): one chain through both is too long for the processor to overlap many levels.
inline void curveGains(const CurveConstants& c, const double* levels, double* gains, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        gains[i] = boundedGainLog2(curveGainLog2(c, levels[i]));
    for (int32_t i = 0; i < count; ++i) {
        const double gain = gain_curve_math::exp(gains[i] * compressor_rules::kLn2);
        gains[i] = levels[i] == 0 ? 1.0 : gain;
    }
}

} // namespace
} // namespace curve_pass
