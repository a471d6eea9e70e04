#include "shell/parameters.h"

#include "engine/compressor.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "support/stable_math.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

constexpr double kLn401 = 5.993961427306569;
constexpr double kInverseLn401 = 1 / kLn401;
constexpr double kInverseFrequencySpan = 1.0 / 23980;
// The release a normalised value of 1 sets, and the longest any value sets.
constexpr int32_t kLongestHostRelease = 2000;

// Normalised value -> setting (in the setting's unit) and back, for one kind of parameter.
// The Set and Get directions of the host mapping, kept side by side so that one row tells
// the whole story of a kind.

double frequencyFromNormalised(float value, const BandSettings& s) {
    const double v = value;
    if (s.logScaleAutomation)
        return clampBandFrequency((stable_math::exp(v * kLn401) - 1) * 23980 * 0.0025 + 20);
    return clampBandFrequency(24000 * v);
}

double normalisedFromFrequency(const Band& band) {
    const double f = band.frequency();
    if (band.settings.logScaleAutomation)
        return stable_math::log((f - 20) * kInverseFrequencySpan * 400 + 1) * kInverseLn401;
    // f / 24000 in single precision, or the float beside it where only that one sets f again
    // (20 Hz, where the row is clamped), so that a host writing back what it read keeps f.
    const float nearest = float(f / 24000);
    for (float value : {nearest, std::nextafter(nearest, 0.0f), std::nextafter(nearest, 2.0f)})
        if (frequencyFromNormalised(value, band.settings) == f)
            return value;
    return nearest;
}

// Gain and threshold: 4v, never below silence (a negative value would invert the band) and,
// for the gain, never above 64 (+36 dB).
double gainFromNormalised(float value, const BandSettings&) {
    const double gain = 4 * double(value);
    return gain < 0 ? 0 : (gain > 64 ? 64 : gain);
}
double thresholdFromNormalised(float value, const BandSettings&) {
    const double threshold = 4 * double(value);
    return threshold < 0 ? 0 : threshold;
}
double normalisedFromGain(const Band& band) {
    return band.settings.gain / 4;
}
double normalisedFromThreshold(const Band& band) {
    return band.settings.threshold / 4;
}

double ratioFromNormalised(float value, const BandSettings&) {
    return SliderPosToRatio(250 + 750 * double(value));
}
double normalisedFromRatio(const Band& band) {
    // The offset is rounded to single precision before the division.
    const float offset = float(RatioToSliderPos(band.settings.ratio) - 250);
    return offset / 750.0f;
}

double kneeFromNormalised(float value, const BandSettings&) {
    return 24 * double(value);
}
double normalisedFromKnee(const Band& band) {
    return band.settings.knee / 24;
}

// Attack and RMS window: the product is formed in single precision before truncation.
double millisecondsFromNormalised(float value, const BandSettings&) {
    return truncateToInt32(value * 250.0f);
}
double normalisedFromAttack(const Band& band) {
    return band.settings.attackMs / 250.0;
}
double normalisedFromRmsWindow(const Band& band) {
    return band.settings.rmsSizeMs / 250.0;
}

double releaseFromNormalised(float value, const BandSettings&) {
    return truncateToInt32(SliderPosToRelease(1000 * double(value)));
}
// The smallest normalised value that sets the stored release, so that a host writing back
// what it read (touch automation, undo, linking) keeps the release. Every whole millisecond
// from 0 to 2000 has one; a release beyond 2000 ms reads as its slider position above 1000,
// which sets 2000 ms, and that then reads back as 1.
double normalisedFromRelease(const Band& band) {
    const int32_t ms = band.settings.releaseMs;
    if (ms <= 0 || ms > kLongestHostRelease)
        return ReleaseToSliderPos(ms) / 1000.0;
    // The square law rises with the value, and its root lies within a float step or two of
    // the smallest value that truncates to ms.
    float value = float(std::sqrt(ms / double(kLongestHostRelease)));
    while (releaseFromNormalised(std::nextafter(value, 0.0f), band.settings) >= ms)
        value = std::nextafter(value, 0.0f);
    while (releaseFromNormalised(value, band.settings) < ms)
        value = std::nextafter(value, 2.0f);
    return value;
}

