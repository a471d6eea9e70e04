#include "engine/crossover.h"

#include "engine/compressor_rules.h"

#include <cmath>
#include <initializer_list>

void designFilter(CrossoverFilter& filter, double f) {
    if (f == filter.frequency)
        return;
    if (f >= 0)
        filter.frequency = f;
    double designed = filter.frequency;
    if (designed < 10)
        designed = 10;
    else if (designed >= 0.49 * filter.sampleRate)
        designed = 0.49 * filter.sampleRate;

    double omega = designed * 2 / filter.sampleRate * 3.141592653589793;
    double c = std::cos(omega);
    double s = std::sin(omega);
    double alpha = s * 0.5;
    double n = 1 / (alpha + 1);
    filter.b1 = (1 - c) * n;
    filter.a1 = c * (-2) * n;
    filter.a2 = (1 - alpha) * n;
    filter.b0 = filter.b2 = filter.b1 * 0.5;
}

void clearFilterState(CrossoverFilter& filter) {
    filter.left = FilterChannelState();
    filter.right = FilterChannelState();
}

namespace {

inline float splitSample(const CrossoverFilter& f, FilterChannelState& s, float& remainder) {
    double v = double(remainder) - 1e-13;
    double y = s.x1 * f.b1 + v * f.b0 + s.x2 * f.b2 - s.y1 * f.a1 - s.y2 * f.a2;
    remainder = float(v - y + 1e-14);
    double magnitude = std::fabs(y);
    // Also catches NaN, whose comparisons are all false.
    if (!(magnitude >= 0x1p-54) || magnitude == INFINITY)
        y = 0;
    s.x2 = s.x1;
    s.x1 = v;
    s.y2 = s.y1;
    s.y1 = y;
    return float(y);
}

} // namespace

void splitBlock(CrossoverFilter& filter, float* remainderLeft, float* remainderRight, float* bandLeft,
                float* bandRight, int32_t n, bool mayOverflow) {
    for (int32_t i = 0; i < n; ++i) {
        bandLeft[i] = splitSample(filter, filter.left, remainderLeft[i]);
        bandRight[i] = splitSample(filter, filter.right, remainderRight[i]);
    }
    if (mayOverflow)
        for (float* x : {remainderLeft, remainderRight, bandLeft, bandRight})
            compressor_rules::saturateInfinities(x, n);
}
