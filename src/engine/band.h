// Band: one heap object per compressor band: its user settings, its crossover filter (which
// stores the band's frequency) and its run-time state, as the compressor, the crossover
// wavefront and the driver read them. Plain records only: bands are created, destroyed and
// changed through band_control.h, which works over the compressor.
#pragma once

#include "engine/crossover.h"
#include "support/heap_buffer.h"

#include <cstdint>

struct BandSettings {
    double gain = 1.0;      // linear
    double threshold = 1.0; // linear
    double ratio = 2.0;     // x:1; below 1 expands upwards above the threshold
    double knee = 0.0;      // dB
    int32_t attackMs = 15;
    int32_t releaseMs = 150;
    int32_t rmsSizeMs = 5;
    bool programDependentRelease = false;
    bool feedbackDetector = false;
    bool autoMakeupGain = true;
    bool active = true;
    bool logScaleAutomation = true;
};

// The RMS rings of one instance draw on one budget of bytes, so that no window setting, stored
// or typed, can make an instance claim more. A ring that would pass the budget is shortened to
// what is left of it (and below four pairs the band falls back to peak detection).
struct RmsRingBudget {
    int64_t limitBytes = int64_t(64) << 20;
    int64_t usedBytes = 0;
    int64_t peakBytes = 0; // the most ever held at once
};

// A glide moves the settings on every this many samples.
constexpr int32_t kGlideStep = 8;
// A glided host block runs through the pass kernel in slices of this many glide steps.
constexpr int32_t kGlideStepsPerSlice = 64;

// What a glide changes of a band's gain during one step: the gain curve's constants, the
// makeup and the meter's direction, as the compressor derives them for that step.
struct GlidedLevels {
    double kneeLow, kneeHigh, kneeScale, inverseThreshold, logKneeTop, slope, makeupGain;
    bool expanding;
};

struct BandState {
    // Derived coefficients (updateBandCoefficients).
    double attackCoef = 0;
    double releaseCoef = 0;
    double releaseCoefBase = 0;
    double releaseDecay = 0;
    double slope = 0;
    double kneeRatio = 1;
    double makeupGain = 1;
    // The knee's logarithm for the last two arguments it had, the latest first: the compressor
    // works it out again only for a new argument. A glide of the threshold changes the
    // argument every few samples, but only in its last bits (it is the knee ratio, rounded
    // twice), so it mostly comes back to one it had. Written by compressorConstants, under the
    // lock like the rest of the state.
    mutable double logKneeTopArgument[2] = {-1, -1}, logKneeTop[2] = {0, 0};

    // Detector and envelope.
    // Pairs of doubles: left square, right square. Pairs at or past rmsFill have not been
    // written since the last reset and count as zero, so a reset never has to clear the ring.
    HeapBuffer rmsRing{4096};
    RmsRingBudget* ringBudget = nullptr; // null: only the ring's own length limit applies
    int32_t rmsPos = 0;
    int32_t rmsFill = 0;
    double rmsSumLeft = 0, rmsSumRight = 0;
    // Recovery of the running sums: the largest each has been since the window was last
    // summed afresh, and the checks since then (see rescanRmsWindow).
    double rmsPeakSumLeft = 0, rmsPeakSumRight = 0;
    int32_t rmsChecksSinceRescan = 0;
    double envelope = 0;
    double lastOutLeft = 0, lastOutRight = 0;
    double sampleRate = 44100.0;

    // Meters: written by the audio thread, read and decayed by the editor without the lock.
    double gainMeter = 1.0;
    double gainMeterHold = 1.0;
    uint32_t gainMeterHoldUntil = 0;
    double inputPeak = 0, detectorPeak = 0, outputPeak = 0;

    // Glide of the block-processing driver.
    double snapFrequency = 0, snapGain = 0, snapThreshold = 0, snapRatio = 0;
    double glideFrequency = 0, glideGain = 0, glideThreshold = 0, glideRatio = 0;
    double stepFrequency = 0, stepGain = 0, stepThreshold = 0, stepRatio = 0;
    // The values that were set: the steps add up to them only up to rounding, so the glide's
    // last step takes them as they are.
    double targetFrequency = 0, targetGain = 0, targetThreshold = 0, targetRatio = 0;
    bool gliding = false;
    // The levels of each step of the slice the pass kernel runs next (while gliding).
    GlidedLevels glideLevels[kGlideStepsPerSlice];

    int32_t rmsLength() const { return rmsRing.getSize() / int32_t(2 * sizeof(double)); }
};

struct Band {
    BandSettings settings;
    CrossoverFilter filter;
    BandState state;

    double frequency() const { return filter.frequency; }
};
