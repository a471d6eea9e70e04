// The pass kernel's first stage: the crossover sections of a group of splitting bands as a
// wavefront over one chunk (band k kLag samples behind band k - 1, both channels of each band
// side by side in the lanes), for one vector width. It computes what splitBlock computes, band
// after band, bit for bit. Internal linkage: included by one file per instruction set.
#pragma once

#include "engine/band.h"
#include "engine/compressor_rules.h"
#include "engine/crossover.h"
#include "engine/kernel_vectors.h"

#include <cfloat>
#include <cstring>

namespace pass_kernel {
namespace {

using namespace compressor_rules;
using namespace kernel_vectors;

// The bands whose crossovers run side by side in one wavefront, and their lanes: a left and a
// right lane for each band.
constexpr int kGroupBands = 4;
constexpr int kWavefrontLanes = 2 * kGroupBands;

// Band signals in the scratch start kSignalPad floats into their rows, so that the wavefront
// may write the samples before and after the chunk that its ramps compute (up to the next
// whole kWavefrontLanes steps).
constexpr int32_t kLag = 4; // samples between one band of a group and the next
constexpr int32_t kSignalPad = 32;
typedef float SignalRows[2][kSignalPad * 2 + kChunk];
// A row of the wavefront: one float per lane.
typedef float Eight __attribute__((vector_size(4 * kWavefrontLanes)));
static_assert(kWavefrontLanes == 8, "the rows are transposed eight by eight");

// What the wavefront writes per step: every lane's band sample, and the last band's remainder.
struct Rows {
    float band[kWavefrontLanes * (kChunk + (kGroupBands - 1) * kLag + kWavefrontLanes)];
    float remainder[2][kSignalPad * 2 + kChunk];
};

// The crossover sections of up to four bands over one chunk, both channels of each band in
// lanes 2k and 2k + 1 (in kWavefrontLanes / W vectors). The rows hold, per step, what every lane produced:
// band k's sample j is in row j + k, lanes 2k and 2k + 1.
template <int W> struct CrossoverWavefront {
    using V = kernel_vectors::Vectors<W>;
    using Real = typename V::Real;
    using Mask = typename V::Mask;
    using Floats = typename V::Floats;
    static constexpr int kVectors = kWavefrontLanes / W;

    Real b0[kVectors], b1[kVectors], b2[kVectors], a1[kVectors], a2[kVectors];
    Real x1[kVectors], x2[kVectors], y1[kVectors], y2[kVectors];
    // y1 * a1, worked out in the step that produces y1, beside its flush test instead of after
    // it (the chain from one step to the next is what bounds the wavefront); and 0 * a1, the
    // product of a flushed value.
    Real y1a1[kVectors], zeroA1[kVectors];
    Mask laneBand[kVectors];
    int count;

    CrossoverWavefront(Band* const* bands, int bandCount) : count(bandCount) {
        for (int p = 0; p < kVectors; ++p) {
            b0[p] = b1[p] = b2[p] = a1[p] = a2[p] = x1[p] = x2[p] = y1[p] = y2[p] = Real{};
            y1a1[p] = zeroA1[p] = Real{};
            for (int t = 0; t < W; ++t)
                laneBand[p][t] = (p * W + t) / 2 * kLag;
        }
        for (int k = 0; k < count; ++k) {
            const CrossoverFilter& f = bands[k]->filter;
            for (int channel = 0; channel < 2; ++channel) {
                const FilterChannelState& s = channel == 0 ? f.left : f.right;
                const int p = (2 * k + channel) / W, t = (2 * k + channel) % W;
                b0[p][t] = f.b0;
                b1[p][t] = f.b1;
                b2[p][t] = f.b2;
                a1[p][t] = f.a1;
                a2[p][t] = f.a2;
                x1[p][t] = s.x1;
                x2[p][t] = s.x2;
                y1[p][t] = s.y1;
                y2[p][t] = s.y2;
                y1a1[p][t] = s.y1 * f.a1;
                zeroA1[p][t] = 0.0 * f.a1;
            }
        }
    }

    void storeBack(Band* const* bands) const {
        for (int k = 0; k < count; ++k)
            for (int channel = 0; channel < 2; ++channel) {
                FilterChannelState& s = channel == 0 ? bands[k]->filter.left : bands[k]->filter.right;
                const int p = (2 * k + channel) / W, t = (2 * k + channel) % W;
                s.x1 = x1[p][t];
                s.x2 = x2[p][t];
                s.y1 = y1[p][t];
                s.y2 = y2[p][t];
            }
    }

    // Whether a low-pass value stays (else it is flushed to zero): its size is at least the
    // flush level and finite. With 64-bit integer comparisons, one unsigned range check of the
    // size's bits (a NaN's lie above infinity's).
    static Mask keepsLow(Real low) {
        const Real size = magnitude<W>(low);
        if constexpr (W == 2) {
            return (size >= kCrossoverFlushLevel) & (size != __builtin_inf());
        } else {
            using Bits = typename V::Bits;
            Bits bits;
            std::memcpy(&bits, &size, sizeof bits);
            constexpr uint64_t flushBits = __builtin_bit_cast(uint64_t, kCrossoverFlushLevel);
            constexpr uint64_t infinityBits = __builtin_bit_cast(uint64_t, __builtin_inf());
            return bits - flushBits < infinityBits - flushBits;
        }
    }

    // One step: splitSample in every lane; lanes comes in holding each lane's input and goes out
    // holding its remainder, and row receives every lane's band sample. Outside the ramps at
    // the chunk's ends every lane holds a sample of the chunk (padding lanes run on with zero
    // coefficients, and what they produce is never read).
    template <bool masked, bool saturate>
    [[gnu::always_inline]] inline void step(Real* lanes, int32_t at, int32_t n, float* row) {
        const Real zero = Real{};
        for (int p = 0; p < kVectors; ++p) {
            const Real input = lanes[p] - kCrossoverInputOffset;
            Real low = x1[p] * b1[p] + input * b0[p] + x2[p] * b2[p] - y1a1[p] - y2[p] * a2[p];
            lanes[p] = roundTrip<W, saturate>(input - low + kCrossoverRemainderOffset);
            // crossoverKeepsState in every lane (NaN compares false); where it does not, low is
            // not a number either and is flushed.
            const Mask keeps = magnitude<W>(input) <= DBL_MAX;
            const Mask kept = keepsLow(low);
            const Real product = kept ? low * a1[p] : zeroA1[p];
            low = kept ? low : zero;
            storeVector(row + p * W, toFloat<W, saturate>(low));
            if (masked) {
                const Mask sample = int64_t(at) - laneBand[p];
                const Mask valid = (sample >= 0) & (sample < n);
                x2[p] = valid ? (keeps ? x1[p] : zero) : x2[p];
                x1[p] = valid ? (keeps ? input : zero) : x1[p];
                y2[p] = valid ? (keeps ? y1[p] : zero) : y2[p];
                y1[p] = valid ? low : y1[p];
                y1a1[p] = valid ? product : y1a1[p];
            } else {
                x2[p] = keeps ? x1[p] : zero;
                x1[p] = keeps ? input : zero;
                y2[p] = keeps ? y1[p] : zero;
                y1[p] = low;
                y1a1[p] = product;
            }
        }
    }

    // Runs the chunk: remainder[c][0..n) comes in and is replaced by what the last band leaves;
    // band k's signal goes to signal[k][c] + kSignalPad. Band k runs kLag samples behind band
    // k - 1, so that what one band hands the next is needed kLag steps later, and that many
    // steps overlap in the processor. The rows of every eight steps are turned into eight
    // steps of every lane: lane 2k + c then holds band k's samples from the first step's
    // sample minus k kLag on. alongside(at) runs after every step: other serial work that the
    // processor may overlap with the wavefront's. Returns the number of steps.
    template <bool saturate, typename Alongside>
    int32_t run(float* const* remainder, int32_t n, Rows& rows, SignalRows* signal, Alongside&& alongside) {
        Real lanes[kLag][kVectors]; // the remainders of the last kLag steps, by step modulo kLag
        for (int d = 0; d < kLag; ++d)
            for (int p = 0; p < kVectors; ++p)
                lanes[d][p] = Real{};
        const int last = count - 1;
        const int32_t steps = n + last * kLag;
        const int lastLane = 2 * last;
        for (int32_t at = 0; at < steps; ++at) {
            // Every pair of lanes takes what the band below left kLag steps earlier; the first
            // takes the incoming sample.
            Real fresh = Real{};
            if (at < n) {
                fresh[W - 2] = double(remainder[0][at]);
                fresh[W - 1] = double(remainder[1][at]);
            }
            Real* current = lanes[at % kLag];
            for (int p = kVectors - 1; p >= 0; --p)
                current[p] = kernel_vectors::shiftUp<W, 2>(p > 0 ? current[p - 1] : fresh, current[p]);
            float* row = rows.band + kWavefrontLanes * at;
            if (at >= last * kLag && at < n)
                step<false, saturate>(current, at, n, row);
            else
                step<true, saturate>(current, at, n, row);
            alongside(at);
            rows.remainder[0][kSignalPad + at] = float(current[lastLane / W][lastLane % W]);
            rows.remainder[1][kSignalPad + at] = float(current[lastLane / W][lastLane % W + 1]);
        }
        for (int32_t at = 0; at < steps; at += kWavefrontLanes) {
            Eight column[kWavefrontLanes];
            transpose(rows.band + kWavefrontLanes * at, column);
            for (int lane = 0; lane < 2 * count; ++lane)
                std::memcpy(signal[lane / 2][lane % 2] + kSignalPad + at - lane / 2 * kLag, &column[lane],
                            sizeof(Eight));
        }
        for (int channel = 0; channel < 2; ++channel)
            std::memcpy(remainder[channel], rows.remainder[channel] + kSignalPad + last * kLag,
                        size_t(n) * sizeof(float));
        return steps;
    }

    // Eight rows of eight floats into eight columns.
    static void transpose(const float* rows, Eight* column) {
        Eight r[8];
        std::memcpy(r, rows, sizeof r);
        Eight t[8], u[8];
        for (int i = 0; i < 8; i += 2) {
            t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
            t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
        }
        for (int i = 0; i < 8; i += 4) {
            u[i] = __builtin_shufflevector(t[i], t[i + 2], 0, 1, 8, 9, 4, 5, 12, 13);
            u[i + 1] = __builtin_shufflevector(t[i], t[i + 2], 2, 3, 10, 11, 6, 7, 14, 15);
            u[i + 2] = __builtin_shufflevector(t[i + 1], t[i + 3], 0, 1, 8, 9, 4, 5, 12, 13);
            u[i + 3] = __builtin_shufflevector(t[i + 1], t[i + 3], 2, 3, 10, 11, 6, 7, 14, 15);
        }
        for (int i = 0; i < 4; ++i) {
            column[i] = __builtin_shufflevector(u[i], u[i + 4], 0, 1, 2, 3, 8, 9, 10, 11);
            column[i + 4] = __builtin_shufflevector(u[i], u[i + 4], 4, 5, 6, 7, 12, 13, 14, 15);
        }
    }
};

} // namespace
} // namespace pass_kernel
