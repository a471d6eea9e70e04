// One two-channel level meter's values and rules, apart from any window system: levels in
// tenths of a dB, a one-second peak hold per channel (its age read from a wrapping tick count),
// the maximum since the last reset (the lowest, in gain-reduction mode), the reset a click
// gives, and the vertical scale of each mode. A hold only expires when new levels arrive.
#pragma once

#include <cstdint>

// A level that also clears the channel's maximum.
constexpr int32_t kMeterSilence = -120000;
// Where every value of a new meter (and of a reset horizontal meter) starts.
constexpr int32_t kMeterIdleLevel = -10000;
constexpr int32_t kMeterLevelMode = 0;
constexpr int32_t kMeterGainReductionMode = 1;
constexpr uint32_t kMeterHoldMs = 1000;

struct MeterValues {
    int32_t mode = kMeterLevelMode;
    int32_t maxSinceReset[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t peakHold[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t level[2] = {kMeterIdleLevel, kMeterIdleLevel};
    // Tick counts (milliseconds) when each hold was taken.
    uint32_t holdStart[2] = {0, 0};
};

// Whether a hold taken at holdStart has run out at now (tick counts; survives their wrap).
bool holdExpired(uint32_t now, uint32_t holdStart);

// Takes one pair of levels at tick count now: holds and maxima follow them, in the mode.
void updateMeterLevels(MeterValues& values, int32_t level0, int32_t level1, uint32_t now);

// Sets the maxima, holds and levels of both channels to one value.
void resetMeterValues(MeterValues& values, int32_t value);

// The vertical meter's mode: 1 selects gain reduction, anything else level mode; all values
// go to the mode's reset value.
void setMeterMode(MeterValues& values, int32_t requested);

// The vertical scale of a mode for a meter of height h.
struct VerticalMeterScale {
    int32_t rangeDb;     // dB shown below 0 dB
    int32_t headroomDb;  // dB shown above it
    int32_t fullScale;   // tenths of a dB over the whole height
    int32_t zeroLine;    // first row at or below 0 dB (no over zone when 0)
    int32_t textBottom;  // bottom of the band the readout is centred in
    int32_t resetValue;
};
VerticalMeterScale verticalScaleOf(int32_t mode, int32_t height);

// The horizontal meter's 0 dB column for a width.
int32_t horizontalMeterZero(int32_t width);

// A left click at y on a vertical meter of height h: in gain-reduction mode any click, in level
// mode one above the 0 dB line, resets to the mode's reset value. True when it reset.
bool clickVerticalMeter(MeterValues& values, int32_t height, int32_t y);
// A left click at x on a horizontal meter of width w: one on the over zone or the readout
// beside it resets to the idle level. True when it reset.
bool clickHorizontalMeter(MeterValues& values, int32_t width, int32_t x);

// "%c%d.%01d" of a level in tenths of a dB (-5 gives "-0.5", 0 "+0.0"); "-inf" below -999.
void formatMeterReading(int32_t tenths, char (&text)[16]);
