#include "engine/band_control.h"

#include "engine/compressor.h"
#include "support/saturating_cast.h"

#include <cmath>
#include <new>

Band* createBand(double f, RmsRingBudget* budget) {
    Band* band = new (std::nothrow) Band();
    if (!band)
        return nullptr;
    band->state.ringBudget = budget;
    resetBandState(*band);
    designFilter(band->filter, f);
    updateBandCoefficients(*band, true);
    return band;
}

void destroyBand(Band* band) {
    if (!band)
        return;
    releaseRmsRing(band->state);
    delete band;
}

void setBandSampleRate(Band& band, double sampleRate) {
    band.state.sampleRate = sampleRate;
    if (band.filter.sampleRate != sampleRate) {
        band.filter.sampleRate = sampleRate;
        designFilter(band.filter, -1);
    }
}

void setBandFrequency(Band& band, double f, bool snapshot) {
    if (std::isnan(f))
        return;
    designFilter(band.filter, clampBandFrequency(f));
    updateBandCoefficients(band, snapshot);
}

void copyBandSettings(Band& target, const Band& source) {
    target.settings = source.settings;
    resetBandState(target);
}

namespace {

// Where each setting lives in BandSettings (the frequency lives in the filter), and whether
// its changes glide.
struct SettingField {
    double BandSettings::*real;
    int32_t BandSettings::*milliseconds;
    bool BandSettings::*flag;
    bool glides;
};

constexpr SettingField kSettingFields[kBandSettingKinds] = {
    {nullptr, nullptr, nullptr, true},
    {&BandSettings::gain, nullptr, nullptr, true},
    {&BandSettings::threshold, nullptr, nullptr, true},
    {&BandSettings::ratio, nullptr, nullptr, true},
    {&BandSettings::knee, nullptr, nullptr, false},
    {nullptr, &BandSettings::attackMs, nullptr, false},
    {nullptr, &BandSettings::releaseMs, nullptr, false},
    {nullptr, &BandSettings::rmsSizeMs, nullptr, false},
    {nullptr, nullptr, &BandSettings::autoMakeupGain, false},
    {nullptr, nullptr, &BandSettings::programDependentRelease, false},
    {nullptr, nullptr, &BandSettings::feedbackDetector, false},
    {nullptr, nullptr, &BandSettings::active, false},
};

} // namespace

double bandSettingValue(const Band& band, int32_t kind) {
    if (kind == kSettingFrequency)
        return band.frequency();
    if (kind < 0 || kind >= kBandSettingKinds)
        return 0;
    const SettingField& field = kSettingFields[kind];
    if (field.real)
        return band.settings.*field.real;
    if (field.milliseconds)
        return band.settings.*field.milliseconds;
    return band.settings.*field.flag ? 1.0 : 0.0;
}

bool changeBandSetting(Band& band, int32_t kind, double value, SettingChange how) {
    if (!std::isfinite(value) || kind < 0 || kind >= kBandSettingKinds)
        return false;
    if (kind == kSettingFrequency) {
        setBandFrequency(band, value, false);
        return true;
    }
    const SettingField& field = kSettingFields[kind];
    if (field.real)
        band.settings.*field.real = value;
    else if (field.milliseconds)
        band.settings.*field.milliseconds = truncateToInt32(value);
    else
        band.settings.*field.flag = value != 0;
    updateBandCoefficients(band, how == SettingChange::ByKind && !field.glides);
    return true;
}
