#include "engine/compressor.h"

#include "engine/gain_curve_math.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr double kDbPerNeper = 8.685889638065037;    // 20 / ln 10
constexpr double kNeperPerDb = 0.11512925464970228;  // ln 10 / 20
constexpr double kReleaseDecayBase = 5.364696906513259e-7;

constexpr double kLongestRmsRing = 4194304; // pairs

// Detector inputs beyond this are held at it, so that squares and running sums stay finite.
constexpr double kDetectorLimit = 1e100;

inline double detectorInput(double x) {
    if (std::isnan(x))
        return 0;
    if (std::fabs(x) > kDetectorLimit)
        return std::isinf(x) ? 0 : std::copysign(kDetectorLimit, x);
    return x;
}

double timeCoefficient(int32_t milliseconds, double sampleRate) {
    double samples = double(milliseconds) * 0.001 * sampleRate;
    return samples < 1 ? 0 : std::exp(-1 / samples);
}

void clearRing(BandState& state) {
    if (void* ring = state.rmsRing.get())
        std::memset(ring, 0, size_t(state.rmsRing.getSize()));
    state.rmsPos = 0;
    state.rmsFill = 0;
    state.rmsSumLeft = 0;
    state.rmsSumRight = 0;
}

void resizeRing(BandState& state, int32_t pairs) {
    int64_t bytes = int64_t(pairs) * int64_t(2 * sizeof(double));
    // A ring that cannot be had falls back to peak detection.
    if (bytes > INT32_MAX || !state.rmsRing.resize(int32_t(bytes)))
        state.rmsRing.resize(0);
    clearRing(state);
}

} // namespace

void updateBandCoefficients(Band& band, bool snapshot) {
    const BandSettings& s = band.settings;
    BandState& state = band.state;

    // A window longer than ten seconds (as a typed or stored value may ask for) is held at ten
    // seconds, and never above 2^22 pairs, so no setting can claim gigabytes of memory.
    double windowSamples = double(s.rmsSizeMs) * 0.001 * state.sampleRate;
    double longest = 10 * state.sampleRate < kLongestRmsRing ? 10 * state.sampleRate : kLongestRmsRing;
    if (windowSamples > longest)
        windowSamples = longest;
    const int32_t pairs = windowSamples >= 4 ? int32_t(windowSamples) : 0;
    if (pairs != state.rmsLength())
        resizeRing(state, pairs);

    double kneeRatio = std::exp(s.knee * kNeperPerDb);
    if (kneeRatio < 1)
        kneeRatio = 1;
    else if (kneeRatio > 16)
        kneeRatio = 16;
    state.kneeRatio = kneeRatio;

    state.releaseDecay = std::pow(kReleaseDecayBase, 0.6666 / state.sampleRate);

    state.makeupGain = s.gain;
    state.slope = (1 - 1 / s.ratio) / (-kLn2);
    if (s.autoMakeupGain && s.ratio > 1) {
        double thresholdDb = -150;
        if (s.threshold >= 0x1p-25) {
            thresholdDb = std::log(s.threshold) * kDbPerNeper;
            if (thresholdDb < -150)
                thresholdDb = -150;
        }
        state.makeupGain = std::exp((thresholdDb / s.ratio - thresholdDb) * 0.5 * kNeperPerDb) * s.gain;
    }

    state.attackCoef = timeCoefficient(s.attackMs, state.sampleRate);
    state.releaseCoef = timeCoefficient(s.releaseMs, state.sampleRate);
    state.releaseCoefBase = state.releaseCoef;

    if (snapshot) {
        state.snapFrequency = band.filter.frequency;
        state.snapGain = s.gain;
        state.snapThreshold = s.threshold;
        state.snapRatio = s.ratio;
    }
}

void resetBandState(Band& band) {
    BandState& state = band.state;
    state.gainMeter = 1.0;
    state.gainMeterHold = 1.0;
    state.gainMeterHoldUntil = 0;
    state.inputPeak = state.detectorPeak = state.outputPeak = 0;
    clearFilterState(band.filter);
    state.envelope = 0;
    clearRing(state);
    state.lastOutLeft = state.lastOutRight = 0;
    updateBandCoefficients(band, true);
}

