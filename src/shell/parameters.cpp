#include "shell/parameters.h"

#include "engine/compressor.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kLn401 = 5.993961427306569;
constexpr double kInverseLn401 = 1 / kLn401;
constexpr double kInverseFrequencySpan = 1.0 / 23980;

constexpr const char* kKindNames[kParametersPerBand] = {"Freq",    "Gain", "Thresh", "Ratio",  "Knee",   "Attack",
                                                        "Release", "RMS",  "MakeUp", "AutoRel", "FeedBk", "Active"};
constexpr const char* kKindUnits[kParametersPerBand] = {"Hz", "dB", "dB", ":1", "dB", "ms",
                                                        "ms", "ms", "",   "",   "",   ""};

// The frequency a normalised value asks for. The linear row is left unclamped: the band
// clamps when it takes the frequency.
double frequencyFromNormalised(float value, bool logScale) {
    const double v = value;
    if (logScale)
        return clampBandFrequency((std::exp(v * kLn401) - 1) * 23980 * 0.0025 + 20);
    return 24000 * v;
}

double normalisedFromFrequency(double f, bool logScale) {
    if (logScale)
        return std::log((f - 20) * kInverseFrequencySpan * 400 + 1) * kInverseLn401;
    return f / 24000;
}

double gainFromNormalised(float value) {
    const double gain = 4 * double(value);
    return gain > 64 ? 64 : gain;
}

// Attack and RMS window: the product is formed in single precision before truncation.
int32_t millisecondsFromNormalised(float value) { return truncateToInt32(value * 250.0f); }

int32_t releaseFromNormalised(float value) { return truncateToInt32(SliderPosToRelease(1000 * double(value))); }

double ratioFromNormalised(float value) { return SliderPosToRatio(250 + 750 * double(value)); }

bool* flagOf(BandSettings& s, int32_t kind) {
    switch (kind) {
    case kParamMakeUp:
        return &s.autoMakeupGain;
    case kParamAutoRelease:
        return &s.programDependentRelease;
    case kParamFeedback:
        return &s.feedbackDetector;
    default:
        return &s.active;
    }
}

void copyText(char* text, int32_t size, const char* source) {
    const size_t length = std::strlen(source);
    const size_t kept = length < size_t(size - 1) ? length : size_t(size - 1);
    std::memcpy(text, source, kept);
    text[kept] = '\0';
}

// The band behind a parameter index, or null when the index names no parameter.
Band* bandOfParameter(const CompressorEffect& fx, intptr_t index) {
    if (index < 0 || index >= fx.effect.numParams)
        return nullptr;
    return fx.band(int32_t(index / kParametersPerBand));
}

void applyParameter(Band& band, int32_t kind, float value) {
    BandSettings& s = band.settings;
    switch (kind) {
    case kParamFrequency:
        // Glides: setBandFrequency recomputes the coefficients without a new snapshot.
        setBandFrequency(band, frequencyFromNormalised(value, s.logScaleAutomation), false);
        return;
    case kParamGain:
        s.gain = gainFromNormalised(value);
        break;
    case kParamThreshold:
        s.threshold = 4 * double(value);
        break;
    case kParamRatio:
        s.ratio = ratioFromNormalised(value);
        break;
    case kParamKnee:
        s.knee = 24 * double(value);
        break;
    case kParamAttack:
        s.attackMs = millisecondsFromNormalised(value);
        break;
    case kParamRelease:
        s.releaseMs = releaseFromNormalised(value);
        break;
    case kParamRms:
        s.rmsSizeMs = millisecondsFromNormalised(value);
        break;
    default:
        *flagOf(s, kind) = value >= 0.5f;
        break;
    }
    // Gain, threshold and ratio glide over the next host block; the rest apply at once.
    updateBandCoefficients(band, kind > kParamRatio);
}

double normalisedValue(Band& band, int32_t kind) {
    BandSettings& s = band.settings;
    switch (kind) {
    case kParamFrequency:
        return normalisedFromFrequency(band.frequency(), s.logScaleAutomation);
    case kParamGain:
        return s.gain / 4;
    case kParamThreshold:
        return s.threshold / 4;
    case kParamRatio: {
        const float offset = float(RatioToSliderPos(s.ratio) - 250);
        return offset / 750.0f;
    }
    case kParamKnee:
        return s.knee / 24;
    case kParamAttack:
        return s.attackMs / 250.0;
    case kParamRelease:
        return ReleaseToSliderPos(s.releaseMs) / 1000.0;
    case kParamRms:
        return s.rmsSizeMs / 250.0;
    default:
        return *flagOf(s, kind) ? 1.0 : 0.0;
    }
}

