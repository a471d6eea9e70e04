// The pass kernel's second stage: the compressors of a group of bands as passes over one
// chunk of their signals, for one vector width. What does not recur (detector inputs, squares,
// levels, the gain curve, outputs and the sum) is vectorised over time; the recursions (the
// RMS sums and the envelopes) run for several bands side by side. Every value comes from the
// same operations, in the same order, as in compressBlock and the driver's sum. In a glided
// slice, what a gliding band's gain depends on, and the output gain, may change every
// kGlideStep samples (see BandLevels and OutputGain). Internal linkage: included by one file
// per instruction set.
#pragma once

#include "engine/compressor.h"
#include "engine/compressor_rules.h"
#include "engine/crossover_wavefront.h"
#include "engine/curve_pass.h"
#include "engine/gain_curve_math.h"
#include "engine/kernel_vectors.h"

#include <cfloat>
#include <cstring>
#include <utility>

namespace pass_kernel {
namespace {

// One value per band of a group.
typedef double Quad __attribute__((vector_size(32)));
typedef int64_t QuadMask __attribute__((vector_size(32)));
// A left and right value.
typedef double Duo __attribute__((vector_size(16)));

// Interleaving two W-lane vectors (left 0, right 0, left 1, ...).
template <int W> struct Shuffles;
template <> struct Shuffles<2> {
    template <typename R> static R interleaveLow(R a, R b) { return __builtin_shufflevector(a, b, 0, 2); }
    template <typename R> static R interleaveHigh(R a, R b) { return __builtin_shufflevector(a, b, 1, 3); }
};
template <> struct Shuffles<4> {
    template <typename R> static R interleaveLow(R a, R b) {
        return __builtin_shufflevector(a, b, 0, 4, 1, 5);
    }
    template <typename R> static R interleaveHigh(R a, R b) {
        return __builtin_shufflevector(a, b, 2, 6, 3, 7);
    }
};
template <> struct Shuffles<8> {
    template <typename R> static R interleaveLow(R a, R b) {
        return __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    }
    template <typename R> static R interleaveHigh(R a, R b) {
        return __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
    }
};

// The scratch of a chunk's passes.
struct Scratch {
    double squares[kGroupBands][2 * kChunk]; // left, right pairs
    double sums[kGroupBands][2 * kChunk];
    double gains[kChunk];
    double silentLevels[kChunk]; // the envelope lanes no band uses
    Rows rows;
};

// What a band's gain depends on over a chunk: its own levels, or a glide's, step by step.
struct BandLevels {
    GlidedLevels fixed;
    const GlidedLevels* steps; // from the chunk's first sample on; null when the band keeps its settings

    const GlidedLevels& at(int32_t i) const { return steps ? steps[i / kGlideStep] : fixed; }
    // The stretch over which the levels hold.
    int32_t segment() const { return steps ? kGlideStep : kChunk; }
};

// The output gain over a chunk: one value, or one per glide step.
struct OutputGain {
    double fixed;
    const double* steps;

