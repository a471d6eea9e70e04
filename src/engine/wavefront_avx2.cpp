// The pass kernel with four lanes; built for AVX2 and called only where the processor has it.
#include "engine/band_passes.h"

void runPassesAvx2(const PassesBlock& block) {
    band_passes::runPasses<4>(block);
}
