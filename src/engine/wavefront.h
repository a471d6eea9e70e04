// The fast paths of the block-processing driver. The wavefront kernels run the bands' crossover
// sections, detectors, envelopes, gain curves and the output sum side by side in SIMD lanes,
// lane k handling band k one sample behind lane k - 1. The pass kernel runs only the crossover
// as a wavefront and each compressor as passes over chunks of the sub-block (see
// band_passes.h); the plug-in runs it. Both compute what the reference path (splitBlock,
// compressBlock, the plain sum) computes, bit for bit: the same operations in the same order
// per value. Wider instruction sets are chosen at run time from what the processor offers;
// SSE2 is always there.
#pragma once

#include "engine/band.h"

#include <cstdint>

enum class ProcessingPath : int32_t {
    Automatic, // per sub-block, the path measured fastest for its length and band count
    Reference, // one band after the other, one sample after the other
    Sse2,      // two lanes
    Avx2,      // four lanes
    Avx512,    // eight lanes
    // The pass kernel (crossover wavefront, then compressor passes over chunks), built for
    // each instruction set.
    Sse2Passes,
    Avx2Passes,
    Avx512Passes,
};

// Whether this processor (and its operating system) can run the path.
bool processingPathAvailable(ProcessingPath path);
// The widest path available here.
ProcessingPath widestProcessingPath();
// What Automatic runs for a sub-block of m samples and the given band count: the pass kernel
// in the widest build from AVX2 up for sub-blocks of 16 samples or more, the reference
// otherwise (short sub-blocks gain nothing from it).
ProcessingPath chooseProcessingPath(int32_t m, int32_t bands);
const char* processingPathName(ProcessingPath path);

// What a band lane does with the remainder that reaches it.
enum class WavefrontLaneRole : uint8_t {
    Split,  // a true low-pass: takes the low part, passes the rest on
    Top,    // at or above half the sample rate: takes everything that is left
    Silent, // a further top band: gets silence
};

// One group of consecutive bands (in frequency order) run as one wavefront over m samples.
// The remainder and partial-sum streams come in de-skewed (sample j at index j) and go out the
// same way, in place, so that groups chain: the next group continues where this one ends.
struct WavefrontGroup {
    Band* const* bands;
    const WavefrontLaneRole* roles;
    const bool* summed; // the band's output is added to the sum (not muted by solo)
    int32_t count;
    float* remainder[2];
    float* partialSum[2];
    bool firstGroup; // the partial sums start empty instead of coming from the stream
    int32_t m;
    double outputGain;
    double sampleRate;
};

// The number of bands one group takes on the path.
int32_t wavefrontGroupSize(ProcessingPath path);
void runWavefrontGroup(ProcessingPath path, const WavefrontGroup& group);

// A sub-block for the pass kernel: every band in frequency order. The remainder streams hold
// the input and are overwritten; the sum goes to output (silence when nothing is summed).
struct PassesBlock {
    Band* const* bands;
    const WavefrontLaneRole* roles;
    const bool* summed;
    int32_t count;
    float* remainder[2];
    float* output[2];
    int32_t m;
    double outputGain;
    double sampleRate;
    bool sumRemainder; // what the bands leave is summed too (no band reaches the top, no solo)
    bool mayOverflow;  // floats may overflow: every rounding saturates (see the driver)
    // A glided slice: the output gain of every kGlideStep samples, and each band that glides
    // takes its levels step by step from its state's glideLevels. Null when nothing glides.
    const double* glideOutputGains;
};

bool isPassesPath(ProcessingPath path);
void runPasses(ProcessingPath path, const PassesBlock& block);
void runPassesSse2(const PassesBlock& block);
void runPassesAvx2(const PassesBlock& block);
void runPassesAvx512(const PassesBlock& block);

// The kernels, one per width (separate files built for their instruction sets).
void runWavefrontSse2(const WavefrontGroup& group);
void runWavefrontAvx2(const WavefrontGroup& group);
void runWavefrontAvx512(const WavefrontGroup& group);
