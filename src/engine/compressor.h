// The band compressor: a stereo-linked peak or sliding-RMS detector, a one-pole envelope, a
// soft-knee static curve in the log domain, optional program-dependent release, optional
// feedback detection and automatic makeup. The detector never holds a non-finite value: a
// NaN or infinite sample counts as silence for it, and a louder one than +40 dBFS counts as
// +40 dBFS, so a band recovers from a burst of either within about a second (at a 150 ms
// release). compressBlock is the reference every faster path must match bit for bit.
#pragma once

#include "engine/band.h"

#include <cstdint>

// Recomputes every derived value from the settings and the band's sample rate, resizing the
// RMS ring when its length changes; with snapshot true also records the glide snapshot.
void updateBandCoefficients(Band& band, bool snapshot);

// The update a glide step makes after writing gain, threshold and ratio: the same values
// updateBandCoefficients(band, true) gives when nothing else has changed since the last full
// update, without recomputing what only the other settings decide.
void updateGlidedCoefficients(Band& band);

// Clears detector, envelope, meters and filter state, then updates with snapshot true.
void resetBandState(Band& band);

// Gives the ring's memory back (and its bytes to the budget); the band detects peaks until
// the next coefficient update sizes the ring again.
void releaseRmsRing(BandState& state);

// Compresses n samples of the band's signal in place. Outputs beyond the float range are held
// at the largest float; a caller that knows they cannot be reached skips that pass.
void compressBlock(Band& band, float* left, float* right, int32_t n, double sampleRate,
                   bool mayOverflow = true);

// The per-block constants of the compressor loop, as every path derives them.
struct CompressorConstants {
    double inverseThreshold, kneeLow, kneeHigh, kneeScale, logKneeTop;
    int32_t ringLength;
    double inverseRingLength;
    bool expanding, adaptive, feedback, active;
};
CompressorConstants compressorConstants(const Band& band);

// Sums the RMS window afresh, oldest pair first, and replaces running sums that have drifted
// from it; pos and fill as they stand after the latest pair was stored. Called when a sum has
// dropped far below its peak; does nothing within a quarter window of the previous rescan.
void rescanRmsWindow(BandState& state, int32_t pos, int32_t fill, double& sumLeft, double& sumRight);
