// The wavefront kernel with eight lanes; built for AVX-512F and called only where the
// processor has it.
#include "engine/band_passes.h"
#include "engine/wavefront_kernel.h"

void runWavefrontAvx512(const WavefrontGroup& group) {
    wavefront_kernel::runGroup<8>(group);
}

void runPassesAvx512(const PassesBlock& block) {
    band_passes::runPasses<8>(block);
}