namespace {

// The per-block constants and the running state of one compressBlock call, kept in locals:
// the ring is written through a double pointer, which would otherwise force every state
// field to memory on every sample.
struct CompressorRun {
    CompressorRun(Band& band, double rate) : st(band.state), sampleRate(rate) {
        const BandSettings& s = band.settings;
        ringLength = st.rmsLength();
        ring = static_cast<double*>(st.rmsRing.get());
        invN = ringLength > 0 ? 1.0 / ringLength : 0.0;
        thr = s.threshold < 1e-8 ? 1e-8 : s.threshold;
        J = 1 / thr;
        kneeLow = thr / st.kneeRatio;
        kneeHigh = thr * st.kneeRatio;
        kneeScale = 1 / (kneeHigh - kneeLow);
        logKneeTop = std::log(J * kneeHigh);
        expanding = s.ratio < 1;
        adaptive = s.programDependentRelease && !(s.ratio < 1);
        feedback = s.feedbackDetector;
        active = s.active;

        envelope = st.envelope;
        releaseCoef = st.releaseCoef;
        lastLeft = st.lastOutLeft;
        lastRight = st.lastOutRight;
        sumLeft = st.rmsSumLeft;
        sumRight = st.rmsSumRight;
        rmsPos = st.rmsPos;
        rmsFill = st.rmsFill;
        inputPeak = st.inputPeak;
        detectorPeak = st.detectorPeak;
        outputPeak = st.outputPeak;
        gainMeter = st.gainMeter;
        attackCoef = st.attackCoef;
        releaseCoefBase = st.releaseCoefBase;
        releaseDecay = st.releaseDecay;
        slope = st.slope;
        makeupGain = st.makeupGain;
    }

    ~CompressorRun() {
        st.envelope = envelope;
        st.releaseCoef = releaseCoef;
        st.lastOutLeft = lastLeft;
        st.lastOutRight = lastRight;
        st.rmsSumLeft = sumLeft;
        st.rmsSumRight = sumRight;
        st.rmsPos = rmsPos;
        st.rmsFill = rmsFill;
        st.inputPeak = inputPeak;
        st.detectorPeak = detectorPeak;
        st.outputPeak = outputPeak;
        st.gainMeter = gainMeter;
    }

    // Input peak and detector level Q of one sample.
    [[gnu::always_inline]] double detect(double L, double R) {
        const double absL = std::fabs(L), absR = std::fabs(R);
        if (absL > inputPeak)
            inputPeak = absL;
        if (absR > inputPeak)
            inputPeak = absR;

        const double dL = detectorInput(feedback ? lastLeft : L);
        const double dR = detectorInput(feedback ? lastRight : R);
        double Q;
        if (ringLength == 0) {
            Q = std::fabs(dL) > std::fabs(dR) ? std::fabs(dL) : std::fabs(dR);
        } else {
            double* pair = ring + 2 * rmsPos;
            const double squareL = dL * dL, squareR = dR * dR;
            sumLeft = (sumLeft - pair[0]) + squareL;
            sumRight = (sumRight - pair[1]) + squareR;
            pair[0] = squareL;
            pair[1] = squareR;
            if (rmsFill < ringLength)
                ++rmsFill;
            double larger = sumLeft > sumRight ? sumLeft : sumRight;
            if (!(larger > 0))
                larger = 0;
            Q = std::sqrt(larger * invN);
            if (++rmsPos == ringLength)
                rmsPos = 0;
        }
        if (Q > detectorPeak)
            detectorPeak = Q;
        return Q;
    }

    // One envelope step; returns the envelope level that the curve acts on, or 0 when the
    // level rests at or below the knee (gain 1).
    [[gnu::always_inline]] double follow(double Q) {
        const double S = Q > envelope ? attackCoef : releaseCoef;
        if (adaptive) {
            releaseCoef *= releaseDecay;
            if (releaseCoef < releaseCoefBase)
                releaseCoef = releaseCoefBase;
        }
        const double E = (1 - S) * Q + S * envelope;
        if (E <= kneeLow) {
            envelope = kneeLow;
            return 0;
        }
        envelope = E;
        return E;
    }

    // The static curve at an envelope level above the knee's lower edge, as the base-2
    // logarithm of the gain. Branch-free, so that the curve pass vectorises.
    [[gnu::always_inline]] double curve(double E) const {
        const bool above = E >= kneeHigh;
        // Above the knee E * J lies in [1, 1e108]: the detector holds levels below 1e100.
        const double logLevel = gain_curve_math::log(above ? E * J : 1.0);
        return (above ? logLevel : logKneeTop * ((E - kneeLow) * kneeScale)) * slope;
    }

