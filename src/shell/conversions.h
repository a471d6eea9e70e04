// The value conversions shared by the host parameters and the editor's faders and sliders:
// decibels, the 0..1000 fader scale (0 dB at 789, -90 dB at 0, +24 dB at 1000), the ratio
// slider (1:1 at 250) and the release slider (square law up to 2000 ms). All are pure.
// The bottom of the fader scale is not -90 dB but -1000 dB, the editor's stand-in for silence.
#pragma once

#include "engine/decibels.h"
#include "support/saturating_cast.h"

#include <cstdint>

// The linear level of a level in dB: 10^(dB / 20), as exp(dB x ln 10 / 20).
inline double dbToAmp(double db) {
    return stable_math::exp(db * kNeperPerDb);
}

// Fader position (not clamped to 0..1000) for a level in dB.
double dbToFaderPos(double db);
// Level in dB for a fader position; positions that round to 789 are exactly 0 dB, and
// anything at or below about -90 dB is -1000 (silence).
double faderPosToDb(double position);

// Ratio for a slider position: 0.1..1 below position 250, 1..100 (square law) above it.
double sliderPosToRatio(double position);
double ratioToSliderPos(double ratio);

// Release in ms for a slider position: (p / 1000)^2 x 2000, clamped to 0..2000.
double sliderPosToRelease(double position);
// Whole slider position for a release in ms: 0..1000 for 0..2000 ms, more above that.
int32_t releaseToSliderPos(double releaseMs);
