#include "engine/compressor.h"

#include "engine/compressor_rules.h"
#include "engine/curve_pass.h"
#include "engine/decibels.h"
#include "engine/gain_curve_math.h"
#include "support/stable_math.h"

#include <cmath>
#include <cstring>
#include <utility>

using namespace compressor_rules;

namespace {

double timeCoefficient(int32_t milliseconds, double sampleRate) {
    const double samples = double(milliseconds) * kSecondsPerMillisecond * sampleRate;
    return samples < 1 ? 0 : stable_math::exp(-1 / samples);
}

// Forgets the ring's contents without touching them: pairs at or past rmsFill count as zero.
void forgetRing(BandState& state) {
    state.rmsPos = 0;
    state.rmsFill = 0;
    state.rmsSumLeft = 0;
    state.rmsSumRight = 0;
    state.rmsPeakSumLeft = state.rmsPeakSumRight = 0;
    state.rmsChecksSinceRescan = 0;
}

int64_t ringBytes(int32_t pairs) {
    return int64_t(pairs) * int64_t(2 * sizeof(double));
}

void chargeBudget(RmsRingBudget* budget, int64_t bytes) {
    if (!budget)
        return;
    budget->usedBytes += bytes;
    if (budget->usedBytes > budget->peakBytes)
        budget->peakBytes = budget->usedBytes;
}

// The ring is dropped first, so that growing never copies the old contents and the budget
// never holds both.
void resizeRing(BandState& state, int32_t pairs) {
    releaseRmsRing(state);
    if (pairs > 0 && state.rmsRing.resize(int32_t(ringBytes(pairs))))
        chargeBudget(state.ringBudget, ringBytes(pairs));
    else
        state.rmsRing.resize(0); // a ring that cannot be had falls back to peak detection
    forgetRing(state);
}

// The ring length for the band's window: never above ten seconds or 2^22 pairs, and never
// more than the budget has left once this band's own ring is given back.
int32_t ringPairsFor(const BandState& state, int32_t rmsSizeMs) {
    double windowSamples = double(rmsSizeMs) * kSecondsPerMillisecond * state.sampleRate;
    double longest = kLongestRmsSeconds * state.sampleRate;
    if (longest > kLongestRmsRing)
        longest = kLongestRmsRing;
    if (windowSamples > longest)
        windowSamples = longest;
    int32_t pairs = windowSamples >= kShortestRmsWindow ? int32_t(windowSamples) : 0;
    if (pairs > 0 && state.ringBudget) {
        const RmsRingBudget& budget = *state.ringBudget;
        const int64_t available = budget.limitBytes - (budget.usedBytes - ringBytes(state.rmsLength()));
        const int64_t affordable = available > 0 ? available / ringBytes(1) : 0;
        if (pairs > affordable)
            pairs = affordable >= kShortestRmsWindow ? int32_t(affordable) : 0;
    }
    return pairs;
}

// The values that follow from gain, threshold and ratio: the curve slope and the makeup.
void updateLevelCoefficients(const BandSettings& s, BandState& state) {
    double slope = (1 - 1 / s.ratio) / (-kLn2);
    if (!(slope <= kSteepestSlope))
        slope = kSteepestSlope; // also a ratio of +-0 or NaN
    else if (slope < -kSteepestSlope)
        slope = -kSteepestSlope;
    state.slope = slope;

    double makeupGain = s.gain;
    if (s.autoMakeupGain && s.ratio > 1) {
        const double thresholdDb = ampToDb(s.threshold);
        makeupGain = stable_math::exp((thresholdDb / s.ratio - thresholdDb) * 0.5 * kNeperPerDb) * s.gain;
    }
    state.makeupGain = boundedGain(makeupGain);
}

void takeSnapshot(Band& band) {
    band.state.snapFrequency = band.filter.frequency;
    band.state.snapGain = band.settings.gain;
    band.state.snapThreshold = band.settings.threshold;
    band.state.snapRatio = band.settings.ratio;
}

} // namespace

void releaseRmsRing(BandState& state) {
    const int64_t bytes = ringBytes(state.rmsLength());
    if (state.ringBudget)
        state.ringBudget->usedBytes -= bytes;
    state.rmsRing.resize(0, true);
}

void updateBandCoefficients(Band& band, bool snapshot) {
    const BandSettings& s = band.settings;
    BandState& state = band.state;

    const int32_t pairs = ringPairsFor(state, s.rmsSizeMs);
    if (pairs != state.rmsLength())
        resizeRing(state, pairs);

    double kneeRatio = stable_math::exp(s.knee * kNeperPerDb);
    if (kneeRatio < kHardKnee)
        kneeRatio = kHardKnee;
    else if (kneeRatio > kWidestKneeRatio)
        kneeRatio = kWidestKneeRatio;
    state.kneeRatio = kneeRatio;

    state.releaseDecay = stable_math::pow(kReleaseDecayBase, kReleaseDecayExponent / state.sampleRate);
    updateLevelCoefficients(s, state);

    state.attackCoef = timeCoefficient(s.attackMs, state.sampleRate);
    state.releaseCoef = timeCoefficient(s.releaseMs, state.sampleRate);
    state.releaseCoefBase = state.releaseCoef;

    if (snapshot)
        takeSnapshot(band);
}