    // The program-dependent release asks for at least 0.048 s per halving of the gain.
    void raiseRelease(double V) {
        const double W = V / (-20.833333333333332) * sampleRate;
        const double X = W < 1 ? 0 : gain_curve_math::exp(-1 / W);
        if (X > releaseCoef)
            releaseCoef = X;
    }

    // 2^V, never below 2^-25 and never beyond the largest double.
    [[gnu::always_inline]] static double gainOf(double V) {
        const double x = (V > -25 ? V : -25) * kLn2;
        return gain_curve_math::exp(x < 709.0 ? x : 709.0);
    }

    [[gnu::always_inline]] void meterGain(double g) {
        if (expanding) {
            if (g > gainMeter)
                gainMeter = g;
        } else if (g < gainMeter) {
            gainMeter = g;
        }
    }

    [[gnu::always_inline]] void output(float& left, float& right, double L, double R, double g) {
        const double outL = g * L, outR = g * R;
        const double absOutL = std::fabs(outL), absOutR = std::fabs(outR);
        if (absOutL > outputPeak)
            outputPeak = absOutL;
        if (absOutR > outputPeak)
            outputPeak = absOutR;
        left = float(outL);
        right = float(outR);
        lastLeft = outL;
        lastRight = outR;
    }

    BandState& st;
    double sampleRate;
    int32_t ringLength;
    double* ring;
    double invN, thr, J, kneeLow, kneeHigh, kneeScale, logKneeTop;
    bool expanding, adaptive, feedback, active;
    double envelope, releaseCoef, lastLeft, lastRight, sumLeft, sumRight;
    int32_t rmsPos, rmsFill;
    double inputPeak, detectorPeak, outputPeak, gainMeter;
    double attackCoef, releaseCoefBase, releaseDecay, slope, makeupGain;
};

// The curve gains of a run of envelope levels (0: resting at or below the knee, gain 1), with
// nothing carried from one sample to the next so that the loop vectorises.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Where the loader can choose (ELF ifuncs), a four-lane AVX2 copy is picked on processors
// that have it; the operations, and so the results, are the same as in the two-lane one.
__attribute__((target_clones("avx2", "default")))
#endif
void curveGains(const CompressorRun& run, const double* levels, double* gains, int32_t count) {
    for (int32_t k = 0; k < count; ++k) {
        const double g = CompressorRun::gainOf(run.curve(levels[k]));
        gains[k] = levels[k] == 0 ? 1.0 : g;
    }
}

} // namespace

void compressBlock(Band& band, float* left, float* right, int32_t n, double sampleRate) {
    CompressorRun run(band, sampleRate);

    if (run.active && !run.adaptive && !run.feedback) {
        // Nothing in the gain curve feeds back into the detector here, so each chunk runs
        // the serial detector and envelope first and the curve (a logarithm and an
        // exponential per sample) afterwards as one vectorised pass.
        constexpr int32_t kChunk = 128;
        double levels[kChunk];
        double gains[kChunk];
        for (int32_t start = 0; start < n; start += kChunk) {
            const int32_t count = n - start < kChunk ? n - start : kChunk;
            float* l = left + start;
            float* r = right + start;
            bool overKnee = false;
            for (int32_t k = 0; k < count; ++k) {
                levels[k] = run.follow(run.detect(l[k], r[k]));
                overKnee |= levels[k] != 0;
            }
            if (overKnee) {
                curveGains(run, levels, gains, count);
                for (int32_t k = 0; k < count; ++k) {
                    run.meterGain(gains[k]);
                    run.output(l[k], r[k], l[k], r[k], gains[k] * run.makeupGain);
                }
            } else {
                run.meterGain(1.0);
                for (int32_t k = 0; k < count; ++k)
                    run.output(l[k], r[k], l[k], r[k], run.makeupGain);
            }
        }
        return;
    }

    for (int32_t k = 0; k < n; ++k) {
        const double L = left[k], R = right[k];
        const double Q = run.detect(L, R);
        double g = 1;
        if (run.active) {
            const double E = run.follow(Q);
            if (E != 0) {
                const double V = run.curve(E);
                if (run.adaptive)
                    run.raiseRelease(V);
                g = CompressorRun::gainOf(V);
            }
            run.meterGain(g);
            g = g * run.makeupGain;
        }
        run.output(left[k], right[k], L, R, g);
    }
}
