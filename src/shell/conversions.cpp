#include "shell/conversions.h"

#include "support/stable_math.h"

#include <cmath>

namespace {

constexpr double kFaderExponent = 2.3;
constexpr double kFaderRoot = 0.4347826086956522; // 1 / 2.3

// The fader scale, worked out on first use and shared by every caller.
struct FaderScale {
    double zeroPosition;   // 789: 0 dB
    double belowZeroScale; // 789^2.3 / -90: dB per position^2.3 below 0 dB
    double aboveZeroScale; // 211^2.3 / 24: dB per position^2.3 above 0 dB
};

const FaderScale& faderScale() {
    static const FaderScale scale = [] {
        FaderScale s;
        s.zeroPosition = 789.0;
        s.belowZeroScale = stable_math::pow(s.zeroPosition, kFaderExponent) / -90.0;
        s.aboveZeroScale = stable_math::pow(1000.0 - s.zeroPosition, kFaderExponent) / 24.0;
        return s;
    }();
    return scale;
}

} // namespace

double dbToFaderPos(double db) {
    const FaderScale& s = faderScale();
    if (db >= 0)
        return s.zeroPosition + stable_math::pow(db * s.aboveZeroScale, kFaderRoot);
    return s.zeroPosition - stable_math::pow(db * s.belowZeroScale, kFaderRoot);
}

double faderPosToDb(double position) {
    const FaderScale& s = faderScale();
    const double rounded = std::trunc(position + 0.5);
    double db;
    if (rounded == s.zeroPosition)
        db = 0.0;
    else if (rounded < s.zeroPosition)
        db = stable_math::pow(s.zeroPosition - position, kFaderExponent) / s.belowZeroScale;
    else
        db = stable_math::pow(position - s.zeroPosition, kFaderExponent) / s.aboveZeroScale;
    return db < -89.9999 ? -1000.0 : db;
}

double sliderPosToRatio(double position) {
    if (position < 250) {
        double r = 1 - (250 - position) / 250 * 0.9;
        return r < 0.1 ? 0.1 : (r > 1 ? 1 : r);
    }
    double x = (position - 250) / 750;
    double r = x * x * 99 + 1;
    return r < 1 ? 1 : (r > 100 ? 100 : r);
}

double ratioToSliderPos(double ratio) {
    if (ratio < 1)
        return 250 - (1 - ratio) * 250 / 0.9;
    return 250 + 750 * std::sqrt((ratio - 1) / 99);
}

double sliderPosToRelease(double position) {
    double x = position / 1000;
    double ms = x * x * 2000;
    return ms < 0 ? 0 : (ms > 2000 ? 2000 : ms);
}

int32_t releaseToSliderPos(double releaseMs) {
    double ms = releaseMs > 0 ? releaseMs : 0;
    return truncateToInt32(std::sqrt(ms * 0.0005) * 1000);
}
