// The pass kernel with two lanes (SSE2, the baseline of every x86-64 processor).
#include "engine/band_passes.h"

int32_t passesScratchBytes(int32_t bands) {
    return band_passes::chunkScratchBytes(bands);
}

void runPassesSse2(const PassesBlock& block) {
    band_passes::runPasses<2>(block);
}