void updateGlidedCoefficients(Band& band) {
    updateLevelCoefficients(band.settings, band.state);
    band.state.releaseCoef = band.state.releaseCoefBase;
    takeSnapshot(band);
}

void resetBandState(Band& band) {
    BandState& state = band.state;
    state.gainMeter = 1.0;
    state.gainMeterHold = 1.0;
    state.gainMeterHoldUntil = 0;
    state.inputPeak = state.detectorPeak = state.outputPeak = 0;
    clearFilterState(band.filter);
    state.envelope = 0;
    forgetRing(state);
    state.lastOutLeft = state.lastOutRight = 0;
    updateBandCoefficients(band, true);
}

CompressorConstants compressorConstants(const Band& band) {
    const BandSettings& settings = band.settings;
    const BandState& state = band.state;
    CompressorConstants constants;
    double threshold = settings.threshold;
    if (!(threshold >= kLowestThreshold))
        threshold = kLowestThreshold;
    else if (threshold > kHighestThreshold)
        threshold = kHighestThreshold;
    constants.inverseThreshold = 1 / threshold;
    constants.kneeLow = threshold / state.kneeRatio;
    constants.kneeHigh = threshold * state.kneeRatio;
    constants.kneeScale = 1 / (constants.kneeHigh - constants.kneeLow);
    const double logKneeTopArgument = constants.inverseThreshold * constants.kneeHigh;
    if (logKneeTopArgument == state.logKneeTopArgument[1]) {
        std::swap(state.logKneeTopArgument[0], state.logKneeTopArgument[1]);
        std::swap(state.logKneeTop[0], state.logKneeTop[1]);
    } else if (logKneeTopArgument != state.logKneeTopArgument[0]) {
        state.logKneeTopArgument[1] = state.logKneeTopArgument[0];
        state.logKneeTop[1] = state.logKneeTop[0];
        state.logKneeTopArgument[0] = logKneeTopArgument;
        state.logKneeTop[0] = stable_math::log(logKneeTopArgument);
    }
    constants.logKneeTop = state.logKneeTop[0];
    constants.ringLength = state.rmsLength();
    constants.inverseRingLength = constants.ringLength > 0 ? 1.0 / constants.ringLength : 0.0;
    constants.expanding = settings.ratio < 1;
    constants.adaptive = settings.programDependentRelease && !(settings.ratio < 1);
    constants.feedback = settings.feedbackDetector;
    constants.active = settings.active;
    return constants;
}

namespace {

// The running state of one compressBlock call, kept in locals: the ring is written through a
// double pointer, which would otherwise force every state field to memory on every sample.
struct CompressorRun {
    CompressorRun(Band& band, double rate)
        : state(band.state), constants(compressorConstants(band)), sampleRate(rate) {
        ring = static_cast<double*>(state.rmsRing.get());
        envelope = state.envelope;
        releaseCoef = state.releaseCoef;
        lastLeft = state.lastOutLeft;
        lastRight = state.lastOutRight;
        sumLeft = state.rmsSumLeft;
        sumRight = state.rmsSumRight;
        rmsPos = state.rmsPos;
        rmsFill = state.rmsFill;
        inputPeak = state.inputPeak;
        detectorPeak = state.detectorPeak;
        outputPeak = state.outputPeak;
        gainMeter = state.gainMeter;
        peakSumLeft = state.rmsPeakSumLeft;
        peakSumRight = state.rmsPeakSumRight;
        checksSinceRescan = state.rmsChecksSinceRescan;
        attackCoef = state.attackCoef;
        releaseCoefBase = state.releaseCoefBase;
        releaseDecay = state.releaseDecay;
        slope = state.slope;
        makeupGain = state.makeupGain;
    }

    ~CompressorRun() {
        state.envelope = envelope;
        state.releaseCoef = releaseCoef;
        state.lastOutLeft = lastLeft;
        state.lastOutRight = lastRight;
        state.rmsSumLeft = sumLeft;
        state.rmsSumRight = sumRight;
        state.rmsPos = rmsPos;
        state.rmsFill = rmsFill;
        state.inputPeak = inputPeak;
        state.detectorPeak = detectorPeak;
        state.outputPeak = outputPeak;
        state.gainMeter = gainMeter;
        state.rmsPeakSumLeft = peakSumLeft;
        state.rmsPeakSumRight = peakSumRight;
        state.rmsChecksSinceRescan = checksSinceRescan;
    }

