#include "engine/response_curve.h"

#include "engine/compressor.h"
#include "engine/crossover.h"
#include "engine/curve_pass.h"

#include <cmath>
#include <complex>

namespace {

using Complex = std::complex<double>;

// The section's transfer function at z = e^{jw}.
Complex lowPassAt(const ResponseBand& band, Complex z1, Complex z2) {
    return (band.b0 + band.b1 * z1 + band.b2 * z2) / (1.0 + band.a1 * z1 + band.a2 * z2);
}

} // namespace

double bandGainNow(const Band& band) {
    const CompressorConstants constants = compressorConstants(band);
    if (!constants.active)
        return 1.0;
    const BandState& state = band.state;
    double gain = 1.0;
    // The envelope rests at the knee's lower edge while nothing is compressed (gain 1).
    if (state.envelope > constants.kneeLow) {
        const CurveConstants curve = {constants.kneeLow,          constants.kneeHigh,   constants.kneeScale,
                                      constants.inverseThreshold, constants.logKneeTop, state.slope};
        gain = curve_pass::gainOfLog2(curve_pass::curveGainLog2(curve, state.envelope));
    }
    return gain * state.makeupGain;
}

double bankGainAt(const ResponseBand* sorted, int32_t count, double sampleRate, bool solo, double f) {
    const double w = 2.0 * 3.141592653589793 * f / sampleRate;
    const Complex z1 = std::polar(1.0, -w), z2 = std::polar(1.0, -2.0 * w);
    const double nyquist = sampleRate * 0.5;
    // What is left above the bands visited so far, as a response.
    Complex remainder = 1.0, total = 0.0;
    bool topTaken = false;
    for (int32_t i = 0; i < count; ++i) {
        const ResponseBand& band = sorted[i];
        Complex signal;
        if (nyquist > splitFrequency(band.frequency, sampleRate)) {
            signal = remainder * lowPassAt(band, z1, z2);
            remainder -= signal;
        } else {
            // The first band at the top takes all that is left; any further one gets silence.
            signal = topTaken ? Complex(0.0) : remainder;
            topTaken = true;
        }
        if (band.summed)
            total += band.gain * signal;
    }
    if (!topTaken && !solo)
        total += remainder;
    return std::abs(total);
}