double switchFromNormalised(float value, const BandSettings&) {
    return value >= 0.5f ? 1 : 0;
}
// Strictly above one half, although setting exactly 0.5 switches the flag on.
double switchShownForNormalised(float value, const BandSettings&) {
    return value > 0.5f ? 1 : 0;
}

void formatFrequency(char* text, size_t size, double hz) {
    std::snprintf(text, size, "%.1f", hz);
}
void formatDecibels(char* text, size_t size, double linear) {
    std::snprintf(text, size, "%.1f", AmpToDb(linear));
}
void formatHundredths(char* text, size_t size, double value) {
    std::snprintf(text, size, "%.2f", value);
}
void formatMilliseconds(char* text, size_t size, double ms) {
    std::snprintf(text, size, "%d", int(ms));
}
void formatSwitch(char* text, size_t size, double on) {
    std::snprintf(text, size, "%s", on != 0 ? "ON" : "OFF");
}

struct ParameterKindRule {
    const char* name;
    const char* unit;
    double (*settingFromNormalised)(float, const BandSettings&);
    double (*normalisedFromSetting)(const Band&);
    // The setting a normalised value displays as, where it differs from the one it stores.
    double (*shownForNormalised)(float, const BandSettings&);
    void (*format)(char*, size_t, double);
};

// Indexed by BandSettingKind.
constexpr ParameterKindRule kKindRules[kParametersPerBand] = {
    {"Freq", "Hz", frequencyFromNormalised, normalisedFromFrequency, nullptr, formatFrequency},
    {"Gain", "dB", gainFromNormalised, normalisedFromGain, nullptr, formatDecibels},
    {"Thresh", "dB", thresholdFromNormalised, normalisedFromThreshold, gainFromNormalised, formatDecibels},
    {"Ratio", ":1", ratioFromNormalised, normalisedFromRatio, nullptr, formatHundredths},
    {"Knee", "dB", kneeFromNormalised, normalisedFromKnee, nullptr, formatHundredths},
    {"Attack", "ms", millisecondsFromNormalised, normalisedFromAttack, nullptr, formatMilliseconds},
    {"Release", "ms", releaseFromNormalised, normalisedFromRelease, nullptr, formatMilliseconds},
    {"RMS", "ms", millisecondsFromNormalised, normalisedFromRmsWindow, nullptr, formatMilliseconds},
    {"MakeUp", "", switchFromNormalised, nullptr, switchShownForNormalised, formatSwitch},
    {"AutoRel", "", switchFromNormalised, nullptr, switchShownForNormalised, formatSwitch},
    {"FeedBk", "", switchFromNormalised, nullptr, switchShownForNormalised, formatSwitch},
    {"Active", "", switchFromNormalised, nullptr, switchShownForNormalised, formatSwitch},
};
static_assert(kParametersPerBand == kBandSettingKinds, "one host parameter per band setting");

void copyText(char* text, int32_t size, const char* source) {
    const size_t length = std::strlen(source);
    const size_t kept = length < size_t(size - 1) ? length : size_t(size - 1);
    std::memcpy(text, source, kept);
    text[kept] = '\0';
}

// The band behind a parameter index, or null when the index names no parameter.
Band* bandOfParameter(const CompressorEffect& fx, intptr_t index) {
    if (index < 0 || index >= loadRelaxed(fx.effect.numParams))
        return nullptr;
    return fx.band(int32_t(index / kParametersPerBand));
}

double normalisedValue(const Band& band, int32_t kind) {
    const ParameterKindRule& rule = kKindRules[kind];
    if (rule.normalisedFromSetting)
        return rule.normalisedFromSetting(band);
    return bandSettingValue(band, kind) != 0 ? 1.0 : 0.0;
}

} // namespace

