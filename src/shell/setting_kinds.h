// What each kind of band setting is to the host and to the editor, one row per kind: its
// parameter name and unit, its normalised host value and back, its display texts, its fader
// scale and how typed text becomes a value. The parameter model, the band panel and the
// response graph all read their conversions from here.
#pragma once

#include "engine/band_control.h"

#include <cstddef>
#include <cstdint>

struct BandView;

// The logarithmic frequency scale: 20 Hz at 0, 24000 Hz at the full scale, ln(401) wide.
// The fraction 0..1 of the scale at f, as host values and fader positions round it.
double logScaleFraction(double f);
// The same fraction with the span divided rather than multiplied by its reciprocal: the
// response graph places its pixels with this rounding, which can differ in the last bit.
double logScaleFractionByQuotient(double f);
// The frequency at a normalised host value (0..1) of the scale.
double logScaleFrequencyAtFraction(double fraction);
// The frequency at position on a scale fullScale long (a fader's 1000, a window's width).
double logScaleFrequencyAt(double position, double fullScale);

// What the host's range extension answers for a kind: the elements of the three-double
// answer that bit i of written marks.
struct ExtendedRange {
    uint32_t written;
    double value[3];
};

struct SettingKind {
    const char* name; // host parameter name after the band number ("Freq")
    const char* unit; // host parameter unit ("Hz"), empty for a switch
    // Normalised host value -> setting in its unit (Hz, linear, x:1, dB, ms, 1/0). The band's
    // settings choose the frequency row.
    double (*fromHost)(float value, const BandSettings& settings);
    // Setting -> normalised host value.
    double (*toHost)(const Band& band);
    // The setting a host value is displayed as, where it differs from the one it stores.
    double (*shownForHost)(float value, const BandSettings& settings);
    // The host's display text of a setting, and the band panel's edit box text.
    void (*format)(char* text, size_t size, double value);
    void (*editFormat)(char* text, size_t size, double value);
    // The band panel's fader (0..1000) and edit box; null for a switch.
    int32_t (*faderPosition)(double value);
    double (*atFaderPosition)(int32_t position);
    // The edit box text read once as a decimal number and once as an integer -> setting.
    double (*fromTyped)(double real, long integer);
    // Where a double click puts the fader; kZeroDbFaderPosition for the scale's 0 dB. The
    // frequency fader has no such position.
    int32_t defaultFaderPosition;
    ExtendedRange extendedRange;
};

constexpr int32_t kZeroDbFaderPosition = -1;

// The row of kind (a BandSettingKind, 0..kBandSettingKinds - 1).
const SettingKind& settingKind(int32_t kind);

// A viewed band's setting of kind in its unit, as bandSettingValue gives it for the band.
double viewedSetting(const BandView& view, int32_t kind);
