// The pass kernel's driver for one vector width, included by one file per instruction set. A
// sub-block runs in chunks of kChunk samples. In each chunk, groups of kGroupBands splitting
// bands run their crossover sections as a wavefront (crossover_wavefront.h); each band's
// compressor then runs as passes over the chunk (compressor_passes.h). The envelopes of a
// chunk run in the loop of the next chunk's crossover, so that the processor interleaves the
// two chains. Bands with feedback detection, or active with program-dependent release, run
// compressBlock on their chunk. The bits are the reference's (see pass_kernel.h).
#pragma once

#include "engine/compressor_passes.h"
#include "engine/crossover_wavefront.h"
#include "engine/pass_kernel.h"

#include <cstring>

namespace pass_kernel {
namespace {

// The output gain over the chunk from start on: step by step only where it moves within it.
inline OutputGain outputGainOver(const KernelBlock& block, int32_t start, int32_t n) {
    OutputGain gain = {block.outputGain, nullptr};
    if (block.glideOutputGains) {
        const double* steps = block.glideOutputGains + start / kGlideStep;
        gain.fixed = steps[0];
        for (int32_t step = 1; step <= (n - 1) / kGlideStep; ++step)
            if (steps[step] != steps[0])
                gain.steps = steps;
    }
    return gain;
}

// A sub-block through the passes: bands in frequency order with their roles. Chunks overlap:
// while a group's crossover runs over chunk k, its envelopes run over chunk k - 1 in the same
// loop (two serial chains the processor can interleave), then chunk k - 1 is finished and
// chunk k prepared. block.chunkScratch holds two GroupChunks per group.
template <int W, bool saturate> void runChunks(const KernelBlock& block) {
    using Passes = CompressorPasses<W, saturate>;
    GroupChunk* const groupChunks = static_cast<GroupChunk*>(block.chunkScratch);
    Scratch s;
    std::memset(s.silentLevels, 0, sizeof s.silentLevels);
    int32_t splitting = 0;
    while (splitting < block.count && block.roles[splitting] == BandRole::Split)
        ++splitting;
    const int32_t chunks = (block.m + kChunk - 1) / kChunk;
    for (int32_t k = 0; k <= chunks; ++k) {
        const bool preparing = k < chunks;
        const bool finishing = k > 0;
        const int32_t start = k * kChunk, before = start - kChunk;
        const int32_t n = preparing ? (block.m - start < kChunk ? block.m - start : kChunk) : 0;
        const int32_t finished = finishing ? (block.m - before < kChunk ? block.m - before : kChunk) : 0;
        const OutputGain finishingGain = finishing ? outputGainOver(block, before, finished) : OutputGain{};
        float* remainder[2] = {preparing ? block.remainder[0] + start : nullptr,
                               preparing ? block.remainder[1] + start : nullptr};
        float* out[2] = {finishing ? block.output[0] + before : nullptr,
                         finishing ? block.output[1] + before : nullptr};
        const int32_t glideStep = block.glideOutputGains ? start / kGlideStep : -1;
        bool first = true;
        for (int group = 0; group < block.count; group += kGroupBands) {
            Band* const* bands = block.bands + group;
            const int count = block.count - group < kGroupBands ? block.count - group : kGroupBands;
            GroupChunk& now = groupChunks[2 * (group / kGroupBands) + k % 2];
            GroupChunk& last = groupChunks[2 * (group / kGroupBands) + (k + 1) % 2];
            typename Passes::Follower follower;
            int slot[kGroupBands];
            if (finishing)
                Passes::startFollowing(follower, bands, count, last, slot, s.silentLevels);
            const int32_t toFollow = finishing && follower.count > 0 ? last.n : 0;
            int32_t followed = 0;
            if (preparing) {
                // The splitting bands come first in frequency order; a group's crossover runs
                // those it has, and the rest take the remainder (the first top band) or silence.
                int split = splitting - group;
                split = split < 0 ? 0 : (split > count ? count : split);
                if (split > 0) {
                    CrossoverWavefront<W> crossover(bands, split);
                    const int32_t steps =
                        crossover.template run<saturate>(remainder, n, s.rows, now.signal, [&](int32_t at) {
                            if (at < toFollow)
                                follower.step(at);
                        });
                    crossover.storeBack(bands);
                    followed = steps < toFollow ? steps : toFollow;
                }
                for (int b = split; b < count; ++b) {
                    const bool top = block.roles[group + b] == BandRole::Top;
                    for (int channel = 0; channel < 2; ++channel) {
                        float* signal = now.signal[b][channel] + kSignalPad;
                        if (top)
                            std::memcpy(signal, remainder[channel], size_t(n) * sizeof(float));
                        else
                            std::memset(signal, 0, size_t(n) * sizeof(float));
                    }
                }
            }
            if (finishing) {
                for (int32_t i = followed; i < toFollow; ++i)
                    follower.step(i);
                bool over[kGroupBands] = {};
                follower.end(over);
                Passes::finish(bands, block.summed + group, count, s, last, over, slot, block.sampleRate,
                               finishingGain, out, first);
            }
            if (preparing)
                Passes::prepare(bands, count, s, now, n, glideStep);
        }
        if (!finishing)
            continue;
        if (block.sumRemainder) {
            const float* rest[2] = {block.remainder[0] + before, block.remainder[1] + before};
            Passes::sum(rest, out, finished, finishingGain, first);
            first = false;
        }
        if (first)
            for (int channel = 0; channel < 2; ++channel)
                std::memset(out[channel], 0, size_t(finished) * sizeof(float));
    }
}

// The bytes of block.chunkScratch for a block of this many bands.
inline int32_t chunkScratchBytes(int32_t bands) {
    return (bands + kGroupBands - 1) / kGroupBands * 2 * int32_t(sizeof(GroupChunk));
}

template <int W> void runPassKernel(const KernelBlock& block) {
    if (block.mayOverflow)
        runChunks<W, true>(block);
    else
        runChunks<W, false>(block);
}

} // namespace
} // namespace pass_kernel
