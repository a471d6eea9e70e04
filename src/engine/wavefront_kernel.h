// The wavefront kernel for one vector width, included by one file per instruction set. Every
// lane runs exactly the operations of splitSample, CompressorRun and the driver's sum, in the
// same order, so each width gives the reference's bits. Lanes hold either a band's left and
// right channel next to each other (the crossover: "pair lanes") or one band each (the
// detector, envelope, curve and sum: "band lanes"). Internal linkage throughout.
#pragma once

#include "engine/compressor.h"
#include "engine/compressor_rules.h"
#include "engine/crossover.h"
#include "engine/gain_curve_math.h"
#include "engine/wavefront.h"

#include <cfloat>
#include <cstring>
#include <immintrin.h>
#include <utility>

namespace wavefront_kernel {
namespace {

using namespace compressor_rules;

template <int W> struct Vectors {
    typedef double Real __attribute__((vector_size(8 * W)));
    typedef int64_t Mask __attribute__((vector_size(8 * W)));
    typedef uint64_t Bits __attribute__((vector_size(8 * W)));
    typedef float Floats __attribute__((vector_size(4 * W)));
};

// Whether any lane of a comparison result is set (through the sign bits, not memory).
template <int W, typename Real> inline bool anyLane(typename Vectors<W>::Mask mask) {
    typedef long long Longs __attribute__((vector_size(8 * W)));
    const Longs bits = Longs(mask);
    if constexpr (W == 2)
        return _mm_movemask_pd(_mm_castsi128_pd(__m128i(bits))) != 0;
    else if constexpr (W == 4)
        return _mm256_movemask_pd(_mm256_castsi256_pd(__m256i(bits))) != 0;
    else
        return _mm512_test_epi64_mask(__m512i(bits), __m512i(bits)) != 0;
}

template <int W> inline typename Vectors<W>::Real broadcast(double x) {
    typename Vectors<W>::Real v;
    for (int t = 0; t < W; ++t)
        v[t] = x;
    return v;
}

template <int W> inline typename Vectors<W>::Mask laneIndexPlus(int offset) {
    typename Vectors<W>::Mask m;
    for (int t = 0; t < W; ++t)
        m[t] = t + offset;
    return m;
}

// Lanes first, first + step, ... of the pair (low, high), with constant indexes.
template <int first, int step, typename Real, size_t... lane>
inline Real pickLanes(Real low, Real high, std::index_sequence<lane...>) {
    return __builtin_shufflevector(low, high, (first + step * int(lane))...);
}

// Lanes W - shift .. 2W - 1 - shift of the pair (low, high): the lanes move up by shift.
template <int W, int shift>
inline typename Vectors<W>::Real shiftUp(typename Vectors<W>::Real low, typename Vectors<W>::Real high) {
    return pickLanes<W - shift, 1>(low, high, std::make_index_sequence<W>());
}

template <int W> inline typename Vectors<W>::Real magnitude(typename Vectors<W>::Real x) {
    using Bits = typename Vectors<W>::Bits;
    using Real = typename Vectors<W>::Real;
    Bits bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits &= 0x7FFFFFFFFFFFFFFFull;
    Real result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// x held within the float range, as saturatedFloat holds it before rounding.
template <int W> inline typename Vectors<W>::Real heldInFloatRange(typename Vectors<W>::Real x) {
    // In the operand order of the min and max instructions, which return x itself for NaN.
    const typename Vectors<W>::Real below = FLT_MAX < x ? FLT_MAX : x;
    return -FLT_MAX > below ? -FLT_MAX : below;
}

// saturatedFloat, widened back: the value a float array would hold.
template <int W> inline typename Vectors<W>::Real throughFloat(typename Vectors<W>::Real x) {
    using V = Vectors<W>;
    return __builtin_convertvector(__builtin_convertvector(heldInFloatRange<W>(x), typename V::Floats),
                                   typename V::Real);
}

template <int W> inline typename Vectors<W>::Real detectorInputOf(typename Vectors<W>::Real x) {
    using V = Vectors<W>;
    const typename V::Real size = magnitude<W>(x);
    typename V::Bits sign, limit;
    std::memcpy(&sign, &x, sizeof sign);
    sign &= 0x8000000000000000ull;
    const typename V::Real limitValue = broadcast<W>(kDetectorLimit);
    std::memcpy(&limit, &limitValue, sizeof limit);
    limit |= sign;
    typename V::Real held;
    std::memcpy(&held, &limit, sizeof held);
    const typename V::Real zero = broadcast<W>(0.0);
    typename V::Real result = size > kDetectorLimit ? (size == __builtin_inf() ? zero : held) : x;
    return x != x ? zero : result;
}

template <int W> inline typename Vectors<W>::Real sqrtOf(typename Vectors<W>::Real x) {
    if constexpr (W == 2)
        return _mm_sqrt_pd(x);
    else if constexpr (W == 4)
        return _mm256_sqrt_pd(x);
    else
        return _mm512_mask_sqrt_pd(x, 0xFF, x); // _mm512_sqrt_pd trips -Wmaybe-uninitialized in GCC 12
}

// A lane's running sums and what the rescan keeps with them, passed by value so that the
// kernel's state never escapes (its vectors then stay in registers across ring stores).
struct RescanLane {
    double sumLeft, sumRight, peakLeft, peakRight;
    int32_t since;
};

[[gnu::noinline]] RescanLane rescanLane(BandState* state, int32_t pos, int32_t fill, RescanLane lane) {
    state->rmsPeakSumLeft = lane.peakLeft;
    state->rmsPeakSumRight = lane.peakRight;
    state->rmsChecksSinceRescan = lane.since;
    rescanRmsWindow(*state, pos, fill, lane.sumLeft, lane.sumRight);
    return {lane.sumLeft, lane.sumRight, state->rmsPeakSumLeft, state->rmsPeakSumRight,
            state->rmsChecksSinceRescan};
}

// The kernel over a group of up to V * W bands. Band k lags band k - 1 by D samples, so that what one band
// hands to the next (its remainder and its partial sum) is needed D steps later rather than at the very next
// step: D steps then overlap in the processor instead of each waiting for the one before.
template <int W, int V, int D> struct Wavefront {
    using Real = typename Vectors<W>::Real;
    using Mask = typename Vectors<W>::Mask;
    using Bits = typename Vectors<W>::Bits;
    static constexpr int kBandLanes = V * W;
    static constexpr int kPairVectors = 2 * V;

    // Pair lanes: crossover.
    Real x1[kPairVectors], x2[kPairVectors], y1[kPairVectors], y2[kPairVectors];
    Real b0[kPairVectors], b1[kPairVectors], b2[kPairVectors], a1[kPairVectors], a2[kPairVectors];
    Mask splitLane[kPairVectors], topLane[kPairVectors], pairBand[kPairVectors];
    Real remainderOut[D][kPairVectors]; // the last D steps' remainders, by step modulo D
    Mask pairLag[kPairVectors];

    // Band lanes: detector and envelope state.
    Real inputPeak[V], detectorPeak[V], outputPeak[V], gainMeter[V], envelope[V], releaseCoef[V];
    Real lastLeft[V], lastRight[V], sumLeft[V], sumRight[V], peakSumLeft[V], peakSumRight[V];
    // Band lanes: constants.
    Real attackCoef[V], releaseCoefBase[V], releaseDecay[V], slope[V], makeupGain[V];
    Real inverseThreshold[V], kneeLow[V], kneeHigh[V], kneeScale[V], logKneeTop[V], inverseRingLength[V];
    Mask active[V], adaptive[V], feedback[V], expanding[V], rms[V], summed[V], band[V], real[V];
    Real partial[D][V][2];
    Mask lag[V];

    // Band lanes: the RMS ring (addresses as integers, 0 without a ring) and its counters.
    Bits ringAddress[V];
    Mask ringLength[V], rmsPos[V], rmsFill[V], sinceRescan[V];
    BandState* state[kBandLanes];

    bool anyAdaptive = false, anyFeedback = false, anyRms = false;
    int32_t count;

    [[gnu::always_inline]] explicit Wavefront(const WavefrontGroup& group) : count(group.count) {
        const Real zero = broadcast<W>(0.0);
        for (int p = 0; p < kPairVectors; ++p) {
            x1[p] = x2[p] = y1[p] = y2[p] = b0[p] = b1[p] = b2[p] = a1[p] = a2[p] = zero;
            splitLane[p] = topLane[p] = pairBand[p] = Mask{} == 1; // all clear
            for (int d = 0; d < D; ++d)
                remainderOut[d][p] = zero;
        }
        for (int v = 0; v < V; ++v) {
            Real* reals[] = {&inputPeak[v],  &detectorPeak[v],     &outputPeak[v],       &gainMeter[v],
                             &envelope[v],   &releaseCoef[v],      &lastLeft[v],         &lastRight[v],
                             &sumLeft[v],    &sumRight[v],         &peakSumLeft[v],      &peakSumRight[v],
                             &attackCoef[v], &releaseCoefBase[v],  &releaseDecay[v],     &slope[v],
                             &makeupGain[v], &inverseThreshold[v], &kneeLow[v],          &kneeHigh[v],
                             &kneeScale[v],  &logKneeTop[v],       &inverseRingLength[v]};
            for (Real* r : reals)
                *r = zero;
            // Padding lanes: a hard knee at 1 keeps their (discarded) arithmetic tame.
            kneeLow[v] = kneeHigh[v] = inverseThreshold[v] = broadcast<W>(1.0);
            active[v] = adaptive[v] = feedback[v] = expanding[v] = rms[v] = summed[v] = Mask{} == 1;
            band[v] = Mask{} == 1;
            for (int d = 0; d < D; ++d)
                partial[d][v][0] = partial[d][v][1] = zero;
        }
        for (int t = 0; t < kBandLanes; ++t) {
            ringAddress[t / W][t % W] = 0;
            ringLength[t / W][t % W] = rmsPos[t / W][t % W] = rmsFill[t / W][t % W] =
                sinceRescan[t / W][t % W] = 0;
            state[t] = nullptr;
            band[t / W][t % W] = t; // padding lanes get indexes past the group: never summed
        }
        for (int t = 0; t < kPairVectors * W; ++t)
            pairBand[t / W][t % W] = t / 2;
        for (int v = 0; v < V; ++v) {
            real[v] = band[v] < count;
            lag[v] = band[v] * D;
        }
        for (int p = 0; p < kPairVectors; ++p)
            pairLag[p] = pairBand[p] * D;

        for (int k = 0; k < group.count; ++k) {
            Band& b = *group.bands[k];
            const CompressorConstants c = compressorConstants(b);
            const int v = k / W, t = k % W;
            for (int channel = 0; channel < 2; ++channel) {
                const int pairLane = 2 * k + channel;
                const int p = pairLane / W, u = pairLane % W;
                const FilterChannelState& f = channel == 0 ? b.filter.left : b.filter.right;
                x1[p][u] = f.x1;
                x2[p][u] = f.x2;
                y1[p][u] = f.y1;
                y2[p][u] = f.y2;
                b0[p][u] = b.filter.b0;
                b1[p][u] = b.filter.b1;
                b2[p][u] = b.filter.b2;
                a1[p][u] = b.filter.a1;
                a2[p][u] = b.filter.a2;
                splitLane[p][u] = group.roles[k] == WavefrontLaneRole::Split ? -1 : 0;
                topLane[p][u] = group.roles[k] == WavefrontLaneRole::Top ? -1 : 0;
            }
            BandState& s = b.state;
            inputPeak[v][t] = s.inputPeak;
            detectorPeak[v][t] = s.detectorPeak;
            outputPeak[v][t] = s.outputPeak;
            gainMeter[v][t] = s.gainMeter;
            envelope[v][t] = s.envelope;
            releaseCoef[v][t] = s.releaseCoef;
            lastLeft[v][t] = s.lastOutLeft;
            lastRight[v][t] = s.lastOutRight;
            sumLeft[v][t] = s.rmsSumLeft;
            sumRight[v][t] = s.rmsSumRight;
            peakSumLeft[v][t] = s.rmsPeakSumLeft;
            peakSumRight[v][t] = s.rmsPeakSumRight;
            attackCoef[v][t] = s.attackCoef;
            releaseCoefBase[v][t] = s.releaseCoefBase;
            releaseDecay[v][t] = s.releaseDecay;
            slope[v][t] = s.slope;
            makeupGain[v][t] = s.makeupGain;
            inverseThreshold[v][t] = c.inverseThreshold;
            kneeLow[v][t] = c.kneeLow;
            kneeHigh[v][t] = c.kneeHigh;
            kneeScale[v][t] = c.kneeScale;
            logKneeTop[v][t] = c.logKneeTop;
            inverseRingLength[v][t] = c.inverseRingLength;
            active[v][t] = c.active ? -1 : 0;
            adaptive[v][t] = c.adaptive ? -1 : 0;
            feedback[v][t] = c.feedback ? -1 : 0;
            expanding[v][t] = c.expanding ? -1 : 0;
            rms[v][t] = c.ringLength > 0 ? -1 : 0;
            summed[v][t] = group.summed[k] ? -1 : 0;
            ringAddress[v][t] = uint64_t(reinterpret_cast<uintptr_t>(s.rmsRing.get()));
            ringLength[v][t] = c.ringLength;
            rmsPos[v][t] = s.rmsPos;
            rmsFill[v][t] = s.rmsFill;
            sinceRescan[v][t] = s.rmsChecksSinceRescan;
            state[k] = &s;
            anyAdaptive |= c.adaptive && c.active;
            anyFeedback |= c.feedback;
            anyRms |= c.ringLength > 0;
        }
    }

    [[gnu::always_inline]] void storeBack(const WavefrontGroup& group) const {
        for (int k = 0; k < group.count; ++k) {
            Band& b = *group.bands[k];
            const int v = k / W, t = k % W;
            for (int channel = 0; channel < 2; ++channel) {
                const int pairLane = 2 * k + channel;
                const int p = pairLane / W, u = pairLane % W;
                FilterChannelState& f = channel == 0 ? b.filter.left : b.filter.right;
                f.x1 = x1[p][u];
                f.x2 = x2[p][u];
                f.y1 = y1[p][u];
                f.y2 = y2[p][u];
            }
            BandState& s = b.state;
            s.inputPeak = inputPeak[v][t];
            s.detectorPeak = detectorPeak[v][t];
            s.outputPeak = outputPeak[v][t];
            s.gainMeter = gainMeter[v][t];
            s.envelope = envelope[v][t];
            s.releaseCoef = releaseCoef[v][t];
            s.lastOutLeft = lastLeft[v][t];
            s.lastOutRight = lastRight[v][t];
            s.rmsSumLeft = sumLeft[v][t];
            s.rmsSumRight = sumRight[v][t];
            s.rmsPeakSumLeft = peakSumLeft[v][t];
            s.rmsPeakSumRight = peakSumRight[v][t];
            s.rmsPos = int32_t(rmsPos[v][t]);
            s.rmsFill = int32_t(rmsFill[v][t]);
            s.rmsChecksSinceRescan = int32_t(sinceRescan[v][t]);
        }
    }

    // The band lanes whose sample lies in 0..m-1 at this step (band lane k handles sample
    // step - k); only they change state. Away from the ends of the block (masked false) every
    // lane counts as valid: padding lanes then compute on silence, and what they compute is
    // never stored, summed or passed on.
    template <bool masked>
    [[gnu::always_inline]] inline Mask validLanes(int v, int32_t at, const WavefrontGroup& g) const {
        if (!masked)
            return Mask{} == 0;
        return real[v] & (lag[v] <= at) & (lag[v] > at - g.m);
    }

    // One step with everything inline, for groups where the curve feeds back (feedback
    // detection or program-dependent release).
    template <bool masked>
    [[gnu::always_inline]] inline void step(int32_t at, const WavefrontGroup& g, double incomingLeft,
                                            double incomingRight, double incomingPartialLeft,
                                            double incomingPartialRight) {
        Real signalLeft[V], signalRight[V];
        static_assert(D == 1, "the inline step has no lag between bands");
        crossover<masked, 0>(at, g, incomingLeft, incomingRight, signalLeft, signalRight);
        for (int v = 0; v < V; ++v)
            compress(v, validLanes<masked>(v, at, g), signalLeft[v], signalRight[v], g);
        sum<0>(g, incomingPartialLeft, incomingPartialRight);
    }

    // The crossover of one step, pair lanes, leaving the band signals in band lanes.
    template <bool masked, int phase>
    [[gnu::always_inline]] inline void crossover(int32_t at, const WavefrontGroup& g, double incomingLeft,
                                                 double incomingRight, Real* signalLeft, Real* signalRight) {
        const Real zero = broadcast<W>(0.0);
        // The crossover, pair lanes. Lanes 0 and 1 take the incoming remainder; every other
        // pair takes what the band below left one step earlier.
        const Mask lane = laneIndexPlus<W>(0);
        const Real incoming =
            lane == W - 2 ? broadcast<W>(incomingLeft) : (lane == W - 1 ? broadcast<W>(incomingRight) : zero);
        Real signal[kPairVectors];
        for (int p = kPairVectors - 1; p >= 0; --p) {
            const Real feed =
                shiftUp<W, 2>(p == 0 ? incoming : remainderOut[phase][p - 1], remainderOut[phase][p]);
            const Real offsetInput = feed - kCrossoverInputOffset;
            const Real filtered =
                x1[p] * b1[p] + offsetInput * b0[p] + x2[p] * b2[p] - y1[p] * a1[p] - y2[p] * a2[p];
            const Real left = throughFloat<W>(offsetInput - filtered + kCrossoverRemainderOffset);
            const Real size = magnitude<W>(filtered);
            const Real flushed =
                ((size >= kCrossoverFlushLevel) & (size != __builtin_inf())) ? filtered : zero;
            signal[p] = splitLane[p] ? throughFloat<W>(flushed) : (topLane[p] ? feed : zero);
            remainderOut[phase][p] = splitLane[p] ? left : feed;
            Mask update = splitLane[p];
            if (masked)
                update &= (pairLag[p] <= at) & (pairLag[p] > at - g.m);
            x2[p] = update ? x1[p] : x2[p];
            x1[p] = update ? offsetInput : x1[p];
            y2[p] = update ? y1[p] : y2[p];
            y1[p] = update ? flushed : y1[p];
        }

        for (int v = 0; v < V; ++v) {
            signalLeft[v] = pickLanes<0, 2>(signal[2 * v], signal[2 * v + 1], std::make_index_sequence<W>());
            signalRight[v] = pickLanes<1, 2>(signal[2 * v], signal[2 * v + 1], std::make_index_sequence<W>());
        }
    }

    // The sum: each band lane adds its output to what the bands below it summed for the same
    // sample one step earlier.
    template <int phase>
    [[gnu::always_inline]] inline void sum(const WavefrontGroup& g, double incomingPartialLeft,
                                           double incomingPartialRight) {
        const Real zero = broadcast<W>(0.0);
        const Mask lane = laneIndexPlus<W>(0);
        const Real incomingSum[2] = {lane == W - 1 ? broadcast<W>(incomingPartialLeft) : zero,
                                     lane == W - 1 ? broadcast<W>(incomingPartialRight) : zero};
        for (int v = V - 1; v >= 0; --v)
            for (int channel = 0; channel < 2; ++channel) {
                const Real below =
                    shiftUp<W, 1>(v == 0 ? incomingSum[channel] : partial[phase][v - 1][channel],
                                  partial[phase][v][channel]);
                const Real out = channel == 0 ? outLeftFloat[v] : outRightFloat[v];
                partial[phase][v][channel] = summed[v] ? throughFloat<W>(out * g.outputGain + below) : below;
            }
    }

    Real outLeftFloat[V], outRightFloat[V];

    // The compressor of band vector v on this step's band signals; leaves the float-rounded
    // outputs in outLeftFloat and outRightFloat.
    // The squares about to be overwritten (0 where the mask is clear).
    // The exits of the group: the partial sum of its last band and what that band left over.
    double partialOf(int phase, int channel, int lane) const {
        return partial[phase][lane / W][channel][lane % W];
    }
    double remainderOf(int phase, int pairLane) const {
        return remainderOut[phase][pairLane / W][pairLane % W];
    }

    [[gnu::always_inline]] static void loadOldSquares(Bits address, Mask mask, Real& left, Real& right) {
        const Real zero = broadcast<W>(0.0);
        if constexpr (W == 4) {
            left = _mm256_mask_i64gather_pd(zero, static_cast<const double*>(nullptr), __m256i(address),
                                            Real(mask), 1);
            right = _mm256_mask_i64gather_pd(zero, static_cast<const double*>(nullptr), __m256i(address + 8),
                                             Real(mask), 1);
        } else if constexpr (W == 8) {
            const __mmask8 lanes = _mm512_test_epi64_mask(__m512i(mask), __m512i(mask));
            left = _mm512_mask_i64gather_pd(zero, lanes, __m512i(address), nullptr, 1);
            right = _mm512_mask_i64gather_pd(zero, lanes, __m512i(address + 8), nullptr, 1);
        } else {
            left = right = zero;
            for (int t = 0; t < W; ++t)
                if (mask[t]) {
                    const double* pair = reinterpret_cast<const double*>(uintptr_t(address[t]));
                    left[t] = pair[0];
                    right[t] = pair[1];
                }
        }
    }

    [[gnu::always_inline]] static void storeSquares(Bits address, Mask mask, Real left, Real right) {
        {
            for (int t = 0; t < W; ++t)
                if (mask[t]) {
                    double* pair = reinterpret_cast<double*>(uintptr_t(address[t]));
                    pair[0] = left[t];
                    pair[1] = right[t];
                }
        }
    }

    // Input peak and detector level of band vector v (and the RMS ring and sums).
    [[gnu::always_inline]] inline Real detect(int v, Mask valid, Real inLeft, Real inRight) {
        const Real zero = broadcast<W>(0.0);
        const Real absLeft = magnitude<W>(inLeft), absRight = magnitude<W>(inRight);
        Real peak = absLeft > inputPeak[v] ? absLeft : inputPeak[v];
        peak = absRight > peak ? absRight : peak;
        inputPeak[v] = valid ? peak : inputPeak[v];

        const Real detectLeft = detectorInputOf<W>(feedback[v] ? lastLeft[v] : inLeft);
        const Real detectRight = detectorInputOf<W>(feedback[v] ? lastRight[v] : inRight);
        const Real peakLeft = magnitude<W>(detectLeft), peakRight = magnitude<W>(detectRight);
        Real level = peakLeft > peakRight ? peakLeft : peakRight;
        if (anyRms) {
            const Real squareLeft = detectLeft * detectLeft, squareRight = detectRight * detectRight;
            const Mask inRing = rms[v] & valid;
            const Mask written = rmsFill[v] == ringLength[v];
            const Bits pairAddress = ringAddress[v] + Bits(rmsPos[v]) * 16;
            Real oldLeft, oldRight;
            loadOldSquares(pairAddress, inRing & written, oldLeft, oldRight);
            storeSquares(pairAddress, inRing, squareLeft, squareRight);
            rmsFill[v] = (inRing & ~written) ? rmsFill[v] + 1 : rmsFill[v];
            const Mask advanced = rmsPos[v] + 1;
            rmsPos[v] = inRing ? (advanced == ringLength[v] ? Mask{} : advanced) : rmsPos[v];
            const Mask checking = inRing & ((rmsPos[v] & (kRescanCheckInterval - 1)) == 0);
            sinceRescan[v] = (checking & (sinceRescan[v] < INT32_MAX)) ? sinceRescan[v] + 1 : sinceRescan[v];
            sumLeft[v] = inRing ? (sumLeft[v] - oldLeft) + squareLeft : sumLeft[v];
            sumRight[v] = inRing ? (sumRight[v] - oldRight) + squareRight : sumRight[v];
            Real larger = sumLeft[v] > sumRight[v] ? sumLeft[v] : sumRight[v];
            larger = larger > 0 ? larger : zero;
            const Real rmsLevel = sqrtOf<W>(larger * inverseRingLength[v]);
            level = rms[v] ? rmsLevel : level;
            peakSumLeft[v] = (checking & (sumLeft[v] > peakSumLeft[v])) ? sumLeft[v] : peakSumLeft[v];
            peakSumRight[v] = (checking & (sumRight[v] > peakSumRight[v])) ? sumRight[v] : peakSumRight[v];
            const Mask dropped = checking & ((sumLeft[v] * kRescanDrop < peakSumLeft[v]) |
                                             (sumRight[v] * kRescanDrop < peakSumRight[v]));
            if (anyLane<W, Real>(dropped))
                rescan(v, dropped);
        }
        detectorPeak[v] = (valid & (level > detectorPeak[v])) ? level : detectorPeak[v];
        return level;
    }

    // The envelope step where nothing feeds back: returns the level the curve acts on (0 where
    // it rests at or below the knee, or the lane does not follow).
    [[gnu::always_inline]] inline Real follow(int v, Mask valid, Real level) {
        const Real zero = broadcast<W>(0.0);
        const Mask following = active[v] & valid;
        const Real coefficient = level > envelope[v] ? attackCoef[v] : releaseCoef[v];
        const Real smoothed = (1 - coefficient) * level + coefficient * envelope[v];
        const Mask resting = smoothed <= kneeLow[v];
        envelope[v] = following ? (resting ? kneeLow[v] : smoothed) : envelope[v];
        return (following & ~resting) ? smoothed : zero;
    }

    // The curve gain of envelope levels (1 where the level is 0).
    [[gnu::always_inline]] inline Real curveGain(int v, Real curveLevel) const {
        const Real one = broadcast<W>(1.0);
        const Mask above = curveLevel >= kneeHigh[v];
        const Real logLevel =
            gain_curve_math::logOf<Real, Bits>(above ? curveLevel * inverseThreshold[v] : one);
        const Real gainLog2 =
            (above ? logLevel : logKneeTop[v] * ((curveLevel - kneeLow[v]) * kneeScale[v])) * slope[v];
        const Real bounded = gainLog2 > kLowestGainLog2
                                 ? (gainLog2 < kHighestGainLog2 ? gainLog2 : kHighestGainLog2)
                                 : kLowestGainLog2;
        const Real gain = gain_curve_math::expOf<Real, Bits>(bounded * kLn2);
        return curveLevel != 0 ? gain : one;
    }

    // Meter, makeup and output of band vector v with its curve gain.
    [[gnu::always_inline]] inline void finish(int v, Mask valid, Real inLeft, Real inRight, Real gain) {
        const Real one = broadcast<W>(1.0);
        const Mask following = active[v] & valid;
        const Real metered = expanding[v] ? (gain > gainMeter[v] ? gain : gainMeter[v])
                                          : (gain < gainMeter[v] ? gain : gainMeter[v]);
        gainMeter[v] = following ? metered : gainMeter[v];
        gain = active[v] ? gain * makeupGain[v] : one;
        const Real outLeft = gain * inLeft, outRight = gain * inRight;
        const Real absOutLeft = magnitude<W>(outLeft), absOutRight = magnitude<W>(outRight);
        Real outPeak = absOutLeft > outputPeak[v] ? absOutLeft : outputPeak[v];
        outPeak = absOutRight > outPeak ? absOutRight : outPeak;
        outputPeak[v] = valid ? outPeak : outputPeak[v];
        lastLeft[v] = valid ? outLeft : lastLeft[v];
        lastRight[v] = valid ? outRight : lastRight[v];
        outLeftFloat[v] = throughFloat<W>(outLeft);
        outRightFloat[v] = throughFloat<W>(outRight);
    }

    [[gnu::always_inline]] inline void compress(int v, Mask valid, Real inLeft, Real inRight,
                                                const WavefrontGroup& g) {
        const Real zero = broadcast<W>(0.0);
        const Real one = broadcast<W>(1.0);
        const Real level = detect(v, valid, inLeft, inRight);

        // Envelope.
        const Mask following = active[v] & valid;
        const Real coefficient = level > envelope[v] ? attackCoef[v] : releaseCoef[v];
        Real release = releaseCoef[v];
        if (anyAdaptive) {
            Real decayed = release * releaseDecay[v];
            decayed = decayed < releaseCoefBase[v] ? releaseCoefBase[v] : decayed;
            release = adaptive[v] ? decayed : release;
        }
        const Real smoothed = (1 - coefficient) * level + coefficient * envelope[v];
        const Mask resting = smoothed <= kneeLow[v];
        envelope[v] = following ? (resting ? kneeLow[v] : smoothed) : envelope[v];
        const Real curveLevel = resting ? zero : smoothed;

        Real gain = one;
        const Mask overKnee = following & ~resting;
        if (anyLane<W, Real>(overKnee)) {
            const Mask above = curveLevel >= kneeHigh[v];
            const Real logLevel =
                gain_curve_math::logOf<Real, Bits>(above ? curveLevel * inverseThreshold[v] : one);
            const Real gainLog2 =
                (above ? logLevel : logKneeTop[v] * ((curveLevel - kneeLow[v]) * kneeScale[v])) * slope[v];
            if (anyAdaptive) {
                const Real releaseSamples = gainLog2 / -kReleaseHalvingsPerSecond * g.sampleRate;
                const Mask immediate = releaseSamples < 1;
                const Real raised =
                    immediate ? zero
                              : gain_curve_math::expOf<Real, Bits>(immediate ? zero : -1 / releaseSamples);
                release = (adaptive[v] & overKnee & (raised > release)) ? raised : release;
            }
            const Real bounded = gainLog2 > kLowestGainLog2
                                     ? (gainLog2 < kHighestGainLog2 ? gainLog2 : kHighestGainLog2)
                                     : kLowestGainLog2;
            const Real curveGain = gain_curve_math::expOf<Real, Bits>(bounded * kLn2);
            gain = overKnee ? curveGain : one;
        }
        releaseCoef[v] = following ? release : releaseCoef[v];
        const Real metered = expanding[v] ? (gain > gainMeter[v] ? gain : gainMeter[v])
                                          : (gain < gainMeter[v] ? gain : gainMeter[v]);
        gainMeter[v] = following ? metered : gainMeter[v];
        gain = active[v] ? gain * makeupGain[v] : one;

        const Real outLeft = gain * inLeft, outRight = gain * inRight;
        const Real absOutLeft = magnitude<W>(outLeft), absOutRight = magnitude<W>(outRight);
        Real outPeak = absOutLeft > outputPeak[v] ? absOutLeft : outputPeak[v];
        outPeak = absOutRight > outPeak ? absOutRight : outPeak;
        outputPeak[v] = valid ? outPeak : outputPeak[v];
        lastLeft[v] = valid ? outLeft : lastLeft[v];
        lastRight[v] = valid ? outRight : lastRight[v];
        outLeftFloat[v] = throughFloat<W>(outLeft);
        outRightFloat[v] = throughFloat<W>(outRight);
    }

    [[gnu::always_inline]] inline void rescan(int v, Mask dropped) {
        for (int t = 0; t < W; ++t) {
            if (!dropped[t])
                continue;
            const int k = v * W + t;
            const RescanLane after = rescanLane(state[k], int32_t(rmsPos[v][t]), int32_t(rmsFill[v][t]),
                                                {sumLeft[v][t], sumRight[v][t], peakSumLeft[v][t],
                                                 peakSumRight[v][t], int32_t(sinceRescan[v][t])});
            sumLeft[v][t] = after.sumLeft;
            sumRight[v][t] = after.sumRight;
            peakSumLeft[v][t] = after.peakLeft;
            peakSumRight[v][t] = after.peakRight;
            sinceRescan[v][t] = after.since;
        }
    }
};

// Where nothing feeds back, each chunk of steps runs in three passes whose iterations are
// independent enough to overlap: crossover, detector and envelope; the curve (a logarithm and
// an exponential per lane, skipped while every level rests below the knee); gain and sum.
// The phase (step modulo D) as a template argument; unrolled loops fold the switch away.
template <bool masked, int W, int V, int D>
[[gnu::always_inline]] inline void
crossoverAt(Wavefront<W, V, D>& front, int phase, int32_t at, const WavefrontGroup& g, double left,
            double right, typename Vectors<W>::Real* signalLeft, typename Vectors<W>::Real* signalRight) {
    static_assert(D == 1 || D == 4, "lags of one or four samples");
    switch (phase) {
    case 0:
        front.template crossover<masked, 0>(at, g, left, right, signalLeft, signalRight);
        break;
    case 1:
        front.template crossover<masked, 1 % D>(at, g, left, right, signalLeft, signalRight);
        break;
    case 2:
        front.template crossover<masked, 2 % D>(at, g, left, right, signalLeft, signalRight);
        break;
    default:
        front.template crossover<masked, 3 % D>(at, g, left, right, signalLeft, signalRight);
        break;
    }
}

template <int W, int V, int D>
[[gnu::always_inline]] inline void sumAt(Wavefront<W, V, D>& front, int phase, const WavefrontGroup& g,
                                         double left, double right) {
    switch (phase) {
    case 0:
        front.template sum<0>(g, left, right);
        break;
    case 1:
        front.template sum<1 % D>(g, left, right);
        break;
    case 2:
        front.template sum<2 % D>(g, left, right);
        break;
    default:
        front.template sum<3 % D>(g, left, right);
        break;
    }
}

template <int W, int V, int D>
[[gnu::always_inline]] inline void runDecoupled(Wavefront<W, V, D>& front, const WavefrontGroup& g) {
    using Real = typename Vectors<W>::Real;
    constexpr int32_t kChunk = 64;
    static_assert(kChunk % D == 0, "chunks hold whole rounds of the lag");
    const int32_t last = g.count - 1;
    const int32_t lastLag = D * last;
    const int32_t steps = g.m + lastLag;
    Real signalLeft[kChunk][V], signalRight[kChunk][V], gains[kChunk][V];
    for (int32_t chunkStart = 0; chunkStart < steps; chunkStart += kChunk) {
        const int32_t n = steps - chunkStart < kChunk ? steps - chunkStart : kChunk;
        bool overKnee = false;
        for (int32_t round = 0; round < n; round += D) {
#pragma GCC unroll 8
            for (int phase = 0; phase < D; ++phase) {
                const int32_t i = round + phase;
                if (i >= n)
                    break;
                const int32_t at = chunkStart + i;
                const bool feeding = at < g.m;
                const double left = feeding ? double(g.remainder[0][at]) : 0.0;
                const double right = feeding ? double(g.remainder[1][at]) : 0.0;
                const bool edge = at < lastLag || !feeding;
                if (edge)
                    crossoverAt<true>(front, phase, at, g, left, right, signalLeft[i], signalRight[i]);
                else
                    crossoverAt<false>(front, phase, at, g, left, right, signalLeft[i], signalRight[i]);
                const int32_t done = at - lastLag;
                if (done >= 0) {
                    g.remainder[0][done] = float(front.remainderOf(phase, 2 * last));
                    g.remainder[1][done] = float(front.remainderOf(phase, 2 * last + 1));
                }
            }
        }
        // The detectors and envelopes in a loop of their own: its steps depend on each other
        // only through each lane's own state.
        for (int32_t i = 0; i < n; ++i) {
            const int32_t at = chunkStart + i;
            const bool edge = at < lastLag || at >= g.m;
            for (int v = 0; v < V; ++v) {
                const auto valid = edge ? front.template validLanes<true>(v, at, g)
                                        : front.template validLanes<false>(v, at, g);
                const Real level = front.detect(v, valid, signalLeft[i][v], signalRight[i][v]);
                gains[i][v] = front.follow(v, valid, level);
                overKnee |= anyLane<W, Real>(gains[i][v] != 0);
            }
        }
        const Real one = broadcast<W>(1.0);
        for (int32_t i = 0; i < n; ++i)
            for (int v = 0; v < V; ++v)
                gains[i][v] = overKnee ? front.curveGain(v, gains[i][v]) : one;
        for (int32_t round = 0; round < n; round += D) {
#pragma GCC unroll 8
            for (int phase = 0; phase < D; ++phase) {
                const int32_t i = round + phase;
                if (i >= n)
                    break;
                const int32_t at = chunkStart + i;
                const bool feeding = at < g.m;
                const bool edge = at < lastLag || !feeding;
                for (int v = 0; v < V; ++v) {
                    const auto valid = edge ? front.template validLanes<true>(v, at, g)
                                            : front.template validLanes<false>(v, at, g);
                    front.finish(v, valid, signalLeft[i][v], signalRight[i][v], gains[i][v]);
                }
                const double sumLeft = g.firstGroup || !feeding ? -0.0 : double(g.partialSum[0][at]);
                const double sumRight = g.firstGroup || !feeding ? -0.0 : double(g.partialSum[1][at]);
                sumAt(front, phase, g, sumLeft, sumRight);
                const int32_t done = at - lastLag;
                if (done >= 0) {
                    g.partialSum[0][done] = float(front.partialOf(phase, 0, last));
                    g.partialSum[1][done] = float(front.partialOf(phase, 1, last));
                }
            }
        }
    }
}

// Runs a group over its m samples: count - 1 steps at each end where some lanes have no sample.
template <int W, int V> void run(const WavefrontGroup& g) {
    bool feedsBack = false;
    for (int k = 0; k < g.count; ++k) {
        const BandSettings& s = g.bands[k]->settings;
        feedsBack |= s.feedbackDetector || (s.active && s.programDependentRelease && !(s.ratio < 1));
    }
    if (!feedsBack) {
        // The lag costs D * (count - 1) steps at the ends: short sub-blocks (glides) go without.
        if (g.m >= 64) {
            Wavefront<W, V, 4> front(g);
            runDecoupled(front, g);
            front.storeBack(g);
        } else {
            Wavefront<W, V, 1> front(g);
            runDecoupled(front, g);
            front.storeBack(g);
        }
        return;
    }
    Wavefront<W, V, 1> front(g);
    const int32_t last = g.count - 1;
    const int32_t steps = g.m + last;
    for (int32_t at = 0; at < steps; ++at) {
        const bool feeding = at < g.m;
        const double left = feeding ? double(g.remainder[0][at]) : 0.0;
        const double right = feeding ? double(g.remainder[1][at]) : 0.0;
        const double sumLeft = g.firstGroup || !feeding ? -0.0 : double(g.partialSum[0][at]);
        const double sumRight = g.firstGroup || !feeding ? -0.0 : double(g.partialSum[1][at]);
        if (at >= last && feeding)
            front.template step<false>(at, g, left, right, sumLeft, sumRight);
        else
            front.template step<true>(at, g, left, right, sumLeft, sumRight);
        const int32_t done = at - last;
        if (done >= 0) {
            g.partialSum[0][done] = float(front.partialOf(0, 0, last));
            g.partialSum[1][done] = float(front.partialOf(0, 1, last));
            g.remainder[0][done] = float(front.remainderOf(0, 2 * last));
            g.remainder[1][done] = float(front.remainderOf(0, 2 * last + 1));
        }
    }
    front.storeBack(g);
}

template <int W> void runGroup(const WavefrontGroup& g) {
    if (g.count <= W)
        run<W, 1>(g);
    else
        run<W, 2>(g);
}

} // namespace
} // namespace wavefront_kernel