void formatCurrentValue(char* text, size_t size, Band& band, int32_t kind) {
    BandSettings& s = band.settings;
    switch (kind) {
    case kParamFrequency:
        std::snprintf(text, size, "%.1f", band.frequency());
        break;
    case kParamGain:
        std::snprintf(text, size, "%.1f", AmpToDb(s.gain));
        break;
    case kParamThreshold:
        std::snprintf(text, size, "%.1f", AmpToDb(s.threshold));
        break;
    case kParamRatio:
        std::snprintf(text, size, "%.2f", s.ratio);
        break;
    case kParamKnee:
        std::snprintf(text, size, "%.2f", s.knee);
        break;
    case kParamAttack:
        std::snprintf(text, size, "%d", int(s.attackMs));
        break;
    case kParamRelease:
        std::snprintf(text, size, "%d", int(s.releaseMs));
        break;
    case kParamRms:
        std::snprintf(text, size, "%d", int(s.rmsSizeMs));
        break;
    default:
        std::snprintf(text, size, "%s", *flagOf(s, kind) ? "ON" : "OFF");
        break;
    }
}

void formatValue(char* text, size_t size, const Band& band, int32_t kind, float value) {
    switch (kind) {
    case kParamFrequency:
        std::snprintf(text, size, "%.1f",
                      clampBandFrequency(frequencyFromNormalised(value, band.settings.logScaleAutomation)));
        break;
    case kParamGain:
    case kParamThreshold:
        std::snprintf(text, size, "%.1f", AmpToDb(gainFromNormalised(value)));
        break;
    case kParamRatio:
        std::snprintf(text, size, "%.2f", ratioFromNormalised(value));
        break;
    case kParamKnee:
        std::snprintf(text, size, "%.2f", 24 * double(value));
        break;
    case kParamAttack:
    case kParamRms:
        std::snprintf(text, size, "%d", int(millisecondsFromNormalised(value)));
        break;
    case kParamRelease:
        std::snprintf(text, size, "%d", int(releaseFromNormalised(value)));
        break;
    default:
        // Strictly above one half, although setting exactly 0.5 switches the flag on.
        std::snprintf(text, size, "%s", value > 0.5f ? "ON" : "OFF");
        break;
    }
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
                  kKindNames[index % kParametersPerBand]);
    copyText(text, kParameterTextSize, full);
    return 1;
}

int32_t parameterUnit(CompressorEffect& fx, intptr_t index, char* text) {
    if (index < 0 || index >= fx.effect.numParams) {
        text[0] = '\0';
        return 0;
    }
    copyText(text, kParameterTextSize, kKindUnits[index % kParametersPerBand]);
    return 1;
}

int32_t parameterDisplay(CompressorEffect& fx, intptr_t index, char* text) {
    LockHolder hold(fx.lock);
    Band* band = bandOfParameter(fx, index);
    if (!band) {
        text[0] = '\0';
        return 0;
    }
    char full[400];
    formatCurrentValue(full, sizeof(full), *band, int32_t(index % kParametersPerBand));
    copyText(text, kParameterTextSize, full);
    return 1;
}

bool parameterCanBeAutomated(const CompressorEffect& fx, intptr_t index) {
    return index >= 0 && index < fx.effect.numParams;
}

intptr_t extendedParameterDisplay(CompressorEffect& fx, intptr_t index, float value, char* text) {
    LockHolder hold(fx.lock);
    const Band* band = bandOfParameter(fx, index);
    if (!band || !std::isfinite(value)) {
        text[0] = '\0';
        return 0;
    }
    char full[400];
    formatValue(full, sizeof(full), *band, int32_t(index % kParametersPerBand), value);
    copyText(text, kExtendedDisplaySize, full);
    return kVendorAnswer;
}

intptr_t extendedParameterRange(const CompressorEffect& fx, intptr_t index, double* range) {
    if (index < 0 || index >= fx.effect.numParams)
        return 0;
    switch (index % kParametersPerBand) {
    case kParamRatio:
        range[0] = -0.3333333333333333;
        range[1] = 1.0;
        break;
    case kParamGain:
    case kParamThreshold:
    case kParamKnee:
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
    applyParameter(*band, index % kParametersPerBand, value);
    if (fx->editorWindow)
        fx->editorNeedsRefresh = 1;
}

float VST_CALL getParameterEntry(AEffect* effect, int32_t index) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    return fx ? readParameter(*fx, index) : 0.0f;
}