    // Input peak and detector level of one sample.
    [[gnu::always_inline]] double detect(double left, double right) {
        const double absLeft = std::fabs(left), absRight = std::fabs(right);
        if (absLeft > inputPeak)
            inputPeak = absLeft;
        if (absRight > inputPeak)
            inputPeak = absRight;

        const double detectLeft = detectorInput(constants.feedback ? lastLeft : left);
        const double detectRight = detectorInput(constants.feedback ? lastRight : right);
        double level;
        if (constants.ringLength == 0) {
            const double peakLeft = std::fabs(detectLeft), peakRight = std::fabs(detectRight);
            level = peakLeft > peakRight ? peakLeft : peakRight;
        } else {
            double* pair = ring + 2 * rmsPos;
            const bool written = rmsFill == constants.ringLength;
            const double squareLeft = detectLeft * detectLeft, squareRight = detectRight * detectRight;
            sumLeft = (sumLeft - (written ? pair[0] : 0.0)) + squareLeft;
            sumRight = (sumRight - (written ? pair[1] : 0.0)) + squareRight;
            pair[0] = squareLeft;
            pair[1] = squareRight;
            if (!written)
                ++rmsFill;
            level = rmsLevelOf(sumLeft, sumRight, constants.inverseRingLength,
                               [](double x) { return std::sqrt(x); });
            if (++rmsPos == constants.ringLength)
                rmsPos = 0;
            if ((rmsPos & (kRescanCheckInterval - 1)) == 0)
                followSumPeaks();
        }
        if (level > detectorPeak)
            detectorPeak = level;
        return level;
    }

    // Keeps the sums' peaks and rescans the window after a large drop, every 16th ring
    // position. The level of this sample is already taken: a rescan corrects the sums from the
    // next sample on.
    [[gnu::always_inline]] void followSumPeaks() {
        if (sumLeft > peakSumLeft)
            peakSumLeft = sumLeft;
        if (sumRight > peakSumRight)
            peakSumRight = sumRight;
        if (checksSinceRescan < INT32_MAX)
            ++checksSinceRescan;
        if (sumLeft * kRescanDrop < peakSumLeft || sumRight * kRescanDrop < peakSumRight)
            rescan();
    }
    [[gnu::noinline]] void rescan() {
        state.rmsPeakSumLeft = peakSumLeft;
        state.rmsPeakSumRight = peakSumRight;
        state.rmsChecksSinceRescan = checksSinceRescan;
        rescanRmsWindow(state, rmsPos, rmsFill, sumLeft, sumRight);
        peakSumLeft = state.rmsPeakSumLeft;
        peakSumRight = state.rmsPeakSumRight;
        checksSinceRescan = state.rmsChecksSinceRescan;
    }

    // One envelope step; returns the envelope level that the curve acts on, or 0 when the
    // level rests at or below the knee (gain 1).
    [[gnu::always_inline]] double follow(double level) {
        const double coefficient = level > envelope ? attackCoef : releaseCoef;
        if (constants.adaptive) {
            releaseCoef *= releaseDecay;
            if (releaseCoef < releaseCoefBase)
                releaseCoef = releaseCoefBase;
        }
        const double smoothed = (1 - coefficient) * level + coefficient * envelope;
        if (smoothed <= constants.kneeLow) {
            envelope = constants.kneeLow;
            return 0;
        }
        envelope = smoothed;
        return smoothed;
    }

    [[gnu::always_inline]] double curve(double level) const {
        return curve_pass::curveGainLog2(curveConstants(), level);
    }

    CurveConstants curveConstants() const {
        return {constants.kneeLow,          constants.kneeHigh,   constants.kneeScale,
                constants.inverseThreshold, constants.logKneeTop, slope};
    }

    void raiseRelease(double gainLog2) {
        const double releaseSamples = gainLog2 / -kReleaseHalvingsPerSecond * sampleRate;
        const double raised = releaseSamples < 1 ? 0 : gain_curve_math::exp(-1 / releaseSamples);
        if (raised > releaseCoef)
            releaseCoef = raised;
    }

    [[gnu::always_inline]] static double gainOf(double gainLog2) { return curve_pass::gainOfLog2(gainLog2); }

    [[gnu::always_inline]] void meterGain(double gain) {
        if (constants.expanding) {
            if (gain > gainMeter)
                gainMeter = gain;
        } else if (gain < gainMeter) {
            gainMeter = gain;
        }
    }

