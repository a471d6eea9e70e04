// CrossoverFilter: one band's second-order low-pass section (Q = 1) with stereo state.
// splitBlock takes the low part of the remainder into the band arrays and leaves the rest in
// the remainder, so band + remainder always add back up to the input. The small constant
// offsets and the flush below 2^-54 keep denormals out of the state and are part of the output.
// A sample that is not a finite number clears the section's state.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

// The offsets: taken from every remainder sample before filtering, and added back to what the
// band leaves over. A filter output below the flush level (or not finite) is taken as 0.
constexpr double kCrossoverInputOffset = 1e-13;
constexpr double kCrossoverRemainderOffset = 1e-14;
constexpr double kCrossoverFlushLevel = 0x1p-54;

// Whether a section keeps its state through an input sample. At a NaN or infinity it forgets
// its state instead and starts afresh from the next sample, as a new section would; keeping
// part of it (the outputs are flushed, the inputs are not numbers) would let a stream of such
// samples drive the recursion without bound.
inline bool crossoverKeepsState(double input) {
    return std::fabs(input) <= DBL_MAX; // false for NaN
}

struct FilterChannelState {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

struct CrossoverFilter {
    double frequency = -100.0; // -100: not designed yet, so any real frequency is a change
    double a1 = 0, a2 = 0;
    double b0 = 0, b1 = 0, b2 = 0;
    FilterChannelState left, right;
    double sampleRate = 44100.0;
};

// Where a band splits: a band above 23800 Hz reaches the top of the spectrum when the sample
// rate is above 48 kHz (its frequency cannot, being held at 24000 Hz).
inline double splitFrequency(double frequency, double sampleRate) {
    return frequency > 23800 && sampleRate > 48000 ? sampleRate * 0.5 : frequency;
}

// Recomputes the coefficients for f. Returns at once when f equals the stored frequency; a
// negative f redesigns at the stored frequency (used after sampleRate changed).
void designFilter(CrossoverFilter& filter, double f);

void clearFilterState(CrossoverFilter& filter);

// Outputs that overflow the float range are held at the largest float; a caller that knows
// they cannot overflow (see mayOverflow in the driver) skips that pass.
void splitBlock(CrossoverFilter& filter, float* remainderLeft, float* remainderRight, float* bandLeft,
                float* bandRight, int32_t n, bool mayOverflow = true);
