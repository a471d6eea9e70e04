// The fast path of the block-processing driver: the pass kernel, which runs the bands'
// crossover sections as a wavefront (crossover_wavefront.h) and each compressor as passes over
// chunks of the sub-block (compressor_passes.h), driven chunk by chunk by
// pass_kernel_driver.h. It computes what the reference path (splitBlock, compressBlock, the
// plain sum) computes, bit for bit: the same operations in the same order per value. It is
// built for SSE2, AVX2 and AVX-512; the widest the processor offers is chosen at run time, and
// processingPathAvailable is the one place that asks the processor what it has.
#pragma once

#include "engine/band.h"

#include <cstdint>

enum class ProcessingPath : int32_t {
    Automatic, // per sub-block, the path measured fastest for its length and band count
    Reference, // one band after the other, one sample after the other
    // The pass kernel, built for each instruction set: two, four or eight lanes of doubles.
    Sse2Kernel,
    Avx2Kernel,
    Avx512Kernel,
};

// Whether this processor (and its operating system) can run the path.
bool processingPathAvailable(ProcessingPath path);
// What Automatic runs for a sub-block of m samples and the given band count: the pass kernel
// in the widest build from AVX2 up for sub-blocks of 16 samples or more, the reference
// otherwise (short sub-blocks gain nothing from it).
ProcessingPath chooseProcessingPath(int32_t m, int32_t bands);
const char* processingPathName(ProcessingPath path);

// What a band does with the remainder that reaches it, on either path (see planBands).
enum class BandRole : uint8_t {
    Split,  // a true low-pass: takes the low part, passes the rest on
    Top,    // at or above half the sample rate: takes everything that is left
    Silent, // a further top band: gets silence
};

// A sub-block for the pass kernel: every band in frequency order. The remainder streams hold
// the input and are overwritten; the sum goes to output (silence when nothing is summed).
struct KernelBlock {
    Band* const* bands;
    const BandRole* roles;
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
    void* chunkScratch; // kernelScratchBytes(count) bytes, aligned as malloc aligns
};

// The bytes of scratch the pass kernel needs for a block of this many bands.
int32_t kernelScratchBytes(int32_t bands);
bool isKernelPath(ProcessingPath path);
void runPassKernel(ProcessingPath path, const KernelBlock& block);
void runKernelSse2(const KernelBlock& block);
void runKernelAvx2(const KernelBlock& block);
void runKernelAvx512(const KernelBlock& block);
