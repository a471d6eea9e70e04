// The wavefront kernel with eight lanes; built for AVX-512F and called only where the
// processor has it.
#include "engine/wavefront_kernel.h"

void runWavefrontAvx512(const WavefrontGroup& group) {
    wavefront_kernel::runGroup<8>(group);
}
