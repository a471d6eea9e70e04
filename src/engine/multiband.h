// MultibandEngine: the band list and the block-processing driver. It splits the stereo
// signal band by band in frequency order, compresses each band, and sums the bands (or only
// the soloed one) times the output gain. Setting changes glide over a host block in steps of
// at most eight samples (run one by one, or a slice of them at a time by the pass kernel), and
// the last step lands on exactly the value that was set.
// The driver holds the instance lock for a whole host block and never allocates once its
// scratch buffers have grown to the block size.
//
// How a sample flows, stage by stage: the reference path's function, then the pass kernel's.
// Both give the same bits; the kernel runs a sub-block in chunks of kChunk samples.
//  1. Glides: processWithGlide cuts a host block into glide steps, run one by one as
//     sub-blocks (processBlock) or a slice of them at a time (GlideSlice) by the kernel.
//  2. Shared by both paths (processBlock): input meters, the overflow check that decides
//     whether roundings saturate, the bands sorted by frequency, and planBands: each band's
//     role (Split, Top, Silent), whether it is summed, whether the remainder is summed. Then
//     chooseProcessingPath (pass_kernel.cpp, where processingPathAvailable is the only
//     question put to the processor) picks the path.
//  3. Crossover: splitBlock (crossover.cpp), band after band | CrossoverWavefront::run
//     (crossover_wavefront.h), kGroupBands bands side by side.
//  4. Detector: CompressorRun::detect (compressor.cpp) | CompressorPasses::detect, runRings
//     and levelsFromSums (compressor_passes.h); the RMS level is rmsLevelOf (compressor_rules.h).
//  5. Envelope: CompressorRun::follow | CompressorPasses::Follower::step, run in the loop of
//     the next chunk's crossover.
//  6. Gain curve: curve_pass::curveGains, or per sample curveGainLog2 and gainOfLog2 where the
//     gain feeds back | CompressorPasses::curve; both built from curve_pass.h's formulas.
//     Bands with feedback detection, or active with program-dependent release, run
//     compressBlock on the kernel's path too (CompressorPasses::finish).
//  7. Makeup, gain meter and band output: CompressorRun::meterGain and output |
//     CompressorPasses::output.
//  8. Sum times the output gain: sumInto (multiband.cpp) | CompressorPasses::output for the
//     bands it outputs, CompressorPasses::sum for the remainder and compressBlock's bands.
//  9. Output meters: processBlock, for both paths.
#pragma once

#include "engine/band_control.h"
#include "engine/pass_kernel.h"
#include "support/heap_buffer.h"
#include "support/recursive_lock.h"
#include "support/relaxed_atomic.h"

#include <cstdint>

// A stretch of a glided host block that the pass kernel runs in one go: whole glide steps (but
// the block's last), each with its own output gain and levels (see BandState::glideLevels).
struct GlideSlice {
    ProcessingPath path;
    const double* outputGains;
};

// A change of the host parameter list: the first parameter index added or removed and the
// signed number of parameters added (positive) or removed (negative).
struct ParameterListChange {
    int32_t first = 0;
    int32_t count = 0;
};

constexpr int32_t kParametersPerBand = 12;

class MultibandEngine {
public:
    MultibandEngine() = default;
    virtual ~MultibandEngine();
    MultibandEngine(const MultibandEngine&) = delete;
    MultibandEngine& operator=(const MultibandEngine&) = delete;

    int32_t bandCount() const { return bands.getSize() / int32_t(sizeof(Band*)); }
    // The band at list position i, or null when i is out of range.
    Band* band(int32_t i) const;
    // Appends an owned band; false (band untouched) when the list cannot grow.
    bool appendBand(Band* band);
    // Destroys every band, last to first.
    void deleteAllBands();

    // Deletes all bands and appends the default four; returns the new parameter count.
    int32_t loadDefaultBands();
    // Clears every band's run-time state, applies sampleRate, zeroes the meters.
    void resetProcessingState();
    // Splits band `source` (or, when there is no such band, adds a default band at 24000 Hz)
    // and appends the new band. Returns false when out of memory; otherwise fills the
    // parameter-list change to report.
    bool insertSplitBand(int32_t source, ParameterListChange& change);
    // Removes the band at list position index when at least two bands exist; false when
    // nothing changed.
    bool removeBand(int32_t index, ParameterListChange& change);

    void processWithGlide(const float* const* inputs, float* const* outputs, int32_t n);
    // The pass kernel's path for a glided host block of n samples (once its glide is set up),
    // or Reference where its glide steps have to run one by one (a frequency glides, or a band
    // that glides takes the compressor's own loop).
    ProcessingPath glidePath(int32_t n) const;

    // Sizes the scratch buffers for blocks of up to n frames (called outside the audio thread,
    // so that the first block after a resume allocates nothing). Takes the lock.
    void reserveScratch(int32_t n);

    // A new output gain target, reached by a glide over the next host block.
    void setOutputGain(double gain);

    // Every RMS ring of this instance together stays within this budget (64 MiB).
    RmsRingBudget ringBudget;
    HeapBuffer sortedBands{4096};
    HeapBuffer splitScratch{4096};
    HeapBuffer laneScratch{4096};   // the bands' roles and sum switches in a sub-block, one pair per band
    HeapBuffer kernelScratch{4096}; // what the pass kernel keeps of a chunk per group of bands
    // Automatic for the plug-in; tests and benchmarks pin one path.
    ProcessingPath processingPath = ProcessingPath::Automatic;
    RecursiveLock lock;
    double sampleRate = 44100.0;
    double inputPeakLeft = 0, inputPeakRight = 0;
    double outputPeakLeft = 0, outputPeakRight = 0;
    // The output gain target. Read anywhere; written under the lock (setOutputGain), since a
    // glide writes the value reached so far into it on the audio thread.
    RelaxedAtomic<double> outputGain{1.0};
    double outputGainPrevious = 1.0;
    // Samples during which float overflow stays possible after a loud input (see processBlock).
    int64_t overflowHoldSamples = 0;
    HeapBuffer bands{4096}; // Band* in creation order (the host parameter order)
    // Solo: while set, only the band at list position soloedBand is summed (none, and no
    // remainder above the top band, when no band is there). Read once per sub-block.
    RelaxedAtomic<bool> soloing{false};
    RelaxedAtomic<int32_t> soloedBand{0};
    // The driver meters the input and output peaks only while someone wants them.
    RelaxedAtomic<bool> meteringWanted{false};

protected:
    // Called under the lock after every change of the band count.
    virtual void bandCountChanged(int32_t count) { (void)count; }

private:
    // One sub-block, or a glided slice; the caller holds the lock.
    void processBlock(const float* const* inputs, float* const* outputs, int32_t m,
                      const GlideSlice* glide = nullptr);
    // The split, compression and sum of a sub-block (or glided slice) on the pass kernel.
    void processBlockFast(ProcessingPath path, Band** sorted, const BandRole* roles, const bool* summed,
                          bool sumRemainder, int32_t count, float* const* outputs, float* streams, int32_t m,
                          bool mayOverflow, const double* stepOutputGains);
    double glideOutputGains[kGlideStepsPerSlice] = {};
};

// Writes silence to every output channel that exists.
void writeSilence(float* const* outputs, int32_t n);
