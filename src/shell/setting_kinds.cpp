#include "shell/setting_kinds.h"

#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "support/stable_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr double kLn401 = 5.993961427306569;
constexpr double kInverseLn401 = 1 / kLn401;
constexpr double kFrequencySpan = 23980;
constexpr double kInverseFrequencySpan = 1.0 / kFrequencySpan;
// The release a normalised value of 1 sets, and the longest any value sets.
constexpr int32_t kLongestHostRelease = 2000;

double frequencyOfExponent(double exponent) {
    return (stable_math::exp(exponent) - 1) * kFrequencySpan * 0.0025 + 20;
}

// Host value -> setting and back, kind by kind, the two directions side by side.

double frequencyFromHost(float value, const BandSettings& s) {
    const double v = value;
    if (s.logScaleAutomation)
        return clampBandFrequency(logScaleFrequencyAtFraction(v));
    return clampBandFrequency(24000 * v);
}

double frequencyToHost(const Band& band) {
    const double f = band.frequency();
    if (band.settings.logScaleAutomation)
        return logScaleFraction(f);
    // f / 24000 in single precision, or the float beside it where only that one sets f again
    // (20 Hz, where the row is clamped), so that a host writing back what it read keeps f.
    const float nearest = float(f / 24000);
    for (float value : {nearest, std::nextafter(nearest, 0.0f), std::nextafter(nearest, 2.0f)})
        if (frequencyFromHost(value, band.settings) == f)
            return value;
    return nearest;
}

// Gain and threshold: 4v, never below silence (a negative value would invert the band) and,
// for the gain, never above 64 (+36 dB).
double gainFromHost(float value, const BandSettings&) {
    const double gain = 4 * double(value);
    return gain < 0 ? 0 : (gain > 64 ? 64 : gain);
}
double thresholdFromHost(float value, const BandSettings&) {
    const double threshold = 4 * double(value);
    return threshold < 0 ? 0 : threshold;
}
double gainToHost(const Band& band) {
    return band.settings.gain / 4;
}
double thresholdToHost(const Band& band) {
    return band.settings.threshold / 4;
}

double ratioFromHost(float value, const BandSettings&) {
    return sliderPosToRatio(250 + 750 * double(value));
}
double ratioToHost(const Band& band) {
    // The offset is rounded to single precision before the division.
    const float offset = float(ratioToSliderPos(band.settings.ratio) - 250);
    return offset / 750.0f;
}

double kneeFromHost(float value, const BandSettings&) {
    return 24 * double(value);
}
double kneeToHost(const Band& band) {
    return band.settings.knee / 24;
}

// Attack and RMS window: the product is formed in single precision before truncation.
double millisecondsFromHost(float value, const BandSettings&) {
    return truncateToInt32(value * 250.0f);
}
double attackToHost(const Band& band) {
    return band.settings.attackMs / 250.0;
}
double rmsWindowToHost(const Band& band) {
    return band.settings.rmsSizeMs / 250.0;
}

double releaseFromHost(float value, const BandSettings&) {
    return truncateToInt32(sliderPosToRelease(1000 * double(value)));
}
// The smallest normalised value that sets the stored release, so that a host writing back
// what it read (touch automation, undo, linking) keeps the release. Every whole millisecond
// from 0 to 2000 has one; a release beyond 2000 ms reads as its slider position above 1000,
// which sets 2000 ms, and that then reads back as 1.
double releaseToHost(const Band& band) {
    const int32_t ms = band.settings.releaseMs;
    if (ms <= 0 || ms > kLongestHostRelease)
        return releaseToSliderPos(ms) / 1000.0;
    // The square law rises with the value, and its root lies within a float step or two of
    // the smallest value that truncates to ms.
    float value = float(std::sqrt(ms / double(kLongestHostRelease)));
    while (releaseFromHost(std::nextafter(value, 0.0f), band.settings) >= ms)
        value = std::nextafter(value, 0.0f);
    while (releaseFromHost(value, band.settings) < ms)
        value = std::nextafter(value, 2.0f);
    return value;
}

double switchFromHost(float value, const BandSettings&) {
    return value >= 0.5f ? 1 : 0;
}
template <bool BandSettings::*flag> double flagToHost(const Band& band) {
    return band.settings.*flag ? 1.0 : 0.0;
}
// Strictly above one half, although setting exactly 0.5 switches the flag on.
double switchShownForHost(float value, const BandSettings&) {
    return value > 0.5f ? 1 : 0;
}

// Display texts.
void formatTenths(char* text, size_t size, double value) {
    std::snprintf(text, size, "%.1f", value);
}
void formatDecibels(char* text, size_t size, double linear) {
    std::snprintf(text, size, "%.1f", ampToDb(linear));
}
void formatHundredths(char* text, size_t size, double value) {
    std::snprintf(text, size, "%.2f", value);
}
void formatWhole(char* text, size_t size, double value) {
    std::snprintf(text, size, "%d", truncateToInt32(value));
}
void formatSwitch(char* text, size_t size, double on) {
    std::snprintf(text, size, "%s", on != 0 ? "ON" : "OFF");
}