    [[gnu::always_inline]] void output(float& left, float& right, double inLeft, double inRight,
                                       double gain) {
        const double outLeft = gain * inLeft, outRight = gain * inRight;
        const double absLeft = std::fabs(outLeft), absRight = std::fabs(outRight);
        if (absLeft > outputPeak)
            outputPeak = absLeft;
        if (absRight > outputPeak)
            outputPeak = absRight;
        left = float(outLeft); // saturated after the loop (saturateInfinities)
        right = float(outRight);
        lastLeft = outLeft;
        lastRight = outRight;
    }

    BandState& state;
    const CompressorConstants constants;
    double sampleRate;
    double* ring;
    double envelope, releaseCoef, lastLeft, lastRight, sumLeft, sumRight;
    int32_t rmsPos, rmsFill, checksSinceRescan;
    double peakSumLeft, peakSumRight;
    double inputPeak, detectorPeak, outputPeak, gainMeter;
    double attackCoef, releaseCoefBase, releaseDecay, slope, makeupGain;
};

} // namespace

void rescanRmsWindow(BandState& state, int32_t pos, int32_t fill, double& sumLeft, double& sumRight) {
    const int32_t length = state.rmsLength();
    if (state.rmsChecksSinceRescan < length / (4 * kRescanCheckInterval))
        return; // too soon after the last one: the drop is still there at the next check
    const double* ring = static_cast<const double*>(state.rmsRing.get());
    double freshLeft = 0, freshRight = 0;
    // Oldest first: pos is the next pair to be overwritten once the ring is full.
    const int32_t start = fill == length ? pos : 0;
    for (int32_t offset = 0; offset < fill; ++offset) {
        int32_t at = start + offset;
        if (at >= length)
            at -= length;
        freshLeft = (freshLeft - 0.0) + ring[2 * at];
        freshRight = (freshRight - 0.0) + ring[2 * at + 1];
    }
    if (std::fabs(sumLeft - freshLeft) > kRescanTolerance * freshLeft)
        sumLeft = freshLeft;
    if (std::fabs(sumRight - freshRight) > kRescanTolerance * freshRight)
        sumRight = freshRight;
    state.rmsPeakSumLeft = sumLeft;
    state.rmsPeakSumRight = sumRight;
    state.rmsChecksSinceRescan = 0;
}

namespace {
void compressUnsaturated(Band& band, float* left, float* right, int32_t n, double sampleRate);
} // namespace

void compressBlock(Band& band, float* left, float* right, int32_t n, double sampleRate, bool mayOverflow) {
    compressUnsaturated(band, left, right, n, sampleRate);
    if (mayOverflow) {
        saturateInfinities(left, n);
        saturateInfinities(right, n);
    }
}

namespace {

void compressUnsaturated(Band& band, float* left, float* right, int32_t n, double sampleRate) {
    CompressorRun run(band, sampleRate);

    if (run.constants.active && !run.constants.adaptive && !run.constants.feedback) {
        // Nothing in the gain curve feeds back into the detector here, so each chunk runs
        // the serial detector and envelope first and the curve (a logarithm and an
        // exponential per sample) afterwards as one vectorised pass.
        double levels[kChunk];
        double gains[kChunk];
        for (int32_t start = 0; start < n; start += kChunk) {
            const int32_t count = n - start < kChunk ? n - start : kChunk;
            float* chunkLeft = left + start;
            float* chunkRight = right + start;
            bool overKnee = false;
            for (int32_t i = 0; i < count; ++i) {
                levels[i] = run.follow(run.detect(chunkLeft[i], chunkRight[i]));
                overKnee |= levels[i] != 0;
            }
            if (overKnee) {
                curve_pass::curveGains(run.curveConstants(), levels, gains, count);
                for (int32_t i = 0; i < count; ++i) {
                    run.meterGain(gains[i]);
                    run.output(chunkLeft[i], chunkRight[i], chunkLeft[i], chunkRight[i],
                               gains[i] * run.makeupGain);
                }
            } else {
                run.meterGain(1.0);
                for (int32_t i = 0; i < count; ++i)
                    run.output(chunkLeft[i], chunkRight[i], chunkLeft[i], chunkRight[i], run.makeupGain);
            }
        }
        return;
    }

    for (int32_t i = 0; i < n; ++i) {
        const double inLeft = left[i], inRight = right[i];
        const double level = run.detect(inLeft, inRight);
        double gain = 1;
        if (run.constants.active) {
            const double envelopeLevel = run.follow(level);
            if (envelopeLevel != 0) {
                const double gainLog2 = run.curve(envelopeLevel);
                if (run.constants.adaptive)
                    run.raiseRelease(gainLog2);
                gain = CompressorRun::gainOf(gainLog2);
            }
            run.meterGain(gain);
            gain = gain * run.makeupGain;
        }
        run.output(left[i], right[i], inLeft, inRight, gain);
    }
}

} // namespace
