#include "shell/parameters.h"

#include "engine/compressor.h"
#include "shell/compressor_effect.h"
#include "shell/setting_kinds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

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
    return settingKind(kind).toHost(band);
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
                  settingKind(int32_t(index % kParametersPerBand)).name);
    copyText(text, kParameterTextSize, full);
    return 1;
}

int32_t parameterUnit(CompressorEffect& fx, intptr_t index, char* text) {
    if (index < 0 || index >= loadRelaxed(fx.effect.numParams)) {
        text[0] = '\0';
        return 0;
    }
    copyText(text, kParameterTextSize, settingKind(int32_t(index % kParametersPerBand)).unit);
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
    settingKind(kind).format(full, sizeof(full), bandSettingValue(*band, kind));
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
    const SettingKind& rule = settingKind(int32_t(index % kParametersPerBand));
    const auto shown = rule.shownForHost ? rule.shownForHost : rule.fromHost;
    char full[400];
    rule.format(full, sizeof(full), shown(value, band->settings));
    copyText(text, kExtendedDisplaySize, full);
    return kVendorAnswer;
}

intptr_t extendedParameterRange(const CompressorEffect& fx, intptr_t index, double* range) {
    if (index < 0 || index >= loadRelaxed(fx.effect.numParams))
        return 0;
    const ExtendedRange& answer = settingKind(int32_t(index % kParametersPerBand)).extendedRange;
    for (int32_t i = 0; i < 3; ++i)
        if (answer.written & (1u << i))
            range[i] = answer.value[i];
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

void notifyHostParameter(CompressorEffect& fx, int32_t index, bool endEdit) {
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
    changeBandSetting(*band, kind, settingKind(kind).fromHost(value, band->settings));
    if (fx->editorOpen())
        fx->editorNeedsRefresh = 1;
}

float VST_CALL getParameterEntry(AEffect* effect, int32_t index) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    return fx ? readParameter(*fx, index) : 0.0f;
}