int32_t parameterName(CompressorEffect& fx, intptr_t index, char* text) {
    LockHolder hold(fx.lock);
    if (!bandOfParameter(fx, index)) {
        text[0] = '\0';
        return 0;
    }
    char full[32];
    std::snprintf(full, sizeof(full), "%d-%s", int(index / kParametersPerBand) + 1,
                  kKindRules[index % kParametersPerBand].name);
    copyText(text, kParameterTextSize, full);
    return 1;
}

int32_t parameterUnit(CompressorEffect& fx, intptr_t index, char* text) {
    if (index < 0 || index >= loadRelaxed(fx.effect.numParams)) {
        text[0] = '\0';
        return 0;
    }
    copyText(text, kParameterTextSize, kKindRules[index % kParametersPerBand].unit);
    return 1;
}

int32_t parameterDisplay(CompressorEffect& fx, intptr_t index, char* text) {
    LockHolder hold(fx.lock);
    const Band* band = bandOfParameter(fx, index);
    if (!band) {
        text[0] = '\0';
        return 0;
    }
    const int32_t kind = int32_t(index % kParametersPerBand);
    char full[400];
    kKindRules[kind].format(full, sizeof(full), bandSettingValue(*band, kind));
    copyText(text, kParameterTextSize, full);
    return 1;
}

bool parameterCanBeAutomated(const CompressorEffect& fx, intptr_t index) {
    return index >= 0 && index < loadRelaxed(fx.effect.numParams);
}

intptr_t extendedParameterDisplay(CompressorEffect& fx, intptr_t index, float value, char* text) {
    LockHolder hold(fx.lock);
    const Band* band = bandOfParameter(fx, index);
    if (!band || !std::isfinite(value)) {
        text[0] = '\0';
        return 0;
    }
    const ParameterKindRule& rule = kKindRules[index % kParametersPerBand];
    const auto shown = rule.shownForNormalised ? rule.shownForNormalised : rule.settingFromNormalised;
    char full[400];
    rule.format(full, sizeof(full), shown(value, band->settings));
    copyText(text, kExtendedDisplaySize, full);
    return kVendorAnswer;
}

intptr_t extendedParameterRange(const CompressorEffect& fx, intptr_t index, double* range) {
    if (index < 0 || index >= loadRelaxed(fx.effect.numParams))
        return 0;
    switch (index % kParametersPerBand) {
    case kSettingRatio:
        range[0] = -0.3333333333333333;
        range[1] = 1.0;
        break;
    case kSettingGain:
    case kSettingThreshold:
    case kSettingKnee:
        range[2] = 0.25;
        break;
    default:
        break;
    }
    return kVendorAnswer;
}

float readParameter(CompressorEffect& fx, int32_t index) {
    if (index < 0)
        return 0.0f;
    LockHolder hold(fx.lock);
    Band* band = fx.band(index / kParametersPerBand);
    if (!band)
        return 0.0f;
    return float(normalisedValue(*band, index % kParametersPerBand));
}

void NotifyHostParameter(CompressorEffect& fx, int32_t index, bool endEdit) {
    if (!hostCallback)
        return;
    if (endEdit)
        notifyHost(&fx.effect, audioMasterEndEdit, index, 0, nullptr, 0.0f);
    else
        notifyHost(&fx.effect, audioMasterAutomate, index, 0, nullptr, readParameter(fx, index));
}

void VST_CALL setParameterEntry(AEffect* effect, int32_t index, float value) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx || index < 0 || !std::isfinite(value))
        return;
    LockHolder hold(fx->lock);
    if (fx->ignoreParameterSets)
        return;
    Band* band = fx->band(index / kParametersPerBand);
    if (!band)
        return;
    const int32_t kind = index % kParametersPerBand;
    changeBandSetting(*band, kind, kKindRules[kind].settingFromNormalised(value, band->settings));
    if (fx->editorOpen())
        fx->editorNeedsRefresh = 1;
}

float VST_CALL getParameterEntry(AEffect* effect, int32_t index) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    return fx ? readParameter(*fx, index) : 0.0f;
}