// Fader position <-> setting. The frequency fader is logarithmic whatever the band's
// automation row; gain and threshold use the decibel fader scale.
int32_t frequencyPosition(double f) {
    return truncateToInt32(logScaleFraction(f) * 1000);
}
double frequencyAt(int32_t p) {
    return logScaleFrequencyAt(p, 1000);
}
int32_t levelPosition(double linear) {
    return truncateToInt32(dbToFaderPos(ampToDb(linear)));
}
double levelAt(int32_t p) {
    return dbToAmp(faderPosToDb(p));
}
int32_t ratioPosition(double ratio) {
    return truncateToInt32(ratioToSliderPos(ratio));
}
double ratioAt(int32_t p) {
    return sliderPosToRatio(p);
}
int32_t kneePosition(double knee) {
    return truncateToInt32(knee * 1000 / 24);
}
double kneeAt(int32_t p) {
    return p * 24 / 1000.0;
}
int32_t quarterSecondPosition(double ms) {
    return truncateToInt32(ms * 1000 / 250);
}
double quarterSecondAt(int32_t p) {
    return truncateToInt32(p * 250 / 1000.0);
}
int32_t releasePosition(double ms) {
    return releaseToSliderPos(ms);
}
double releaseAt(int32_t p) {
    return truncateToInt32(sliderPosToRelease(p));
}

// Typed text -> setting.
double typedAsIs(double real, long) {
    return real;
}
double typedDecibels(double real, long) {
    return dbToAmp(real);
}
// NaN stays NaN (and is refused by the store); infinities clamp like any large number.
double typedRatio(double real, long) {
    return std::isnan(real) ? real : std::clamp(real, 0.1, 100.0);
}
double typedInteger(double, long integer) {
    return double(integer);
}

constexpr ExtendedRange kNoRange = {0, {0, 0, 0}};
constexpr ExtendedRange kRatioRange = {0b011, {-0.3333333333333333, 1.0, 0}};
constexpr ExtendedRange kQuarterMark = {0b100, {0, 0, 0.25}};

// Indexed by BandSettingKind. 273 is the release position nearest below the 150 ms default:
// trunc(trunc(sqrt(0.075) x 1000) + 0.5).
constexpr SettingKind kSettingKinds[kBandSettingKinds] = {
    {"Freq", "Hz", frequencyFromHost, frequencyToHost, nullptr, formatTenths, formatTenths, frequencyPosition,
     frequencyAt, typedAsIs, 0, kNoRange},
    {"Gain", "dB", gainFromHost, gainToHost, nullptr, formatDecibels, formatDecibels, levelPosition, levelAt,
     typedDecibels, kZeroDbFaderPosition, kQuarterMark},
    {"Thresh", "dB", thresholdFromHost, thresholdToHost, gainFromHost, formatDecibels, formatDecibels,
     levelPosition, levelAt, typedDecibels, kZeroDbFaderPosition, kQuarterMark},
    {"Ratio", ":1", ratioFromHost, ratioToHost, nullptr, formatHundredths, formatHundredths, ratioPosition,
     ratioAt, typedRatio, 250, kRatioRange},
    {"Knee", "dB", kneeFromHost, kneeToHost, nullptr, formatHundredths, formatTenths, kneePosition, kneeAt,
     typedAsIs, 0, kQuarterMark},
    {"Attack", "ms", millisecondsFromHost, attackToHost, nullptr, formatWhole, formatWhole,
     quarterSecondPosition, quarterSecondAt, typedInteger, 60, kNoRange},
    {"Release", "ms", releaseFromHost, releaseToHost, nullptr, formatWhole, formatWhole, releasePosition,
     releaseAt, typedInteger, 273, kNoRange},
    {"RMS", "ms", millisecondsFromHost, rmsWindowToHost, nullptr, formatWhole, formatWhole,
     quarterSecondPosition, quarterSecondAt, typedInteger, 20, kNoRange},
    {"MakeUp", "", switchFromHost, flagToHost<&BandSettings::autoMakeupGain>, switchShownForHost,
     formatSwitch, nullptr, nullptr, nullptr, nullptr, 0, kNoRange},
    {"AutoRel", "", switchFromHost, flagToHost<&BandSettings::programDependentRelease>, switchShownForHost,
     formatSwitch, nullptr, nullptr, nullptr, nullptr, 0, kNoRange},
    {"FeedBk", "", switchFromHost, flagToHost<&BandSettings::feedbackDetector>, switchShownForHost,
     formatSwitch, nullptr, nullptr, nullptr, nullptr, 0, kNoRange},
    {"Active", "", switchFromHost, flagToHost<&BandSettings::active>, switchShownForHost, formatSwitch,
     nullptr, nullptr, nullptr, nullptr, 0, kNoRange},
};

} // namespace

double logScaleFraction(double f) {
    return stable_math::log((f - 20) * kInverseFrequencySpan * 400 + 1) * kInverseLn401;
}

double logScaleFractionByQuotient(double f) {
    return stable_math::log((f - 20) / kFrequencySpan * 400 + 1) * kInverseLn401;
}

double logScaleFrequencyAtFraction(double fraction) {
    return frequencyOfExponent(fraction * kLn401);
}

double logScaleFrequencyAt(double position, double fullScale) {
    return frequencyOfExponent(position / (fullScale * kInverseLn401));
}

const SettingKind& settingKind(int32_t kind) {
    return kSettingKinds[kind];
}

double viewedSetting(const BandView& view, int32_t kind) {
    const BandSettings& s = view.settings;
    switch (kind) {
    case kSettingFrequency:
        return view.frequency;
    case kSettingGain:
        return s.gain;
    case kSettingThreshold:
        return s.threshold;
    case kSettingRatio:
        return s.ratio;
    case kSettingKnee:
        return s.knee;
    case kSettingAttack:
        return s.attackMs;
    case kSettingRelease:
        return s.releaseMs;
    case kSettingRmsWindow:
        return s.rmsSizeMs;
    case kSettingAutoMakeup:
        return s.autoMakeupGain ? 1 : 0;
    case kSettingProgramRelease:
        return s.programDependentRelease ? 1 : 0;
    case kSettingFeedback:
        return s.feedbackDetector ? 1 : 0;
    case kSettingActive:
        return s.active ? 1 : 0;
    default:
        return 0;
    }
}
