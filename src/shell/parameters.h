// The host parameter model: twelve automatable parameters per band (index i is band i / 12,
// kind i % 12), their normalised 0..1 mappings, names, units and display texts, the two
// vendor extensions, and the notifications sent when the user edits a parameter.
// Normalised values outside 0..1 are taken as the mappings give them (a ratio below 1 reads
// back negative), except that gain and threshold never go below silence; non-finite values
// are refused. Parameter kinds are the band's setting kinds (BandSettingKind). Writing back
// the value read leaves every setting a normalised value can set exactly as it is.
#pragma once

#include "engine/band_control.h"

#include <cstdint>

class CompressorEffect;

// Host buffers for names, units and displays hold 8 characters and the terminator.
constexpr int32_t kParameterTextSize = 9;
// The buffer of the display extension holds 255 characters and the terminator.
constexpr int32_t kExtendedDisplaySize = 256;

constexpr int32_t kVendorParameterRange = int32_t(0xdeadbef0);
constexpr int32_t kVendorDisplayValue = 7;
constexpr intptr_t kVendorAnswer = 0xbeef;

// Texts for the dispatcher. Each writes into text (kParameterTextSize bytes) and returns 1, or
// writes an empty string and returns 0 for a parameter that does not exist.
int32_t parameterName(CompressorEffect& fx, intptr_t index, char* text);
int32_t parameterUnit(CompressorEffect& fx, intptr_t index, char* text);
int32_t parameterDisplay(CompressorEffect& fx, intptr_t index, char* text);
bool parameterCanBeAutomated(const CompressorEffect& fx, intptr_t index);

// The display text the given normalised value would have (kExtendedDisplaySize bytes);
// 0xbeef, or 0 with an empty string when the parameter does not exist or value is not finite.
intptr_t extendedParameterDisplay(CompressorEffect& fx, intptr_t index, float value, char* text);
// Writes the extended range of the parameter into range[0..2] as far as its kind has one;
// 0xbeef, or 0 when the parameter does not exist.
intptr_t extendedParameterRange(const CompressorEffect& fx, intptr_t index, double* range);

// Normalised value of a parameter under the lock; 0 when it does not exist.
float readParameter(CompressorEffect& fx, int32_t index);

// Tells the host that the user moved parameter index (its current value) or, with endEdit,
// that the gesture ended. Nothing happens without a host callback.
void notifyHostParameter(CompressorEffect& fx, int32_t index, bool endEdit);