    double at(int32_t i) const { return steps ? steps[i / kGlideStep] : fixed; }
    int32_t segment() const { return steps ? kGlideStep : kChunk; }
};

// What one group keeps of a chunk from its first passes (crossover, detector, RMS sums) to its
// last (envelopes, curve, output), which run while the next chunk's first passes do: the band
// signals (padded with zeros to whole vectors), the detector levels (then the envelope
// levels), and what they were worked out with.
struct GroupChunk {
    SignalRows signal[kGroupBands];
    double levels[kGroupBands][kChunk];
    CompressorConstants constants[kGroupBands];
    BandLevels bandLevels[kGroupBands];
    bool passes[kGroupBands]; // false: the band runs compressBlock
    int32_t n;
};

// The end of the stretch from which one set of levels holds.
inline int32_t segmentEnd(int32_t from, int32_t segment, int32_t n) {
    return n - from < segment ? n : from + segment;
}

// A band's RMS ring as one pass runs it: the sums run on in segments that end where the
// running sums are checked (every 16th ring position, and the end of the ring).
struct RingRun {
    BandState* state;
    double* ring;
    const double* squares;
    double* sums;
    int32_t length, pos, fill, done;
    Duo sum;
};

// Runs the rings of several bands over n samples, a segment of each in turn, so that their
// sums (each a serial chain) overlap in the processor.
inline void runRings(RingRun* rings, int count, int32_t n) {
    for (bool more = true; more;) {
        more = false;
        for (int r = 0; r < count; ++r) {
            RingRun& run = rings[r];
            if (run.done == n)
                continue;
            int32_t end = (run.pos / kRescanCheckInterval + 1) * kRescanCheckInterval;
            if (end > run.length)
                end = run.length;
            int32_t length = end - run.pos;
            if (length > n - run.done)
                length = n - run.done;
            const double* square = run.squares + 2 * run.done;
            double* sum = run.sums + 2 * run.done;
            double* pair = run.ring + 2 * run.pos;
            Duo running = run.sum;
            if (run.fill == run.length) {
                for (int32_t i = 0; i < length; ++i) {
                    const Duo added = loadVector<Duo>(square + 2 * i);
                    running = (running - loadVector<Duo>(pair + 2 * i)) + added;
                    storeVector(pair + 2 * i, added);
                    storeVector(sum + 2 * i, running);
                }
            } else {
                // Not yet written since the ring was forgotten: those pairs count as zero (and
                // subtracting zero changes no bits).
                for (int32_t i = 0; i < length; ++i) {
                    const Duo added = loadVector<Duo>(square + 2 * i);
                    running = running + added;
                    storeVector(pair + 2 * i, added);
                    storeVector(sum + 2 * i, running);
                }
                run.fill += length;
            }
            run.done += length;
            run.pos += length;
            if (run.pos == run.length)
                run.pos = 0;
            if ((run.pos & (kRescanCheckInterval - 1)) == 0) {
                BandState& state = *run.state;
                double sumLeft = running[0], sumRight = running[1];
                if (sumLeft > state.rmsPeakSumLeft)
                    state.rmsPeakSumLeft = sumLeft;
                if (sumRight > state.rmsPeakSumRight)
                    state.rmsPeakSumRight = sumRight;
                if (state.rmsChecksSinceRescan < INT32_MAX)
                    ++state.rmsChecksSinceRescan;
                if (sumLeft * kRescanDrop < state.rmsPeakSumLeft ||
                    sumRight * kRescanDrop < state.rmsPeakSumRight) {
                    rescanRmsWindow(state, run.pos, run.fill, sumLeft, sumRight);
                    running = Duo{sumLeft, sumRight};
                }
            }
            run.sum = running;
            more |= run.done < n;
        }
    }
}

// The compressors of up to four bands over one chunk, and their share of the output sum.
template <int W, bool saturate> struct CompressorPasses {
    using V = kernel_vectors::Vectors<W>;
    using Real = typename V::Real;
    using Mask = typename V::Mask;
    using Bits = typename V::Bits;
    using Floats = typename V::Floats;

    static int32_t padded(int32_t n) { return (n + W - 1) / W * W; }

    // Input peak and detector inputs: the squares (RMS) or the peak levels.
    static void detect(Band& band, const CompressorConstants& c, const float* left, const float* right,
                       int32_t n, double* squares, double* levels) {
        const Real zero = broadcast<W>(0.0);
        const Real loudest = broadcast<W>(kLoudestDetectorInput);
        Real inputPeak = zero, detectorPeak = zero;
        for (int32_t i = 0; i < n; i += W) {
            const Real inLeft = __builtin_convertvector(loadVector<Floats>(left + i), Real);
            const Real inRight = __builtin_convertvector(loadVector<Floats>(right + i), Real);
            const Real absLeft = magnitude<W>(inLeft), absRight = magnitude<W>(inRight);
            inputPeak = absLeft > inputPeak ? absLeft : inputPeak;
            inputPeak = absRight > inputPeak ? absRight : inputPeak;
            // The size of detectorInput of a float (all that squares and peaks take of it):
            // silence when not finite, else held at the loudest input (NaN compares false).
            const Real heldLeft = absLeft < loudest ? absLeft : loudest;
            const Real heldRight = absRight < loudest ? absRight : loudest;
            const Real detectLeft = absLeft <= double(FLT_MAX) ? heldLeft : zero;
            const Real detectRight = absRight <= double(FLT_MAX) ? heldRight : zero;
            if (c.ringLength > 0) {
                const Real squareLeft = detectLeft * detectLeft, squareRight = detectRight * detectRight;
                storeVector(squares + 2 * i, Shuffles<W>::interleaveLow(squareLeft, squareRight));
                storeVector(squares + 2 * i + W, Shuffles<W>::interleaveHigh(squareLeft, squareRight));
            } else {
                const Real level = detectLeft > detectRight ? detectLeft : detectRight;
                detectorPeak = level > detectorPeak ? level : detectorPeak;
                storeVector(levels + i, level);
            }
        }
        band.state.inputPeak = foldPeak(band.state.inputPeak, inputPeak);
        band.state.detectorPeak = foldPeak(band.state.detectorPeak, detectorPeak);
    }

    // RMS levels from the running sums (zero past n).
    static void levelsFromSums(Band& band, const CompressorConstants& c, const double* sums, int32_t n,
                               double* levels) {
        const Real zero = broadcast<W>(0.0);
        Real detectorPeak = zero;
        for (int32_t i = 0; i < n; i += W) {
            const Real first = loadVector<Real>(sums + 2 * i), second = loadVector<Real>(sums + 2 * i + W);
            const Real sumLeft =
                kernel_vectors::pickLanes<0, 2>(first, second, std::make_index_sequence<W>());
            const Real sumRight =
                kernel_vectors::pickLanes<1, 2>(first, second, std::make_index_sequence<W>());
            const Real level = rmsLevelOf(sumLeft, sumRight, c.inverseRingLength,
                                          [](Real x) { return kernel_vectors::sqrtOf<W>(x); });
            detectorPeak = level > detectorPeak ? level : detectorPeak;
            storeVector(levels + i, level);
        }
        band.state.detectorPeak = foldPeak(band.state.detectorPeak, detectorPeak);
    }

    // The envelopes of up to four bands side by side, one sample at a time (so that another
    // loop can carry them); levels become envelope levels (0 where the envelope rests at or
    // below the knee), and over[b] is set where band b rose above the knee.
    struct Follower {
        Band* bands[kGroupBands];
        BandLevels bandLevels[kGroupBands];
        double* levels[kGroupBands];
        int count = 0;
        bool glided = false;
        Quad envelope, attack, release, keepAttack, keepRelease, kneeLow;
        QuadMask over;

        // Unused lanes read zeros and rest at a knee of 1, so they write zeros back.
        void begin(double* silentLevels) {
            glided = false;
            for (int b = 0; b < kGroupBands; ++b) {
                const bool real = b < count;
                if (!real)
                    levels[b] = silentLevels;
                envelope[b] = real ? bands[b]->state.envelope : 1.0;
                attack[b] = real ? bands[b]->state.attackCoef : 0.0;
                release[b] = real ? bands[b]->state.releaseCoef : 0.0;
                keepAttack[b] = 1 - attack[b];
                keepRelease[b] = 1 - release[b];
                kneeLow[b] = real ? bandLevels[b].at(0).kneeLow : 1.0;
                glided |= real && bandLevels[b].steps;
            }
            over = QuadMask{} != 0;
        }

        [[gnu::always_inline]] void step(int32_t i) {
            if (glided && i % kGlideStep == 0)
                for (int b = 0; b < count; ++b)
                    kneeLow[b] = bandLevels[b].at(i).kneeLow;
            const Quad level = {levels[0][i], levels[1][i], levels[2][i], levels[3][i]};
            // Both candidates, then the choice: the comparison stays off the envelope's chain
            // from one sample to the next. The envelope rests at the knee's lower edge as a
            // maximum (no level or envelope is ever a NaN).
            const QuadMask rising = level > envelope;
            const Quad attacked = keepAttack * level + attack * envelope;
            const Quad released = keepRelease * level + release * envelope;
            const Quad smoothed = rising ? attacked : released;
            const QuadMask resting = smoothed <= kneeLow;
            envelope = smoothed > kneeLow ? smoothed : kneeLow;
            const Quad curveLevel = resting ? Quad{} : smoothed;
            over |= ~resting;
            levels[0][i] = curveLevel[0];
            levels[1][i] = curveLevel[1];
            levels[2][i] = curveLevel[2];
            levels[3][i] = curveLevel[3];
        }

        void end(bool* rose) const {
            for (int b = 0; b < count; ++b) {
                bands[b]->state.envelope = envelope[b];
                rose[b] = over[b] != 0;
            }
        }
    };

    // The curve gains of envelope levels (1 where a level is 0). The logarithms and the
    // exponentials run as two passes (the bounded log2 gains kept in gains between them): the
    // processor overlaps the vectors of each pass, where one chain through both was too long
    // for it to overlap much.
    static void curve(const BandLevels& bandLevels, const double* levels, int32_t n, double* gains) {
        const int32_t segment = bandLevels.segment();
        for (int32_t from = 0; from < n; from += segment) {
            const GlidedLevels c = bandLevels.at(from); // a copy: the stores below may not touch it
            const int32_t to = segmentEnd(from, segment, n);
            for (int32_t i = from; i < to; i += W) {
                const Real gainLog2 =
                    curve_pass::curveGainLog2Of<Real, Bits>(c, loadVector<Real>(levels + i));
                storeVector(gains + i, curve_pass::boundedGainLog2Of(gainLog2));
            }
        }
        for (int32_t i = 0; i < n; i += W)
            storeVector(gains + i, curve_pass::levelGainOf<Real, Bits>(loadVector<Real>(levels + i),
                                                                       loadVector<Real>(gains + i)));
    }

    static Real throughFloat(Real x) { return roundTrip<W, saturate>(x); }

    // Adds a band's float signal times the output gain to the sum.
    static void sum(const float* const* signal, float* const* out, int32_t n, const OutputGain& outputGain,
                    bool first) {
        const int32_t segment = outputGain.segment();
        for (int channel = 0; channel < 2; ++channel) {
            const float* band = signal[channel];
            float* to = out[channel];
            for (int32_t from = 0; from < n; from += segment) {
                const double gain = outputGain.at(from);
                const int32_t end = segmentEnd(from, segment, n);
                for (int32_t i = from; i < end; ++i) {
                    const double scaled = double(band[i]) * gain;
                    const double total = first ? scaled : scaled + double(to[i]);
                    to[i] = saturate ? saturatedFloat(total) : float(total);
                }
            }
        }
    }

    // Makeup, meters, the output and its share of the sum. gains is null for an inactive band
    // (gain 1, meter untouched).
    static void output(Band& band, const BandLevels& bandLevels, const float* const* signal, int32_t n,
                       const double* gains, bool summed, float* const* out, const OutputGain& outputGain,
                       bool first) {
        BandState& state = band.state;
        const Real zero = broadcast<W>(0.0);
        const Real one = broadcast<W>(1.0);
        const int32_t whole = n / W * W;
        const int32_t segment =
            bandLevels.segment() < outputGain.segment() ? bandLevels.segment() : outputGain.segment();
        Real outputPeak = zero;
        // The meter runs in lanes, folded into the band's meter at the end, or sooner where a
        // glide turns the band from compressing to expanding or back.
        bool expanding = bandLevels.at(0).expanding;
        Real meter = broadcast<W>(state.gainMeter);
        auto foldMeter = [&] {
            for (int t = 0; t < W; ++t)
                if (expanding ? meter[t] > state.gainMeter : meter[t] < state.gainMeter)
                    state.gainMeter = meter[t];
        };
        for (int32_t from = 0; from < n; from += segment) {
            const GlidedLevels& levels = bandLevels.at(from);
            const double makeup = levels.makeupGain;
            const double gainOut = outputGain.at(from);
            if (gains && levels.expanding != expanding) {
                foldMeter();
                expanding = levels.expanding;
                meter = broadcast<W>(state.gainMeter);
            }
            const int32_t end = segmentEnd(from, segment, n);
            for (int32_t i = from; i < end; i += W) {
                Real gain = one;
                if (gains) {
                    const Real curveGain = loadVector<Real>(gains + i);
                    const Real metered = expanding ? (curveGain > meter ? curveGain : meter)
                                                   : (curveGain < meter ? curveGain : meter);
                    if (i < whole) {
                        meter = metered;
                    } else {
                        Mask index = Mask{};
                        for (int t = 0; t < W; ++t)
                            index[t] = i + t;
                        const Mask inside = index < n;
                        meter = inside ? metered : meter;
                    }
                    gain = curveGain * makeup;
                }
                for (int channel = 0; channel < 2; ++channel) {
                    const Real in = __builtin_convertvector(loadVector<Floats>(signal[channel] + i), Real);
                    const Real outSample = gain * in;
                    const Real size = magnitude<W>(outSample);
                    outputPeak = size > outputPeak ? size : outputPeak;
                    if (summed) {
                        float* to = out[channel] + i;
                        const Real scaled = throughFloat(outSample) * gainOut;
                        Real total = scaled;
                        if (!first) {
                            Floats before;
                            if (i < whole) {
                                before = loadVector<Floats>(to);
                            } else { // the last, partial vector: never read past the output
                                before = Floats{} * 0.0f;
                                for (int32_t t = 0; t < n - i; ++t)
                                    before[t] = to[t];
                            }
                            total = scaled + __builtin_convertvector(before, Real);
                        }
                        const Floats rounded = toFloat<W, saturate>(total);
                        if (i < whole) {
                            storeVector(to, rounded);
                        } else {
                            for (int32_t t = 0; t < n - i; ++t)
                                to[t] = rounded[t];
                        }
                    }
                }
            }
        }
        state.outputPeak = foldPeak(state.outputPeak, outputPeak);
        if (gains)
            foldMeter();
        const double lastGain = gains ? gains[n - 1] * bandLevels.at(n - 1).makeupGain : 1.0;
        state.lastOutLeft = lastGain * double(signal[0][n - 1]);
        state.lastOutRight = lastGain * double(signal[1][n - 1]);
    }

    // The first passes of bands[0..count) over n samples of their signals in g.signal: the
    // detector and the RMS sums, which leave the detector levels in g.levels. glideStep: the
    // chunk's first glide step in a glided slice, or -1.
    static void prepare(Band* const* bands, int count, Scratch& s, GroupChunk& g, int32_t n,
                        int32_t glideStep) {
        const int32_t whole = padded(n);
        g.n = n;
        RingRun rings[kGroupBands];
        int ringCount = 0;
        for (int b = 0; b < count; ++b) {
            Band& band = *bands[b];
            CompressorConstants& c = g.constants[b];
            c = compressorConstants(band);
            g.bandLevels[b].fixed = {
                c.kneeLow,    c.kneeHigh,       c.kneeScale,           c.inverseThreshold,
                c.logKneeTop, band.state.slope, band.state.makeupGain, c.expanding};
            g.bandLevels[b].steps =
                glideStep >= 0 && band.state.gliding ? band.state.glideLevels + glideStep : nullptr;
            g.passes[b] = !c.feedback && !(c.active && c.adaptive);
            float* left = g.signal[b][0] + kSignalPad;
            float* right = g.signal[b][1] + kSignalPad;
            for (int32_t i = n; i < whole; ++i)
                left[i] = right[i] = 0;
            if (!g.passes[b])
                continue;
            detect(band, c, left, right, whole, s.squares[b], g.levels[b]);
            if (c.ringLength > 0) {
                BandState& state = band.state;
                rings[ringCount++] = {&state,
                                      static_cast<double*>(state.rmsRing.get()),
                                      s.squares[b],
                                      s.sums[b],
                                      c.ringLength,
                                      state.rmsPos,
                                      state.rmsFill,
                                      0,
                                      Duo{state.rmsSumLeft, state.rmsSumRight}};
                for (int32_t i = 2 * n; i < 2 * whole; ++i)
                    s.sums[b][i] = 0;
            }
        }
        runRings(rings, ringCount, n);
        for (int r = 0; r < ringCount; ++r) {
            BandState& state = *rings[r].state;
            state.rmsPos = rings[r].pos;
            state.rmsFill = rings[r].fill;
            state.rmsSumLeft = rings[r].sum[0];
            state.rmsSumRight = rings[r].sum[1];
        }
        for (int b = 0; b < count; ++b)
            if (g.passes[b] && g.constants[b].ringLength > 0)
                levelsFromSums(*bands[b], g.constants[b], s.sums[b], whole, g.levels[b]);
    }

    // The envelopes of the group's bands that follow one (active, through the passes), and
    // each band's slot among them (-1 for none).
    static void startFollowing(Follower& follower, Band* const* bands, int count, GroupChunk& g, int* slot,
                               double* silentLevels) {
        follower.count = 0;
        for (int b = 0; b < count; ++b) {
            slot[b] = -1;
            if (!g.passes[b] || !g.constants[b].active)
                continue;
            slot[b] = follower.count;
            follower.bands[follower.count] = bands[b];
            follower.bandLevels[follower.count] = g.bandLevels[b];
            follower.levels[follower.count] = g.levels[b];
            ++follower.count;
        }
        follower.begin(silentLevels);
    }

    // The last passes, once the envelopes have run: the curve, makeup, meters and output, and
    // the summed bands added to out in order (bands that take compressBlock run it here).
    // first: out holds nothing yet (cleared once a band adds).
    static void finish(Band* const* bands, const bool* summed, int count, Scratch& s, GroupChunk& g,
                       const bool* over, const int* slot, double sampleRate, const OutputGain& outputGain,
                       float* const* out, bool& first) {
        const int32_t n = g.n;
        const int32_t whole = padded(n);
        for (int b = 0; b < count; ++b) {
            Band& band = *bands[b];
            float* left = g.signal[b][0] + kSignalPad;
            float* right = g.signal[b][1] + kSignalPad;
            const float* signal[2] = {left, right};
            if (!g.passes[b]) {
                compressBlock(band, left, right, n, sampleRate, saturate);
                if (summed[b]) {
                    sum(signal, out, n, outputGain, first);
                    first = false;
                }
                continue;
            }
            const double* gains = nullptr;
            if (g.constants[b].active) {
                if (over[slot[b]]) {
                    curve(g.bandLevels[b], g.levels[b], whole, s.gains);
                } else {
                    for (int32_t i = 0; i < whole; ++i)
                        s.gains[i] = 1.0;
                }
                gains = s.gains;
            }
            output(band, g.bandLevels[b], signal, n, gains, summed[b], out, outputGain, first);
            if (summed[b])
                first = false;
        }
    }
};

} // namespace
} // namespace pass_kernel
