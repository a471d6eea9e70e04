// Creating, destroying and changing bands: every band comes from createBand and goes through
// destroyBand, and every single setting changes through changeBandSetting, which recomputes
// the compressor's coefficients. Callers hold the instance lock.
#pragma once

#include "engine/band.h"

#include <cstdint>

constexpr double kMinBandFrequency = 20.0;
constexpr double kMaxBandFrequency = 24000.0;

inline double clampBandFrequency(double f) {
    return f < kMinBandFrequency ? kMinBandFrequency : (f > kMaxBandFrequency ? kMaxBandFrequency : f);
}

// A new band with default settings at f (44100 Hz until the owner sets its rate), its RMS ring
// drawn from budget when one is given; null when out of memory.
Band* createBand(double f, RmsRingBudget* budget = nullptr);
void destroyBand(Band* band);

// Gives the band a new sample rate (filter and state), redesigning the filter when it differs.
void setBandSampleRate(Band& band, double sampleRate);

// Clamps f to 20..24000, redesigns the filter and recomputes the coefficients.
void setBandFrequency(Band& band, double f, bool snapshot);

// Copies every setting but the frequency, then resets the target's state.
void copyBandSettings(Band& target, const Band& source);

// The twelve settings of a band, in the order of its host parameters.
enum BandSettingKind : int32_t {
    kSettingFrequency = 0,
    kSettingGain,
    kSettingThreshold,
    kSettingRatio,
    kSettingKnee,
    kSettingAttack,
    kSettingRelease,
    kSettingRmsWindow,
    kSettingAutoMakeup,
    kSettingProgramRelease,
    kSettingFeedback,
    kSettingActive,
    kBandSettingKinds
};

// How a change reaches the audio. ByKind: frequency, gain, threshold and ratio glide over the
// next host block, the others take a new snapshot and take effect from the next sub-block.
// KeepSnapshot: no setting takes a new snapshot, so a glide under way carries on (a fader drag
// of any setting).
enum class SettingChange : int32_t { ByKind, KeepSnapshot };

// A setting in its own unit: Hz, linear gain, x:1, dB, whole milliseconds, or 1/0 for a switch.
// 0 for an unknown kind.
double bandSettingValue(const Band& band, int32_t kind);

// The one way a single setting changes: stores the value in the setting's unit and recomputes
// the coefficients, glided or at once as the kind asks. Frequencies are clamped to 20..24000,
// milliseconds truncated (saturating), a switch is on for any non-zero value. A value that is
// not finite, or an unknown kind, changes nothing and returns false. The caller holds the lock.
bool changeBandSetting(Band& band, int32_t kind, double value, SettingChange how = SettingChange::ByKind);
