// The wavefront kernel with two lanes (SSE2, the baseline of every x86-64 processor).
#include "engine/band_passes.h"
#include "engine/wavefront_kernel.h"

void runWavefrontSse2(const WavefrontGroup& group) {
    wavefront_kernel::runGroup<2>(group);
}

void runPassesSse2(const PassesBlock& block) {
    band_passes::runPasses<2>(block);
}
