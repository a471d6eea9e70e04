// The band compressor: a stereo-linked peak or sliding-RMS detector, a one-pole envelope, a
// soft-knee static curve in the log domain, optional program-dependent release, optional
// feedback detection and automatic makeup. The detector never holds a non-finite value: a
// NaN or infinite sample counts as silence for it, so a band recovers as soon as the input
// is finite again (the sample itself still passes to the output).
#pragma once

#include "engine/band.h"

#include <cstdint>

// Recomputes every derived value from the settings and the band's sample rate, resizing the
// RMS ring when its length changes; with snapshot true also records the glide snapshot.
void updateBandCoefficients(Band& band, bool snapshot);

// Clears detector, envelope, meters and filter state, then updates with snapshot true.
void resetBandState(Band& band);

// Compresses n samples of the band's signal in place.
void compressBlock(Band& band, float* left, float* right, int32_t n, double sampleRate);
