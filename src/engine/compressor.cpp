#include "engine/compressor.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr double kDbPerNeper = 8.685889638065037;    // 20 / ln 10
constexpr double kNeperPerDb = 0.11512925464970228;  // ln 10 / 20
constexpr double kReleaseDecayBase = 5.364696906513259e-7;

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

    double windowSamples = double(s.rmsSizeMs) * 0.001 * state.sampleRate;
    int32_t pairs = windowSamples >= 4 && windowSamples < 2147483648.0 ? int32_t(windowSamples) : 0;
    if (windowSamples >= 2147483648.0)
        pairs = INT32_MAX;
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

void compressBlock(Band& band, float* left, float* right, int32_t n, double sampleRate) {
    const BandSettings& s = band.settings;
    BandState& st = band.state;

    const int32_t ringLength = st.rmsLength();
    double* ring = static_cast<double*>(st.rmsRing.get());
    const double invN = ringLength > 0 ? 1.0 / ringLength : 0.0;

    const double thr = s.threshold < 1e-8 ? 1e-8 : s.threshold;
    const double J = 1 / thr;
    const double kneeLow = thr / st.kneeRatio;
    const double kneeHigh = thr * st.kneeRatio;
    const double kneeScale = 1 / (kneeHigh - kneeLow);
    const bool expanding = s.ratio < 1;
    const bool adaptive = s.programDependentRelease && !(s.ratio < 1);
    const bool feedback = s.feedbackDetector;
    const bool active = s.active;

    double envelope = st.envelope;
    double releaseCoef = st.releaseCoef;
    double lastLeft = st.lastOutLeft, lastRight = st.lastOutRight;

    for (int32_t k = 0; k < n; ++k) {
        const double L = left[k];
        const double R = right[k];
        const double absL = std::fabs(L), absR = std::fabs(R);
        if (absL > st.inputPeak)
            st.inputPeak = absL;
        if (absR > st.inputPeak)
            st.inputPeak = absR;

        const double dL = detectorInput(feedback ? lastLeft : L);
        const double dR = detectorInput(feedback ? lastRight : R);

        double Q;
        if (ringLength == 0) {
            Q = std::fabs(dL) > std::fabs(dR) ? std::fabs(dL) : std::fabs(dR);
        } else {
            double* pair = ring + 2 * st.rmsPos;
            const double squareL = dL * dL, squareR = dR * dR;
            st.rmsSumLeft = (st.rmsSumLeft - pair[0]) + squareL;
            st.rmsSumRight = (st.rmsSumRight - pair[1]) + squareR;
            pair[0] = squareL;
            pair[1] = squareR;
            if (st.rmsFill < ringLength)
                ++st.rmsFill;
            double larger = st.rmsSumLeft > st.rmsSumRight ? st.rmsSumLeft : st.rmsSumRight;
            if (!(larger > 0))
                larger = 0;
            Q = std::sqrt(larger * invN);
            if (++st.rmsPos == ringLength)
                st.rmsPos = 0;
        }
        if (Q > st.detectorPeak)
            st.detectorPeak = Q;

        double g = 1;
        if (active) {
            const double S = Q > envelope ? st.attackCoef : releaseCoef;
            if (adaptive) {
                releaseCoef *= st.releaseDecay;
                if (releaseCoef < st.releaseCoefBase)
                    releaseCoef = st.releaseCoefBase;
            }
            const double E = (1 - S) * Q + S * envelope;
            if (E <= kneeLow) {
                envelope = kneeLow;
            } else {
                envelope = E;
                double V;
                if (E >= kneeHigh)
                    V = std::log(E * J);
                else
                    V = std::log(J * kneeHigh) * ((E - kneeLow) * kneeScale);
                V = V * st.slope;
                if (adaptive) {
                    const double W = V / (-20.833333333333332) * sampleRate;
                    const double X = W < 1 ? 0 : std::exp(-1 / W);
                    if (X > releaseCoef)
                        releaseCoef = X;
                }
                g = std::exp((V > -25 ? V : -25) * kLn2);
            }
            if (expanding) {
                if (g > st.gainMeter)
                    st.gainMeter = g;
            } else if (g < st.gainMeter) {
                st.gainMeter = g;
            }
            g = g * st.makeupGain;
        }

        const double outL = g * L, outR = g * R;
        const double absOutL = std::fabs(outL), absOutR = std::fabs(outR);
        if (absOutL > st.outputPeak)
            st.outputPeak = absOutL;
        if (absOutR > st.outputPeak)
            st.outputPeak = absOutR;
        left[k] = float(outL);
        right[k] = float(outR);
        lastLeft = outL;
        lastRight = outR;
    }

    st.envelope = envelope;
    st.releaseCoef = releaseCoef;
    st.lastOutLeft = lastLeft;
    st.lastOutRight = lastRight;
}
