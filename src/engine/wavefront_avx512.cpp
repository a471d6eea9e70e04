// The pass kernel with eight lanes; built for AVX-512F and called only where the processor
// has it.
#include "engine/band_passes.h"

void runPassesAvx512(const PassesBlock& block) {
    band_passes::runPasses<8>(block);
}
