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

inline float splitSample(const CrossoverFilter& filter, FilterChannelState& channel, float& remainder) {
    const double input = double(remainder) - kCrossoverInputOffset;
    double low = channel.x1 * filter.b1 + input * filter.b0 + channel.x2 * filter.b2 -
                 channel.y1 * filter.a1 - channel.y2 * filter.a2;
    remainder = float(input - low + kCrossoverRemainderOffset);
    const double magnitude = std::fabs(low);
    // Also catches NaN, whose comparisons are all false.
    if (!(magnitude >= kCrossoverFlushLevel) || magnitude == INFINITY)
        low = 0;
    if (crossoverKeepsState(input)) {
        channel.x2 = channel.x1;
        channel.x1 = input;
        channel.y2 = channel.y1;
    } else {
        channel.x2 = channel.x1 = channel.y2 = 0;
    }
    channel.y1 = low;
    return float(low);
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
