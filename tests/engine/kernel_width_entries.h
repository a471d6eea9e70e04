// The entry points of KernelWidth for W lanes; included once by each width's file.
#pragma once

#include "engine/pass_kernel_driver.h"
#include "kernel_width.h"

#include <cstring>

namespace kernel_width {
namespace {

using namespace pass_kernel;

template <int W> void curve(const Band& band, const double* levels, int32_t n, double* gains) {
    const CompressorConstants c = compressorConstants(band);
    BandLevels bandLevels = {};
    bandLevels.fixed = {c.kneeLow,    c.kneeHigh,       c.kneeScale,           c.inverseThreshold,
                        c.logKneeTop, band.state.slope, band.state.makeupGain, c.expanding};
    CompressorPasses<W, true>::curve(bandLevels, levels, n, gains);
}

template <int W> void rmsLevels(Band& band, const double* sums, int32_t n, double* levels) {
    CompressorPasses<W, true>::levelsFromSums(band, compressorConstants(band), sums, n, levels);
}

template <int W>
void crossover(Band* const* bands, int count, float* const* remainder, float* const (*signal)[2], int32_t n) {
    Rows rows;
    SignalRows rowsOfBand[kGroupBands];
    for (int32_t start = 0; start < n; start += kChunk) {
        const int32_t length = n - start < kChunk ? n - start : kChunk;
        float* chunk[2] = {remainder[0] + start, remainder[1] + start};
        CrossoverWavefront<W> wavefront(bands, count);
        wavefront.template run<true>(chunk, length, rows, rowsOfBand, [](int32_t) {});
        wavefront.storeBack(bands);
        for (int k = 0; k < count; ++k)
            for (int channel = 0; channel < 2; ++channel)
                std::memcpy(signal[k][channel] + start, rowsOfBand[k][channel] + kSignalPad,
                            size_t(length) * sizeof(float));
    }
}

template <int W> constexpr KernelWidth entries(ProcessingPath path) {
    return {path, W, curve<W>, rmsLevels<W>, crossover<W>};
}

} // namespace
} // namespace kernel_width
