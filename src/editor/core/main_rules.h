// The main window's rules apart from any window system: the banner, the band tabs' labels, the
// output gain's fader and box, the meters' levels, the graph's height and the timers. The Win32
// main window and the X11 editor both apply them, so the two show and store the same values.
#pragma once

#include <cstddef>
#include <cstdint>

// Output gains at or below -120 dB are exact silence, shown as "-inf".
constexpr double kSilentOutputGain = 1e-6;
// The peaks left after each meter tick takes them.
constexpr double kMeterDecay = 0.8;
// The graph repaints and the meters take their peaks every 33 ms; host-side changes are picked
// up every 100 ms.
constexpr int32_t kMeterIntervalMs = 33;
constexpr int32_t kRefreshIntervalMs = 100;

// The group box's caption: the effect, its build and its maker.
void formatBanner(char* text, size_t size);
// A band tab's label: the band's number, from 1.
void formatTabLabel(char* text, size_t size, int32_t bandIndex);

// The output gain a dB value stands for, 0 at or below silence (not finite for absurd values,
// which the caller refuses).
double outputGainForDb(double db);
// The output box's text for a gain: one decimal of dB, or "-inf".
void formatOutputGain(char* text, size_t size, double gain);
// The gain typed into the output box (its leading number, in dB).
double outputGainTyped(const char* text);
// The output fader's position (0..1000 from the top) for a gain, and the gain at a position.
int32_t outputFaderPosition(double gain);
double outputGainAtFaderPosition(int32_t position);

// A meter's level in tenths of a dB (-1500 for silence) from a peak amplitude.
int32_t meterLevelTenths(double peak);

// The graph's height in pixels at a scale: 120 (96-dpi pixels) with the tabs shown, 370 without,
// but never more than room, the pixels from its top to what lies below it, less a 2-pixel gap.
int32_t graphHeight(bool showTabs, int32_t room, double scale);
